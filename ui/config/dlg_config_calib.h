#pragma once
// CDlgConfigCalib: the "Calibration" page of the configuration window
// (template 134): the module's calibration tables (bias, scale and
// temperature coefficient of each sensor axis, and the gravity vector angle),
// with the cells that changed since the last full read marked in red.
// The calibration procedures (the page's buttons, its status polling and the
// magnetometer view) are not built yet: the buttons do nothing.
#include "ui/toolkit/dialog.h"

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
    };

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

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ShowMark(int table, int element);

    // Shared by every instance, as the page's marks and last values are.
    static bool s_marks[kTableCount][9];
    static float s_previous[kTableCount][9];
    static int s_readPhase;
};
