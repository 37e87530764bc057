#pragma once
// CDlgMainAhrs: the main window's "AHRS" page (template 166). While visible
// and connected it polls the module's Euler angles and position every 50 ms,
// shows them as one text line and hands them to the 3D attitude view; three
// buttons send commands to the module, a fourth puts the camera back.
#include "ui/toolkit/dialog_common.h"

#include <QString>

class COpenGlAhrs;

class CDlgMainAhrs : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDD = 166,
        IDC_RESET_ANGLE = 1038,
        IDC_RESET_POSITION = 1039,
        IDC_SET_ZERO_ANGLE = 1040,
        IDC_RESET_VIEW = 1101,
        IDC_TEXT = 1115,
        IDC_VIEW = 1003,
        TIMER_POLL = 1000,
        POLL_PERIOD_MS = 50,
    };

    explicit CDlgMainAhrs(QWidget* parent = nullptr);
    ~CDlgMainAhrs() override;

    static const DialogTemplate& Template166();

    // The 3D view; its window exists (HasViewWindow) only when the OpenGL
    // set-up succeeded in OnInitDialog.
    COpenGlAhrs* View() const { return m_view; }
    bool HasViewWindow() const { return m_viewCreated; }

    // The text line: the first form when the position is exactly (0, 0, 0),
    // the second otherwise (also for a NaN component); at most 255 characters.
    static QString FormatLine(const float angles[3], const float position[3]);

    void OnTimer(int id) override;
    void OnCommand(int id) override;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

private:
    void Poll();
    void SendCommand(int32_t value);
    void ResetView();

    COpenGlAhrs* m_view = nullptr;
    bool m_viewCreated = false;
    // Connection state seen at the previous tick; the command buttons change
    // their enable state only when it changes.
    bool m_lastConnected = false;
    bool m_firstPoseHanded = false;
};
