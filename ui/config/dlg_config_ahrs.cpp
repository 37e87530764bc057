#include "ui/config/dlg_config_ahrs.h"

#include "device/object_dictionary.h"
#include "ui/config/config_io.h"

#include <array>
#include <string>

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
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_VOLTAGE), 160, 40, 93, 10},
    {A::IDC_VOLTAGE, ControlKind::Edit, "", 255, 38, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "V", 295, 40, 20, 10},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_TEMPERATURE), 160, 58, 93, 10},
    {A::IDC_TEMPERATURE, ControlKind::Edit, "", 255, 56, 36, 14, CS_READONLY | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "'C", 295, 58, 20, 10},

    {-1, ControlKind::GroupBox, "Connection", 7, 86, 318, 51},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_BAUD_UART1), 14, 96, 90, 18},
    {A::IDC_BAUD_UART1, ControlKind::ComboDropList, "", 106, 97, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_BAUD_UART2), 14, 118, 90, 10},
    {A::IDC_BAUD_UART2, ControlKind::ComboDropList, "", 106, 116, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "* USB/RS-232 Baudrate are applied after restarting the device.", 212, 98, 108, 30},

    {-1, ControlKind::GroupBox, "Synchronous data transmission", 7, 145, 318, 111},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_SYNC_PORT), 14, 161, 90, 10},
    {A::IDC_SYNC_PORT, ControlKind::ComboDropList, "", 106, 159, 99, 14, CS_TABSTOP},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_SYNC_PERIOD), 14, 180, 90, 10},
    {A::IDC_SYNC_PERIOD, ControlKind::Edit, "", 106, 178, 63, 14, CS_TABSTOP | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "ms   (1 ~ 60000)", 173, 180, 80, 10},
    {-1, ControlKind::Static, od::ConfigLabel(od::OBJ_SYNC_SELECTION), 14, 198, 90, 10},
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

    {-1, ControlKind::GroupBox, od::ConfigLabel(od::OBJ_OPTIONS), 7, 264, 318, 27},
    // A button caption takes "&&" for a shown "&".
    {A::IDC_OPTION_INTEGRAL, ControlKind::CheckBox, "Position && velocity integral", 14, 276, 200, 10, CS_TABSTOP},
};

const DialogTemplate kTemplate129{A::IDD, "", 332, 324, true, kControls129,
                                  int(sizeof(kControls129) / sizeof(kControls129[0]))};

// The rate lists' texts, "9600 bps" and on, in the catalogue's rate order.
const std::array<std::string, A::kRateCount> kRateStrings = [] {
    std::array<std::string, A::kRateCount> texts;
    for (int i = 0; i < A::kRateCount; ++i) texts[i] = std::to_string(od::kBaudRates[i]) + " bps";
    return texts;
}();
const std::array<const char*, A::kRateCount> kRateTexts = [] {
    std::array<const char*, A::kRateCount> texts;
    for (int i = 0; i < A::kRateCount; ++i) texts[i] = kRateStrings[i].c_str();
    return texts;
}();
const char* const kPortTexts[2] = {"0 - RS-232/UART1", "1 - USB/UART2"};
const CConfigPage::List kLists[] = {
    {A::IDC_BAUD_UART1, kRateTexts.data(), A::kRateCount},
    {A::IDC_BAUD_UART2, kRateTexts.data(), A::kRateCount},
    {A::IDC_SYNC_PORT, kPortTexts, 2},
};

constexpr int kDefaultRateIndex = 4;  // 115200

// A version the module keeps times 100: 104 shows "1.04".
QString Version(int32_t v) { return QString::number(v / 100.0, 'f', 2); }

// The two live readings, and the one number field the page edits.
const CConfigPage::NumberField kReadings[] = {{A::IDC_VOLTAGE, od::OBJ_VOLTAGE},
                                              {A::IDC_TEMPERATURE, od::OBJ_TEMPERATURE}};
const CConfigPage::NumberField kSyncPeriod[] = {{A::IDC_SYNC_PERIOD, od::OBJ_SYNC_PERIOD}};

}  // namespace

const int CDlgConfigAhrs::kSelectionBoxes[12] = {1045, 1046, 1034, 1035, 1037, 1039,
                                                 1036, 1043, 1040, 1041, 1044, 1038};

const DialogTemplate& CDlgConfigAhrs::Template129() { return kTemplate129; }

CDlgConfigAhrs::CDlgConfigAhrs(QWidget* parent) : CConfigPage(kTemplate129, kLists, kSyncPeriod, parent) {}

int CDlgConfigAhrs::RateIndex(int32_t rate) {
    for (int i = 0; i < kRateCount; ++i)
        if (static_cast<int32_t>(od::kBaudRates[i]) == rate) return i;
    return kDefaultRateIndex;
}

bool CDlgConfigAhrs::OnInitDialog() {
    CConfigPage::OnInitDialog();  // lists, sync period field, LoadFromDevice
    SetTimer(TIMER_READINGS, READINGS_PERIOD_MS);
    return true;
}

void CDlgConfigAhrs::LoadFromDevice() {
    // Each read tests the connection itself: once it is gone, the rest fail.
    // A failed read keeps what the item shows, but for the number fields.
    int32_t v = 0;
    if (cfgio::ReadInt32(od::OBJ_PRODUCT_ID, &v))
        SetDlgItemText(IDC_PRODUCT, QString::fromLatin1(od::ProductText(v)));
    if (cfgio::ReadInt32(od::OBJ_FIRMWARE_VERSION, &v)) SetDlgItemText(IDC_FIRMWARE, Version(v));
    if (cfgio::ReadInt32(od::OBJ_HARDWARE_VERSION, &v)) SetDlgItemText(IDC_HARDWARE, Version(v));
    LoadFields(kReadings);
    if (cfgio::ReadInt32(od::OBJ_BAUD_UART1, &v)) ComboSetCurSel(IDC_BAUD_UART1, RateIndex(v));
    if (cfgio::ReadInt32(od::OBJ_BAUD_UART2, &v)) ComboSetCurSel(IDC_BAUD_UART2, RateIndex(v));
    LoadFields(kSyncPeriod);
    if (cfgio::ReadInt32(od::OBJ_SYNC_PORT, &v)) ComboSetCurSel(IDC_SYNC_PORT, v);
    if (cfgio::ReadInt32(od::OBJ_SYNC_SELECTION, &v))
        for (int bit = 0; bit < 12; ++bit) CheckDlgButton(kSelectionBoxes[bit], (uint32_t(v) >> bit) & 1u);
    if (cfgio::ReadInt32(od::OBJ_OPTIONS, &v)) CheckDlgButton(IDC_OPTION_INTEGRAL, (v & 1) != 0);
}

void CDlgConfigAhrs::ApplyToDevice() {
    auto rateOf = [this](int id) {
        const int sel = ComboGetCurSel(id);
        return static_cast<int32_t>(od::kBaudRates[sel >= 0 && sel < kRateCount ? sel : kDefaultRateIndex]);
    };
    int32_t sd = 0;
    for (int bit = 0; bit < 12; ++bit)
        if (IsDlgButtonChecked(kSelectionBoxes[bit])) sd |= int32_t(1) << bit;

    cfgio::WriteInt32(od::OBJ_BAUD_UART1, rateOf(IDC_BAUD_UART1));
    cfgio::WriteInt32(od::OBJ_BAUD_UART2, rateOf(IDC_BAUD_UART2));
    ApplyFields(kSyncPeriod);
    cfgio::WriteInt32(od::OBJ_SYNC_PORT, ComboGetCurSel(IDC_SYNC_PORT));  // -1 without a selection
    cfgio::WriteInt32(od::OBJ_SYNC_SELECTION, sd);
    cfgio::WriteInt32(od::OBJ_OPTIONS, IsDlgButtonChecked(IDC_OPTION_INTEGRAL) ? 1 : 0);
}

void CDlgConfigAhrs::OnTimer(int id) {
    if (id == TIMER_READINGS && IsWindowVisible()) LoadFields(kReadings);
    CConfigPage::OnTimer(id);
}
