#include "ui/config/dlg_config_calib.h"

#include "app/app_ini.h"
#include "device/object_dictionary.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "ui/config/config_controls.h"

#include <QLineEdit>
#include <QPalette>

#include <cmath>

namespace {

using C = CDlgConfigCalib;

constexpr int kCellW = 52;
constexpr int kCellH = 14;

#define CELL_ROW(label, id, y)                                                         \
    {-1, ControlKind::Static, label, 14, y + 2, 90, 10},                               \
    {id, ControlKind::Edit, "", 106, y, kCellW, kCellH, CS_TABSTOP | CS_AUTOHSCROLL},  \
    {id + 1, ControlKind::Edit, "", 168, y, kCellW, kCellH, CS_TABSTOP | CS_AUTOHSCROLL}, \
    {id + 2, ControlKind::Edit, "", 230, y, kCellW, kCellH, CS_TABSTOP | CS_AUTOHSCROLL}

const ControlDef kControls134[] = {
    {-1, ControlKind::StaticCenter, "Bias", 106, 12, kCellW, 10},
    {-1, ControlKind::StaticCenter, "Scale", 168, 12, kCellW, 10},
    {-1, ControlKind::StaticCenter, "Temp. Coef.", 230, 12, kCellW, 10},
    CELL_ROW("Acceleration X :", 1035, 24),
    CELL_ROW("Acceleration Y :", 1038, 43),
    CELL_ROW("Acceleration Z :", 1041, 62),
    CELL_ROW("Gyroscope X :", 1044, 89),
    CELL_ROW("Gyroscope Y :", 1047, 108),
    CELL_ROW("Gyroscope Z :", 1050, 127),
    CELL_ROW("Magnetometer X :", 1053, 154),
    CELL_ROW("Magnetometer Y :", 1056, 173),
    CELL_ROW("Magnetometer Z :", 1059, 193),
    {-1, ControlKind::StaticCenter, "Rx", 106, 221, kCellW, 10},
    {-1, ControlKind::StaticCenter, "Ry", 168, 221, kCellW, 10},
    {-1, ControlKind::StaticCenter, "Rz", 230, 221, kCellW, 10},
    CELL_ROW("Gravity Vector Angle :", 1062, 233),
    {-1, ControlKind::Static, "deg", 286, 235, 30, 10},
    {C::IDC_STATUS, ControlKind::Static, "...", 7, 264, 318, 26},
    {C::IDC_RESET, ControlKind::PushButton, "Reset calibration data (rc)", 7, 297, 73, 20, CS_TABSTOP},
    {C::IDC_CALIB_TEMP, ControlKind::PushButton, "Calib Temp", 89, 297, 40, 20, CS_TABSTOP},
    {C::IDC_SFD, ControlKind::PushButton, "SFD", 137, 297, 22, 20, CS_TABSTOP},
    {C::IDC_CALIB_GYRO_ACCEL, ControlKind::PushButton, "Calibrate gyro./accel. bias/scale (ca)", 168, 297, 73, 20,
     CS_TABSTOP},
    {C::IDC_CALIB_MAGN, ControlKind::PushButton, "Calibrate magnetometer (cm)", 251, 297, 74, 20, CS_TABSTOP},
};
#undef CELL_ROW

const DialogTemplate kTemplate134{C::IDD, "", 332, 324, true, kControls134,
                                  int(sizeof(kControls134) / sizeof(kControls134[0]))};

const uint16_t kTableObjects[C::kTableCount] = {od::OBJ_CALIB_BIAS, od::OBJ_CALIB_SCALE, od::OBJ_CALIB_TEMP_COEFF,
                                                od::OBJ_GRAVITY_ANGLE};

}  // namespace

bool CDlgConfigCalib::s_marks[kTableCount][9] = {};
float CDlgConfigCalib::s_previous[kTableCount][9] = {};
int CDlgConfigCalib::s_readPhase = 0;

const DialogTemplate& CDlgConfigCalib::Template134() { return kTemplate134; }

CDlgConfigCalib::CDlgConfigCalib(QWidget* parent) : CDialog(kTemplate134, parent) {}

CDlgConfigCalib::~CDlgConfigCalib() = default;

int CDlgConfigCalib::CellId(int table, int element) {
    if (table == 3) return IDC_GRAVITY_X + element;
    return IDC_FIRST_CELL + 3 * element + table;
}

bool CDlgConfigCalib::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int id : {IDC_RESET, IDC_CALIB_GYRO_ACCEL, IDC_CALIB_MAGN}) cfgui::WrapButtonCaption(this, id);
    ClearChangeMarks();
    ReadCalibration(true);
    // The two service buttons are for the maker's staff only.
    if (!g_pAppIni || g_pAppIni->admin == 0) {
        ShowDlgItem(IDC_CALIB_TEMP, false);
        ShowDlgItem(IDC_SFD, false);
    }
    return true;
}

bool CDlgConfigCalib::IsMarked(int table, int element) const {
    if (table < 0 || table >= kTableCount || element < 0 || element >= TableSize(table)) return false;
    return s_marks[table][element];
}

void CDlgConfigCalib::ShowMark(int table, int element) {
    auto* e = Item<QLineEdit>(CellId(table, element));
    if (!e) return;
    QPalette pal = e->palette();
    pal.setColor(QPalette::Text, s_marks[table][element] ? QColor(255, 0, 0) : QColor(0, 0, 0));
    e->setPalette(pal);
}

void CDlgConfigCalib::ClearChangeMarks() {
    for (int k = 0; k < kTableCount; ++k)
        for (int i = 0; i < TableSize(k); ++i) {
            s_marks[k][i] = false;
            ShowMark(k, i);
        }
}

void CDlgConfigCalib::ReadCalibration(bool full) {
    if (!g_pObjectAccess) return;
    for (int k = 0; k < kTableCount; ++k) {
        if (!full && s_readPhase != k) continue;
        float values[9] = {};
        if (!g_pObjectAccess || !g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, kTableObjects[k], 0, values, TableSize(k)))
            continue;  // a failed read changes nothing in its table
        for (int i = 0; i < TableSize(k); ++i) {
            // A value that is not a number always differs.
            if (!full && !(values[i] == s_previous[k][i])) s_marks[k][i] = true;
            s_previous[k][i] = values[i];
            // At most 30 characters, as the cells show them.
            SetDlgItemText(CellId(k, i), QString::number(double(values[i]), 'f', 6).left(30));
            ShowMark(k, i);
        }
    }
    s_readPhase = (s_readPhase + 1) % kTableCount;
}
