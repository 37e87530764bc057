#pragma once
// CDlgMainVibr: the main window's "Vibration" page (template 170). It chooses
// the module's vibration source (object 0x23), shows the detected damped
// frequency and damping ratio (0x3c), derives the natural frequency and the
// Q-factor, and plots the damped sine wave they describe over one second.
// Run and Freeze start and stop the 100 ms polling, which runs only while the
// page is visible; the choice is remembered in "startVibr".
#include "ui/views/dlg_main_analysis.h"

#include <cstdint>

class CDlgMainVibr : public CDlgMainAnalysis {
    Q_OBJECT
public:
    enum : int {
        IDD = 170,
        IDC_DAMPED_FREQUENCY = 1122,
        IDC_DAMPING_RATIO = 1123,
        IDC_NATURAL_FREQUENCY = 1124,
        IDC_Q_FACTOR = 1125,
    };

    explicit CDlgMainVibr(QWidget* parent = nullptr);
    ~CDlgMainVibr() override;

    static const DialogTemplate& PageTemplate();

    // The curve's value at t seconds (the plot's half height is 1).
    static double CurveValue(float dampedFrequency, float dampingRatio, float amplitude, double t);

    float DampedFrequency() const { return m_dampedFrequency; }
    float DampingRatio() const { return m_dampingRatio; }
    float Amplitude() const { return m_amplitude; }

protected:
    void Update(bool force) override;
    void DrawPlot() override;

private:
    float m_dampedFrequency = 0.0f;
    float m_dampingRatio = 1.0f;
    float m_amplitude = 0.0f;  // reported amplitude / 10, at most 1
    float m_lastDampedFrequency = -1.0f;
    float m_lastDampingRatio = -1.0f;
};
