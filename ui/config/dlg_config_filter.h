#pragma once
// CDlgConfigFilter: the "Filter" page of the configuration window (template
// 158): the sensor chip's full-scale and low-pass settings, and the drift
// reduction, scale adjustment and Kalman filters of the module.
#include "ui/config/config_page.h"

class CDlgConfigFilter : public CConfigPage {
    Q_OBJECT
public:
    enum : int {
        IDD = 158,
        IDC_GYRO_FULL_SCALE = 1033,
        IDC_GYRO_LOW_PASS = 1034,
        IDC_ACCEL_FULL_SCALE = 1035,
        IDC_ACCEL_LOW_PASS = 1036,
        IDC_DRIFT_THRESHOLD = 1037,
        IDC_DRIFT_GAIN = 1038,
        IDC_SCALE_THRESHOLD = 1039,
        IDC_SCALE_GAIN = 1040,
        IDC_ACCEL_VARIANCE = 1031,
        IDC_MAGN_VARIANCE = 1032,
    };

    explicit CDlgConfigFilter(QWidget* parent = nullptr);

    static const DialogTemplate& Template158();

    // The ten objects: four lists and six number fields.
    void LoadFromDevice() override;
    void ApplyToDevice() override;
};
