#pragma once
// CDlgConfigAhrs: the "Device" page of the configuration window (template
// 129). It shows what identifies the module and its supply voltage and
// temperature (polled every second while visible), and edits the two port
// speeds, the synchronous data transmission and the device options.
#include "device/object_dictionary.h"
#include "ui/config/config_page.h"

class CDlgConfigAhrs : public CConfigPage {
    Q_OBJECT
public:
    enum : int {
        IDD = 129,
        IDC_PRODUCT = 1022,
        IDC_FIRMWARE = 1029,
        IDC_HARDWARE = 1030,
        IDC_VOLTAGE = 1032,
        IDC_TEMPERATURE = 1033,
        IDC_BAUD_UART1 = 1028,
        IDC_BAUD_UART2 = 1031,
        IDC_SYNC_PORT = 1042,
        IDC_SYNC_PERIOD = 1020,
        IDC_OPTION_INTEGRAL = 1098,
        TIMER_READINGS = 1000,
        READINGS_PERIOD_MS = 1000,
        kRateCount = od::kBaudRateCount,
    };
    // The check box of each bit of the sync data selection, bit 0 first.
    static const int kSelectionBoxes[12];

    explicit CDlgConfigAhrs(QWidget* parent = nullptr);

    static const DialogTemplate& Template129();
    // The list index a reported rate selects (an unknown rate shows 115200).
    static int RateIndex(int32_t rate);

    // Reads the eleven objects and shows them; writes the six writable ones.
    void LoadFromDevice() override;
    void ApplyToDevice() override;

    void OnTimer(int id) override;

protected:
    bool OnInitDialog() override;
};
