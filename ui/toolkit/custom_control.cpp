#include "ui/toolkit/custom_control.h"

#include <QMouseEvent>
#include <QTimerEvent>
#include <QWheelEvent>

CCustomControl::CCustomControl(QWidget* parent) : QWidget(parent) {
    // Moves arrive without a button held, as pointer messages do.
    setMouseTracking(true);
}

CCustomControl::~CCustomControl() = default;

void CCustomControl::Create(QWidget* parent, const QRect& rect, int id, bool visible) {
    setParent(parent);
    SetDlgCtrlID(id);
    setGeometry(rect);
    setVisible(visible);
}

int CCustomControl::GetDlgCtrlID() const {
    const QVariant v = property("ctrlId");
    return v.isValid() ? v.toInt() : 0;
}

void CCustomControl::SetDlgCtrlID(int id) {
    setProperty("ctrlId", id);
    setObjectName(QStringLiteral("id%1").arg(id));
}

long CCustomControl::SendNotify(int code) {
    const int id = GetDlgCtrlID();
    emit Notified(id, code);
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* sink = dynamic_cast<CNotifySink*>(w)) return sink->OnControlNotify(id, code, this);
        if (w->isWindow()) break;
    }
    return 0;
}

void CCustomControl::SetTimer(int id, int periodMs) {
    KillTimer(id);
    const int qtId = startTimer(periodMs < 0 ? 0 : periodMs, Qt::PreciseTimer);
    if (qtId == 0) return;
    m_timers.insert(id, qtId);
    m_timerIds.insert(qtId, id);
}

void CCustomControl::KillTimer(int id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    killTimer(it.value());
    m_timerIds.remove(it.value());
    m_timers.erase(it);
}

void CCustomControl::timerEvent(QTimerEvent* event) {
    const auto it = m_timerIds.find(event->timerId());
    if (it == m_timerIds.end()) {
        QWidget::timerEvent(event);
        return;
    }
    OnTimer(it.value());
}

void CCustomControl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OnShowWindow(true);
}

void CCustomControl::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    OnShowWindow(false);
}

void CCustomControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnSize(width(), height());
}

void CCustomControl::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    switch (event->button()) {
    case Qt::LeftButton: OnLButtonDown(p.x(), p.y()); break;
    case Qt::RightButton: OnRButtonDown(p.x(), p.y()); break;
    case Qt::MiddleButton: OnMButtonDown(p.x(), p.y()); break;
    default: QWidget::mousePressEvent(event); return;
    }
    event->accept();
}

void CCustomControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    switch (event->button()) {
    case Qt::LeftButton: OnLButtonUp(p.x(), p.y()); break;
    case Qt::RightButton: OnRButtonUp(p.x(), p.y()); break;
    case Qt::MiddleButton: OnMButtonUp(p.x(), p.y()); break;
    default: QWidget::mouseReleaseEvent(event); return;
    }
    event->accept();
}

void CCustomControl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);  // the second press of other buttons is a plain press
        return;
    }
    const QPoint p = event->position().toPoint();
    OnLButtonDblClk(p.x(), p.y());
    event->accept();
}

void CCustomControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    OnMouseMove(p.x(), p.y(), event->buttons());
    event->accept();
}

void CCustomControl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const QPoint p = event->position().toPoint();
    if (delta != 0 && OnMouseWheel(delta, p.x(), p.y())) {
        event->accept();
        return;
    }
    event->ignore();
}

void CCustomControl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    OnMouseLeave();
}
