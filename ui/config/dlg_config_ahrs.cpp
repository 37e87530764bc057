#include "ui/config/dlg_config_ahrs.h"

#include "device/object_dictionary.h"
#include "ui/config/config_controls.h"
#include "ui/config/config_io.h"

namespace {

using A = CDlgConfigAhrs;

// Template 129: four groups; labels stand left of their fields, units right.
const ControlDef kControls129[] = {
    {-1, ControlKind::GroupBox, "Device information", 7, 8, 318, 70},
    {-1, ControlKind::Static, "Product ID :", 14, 21, 90, 10},
    {A::IDC_PRODUCT, ControlKind::Edit, "", 106, 19, 100, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Firmware  version :", 14, 40, 90, 10},
    {A::IDC_FIRMWARE, ControlKind::Edit, "", 106, 38, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Hardware  version :", 14, 58, 90, 10},
    {A::IDC_HARDWARE, ControlKind::Edit, "", 106, 56, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Power in voltage (pv):", 160, 40, 93, 10},
    {A::IDC_VOLTAGE, ControlKind::Edit, "", 255, 38, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "V", 295, 40, 20, 10},
    {-1, ControlKind::Static, "IMU Temperature (t):", 160, 58, 93, 10},
    {A::IDC_TEMPERATURE, ControlKind::Edit, "", 255, 56, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "'C", 295, 58, 20, 10},

    {-1, ControlKind::GroupBox, "Connection", 7, 86, 318, 51},
    {-1, ControlKind::Static, "RS-232/UART1 Baudrate (b1):", 14, 96, 90, 18},
    {A::IDC_BAUD_UART1, ControlKind::ComboDropList, "", 106, 97, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "USB/UART2 Baudrate (b2):", 14, 118, 90, 10},
    {A::IDC_BAUD_UART2, ControlKind::ComboDropList, "", 106, 116, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "* USB/RS-232 Baudrate are applied after restarting the device.", 212, 98, 108, 30},

    {-1, ControlKind::GroupBox, "Synchronous data transmission", 7, 145, 318, 111},
    {-1, ControlKind::Static, "Sync. data port (so):", 14, 161, 90, 10},
    {A::IDC_SYNC_PORT, ControlKind::ComboDropList, "", 106, 159, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "Sync. period (sp):", 14, 180, 90, 10},
    {A::IDC_SYNC_PERIOD, ControlKind::Edit, "", 106, 178, 63, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "ms   (1 ~ 60000)", 173, 180, 80, 10},
    {-1, ControlKind::Static, "Sync. data selecion (sd):", 14, 198, 90, 10},
    {1045, ControlKind::CheckBox, "Time.", 106, 197, 50, 10, CS_TABSTOP},
    {1046, ControlKind::CheckBox, "Temp.", 158, 197, 50, 10, CS_TABSTOP},
    {1034, ControlKind::CheckBox, "Accl.", 210, 197, 50, 10, CS_TABSTOP},
    {1035, ControlKind::CheckBox, "Gyro.", 262, 197, 50, 10, CS_TABSTOP},
    {1037, ControlKind::CheckBox, "Magn.", 106, 211, 50, 10, CS_TABSTOP},
    {1039, ControlKind::CheckBox, "Accl.-g", 158, 211, 50, 10, CS_TABSTOP},
    {1036, ControlKind::CheckBox, "Angl.", 210, 211, 50, 10, CS_TABSTOP},
    {1043, ControlKind::CheckBox, "Quat.", 262, 211, 50, 10, CS_TABSTOP},
    {1040, ControlKind::CheckBox, "Vel.", 106, 225, 50, 10, CS_TABSTOP},
    {1041, ControlKind::CheckBox, "Pos.", 158, 225, 50, 10, CS_TABSTOP},
    {1044, ControlKind::CheckBox, "Freq.", 210, 225, 50, 10, CS_TABSTOP},
    {1038, ControlKind::CheckBox, "Vibr.", 262, 225, 50, 10, CS_TABSTOP},
    {-1, ControlKind::Static,
     "* If the created string is larger than 252bytes, the end of the string is cut off.", 14, 239, 306, 14},

    {-1, ControlKind::GroupBox, "Device options (o)", 7, 264, 318, 27},
    // A button caption takes "&&" for a shown "&".
    {A::IDC_OPTION_INTEGRAL, ControlKind::CheckBox, "Position && velocity integral", 14, 276, 200, 10, CS_TABSTOP},
};

const DialogTemplate kTemplate129{A::IDD, "", 332, 324, true, kControls129,
                                  int(sizeof(kControls129) / sizeof(kControls129[0]))};

const char* const kRateTexts[A::kRateCount] = {"9600 bps",   "19200 bps",  "38400 bps",  "57600 bps",
                                               "115200 bps", "230400 bps", "460800 bps", "921600 bps"};
const char* const kPortTexts[2] = {"0 - RS-232/UART1", "1 - USB/UART2"};

constexpr int kDefaultRateIndex = 4;  // 115200

}  // namespace

const int CDlgConfigAhrs::kSelectionBoxes[12] = {1045, 1046, 1034, 1035, 1037, 1039,
                                                 1036, 1043, 1040, 1041, 1044, 1038};
const int32_t CDlgConfigAhrs::kRates[kRateCount] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

const DialogTemplate& CDlgConfigAhrs::Template129() { return kTemplate129; }

CDlgConfigAhrs::CDlgConfigAhrs(QWidget* parent) : CDialogCommon(kTemplate129, parent) {}

CDlgConfigAhrs::~CDlgConfigAhrs() = default;

int CDlgConfigAhrs::RateIndex(int32_t rate) {
    for (int i = 0; i < kRateCount; ++i)
        if (kRates[i] == rate) return i;
    return kDefaultRateIndex;
}

bool CDlgConfigAhrs::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    LimitText(IDC_SYNC_PERIOD, cfgui::kFieldLimit);
    cfgui::FillList(this, IDC_BAUD_UART1, kRateTexts, kRateCount);
    cfgui::FillList(this, IDC_BAUD_UART2, kRateTexts, kRateCount);
    cfgui::FillList(this, IDC_SYNC_PORT, kPortTexts, 2);
    LoadFromDevice();
    SetTimer(TIMER_READINGS, READINGS_PERIOD_MS);
    return true;
}

void CDlgConfigAhrs::LoadFromDevice() {
    int32_t product = 0, firmware = 0, hardware = 0, b1 = 0, b2 = 0, sp = 0, so = 0, sd = 0, o = 0;
    float pv = 0, t = 0;
    // Each read tests the connection itself: once it is gone, the rest fail.
    const bool okProduct = cfgio::ReadInt32(od::OBJ_PRODUCT_ID, &product);
    const bool okFirmware = cfgio::ReadInt32(od::OBJ_FIRMWARE_VERSION, &firmware);
    const bool okHardware = cfgio::ReadInt32(od::OBJ_HARDWARE_VERSION, &hardware);
    const bool okPv = cfgio::ReadFloat(od::OBJ_VOLTAGE, &pv);
    const bool okT = cfgio::ReadFloat(od::OBJ_TEMPERATURE, &t);
    const bool okB1 = cfgio::ReadInt32(od::OBJ_BAUD_UART1, &b1);
    const bool okB2 = cfgio::ReadInt32(od::OBJ_BAUD_UART2, &b2);
    const bool okSp = cfgio::ReadInt32(od::OBJ_SYNC_PERIOD, &sp);
    const bool okSo = cfgio::ReadInt32(od::OBJ_SYNC_PORT, &so);
    const bool okSd = cfgio::ReadInt32(od::OBJ_SYNC_SELECTION, &sd);
    const bool okO = cfgio::ReadInt32(od::OBJ_OPTIONS, &o);

    if (okProduct)
        SetDlgItemText(IDC_PRODUCT,
                       QString::fromLatin1(product == od::kProductTarvik ? kProductText : kUnknownProductText));
    if (okFirmware) SetDlgItemText(IDC_FIRMWARE, QString::number(firmware / 100.0, 'f', 2));
    if (okHardware) SetDlgItemText(IDC_HARDWARE, QString::number(hardware / 100.0, 'f', 2));
    SetDlgItemDouble(IDC_VOLTAGE, pv, okPv);
    SetDlgItemDouble(IDC_TEMPERATURE, t, okT);
    if (okB1) ComboSetCurSel(IDC_BAUD_UART1, RateIndex(b1));
    if (okB2) ComboSetCurSel(IDC_BAUD_UART2, RateIndex(b2));
    if (okSo) ComboSetCurSel(IDC_SYNC_PORT, so);
    SetDlgItemText(IDC_SYNC_PERIOD, okSp ? QString::number(sp) : QString());
    if (okSd)
        for (int bit = 0; bit < 12; ++bit) CheckDlgButton(kSelectionBoxes[bit], (uint32_t(sd) >> bit) & 1u);
    if (okO) CheckDlgButton(IDC_OPTION_INTEGRAL, (o & 1) != 0);
}

bool CDlgConfigAhrs::ApplyToDevice() {
    auto rateOf = [this](int id) {
        const int sel = ComboGetCurSel(id);
        return sel >= 0 && sel < kRateCount ? kRates[sel] : kRates[kDefaultRateIndex];
    };
    const int32_t b1 = rateOf(IDC_BAUD_UART1);
    const int32_t b2 = rateOf(IDC_BAUD_UART2);
    const int32_t so = ComboGetCurSel(IDC_SYNC_PORT);
    const od::ObjectInfo* spInfo = od::Find(od::OBJ_SYNC_PERIOD);
    const std::string spText = cfgui::FieldText(this, IDC_SYNC_PERIOD);
    const int32_t sp = cfgio::LimitedUnsigned(spText,
                                              static_cast<int32_t>(spInfo->minimum),
                                              static_cast<int32_t>(spInfo->maximum));
    int32_t sd = 0;
    for (int bit = 0; bit < 12; ++bit)
        if (IsDlgButtonChecked(kSelectionBoxes[bit])) sd |= int32_t(1) << bit;
    const int32_t o = IsDlgButtonChecked(IDC_OPTION_INTEGRAL) ? 1 : 0;

    bool ok = cfgio::WriteInt32(od::OBJ_BAUD_UART1, b1);
    ok = cfgio::WriteInt32(od::OBJ_BAUD_UART2, b2) && ok;
    // An empty period (its read failed) holds no value: it is not written as 1 ms.
    if (!cfgio::IsBlankText(spText)) ok = cfgio::WriteInt32(od::OBJ_SYNC_PERIOD, sp) && ok;
    ok = cfgio::WriteInt32(od::OBJ_SYNC_PORT, so) && ok;
    ok = cfgio::WriteInt32(od::OBJ_SYNC_SELECTION, sd) && ok;
    ok = cfgio::WriteInt32(od::OBJ_OPTIONS, o) && ok;
    return ok;
}

void CDlgConfigAhrs::OnTimer(int id) {
    if (id == TIMER_READINGS && IsWindowVisible()) {
        float pv = 0, t = 0;
        const bool okPv = cfgio::ReadFloat(od::OBJ_VOLTAGE, &pv);
        SetDlgItemDouble(IDC_VOLTAGE, pv, okPv);
        const bool okT = cfgio::ReadFloat(od::OBJ_TEMPERATURE, &t);
        SetDlgItemDouble(IDC_TEMPERATURE, t, okT);
    }
    CDialogCommon::OnTimer(id);
}
