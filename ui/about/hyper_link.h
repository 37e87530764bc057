#pragma once
// A text label that looks and acts like a web link: blue and underlined, purple
// once visited, a hand cursor and a tooltip; a click opens the address with the
// desktop's URL handler (never through a shell).
#include <QLabel>
#include <QString>

#include <functional>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    using Opener = std::function<bool(const QString& url)>;

    explicit CHyperLink(QWidget* parent = nullptr);

    // Stores the address without leading and trailing white space.
    void SetURL(const QString& url);
    QString URL() const { return m_url; }
    bool IsVisited() const { return m_visited; }
    // The colour the text is drawn in now.
    QColor LinkColor() const;
    // Replaces the function that opens the address (tests); the default is
    // QDesktopServices::openUrl.
    void SetOpener(Opener opener);

    static QColor UnvisitedColor() { return QColor(0, 0, 255); }
    static QColor VisitedColor() { return QColor(128, 0, 128); }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyColor();

    bool m_visited = false;
    QString m_url;
    Opener m_open;
};
