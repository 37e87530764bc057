#pragma once
// CCustomControl: the base of the child controls that draw and handle the
// mouse themselves (chart viewer, plot surfaces). It keeps a control id like
// every template control (property "ctrlId"), tells its dialog about events
// with notification codes, keeps window timers by id, and turns Qt's events
// into Windows-style virtual hooks: show/hide, size, mouse buttons, moves,
// wheel and leave, all in client coordinates.
//
// Notifications are synchronous, as a command message sent to the parent:
// SendNotify returns only after the dialog has handled it, so the dialog may
// call back into the control (for example give it a new picture) from inside
// its handler. They reach the nearest ancestor, up to the top-level window,
// that implements CNotifySink; the signal Notified carries the same.
#include <QHash>
#include <QWidget>

class CNotifySink {
public:
    virtual ~CNotifySink() = default;
    // A notification code from the control with that id. The answer is
    // returned to the control by SendNotify.
    virtual long OnControlNotify(int id, int code, QWidget* control) = 0;
};

class CCustomControl : public QWidget {
    Q_OBJECT
public:
    explicit CCustomControl(QWidget* parent = nullptr);
    ~CCustomControl() override;

    // Makes the control a child of parent at rect (parent's client
    // coordinates) with the given id, shown unless visible is false.
    void Create(QWidget* parent, const QRect& rect, int id, bool visible = true);

    // The control id: the one given to Create or SetDlgCtrlID, or the one the
    // dialog gave it when it replaced a template placeholder; 0 when none.
    int GetDlgCtrlID() const;
    void SetDlgCtrlID(int id);

    // Sends a notification code to the dialog and returns its answer (0 when
    // no ancestor handles notifications).
    long SendNotify(int code);

    // Window timers by id: restarting an id replaces it; they run while the
    // control is hidden, as window timers do.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool HasTimer(int id) const { return m_timers.contains(id); }

    // Repaints the whole client area at the next paint cycle.
    void Invalidate() { update(); }

signals:
    void Notified(int id, int code);

protected:
    virtual void OnTimer(int id) { (void)id; }
    // The control became visible or hidden (its own show/hide or its parent's).
    virtual void OnShowWindow(bool show) { (void)show; }
    // The client area changed size.
    virtual void OnSize(int width, int height) { (void)width; (void)height; }
    virtual void OnLButtonDown(int x, int y) { (void)x; (void)y; }
    virtual void OnLButtonUp(int x, int y) { (void)x; (void)y; }
    virtual void OnLButtonDblClk(int x, int y) { (void)x; (void)y; }
    virtual void OnRButtonDown(int x, int y) { (void)x; (void)y; }
    virtual void OnRButtonUp(int x, int y) { (void)x; (void)y; }
    virtual void OnMButtonDown(int x, int y) { (void)x; (void)y; }
    virtual void OnMButtonUp(int x, int y) { (void)x; (void)y; }
    // Every pointer move over the control (no button needed), and while a
    // button is held also outside it; buttons are the ones held.
    virtual void OnMouseMove(int x, int y, Qt::MouseButtons buttons) { (void)x; (void)y; (void)buttons; }
    // The vertical wheel: delta in eighths of a degree (120 per notch), the
    // pointer position. Return true when handled; otherwise the event goes on
    // to the parent. Wheel events without vertical movement never come here.
    virtual bool OnMouseWheel(int delta, int x, int y) { (void)delta; (void)x; (void)y; return false; }
    // The pointer left the control.
    virtual void OnMouseLeave() {}

    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QHash<int, int> m_timers;    // our id -> Qt timer id
    QHash<int, int> m_timerIds;  // Qt timer id -> our id
};
