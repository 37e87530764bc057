#pragma once
// CDlgMainVibr: the main window's "Vibration" page (template 170). It chooses
// the module's vibration source (object 0x23), shows the detected damped
// frequency and damping ratio (0x3c), derives the natural frequency and the
// Q-factor, and plots the damped sine wave they describe over one second.
// Run and Freeze start and stop the 100 ms polling, which runs only while the
// page is visible; the choice is remembered in "startVibr".
#include "ui/toolkit/dialog_common.h"

#include <QString>

#include <cstdint>

class CPlotFrame;
class QShowEvent;

class CDlgMainVibr : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDD = 170,
        IDC_SOURCE = 1115,
        IDC_RUN = 1013,
        IDC_FREEZE = 1009,
        IDC_PLOT = 1004,
        IDC_DAMPED_FREQUENCY = 1122,
        IDC_DAMPING_RATIO = 1123,
        IDC_NATURAL_FREQUENCY = 1124,
        IDC_Q_FACTOR = 1125,
        TIMER_POLL = 1000,
        POLL_PERIOD_MS = 100,
        FULL_UPDATE_MS = 1000,
    };

    explicit CDlgMainVibr(QWidget* parent = nullptr);
    ~CDlgMainVibr() override;

    static const DialogTemplate& PageTemplate();

    // Reads the vibration source back from the module and redraws (the main
    // window calls it after each successful connect).
    void RefreshSource();
    // Number of RefreshSource calls from outside the page.
    int reloadCalls = 0;

    // Natural frequency fd / sqrt(1 - zeta^2) for 0 <= zeta < 1, else false.
    static bool NaturalFrequency(float dampedFrequency, float dampingRatio, float& natural);
    // Q-factor 1 / (2 zeta) for 0 < zeta <= 1, else false.
    static bool QFactor(float dampingRatio, float& q);
    // The curve's value at t seconds (the plot's half height is 1).
    static double CurveValue(float dampedFrequency, float dampingRatio, float amplitude, double t);

    int Source() const { return m_source; }
    float DampedFrequency() const { return m_dampedFrequency; }
    float DampingRatio() const { return m_dampingRatio; }
    float Amplitude() const { return m_amplitude; }
    CPlotFrame* Plot() const { return m_plot; }

    void OnTimer(int id) override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    void SelectSource();
    void Update(bool force);
    void DrawPlot();

    CPlotFrame* m_plot = nullptr;
    float m_dampedFrequency = 0.0f;
    float m_dampingRatio = 1.0f;
    float m_amplitude = 0.0f;  // reported amplitude / 10, at most 1
    int32_t m_source = 0;
    uint32_t m_lastFullUpdate = 0;
    bool m_lastOk = false;
    float m_lastDampedFrequency = -1.0f;
    float m_lastDampingRatio = -1.0f;
};
