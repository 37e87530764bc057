#include "ui/config/dlg_config_filter.h"

#include "device/object_dictionary.h"
#include "ui/config/config_io.h"

namespace {

using F = CDlgConfigFilter;

const ControlDef kControls158[] = {
    {-1, ControlKind::GroupBox, "IMU chip's internal filter", 7, 7, 318, 93},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_GYRO_FULL_SCALE), 14, 20, 90, 10},
    {F::IDC_GYRO_FULL_SCALE, ControlKind::ComboDropList, "", 106, 18, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_GYRO_LOW_PASS), 14, 38, 90, 10},
    {F::IDC_GYRO_LOW_PASS, ControlKind::ComboDropList, "", 106, 36, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_ACCEL_FULL_SCALE), 14, 61, 90, 10},
    {F::IDC_ACCEL_FULL_SCALE, ControlKind::ComboDropList, "", 106, 59, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_ACCEL_LOW_PASS), 14, 80, 90, 10},
    {F::IDC_ACCEL_LOW_PASS, ControlKind::ComboDropList, "", 106, 78, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "* Filter values are applied after restarting the device.", 212, 19, 108, 30},

    {-1, ControlKind::GroupBox, "Gyroscope drift reduction filter (make gx=gy=gz=0)", 7, 108, 318, 57},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_DRIFT_THRESHOLD), 14, 124, 90, 10},
    {F::IDC_DRIFT_THRESHOLD, ControlKind::Edit, "", 106, 122, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "deg/s (0 ~ 360)", 167, 124, 150, 10},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_DRIFT_GAIN), 14, 144, 90, 10},
    {F::IDC_DRIFT_GAIN, ControlKind::Edit, "", 106, 142, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "deg/s (0 ~ 360)", 167, 144, 150, 10},

    {-1, ControlKind::GroupBox, "Accelerometer scale adjustment filter (make |a|^2=1g)", 7, 174, 318, 57},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_SCALE_THRESHOLD), 14, 190, 90, 10},
    {F::IDC_SCALE_THRESHOLD, ControlKind::Edit, "", 106, 188, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "g (0 ~ 1)", 167, 190, 150, 10},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_SCALE_GAIN), 14, 210, 90, 10},
    {F::IDC_SCALE_GAIN, ControlKind::Edit, "", 106, 208, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "g (0 ~ 1)", 167, 210, 150, 10},

    {-1, ControlKind::GroupBox, "Kalman filter for rotation (accel. correct roll && pitch; magn. correct yaw)", 7, 241,
     318, 76},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_ACCEL_VARIANCE), 14, 258, 90, 10},
    {F::IDC_ACCEL_VARIANCE, ControlKind::Edit, "", 106, 256, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "(0.001 ~ 1000, 0 - Disable KF correct roll && pitch)", 167, 255, 155, 18},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_MAGN_VARIANCE), 14, 277, 90, 10},
    {F::IDC_MAGN_VARIANCE, ControlKind::Edit, "", 106, 275, 57, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "(0.001 ~ 1000, 0 - Disable KF correct yaw)", 167, 274, 155, 18},
    {-1, ControlKind::Static, "* As the variance decreases, the correction factor for the angle increases.", 14, 296,
     306, 18},
};

const DialogTemplate kTemplate158{F::IDD, "", 332, 324, true, kControls158,
                                  int(sizeof(kControls158) / sizeof(kControls158[0]))};

const char* const kGyroScale[] = {"0 - 250 deg/s", "1 - 500 deg/s", "2 - 1000 deg/s", "3 - 2000 deg/s"};
const char* const kGyroLowPass[] = {"-1- bypass",   "0 - 196.6 Hz", "1 - 151.8 Hz", "2 - 119.5 Hz", "3 - 51.2 Hz",
                                    "4 - 23.9 Hz", "5 - 11.6 Hz",  "6 - 5.7 Hz",   "7 - 361.4 Hz"};
const char* const kAccelScale[] = {"0 - 2 g", "1 - 4 g", "2 - 8 g", "3 - 16 g"};
const char* const kAccelLowPass[] = {"-1- bypass",  "0 - 246 Hz", "1 - 246 Hz", "2 - 111.4 Hz", "3 - 50.4 Hz",
                                     "4 - 23.9 Hz", "5 - 11.5 Hz", "6 - 5.7 Hz", "7 - 473 Hz"};

const CConfigPage::List kLists[] = {
    {F::IDC_GYRO_FULL_SCALE, kGyroScale, 4},
    {F::IDC_GYRO_LOW_PASS, kGyroLowPass, 9},
    {F::IDC_ACCEL_FULL_SCALE, kAccelScale, 4},
    {F::IDC_ACCEL_LOW_PASS, kAccelLowPass, 9},
};

// The six number fields, in the order they are read and written.
const CConfigPage::NumberField kNumbers[] = {
    {F::IDC_DRIFT_THRESHOLD, od::OBJ_DRIFT_THRESHOLD}, {F::IDC_DRIFT_GAIN, od::OBJ_DRIFT_GAIN},
    {F::IDC_SCALE_THRESHOLD, od::OBJ_SCALE_THRESHOLD}, {F::IDC_SCALE_GAIN, od::OBJ_SCALE_GAIN},
    {F::IDC_ACCEL_VARIANCE, od::OBJ_ACCEL_VARIANCE},   {F::IDC_MAGN_VARIANCE, od::OBJ_MAGN_VARIANCE},
};

// The list index of a low-pass value (-1 "bypass" is entry 0); -1 (no
// selection) for a value outside the list, without overflowing on the
// largest int32 a module could report.
int LowPassIndex(int32_t value) { return value >= -1 && value <= 7 ? static_cast<int>(value) + 1 : -1; }

}  // namespace

const DialogTemplate& CDlgConfigFilter::Template158() { return kTemplate158; }

CDlgConfigFilter::CDlgConfigFilter(QWidget* parent) : CConfigPage(kTemplate158, kLists, kNumbers, parent) {}

void CDlgConfigFilter::LoadFromDevice() {
    int32_t gs = 0, gl = 0, as = 0, al = 0;
    const bool okGs = cfgio::ReadInt32(od::OBJ_GYRO_FULL_SCALE, &gs);
    const bool okGl = cfgio::ReadInt32(od::OBJ_GYRO_LOW_PASS, &gl);
    const bool okAs = cfgio::ReadInt32(od::OBJ_ACCEL_FULL_SCALE, &as);
    const bool okAl = cfgio::ReadInt32(od::OBJ_ACCEL_LOW_PASS, &al);
    // The low-pass lists start with "bypass" (-1): their index is value + 1.
    // A value outside a list leaves it without a selection.
    if (okGs) ComboSetCurSel(IDC_GYRO_FULL_SCALE, gs);
    if (okGl) ComboSetCurSel(IDC_GYRO_LOW_PASS, LowPassIndex(gl));
    if (okAs) ComboSetCurSel(IDC_ACCEL_FULL_SCALE, as);
    if (okAl) ComboSetCurSel(IDC_ACCEL_LOW_PASS, LowPassIndex(al));
    LoadFields(kNumbers);
}

void CDlgConfigFilter::ApplyToDevice() {
    // No selection gives index -1, written as it is (the module refuses it).
    cfgio::WriteInt32(od::OBJ_GYRO_FULL_SCALE, ComboGetCurSel(IDC_GYRO_FULL_SCALE));
    cfgio::WriteInt32(od::OBJ_GYRO_LOW_PASS, ComboGetCurSel(IDC_GYRO_LOW_PASS) - 1);
    cfgio::WriteInt32(od::OBJ_ACCEL_FULL_SCALE, ComboGetCurSel(IDC_ACCEL_FULL_SCALE));
    cfgio::WriteInt32(od::OBJ_ACCEL_LOW_PASS, ComboGetCurSel(IDC_ACCEL_LOW_PASS) - 1);
    ApplyFields(kNumbers);
}
