#pragma once
// CDlgMagnCalib: the window "Magnetometer Calibration Data View" (template
// 167). While the module calibrates its magnetometer, it samples the field
// every 100 ms into the point cloud of its 3D view, so that the user sees
// which directions are still missing, and its progress bar counts the 30
// seconds of the procedure. The Calibration page owns it, shows it when the
// magnetometer calibration starts and hides it when the page is left.
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

    COpenGlAhrs* m_view = nullptr;
    bool m_viewCreated = false;
    uint32_t m_startTime = 0;
};
