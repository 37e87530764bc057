#include "ui/config/dlg_config.h"

namespace {
const DialogTemplate kTemplate{CDlgConfig::IDD, "", 350, 370, true, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgConfig::PageTemplate() { return kTemplate; }

CDlgConfig::CDlgConfig(QWidget* parent) : CDialog(kTemplate, parent) {}

CDlgConfig::~CDlgConfig() = default;

void CDlgConfig::ReloadFromDevice() {
    // Content not built yet: counts the call only.
    ++reloadCalls;
}
