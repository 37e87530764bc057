#include "ui/views/dlg_main_sync.h"

namespace {
const DialogTemplate kTemplate{CDlgMainSync::IDD, "", 350, 370, true, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgMainSync::PageTemplate() { return kTemplate; }

CDlgMainSync::CDlgMainSync(QWidget* parent) : CDialog(kTemplate, parent) {}

CDlgMainSync::~CDlgMainSync() = default;

void CDlgMainSync::ShowConfiguration() {
    // Content not built yet: counts the call only.
    ++reloadCalls;
}

void CDlgMainSync::CloseExportFile() {
    // No record file exists before the page's content is built.
    ++closeCalls;
}
