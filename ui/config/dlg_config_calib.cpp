#include "ui/config/dlg_config_calib.h"

#include "app/app_ini.h"
#include "device/object_dictionary.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "app/number_parse.h"
#include "device/serial_com.h"
#include "ui/config/config_controls.h"
#include "ui/config/config_io.h"
#include "ui/config/dlg_magn_calib.h"
#include "ui/toolkit/message_box.h"

#include <QLineEdit>
#include <QPalette>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

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

constexpr uint32_t kRunningBits = od::STATUS_CALIB_RUNNING_0 | od::STATUS_CALIB_RUNNING_1 | od::STATUS_CALIB_RUNNING_2;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool ReadStatus(int32_t* status) {
    return g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, status, 1);
}

// The temperature into *t only when the read succeeds.
void ReadTemperature(float* t) {
    float value = 0;
    if (g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_TEMPERATURE, 0, &value, 1)) *t = value;
}

}  // namespace

bool CDlgConfigCalib::s_marks[kTableCount][9] = {};
float CDlgConfigCalib::s_previous[kTableCount][9] = {};
int CDlgConfigCalib::s_readPhase = 0;
bool CDlgConfigCalib::s_rememberedOk = false;

const DialogTemplate& CDlgConfigCalib::Template134() { return kTemplate134; }

CDlgConfigCalib::CDlgConfigCalib(QWidget* parent) : CDialog(kTemplate134, parent) {
    m_magnView = new CDlgMagnCalib();
}

CDlgConfigCalib::~CDlgConfigCalib() {
    DestroyWindow();
    delete m_magnView;
    m_magnView = nullptr;
}

int CDlgConfigCalib::CellId(int table, int element) {
    if (table == 3) return IDC_GRAVITY_X + element;
    return IDC_FIRST_CELL + 3 * element + table;
}

bool CDlgConfigCalib::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int id : {IDC_RESET, IDC_CALIB_GYRO_ACCEL, IDC_CALIB_MAGN}) cfgui::WrapButtonCaption(this, id);
    ClearChangeMarks();
    ReadCalibration(true);
    // A window of its own beside the configuration window, hidden until a
    // magnetometer calibration starts.
    m_magnView->Create(nullptr);
    m_magnView->hide();
    // The two service buttons are for the maker's staff only.
    if (!g_pAppIni || g_pAppIni->admin == 0) {
        ShowDlgItem(IDC_CALIB_TEMP, false);
        ShowDlgItem(IDC_SFD, false);
    }
    SetTimer(TIMER_STATUS, STATUS_PERIOD_MS);
    return true;
}

void CDlgConfigCalib::OnDestroy() {
    // No more polling once the window goes; a procedure in progress runs to
    // its end in the module, which keeps its outcome in the status word.
    KillTimer(TIMER_STATUS);
    KillTimer(TIMER_TEMPERATURE);
    if (m_magnView) m_magnView->DestroyWindow();
    CDialog::OnDestroy();
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

void CDlgConfigCalib::SendCommand(int32_t command) { cfgio::WriteInt32(od::OBJ_COMMAND, command); }

void CDlgConfigCalib::EnableProcedureButtons(bool enable) {
    EnableDlgItem(IDC_RESET, enable);
    EnableDlgItem(IDC_CALIB_GYRO_ACCEL, enable);
    EnableDlgItem(IDC_CALIB_MAGN, enable);
}

void CDlgConfigCalib::OnTimer(int id) {
    if (id == TIMER_STATUS) {
        if (!IsWindowVisible()) {
            // The magnetometer view belongs to the page: it goes when the page is left.
            if (m_magnView && m_magnView->isVisible()) m_magnView->hide();
        } else {
            PollStatus();
            ReadCalibration(false);
        }
    } else if (id == TIMER_TEMPERATURE) {
        TemperatureTick();
    }
    CDialog::OnTimer(id);
}

void CDlgConfigCalib::PollStatus() {
    // A failed read counts as status 0: no procedure running, no outcome.
    int32_t status = 0;
    const bool ok = ReadStatus(&status);
    if (!ok) status = 0;
    if (ok != s_rememberedOk || status != m_rememberedStatus) {
        // While a procedure runs the buttons and the status line stay as its start left them.
        const uint32_t s = uint32_t(status);
        if (!(s & kRunningBits)) {
            EnableProcedureButtons(ok);
            SetDlgItemText(IDC_STATUS, QString::fromLatin1(s & od::STATUS_CALIB_FAILED    ? kTextFailed
                                                           : s & od::STATUS_CALIB_SUCCESS ? kTextSuccess
                                                                                          : ""));
        }
        s_rememberedOk = ok;
        m_rememberedStatus = status;
    }
}

void CDlgConfigCalib::OnCommand(int id) {
    switch (id) {
    case IDC_CALIB_GYRO_ACCEL: CalibrateGyroAccel(); break;
    case IDC_CALIB_MAGN: CalibrateMagnetometer(); break;
    case IDC_RESET: ResetCalibration(); break;
    case IDC_SFD: SaveFactoryDefaults(); break;
    case IDC_CALIB_TEMP: CalibrateTemperature(); break;
    default: break;
    }
    CDialog::OnCommand(id);
}

bool CDlgConfigCalib::StartProcedure(const char* question, int32_t command, const char* text) {
    if (!AskYesNo(this, QString::fromLatin1(question))) return false;
    // The module tells in its status word whether it runs the procedure.
    SendCommand(command);
    EnableProcedureButtons(false);
    SetDlgItemText(IDC_STATUS, QString::fromLatin1(text));
    m_rememberedStatus = -1;
    return true;
}

void CDlgConfigCalib::CalibrateGyroAccel() {
    StartProcedure(kAskGyroAccel, od::CMD_CALIBRATE_GYRO_ACCEL, kTextGyroAccel);
    ClearChangeMarks();
}

void CDlgConfigCalib::CalibrateMagnetometer() {
    if (StartProcedure(kAskMagn, od::CMD_CALIBRATE_MAGNETOMETER, kTextMagn)) {
        m_magnView->Restart();
        m_magnView->show();
        m_magnView->raise();
    }
    ClearChangeMarks();
}

void CDlgConfigCalib::ResetCalibration() {
    if (!AskYesNo(this, QString::fromLatin1(kAskReset))) return;
    SendCommand(od::CMD_RESET_CALIBRATION);
    SleepMs(WAIT_RESET_MS);  // the module rewrites its tables before they are read back
    ClearChangeMarks();
    ReadCalibration(true);
    m_rememberedStatus = -1;
}

void CDlgConfigCalib::SaveFactoryDefaults() {
    // A text command beside the object protocol, on the connection's port.
    if (!g_pSerialCom) return;
    g_pSerialCom->Write(kSfdCommand, int32_t(sizeof kSfdCommand - 1));
    SetDlgItemText(IDC_STATUS, QString::fromLatin1(kTextSfd));
    SleepMs(WAIT_SFD_MS);
    // The module's answer to the text command is not needed.
    char reply[kSfdReplyBytes];
    if (g_pSerialCom) g_pSerialCom->Read(reply, int32_t(sizeof reply));
}

void CDlgConfigCalib::CalibrateTemperature() {
    SendCommand(od::CMD_CALIBRATE_TEMPERATURE);
    SetDlgItemText(IDC_STATUS, QString::fromLatin1(kTextTemp));
    EnableProcedureButtons(false);
    EnableDlgItem(IDC_CALIB_TEMP, false);
    EnableDlgItem(IDC_SFD, false);
    ReadTemperature(&m_tempCurrent);
    m_tempMin = m_tempMax = m_tempCurrent;
    SetTimer(TIMER_TEMPERATURE, TEMPERATURE_PERIOD_MS);
}

void CDlgConfigCalib::TemperatureTick() {
    int32_t status = 0;
    const bool ok = ReadStatus(&status);
    if (ok && (uint32_t(status) & od::STATUS_CALIB_RUNNING_0)) {
        ReadTemperature(&m_tempCurrent);
        if (m_tempMin > m_tempCurrent) m_tempMin = m_tempCurrent;
        if (m_tempCurrent > m_tempMax) m_tempMax = m_tempCurrent;
        ShowTemperatures();
        return;
    }
    // Over, or no word from the module: all five buttons come back and the
    // status line keeps its last text.
    EnableProcedureButtons(true);
    EnableDlgItem(IDC_CALIB_TEMP, true);
    EnableDlgItem(IDC_SFD, true);
    KillTimer(TIMER_TEMPERATURE);
}

void CDlgConfigCalib::ShowTemperatures() {
    char text[256];
    std::snprintf(text, sizeof text, "Current temperature = %d\n Change in temperature = %d ~ %d",
                  int(DoubleToInt32(m_tempCurrent)), int(DoubleToInt32(m_tempMin)), int(DoubleToInt32(m_tempMax)));
    SetDlgItemText(IDC_STATUS, QString::fromLatin1(text));
}
