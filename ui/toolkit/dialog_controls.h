#pragma once
// The controls CDialog builds where a plain Qt widget lacks a behaviour of
// the dialog model, and the small helpers behind the CDialog control calls.
#include <QFontMetrics>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QString>

// A multi-line edit: a limit on what the user may enter, and Enter that goes
// to the dialog (the default button) unless the edit wants it for new lines.
class CMultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CMultiLineEdit(const QString& text, bool wantReturn, QWidget* parent);

    // The most characters the text may hold after a user's entry; < 0: no limit.
    void SetLimit(int maxChars) { m_limit = maxChars; }
    int Limit() const { return m_limit; }
    bool WantsReturn() const { return m_wantReturn; }
    // How many of count new characters fit under the limit in place of the selection.
    int Room(int count) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int m_limit = -1;
    bool m_wantReturn = false;
};

// A group box drawn the dialog way: the frame's top edge runs through the
// middle of the caption line and the caption sits on it, so controls placed
// just below the caption lie inside the frame. "&&" in the caption shows as "&".
class CGroupBox : public QGroupBox {
    Q_OBJECT
public:
    CGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

namespace toolkit {

// The caption broken at blanks into lines that fit width pixels (a word
// longer than the width keeps a line of its own). "&&" and mnemonic "&"
// count as Qt draws them.
QString WrapCaption(const QString& caption, const QFontMetrics& fm, int width);

}  // namespace toolkit
