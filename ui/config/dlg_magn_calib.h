#pragma once
// CDlgMagnCalib: the window "Magnetometer Calibration Data View" (template
// 167). While the module calibrates its magnetometer, it samples the field
// every 100 ms into the point cloud of its 3D view, so that the user sees
// which directions are still missing, and its progress bar counts the 30
// seconds of the procedure. The Calibration page owns it, shows it when the
// magnetometer calibration starts and hides it when the page is left.
// Beside the view, the coach's panel judges the readings while the user turns
// the module: how many directions are covered, the fitted offset and the
// spread of the field strength, what to turn to next and, once there are
// enough readings, a verdict with its reasons (calib/mag_coach).
#include "calib/mag_coach.h"
#include "device/tick.h"
#include "ui/toolkit/dialog.h"

#include <cstdint>

class COpenGlAhrs;

class CDlgMagnCalib : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 167,
        IDC_VIEW = 1003,
        IDC_PROGRESS = 1121,
        TIMER_SAMPLE = 1000,
        SAMPLE_PERIOD_MS = 100,
        kProgressSeconds = 30,
        // The coach's panel, right of the view.
        IDC_COACH_SAMPLES = 1301,
        IDC_COACH_COVERAGE,
        IDC_COACH_FIELD,
        IDC_COACH_OFFSET,
        IDC_COACH_SPREAD_BEFORE,
        IDC_COACH_SPREAD_AFTER,
        IDC_COACH_MODULE_OFFSET,
        IDC_COACH_VERDICT,
        IDC_COACH_NEXT,
        IDC_COACH_CROSS_AXIS,
        kCoachEveryTicks = 10,  // the panel follows the readings once a second
    };
    static constexpr double kSampleDivisor = 200.0;  // field reading -> scene units

    explicit CDlgMagnCalib(QWidget* owner = nullptr);
    ~CDlgMagnCalib() override;

    static const DialogTemplate& Template167();

    // The 3D view object; its window exists only when the OpenGL set-up worked.
    COpenGlAhrs* View() const { return m_view; }
    bool HasViewWindow() const { return m_viewCreated; }

    // Empties the cloud and restarts the count of seconds (the page calls it
    // when it starts a magnetometer calibration, before showing the window).
    void Restart();
    uint32_t StartTime() const { return m_startTime; }
    int Progress() const;
    // The coach's judgement of the readings collected since the last start.
    const calib::MagCoachReport& Coach() const { return m_coach; }
    // Number of timer ticks that invalidated the view.
    int invalidations = 0;

    // Millisecond tick source; tests replace it.
    TickSource tick;

    void OnTimer(int id) override;

protected:
    bool OnInitDialog() override;
    // Enter, Escape and the close box hide the window; it keeps its points.
    void OnOK() override { hide(); }
    void OnCancel() override { hide(); }
    void OnDestroy() override;

private:
    void Sample();
    // Judges the readings so far and shows the result in the panel and as
    // direction markers in the view.
    void UpdateCoach();
    void ShowCoach();
    // After the run: the module's own magnetometer offset (bias table
    // elements 6 to 8), read once.
    void ReadModuleOffset();

    COpenGlAhrs* m_view = nullptr;
    bool m_viewCreated = false;
    uint32_t m_startTime = 0;
    // The coach's state for the current run.
    calib::MagCoachModule m_module;
    calib::MagCoachReport m_coach;
    bool m_sawRunning = false;  // the status word has shown the run since the start
    bool m_finalShown = false;  // the verdict after the end is shown
    int m_ticksToCoach = 0;
};
