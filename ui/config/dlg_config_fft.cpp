#include "ui/config/dlg_config_fft.h"

#include "device/object_dictionary.h"
#include "ui/config/config_controls.h"
#include "ui/config/config_io.h"

#include <algorithm>

namespace {

using P = CDlgConfigFft;

const ControlDef kControls165[] = {
    {-1, ControlKind::GroupBox, "Vibration detection && FFT", 7, 7, 318, 96},
    {-1, ControlKind::Static, "FFT source (fs):", 14, 23, 90, 10},
    {P::IDC_FFT_SOURCE, ControlKind::ComboDropList, "", 106, 21, 209, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "Vibration source (vs):", 14, 42, 90, 10},
    {P::IDC_VIBRATION_SOURCE, ControlKind::ComboDropList, "", 106, 40, 209, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "Accl. magnitude th. (at):", 14, 62, 90, 10},
    {P::IDC_ACCEL_THRESHOLD, ControlKind::Edit, "", 106, 60, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "m/s (0 ~ 160)", 178, 62, 130, 10},
    {-1, ControlKind::Static, "Gyro. magnitude th. (gt):", 14, 82, 90, 10},
    {P::IDC_GYRO_THRESHOLD, ControlKind::Edit, "", 106, 80, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "deg/s (0 ~ 2000)", 178, 82, 130, 10},

    {-1, ControlKind::GroupBox, "Kalman filter for velocity && position", 7, 112, 318, 55},
    {-1, ControlKind::Static, "Zero vel. variance  (zv):", 14, 129, 90, 10},
    {P::IDC_ZERO_VELOCITY_VARIANCE, ControlKind::Edit, "", 106, 127, 68, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "(0.001 ~ 1000, 0 - Disable KF currect vel.)", 178, 126, 142, 18},
    {-1, ControlKind::Static,
     "* As the variance decreases, the correction factor for the zero velocity increases.", 14, 147, 306, 18},
};

const DialogTemplate kTemplate165{P::IDD, "", 332, 324, true, kControls165,
                                  int(sizeof(kControls165) / sizeof(kControls165[0]))};

const char* const kFftSources[] = {"0 - (none)", "1 - Accl. raw input data (sampling freq. 10kHz)",
                                   "2 - Gyro. raw input data (sampling freq. 10kHz)",
                                   "3 - Accl. filtered data (sampling freq. 1kHz)",
                                   "4 - Gyro. filtered data (sampling freq. 1kHz)"};
const char* const kVibrationSources[] = {"0 - (none)", "1 - Accl. filtered data (sampling freq. 1kHz)",
                                         "2 - Gyro. filtered data (sampling freq. 1kHz)"};

struct NumberField {
    int id;
    uint16_t object;
};
const NumberField kNumbers[3] = {
    {P::IDC_ACCEL_THRESHOLD, od::OBJ_ACCEL_THRESHOLD},
    {P::IDC_GYRO_THRESHOLD, od::OBJ_GYRO_THRESHOLD},
    {P::IDC_ZERO_VELOCITY_VARIANCE, od::OBJ_ZERO_VELOCITY_VARIANCE},
};

// A selected index limited to the object's range (no selection gives 0).
int32_t LimitedIndex(int sel, uint16_t object) {
    const od::ObjectInfo* info = od::Find(object);
    return std::clamp<int32_t>(sel, static_cast<int32_t>(info->minimum), static_cast<int32_t>(info->maximum));
}

}  // namespace

const DialogTemplate& CDlgConfigFft::Template165() { return kTemplate165; }

CDlgConfigFft::CDlgConfigFft(QWidget* parent) : CDialogCommon(kTemplate165, parent) {}

CDlgConfigFft::~CDlgConfigFft() = default;

bool CDlgConfigFft::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    for (const NumberField& f : kNumbers) LimitText(f.id, cfgui::kFieldLimit);
    cfgui::FillList(this, IDC_FFT_SOURCE, kFftSources, 5);
    cfgui::FillList(this, IDC_VIBRATION_SOURCE, kVibrationSources, 3);
    LoadFromDevice();
    return true;
}

void CDlgConfigFft::LoadFromDevice() {
    int32_t fs = 0, vs = 0;
    const bool okFs = cfgio::ReadInt32(od::OBJ_FFT_SOURCE, &fs);
    const bool okVs = cfgio::ReadInt32(od::OBJ_VIBRATION_SOURCE, &vs);
    float values[3] = {};
    bool ok[3] = {};
    for (int i = 0; i < 3; ++i) ok[i] = cfgio::ReadFloat(kNumbers[i].object, &values[i]);

    if (okFs) ComboSetCurSel(IDC_FFT_SOURCE, fs);
    if (okVs) ComboSetCurSel(IDC_VIBRATION_SOURCE, vs);
    for (int i = 0; i < 3; ++i) SetDlgItemDouble(kNumbers[i].id, values[i], ok[i]);
}

bool CDlgConfigFft::ApplyToDevice() {
    const int32_t fs = LimitedIndex(ComboGetCurSel(IDC_FFT_SOURCE), od::OBJ_FFT_SOURCE);
    const int32_t vs = LimitedIndex(ComboGetCurSel(IDC_VIBRATION_SOURCE), od::OBJ_VIBRATION_SOURCE);
    float values[3];
    bool blank[3];
    for (int i = 0; i < 3; ++i) {
        const od::ObjectInfo* info = od::Find(kNumbers[i].object);
        const std::string text = cfgui::FieldText(this, kNumbers[i].id);
        blank[i] = cfgio::IsBlankText(text);
        values[i] = cfgio::LimitedFloat(text, info->minimum, info->maximum);
    }

    bool ok = cfgio::WriteInt32(od::OBJ_FFT_SOURCE, fs);
    ok = cfgio::WriteInt32(od::OBJ_VIBRATION_SOURCE, vs) && ok;
    // An empty field (its read failed) holds no value and is not written.
    for (int i = 0; i < 3; ++i)
        if (!blank[i]) ok = cfgio::WriteFloat(kNumbers[i].object, values[i]) && ok;
    return ok;
}
