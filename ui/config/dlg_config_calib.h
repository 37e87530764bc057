#pragma once
// CDlgConfigCalib: the "Calibration" page of the configuration window
// (template 134): the module's calibration tables (bias, scale and
// temperature coefficient of each sensor axis, and the gravity vector angle),
// with the cells that changed since the last full read marked in red, and the
// module's calibration procedures: gyroscope and accelerometer, magnetometer
// (with the magnetometer view), reset to factory default, and the two service
// procedures for the maker's staff (temperature bias, save as factory
// calibration). A procedure runs in the module; the page starts it, follows
// it through the status word and tells its outcome in the status line.
#include "ui/toolkit/dialog.h"

#include <cstdint>

class CDlgMagnCalib;

class CDlgConfigCalib : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 134,
        IDC_STATUS = 1065,
        IDC_RESET = 1024,
        IDC_CALIB_TEMP = 1121,
        IDC_SFD = 1120,
        IDC_CALIB_GYRO_ACCEL = 1023,
        IDC_CALIB_MAGN = 1033,
        IDC_FIRST_CELL = 1035,  // bias/scale/coefficient rows: 1035 + 3 * row + column
        IDC_GRAVITY_X = 1062,
        kTableCount = 4,
        TIMER_STATUS = 1000,
        STATUS_PERIOD_MS = 100,
        TIMER_TEMPERATURE = 1001,
        TEMPERATURE_PERIOD_MS = 1000,
        WAIT_RESET_MS = 300,
        WAIT_SFD_MS = 500,
        kSfdReplyBytes = 256,
    };

    // Questions and status texts.
    static constexpr const char* kAskGyroAccel =
        "It will calibrate scale and bias of gyroscope and accelerometer.\r\nIt will take about 4 seconds.\r\n"
        "Would you like to continue?";
    static constexpr const char* kAskMagn =
        "It will calibrate scale and bias of magnetometer.\r\nIt will take about 30 seconds.\r\n"
        "Rotate sensor towards all directions during the process.\r\nWould you like to continue?";
    static constexpr const char* kAskReset =
        "It will reset all calibration data to factory default.\r\nWould you like to continue?";
    static constexpr const char* kTextGyroAccel =
        "Refer to the manual and perform the calibration according to the specified procedure.";
    static constexpr const char* kTextMagn =
        "The calibration of the magnetic sensor proceeds for 30 seconds. Rotate the sensor in all directions.";
    static constexpr const char* kTextSfd = "Save calibration parameters as factory defaults.";
    static constexpr const char* kTextTemp = "Calibrate sensor's temperature bias..";
    static constexpr const char* kTextFailed = "Calibration failed.";
    static constexpr const char* kTextSuccess = "Calibration success.";
    static constexpr const char kSfdCommand[] = "/f\r\n";

    explicit CDlgConfigCalib(QWidget* parent = nullptr);
    ~CDlgConfigCalib() override;

    static const DialogTemplate& Template134();
    // The cell of element i of table k (0 bias, 1 scale, 2 coefficient, 3 gravity).
    static int CellId(int table, int element);
    static int TableSize(int table) { return table == 3 ? 3 : 9; }

    // Clears every change mark (the cells show black again).
    void ClearChangeMarks();
    // full: reads all four tables; otherwise the table of the read phase, and
    // marks the cells whose value changed. The phase then advances.
    void ReadCalibration(bool full);

    bool IsMarked(int table, int element) const;
    int ReadPhase() const { return s_readPhase; }
    CDlgMagnCalib* MagnView() const { return m_magnView; }
    QString StatusText() const { return GetDlgItemText(IDC_STATUS); }
    int32_t RememberedStatus() const { return m_rememberedStatus; }

    void OnTimer(int id) override;
    void OnCommand(int id) override;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

private:
    void ShowMark(int table, int element);
    void PollStatus();
    void TemperatureTick();
    // Asks the question; on Yes writes the command, disables the procedure
    // buttons and shows the text. False for No.
    bool StartProcedure(const char* question, int32_t command, const char* text);
    void CalibrateGyroAccel();
    void CalibrateMagnetometer();
    void ResetCalibration();
    void SaveFactoryDefaults();
    void CalibrateTemperature();
    // Writes a command to object 0x06 while connected; the outcome shows in
    // the status word.
    static void SendCommand(int32_t command);
    void EnableProcedureButtons(bool enable);
    void ShowTemperatures();

    CDlgMagnCalib* m_magnView = nullptr;  // owned
    float m_tempCurrent = 0, m_tempMin = 0, m_tempMax = 0;
    int32_t m_rememberedStatus = -1;

    // Shared by every instance, as the page's marks and last values are.
    static bool s_marks[kTableCount][9];
    static float s_previous[kTableCount][9];
    static int s_readPhase;
    static bool s_rememberedOk;
};
