#include "ui/views/dlg_main_vibr.h"

namespace {
const DialogTemplate kTemplate{CDlgMainVibr::IDD, "", 350, 370, true, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgMainVibr::PageTemplate() { return kTemplate; }

CDlgMainVibr::CDlgMainVibr(QWidget* parent) : CDialogCommon(kTemplate, parent) {}

CDlgMainVibr::~CDlgMainVibr() = default;

void CDlgMainVibr::RefreshSource() {
    // Content not built yet: counts the call only.
    ++reloadCalls;
}
