#pragma once
// CDlgConfigFft: the "FFT && Position" page of the configuration window
// (template 165): the sensor streams of the module's FFT and vibration
// detection, the detection's two magnitude thresholds, and the zero-velocity
// variance of the velocity and position Kalman filter.
#include "ui/config/config_page.h"

class CDlgConfigFft : public CConfigPage {
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

    static const DialogTemplate& Template165();

    // The five objects: two source lists and three number fields.
    void LoadFromDevice() override;
    void ApplyToDevice() override;
};
