#include "ui/views/dlg_main_fft.h"

namespace {
const DialogTemplate kTemplate{CDlgMainFft::IDD, "", 350, 370, true, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgMainFft::PageTemplate() { return kTemplate; }

CDlgMainFft::CDlgMainFft(QWidget* parent) : CDialogCommon(kTemplate, parent) {}

CDlgMainFft::~CDlgMainFft() = default;

void CDlgMainFft::RefreshSource() {
    // Content not built yet: counts the call only.
    ++reloadCalls;
}
