#pragma once
// CDlgConfigFft: the "FFT && Position" page of the configuration window
// (template 165): the sensor streams of the module's FFT and vibration
// detection, the detection's two magnitude thresholds, and the zero-velocity
// variance of the velocity and position Kalman filter.
#include "ui/toolkit/dialog_common.h"

class CDlgConfigFft : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDD = 165,
        IDC_FFT_SOURCE = 1109,
        IDC_VIBRATION_SOURCE = 1112,
        IDC_ACCEL_THRESHOLD = 1111,
        IDC_GYRO_THRESHOLD = 1110,
        IDC_ZERO_VELOCITY_VARIANCE = 1119,
    };

    explicit CDlgConfigFft(QWidget* parent = nullptr);
    ~CDlgConfigFft() override;

    static const DialogTemplate& Template165();

    // Reads the five objects and shows them.
    void LoadFromDevice();
    // Limits the values and writes the five objects (an emptied number field
    // is left out); true when every write was acknowledged.
    bool ApplyToDevice();

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
};
