#include "ui/about/hyper_link.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);  // the dialog's background shows through
    m_open = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode)); };
    ApplyColor();
}

void CHyperLink::SetURL(const QString& url) {
    m_url = url.trimmed();
    setToolTip(toolTip().isEmpty() ? m_url : toolTip());
}

void CHyperLink::SetOpener(Opener opener) {
    if (opener) m_open = std::move(opener);
}

QColor CHyperLink::LinkColor() const { return m_visited ? VisitedColor() : UnvisitedColor(); }

void CHyperLink::ApplyColor() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, LinkColor());
    pal.setColor(QPalette::Text, LinkColor());
    setPalette(pal);
    update();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    m_visited = true;
    ApplyColor();
    // Only a well-formed address reaches the handler; the result is not reported.
    if (!m_url.isEmpty() && QUrl(m_url, QUrl::StrictMode).isValid()) m_open(m_url);
    event->accept();
}
