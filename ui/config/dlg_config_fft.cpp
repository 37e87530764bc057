#include "ui/config/dlg_config_fft.h"

#include "device/object_dictionary.h"
#include "ui/config/config_io.h"

#include <algorithm>

namespace {

using P = CDlgConfigFft;

const ControlDef kControls165[] = {
    {-1, ControlKind::GroupBox, "Vibration detection && FFT", 7, 7, 318, 96},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_FFT_SOURCE), 14, 23, 90, 10},
    {P::IDC_FFT_SOURCE, ControlKind::ComboDropList, "", 106, 21, 209, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_VIBRATION_SOURCE), 14, 42, 90, 10},
    {P::IDC_VIBRATION_SOURCE, ControlKind::ComboDropList, "", 106, 40, 209, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_ACCEL_THRESHOLD), 14, 62, 90, 10},
    {P::IDC_ACCEL_THRESHOLD, ControlKind::Edit, "", 106, 60, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "m/s (0 ~ 160)", 178, 62, 130, 10},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_GYRO_THRESHOLD), 14, 82, 90, 10},
    {P::IDC_GYRO_THRESHOLD, ControlKind::Edit, "", 106, 80, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "deg/s (0 ~ 2000)", 178, 82, 130, 10},

    {-1, ControlKind::GroupBox, "Kalman filter for velocity && position", 7, 112, 318, 55},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_ZERO_VELOCITY_VARIANCE), 14, 129, 90, 10},
    {P::IDC_ZERO_VELOCITY_VARIANCE, ControlKind::Edit, "", 106, 127, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "(0.001 ~ 1000, 0 - Disable KF currect vel.)", 178, 126, 142, 18},
    {-1, ControlKind::Static,
     "* As the variance decreases, the correction factor for the zero velocity increases.", 14, 147, 306, 18},
};

const DialogTemplate kTemplate165{P::IDD, "", 332, 324, true, kControls165,
                                  int(sizeof(kControls165) / sizeof(kControls165[0]))};

const CConfigPage::List kLists[] = {
    {P::IDC_FFT_SOURCE, od::FftSources().items, od::FftSources().count},
    {P::IDC_VIBRATION_SOURCE, od::VibrationSources().items, od::VibrationSources().count},
};

const CConfigPage::NumberField kNumbers[] = {
    {P::IDC_ACCEL_THRESHOLD, od::OBJ_ACCEL_THRESHOLD},
    {P::IDC_GYRO_THRESHOLD, od::OBJ_GYRO_THRESHOLD},
    {P::IDC_ZERO_VELOCITY_VARIANCE, od::OBJ_ZERO_VELOCITY_VARIANCE},
};

// A selected index limited to the object's range (no selection gives 0).
int32_t LimitedIndex(int sel, uint16_t object) {
    const od::Limits limits = *od::PageLimits(object);
    return std::clamp<int32_t>(sel, static_cast<int32_t>(limits.minimum), static_cast<int32_t>(limits.maximum));
}

}  // namespace

const DialogTemplate& CDlgConfigFft::Template165() { return kTemplate165; }

CDlgConfigFft::CDlgConfigFft(QWidget* parent) : CConfigPage(kTemplate165, kLists, kNumbers, parent) {}

void CDlgConfigFft::LoadFromDevice() {
    int32_t fs = 0, vs = 0;
    const bool okFs = cfgio::ReadInt32(od::OBJ_FFT_SOURCE, &fs);
    const bool okVs = cfgio::ReadInt32(od::OBJ_VIBRATION_SOURCE, &vs);
    if (okFs) ComboSetCurSel(IDC_FFT_SOURCE, fs);
    if (okVs) ComboSetCurSel(IDC_VIBRATION_SOURCE, vs);
    LoadFields(kNumbers);
}

void CDlgConfigFft::ApplyToDevice() {
    cfgio::WriteInt32(od::OBJ_FFT_SOURCE, LimitedIndex(ComboGetCurSel(IDC_FFT_SOURCE), od::OBJ_FFT_SOURCE));
    cfgio::WriteInt32(od::OBJ_VIBRATION_SOURCE,
                      LimitedIndex(ComboGetCurSel(IDC_VIBRATION_SOURCE), od::OBJ_VIBRATION_SOURCE));
    ApplyFields(kNumbers);
}
