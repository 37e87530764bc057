// The control calls of CDialog (combo boxes, buttons with images, pictures,
// progress bars, edits, rich edits, text colours) and the multi-line edit
// they rely on.
#include "ui/toolkit/dialog_controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

#include "ui/toolkit/dialog.h"

CMultiLineEdit::CMultiLineEdit(const QString& text, bool wantReturn, QWidget* parent)
    : QPlainTextEdit(text, parent), m_wantReturn(wantReturn) {}

void CGroupBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = fm.height() / 2;
    // An etched frame: a shadow line with a light line one pixel inside it.
    const QRect frame = rect().adjusted(0, top, -2, -2);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(frame);
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(frame.translated(1, 1));
    if (title().isEmpty()) return;
    constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextHideMnemonic;
    const int x = fm.averageCharWidth();
    QRect text = fm.boundingRect(QRect(x, 0, qMax(0, width() - 2 * x), fm.height()), kFlags, title());
    text.setWidth(qMin(text.width(), qMax(0, width() - 2 * x)));
    // The caption's background covers the frame line behind it.
    p.fillRect(text.adjusted(-2, 0, 2, 0), palette().brush(QPalette::Window));
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(text, kFlags, title());
}

int CMultiLineEdit::Room(int count) const {
    if (m_limit < 0) return count;
    const int length = document()->characterCount() - 1;
    const int selected = int(textCursor().selectedText().size());
    return std::clamp(m_limit - (length - selected), 0, count);
}

void CMultiLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !m_wantReturn) {
        if (!(event->modifiers() & Qt::ControlModifier)) {
            // Not ours: the dialog's Enter (default button or OK).
            event->ignore();
            return;
        }
        // Ctrl+Enter still starts a new line.
        if (!isReadOnly() && Room(1) == 1) insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    const QString typed = enter ? QStringLiteral("\n") : event->text();
    const bool printable = !typed.isEmpty() && (enter || typed.at(0).isPrint());
    if (printable && !isReadOnly() && Room(int(typed.size())) < typed.size()) {
        QApplication::beep();  // full: the key is refused
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CMultiLineEdit::insertFromMimeData(const QMimeData* source) {
    if (m_limit < 0 || !source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = source->text();
    insertPlainText(text.left(Room(int(text.size()))));
}

namespace toolkit {

namespace {
// The caption as Qt draws it: "&&" is "&", a single "&" marks the mnemonic.
QString Shown(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}
}  // namespace

QString WrapCaption(const QString& caption, const QFontMetrics& fm, int width) {
    const QStringList words = caption.split(u' ', Qt::SkipEmptyParts);
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString joined = line.isEmpty() ? word : line + u' ' + word;
        if (line.isEmpty() || fm.horizontalAdvance(Shown(joined)) <= width) {
            line = joined;
        } else {
            lines << line;
            line = word;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines.join(u'\n');
}

}  // namespace toolkit

// --- combo boxes -----------------------------------------------------------

namespace {

// Runs an insertion into a combo box without its own habit of selecting the
// first item of an empty list; the edit field of a drop-down keeps its text.
template <class F>
void KeepingSelection(QComboBox* c, F&& insert) {
    const int before = c->currentIndex();
    const QString edit = c->isEditable() ? c->currentText() : QString();
    const QSignalBlocker block(c);
    insert();
    if (before < 0 && c->currentIndex() >= 0) {
        c->setCurrentIndex(-1);
        if (c->isEditable()) c->setEditText(edit);
    }
}

}  // namespace

int CDialog::ComboAddString(int id, const QString& text) {
    return ComboInsertString(id, -1, text);
}

int CDialog::ComboInsertString(int id, int index, const QString& text) {
    auto* c = Item<QComboBox>(id);
    if (!c) return -1;
    if (index < 0 || index > c->count()) index = c->count();
    KeepingSelection(c, [&] { c->insertItem(index, text); });
    return index;
}

int CDialog::ComboSetCurSel(int id, int index) {
    auto* c = Item<QComboBox>(id);
    if (!c) return -1;
    const QSignalBlocker block(c);
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    return c->currentIndex();
}

int CDialog::ComboGetCurSel(int id) const {
    auto* c = Item<QComboBox>(id);
    return c ? c->currentIndex() : -1;
}

int CDialog::ComboGetCount(int id) const {
    auto* c = Item<QComboBox>(id);
    return c ? c->count() : 0;
}

QString CDialog::ComboGetItemText(int id, int index) const {
    auto* c = Item<QComboBox>(id);
    return c && index >= 0 && index < c->count() ? c->itemText(index) : QString();
}

void CDialog::ComboResetContent(int id) {
    auto* c = Item<QComboBox>(id);
    if (!c) return;
    const QSignalBlocker block(c);
    c->clear();
    if (c->isEditable()) c->clearEditText();
}

// --- buttons and pictures --------------------------------------------------

void CDialog::SetDlgItemIcon(int id, const QIcon& icon, const QSize& size) {
    auto* b = Item<QAbstractButton>(id);
    if (!b) return;
    b->setIcon(icon);
    b->setIconSize(size);
}

void CDialog::SetRunFreezeIcons(int runId, int freezeId) {
    const QSize size(20, 20);
    SetDlgItemIcon(runId, QIcon(QStringLiteral(":/icons/play_130.png")), size);
    SetDlgItemIcon(freezeId, QIcon(QStringLiteral(":/icons/pause_132.png")), size);
}

QPixmap CDialog::SetBitmap(int id, const QPixmap& bitmap) {
    auto* l = Item<QLabel>(id);
    if (!l) return {};
    const QPixmap previous = l->pixmap();
    l->setPixmap(bitmap);
    if (!bitmap.isNull()) l->resize(bitmap.size());
    return previous;
}

QPixmap CDialog::GetBitmap(int id) const {
    auto* l = Item<QLabel>(id);
    return l ? l->pixmap() : QPixmap();
}

// --- progress bars ---------------------------------------------------------

void CDialog::SetProgressRange(int id, int lower, int upper) {
    if (auto* p = Item<QProgressBar>(id)) p->setRange(lower, std::max(lower, upper));
}

void CDialog::SetProgressPos(int id, int pos) {
    // Outside the range the bar stands at the nearer end (Qt would ignore it).
    if (auto* p = Item<QProgressBar>(id)) p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
}

int CDialog::GetProgressPos(int id) const {
    auto* p = Item<QProgressBar>(id);
    return p ? p->value() : 0;
}

// --- edits -----------------------------------------------------------------

void CDialog::LimitText(int id, int maxChars) {
    QWidget* w = GetDlgItem(id);
    // 0 asks for the largest limit, as for the edit controls of the dialog model.
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setMaxLength(maxChars > 0 ? maxChars : 32767);
    else if (auto* m = qobject_cast<CMultiLineEdit*>(w)) m->SetLimit(maxChars > 0 ? maxChars : -1);
}

int CDialog::GetFocusId() const {
    for (QWidget* f = QApplication::focusWidget(); f && f != this; f = f->parentWidget()) {
        const QVariant id = f->property("ctrlId");
        if (id.isValid() && m_items.value(id.toInt()) == f) return id.toInt();
        if (f->isWindow()) break;
    }
    return 0;
}

void CDialog::GotoDlgCtrl(int id) {
    QWidget* w = GetDlgItem(id);
    if (!w) return;
    w->setFocus(Qt::TabFocusReason);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
}

int CDialog::GetTextLength(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->document()->characterCount() - 1;
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t->document()->characterCount() - 1;
    return int(GetDlgItemText(id).size());
}

namespace {
QTextDocument* DocumentOf(QWidget* w) {
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->document();
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t->document();
    return nullptr;
}
}  // namespace

int CDialog::GetLineCount(int id) const {
    QWidget* w = GetDlgItem(id);
    if (QTextDocument* doc = DocumentOf(w)) return doc->blockCount();
    return w ? 1 : 0;
}

int CDialog::LineIndex(int id, int line) const {
    QWidget* w = GetDlgItem(id);
    QTextDocument* doc = DocumentOf(w);
    if (!doc) return line == 0 || line == -1 ? 0 : -1;
    if (line < 0) {
        // The caret's line.
        if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->textCursor().block().position();
        if (auto* t = qobject_cast<QTextEdit*>(w)) return t->textCursor().block().position();
    }
    const QTextBlock block = doc->findBlockByNumber(line);
    return block.isValid() ? block.position() : -1;
}

void CDialog::SetSel(int id, int start, int end) {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        const int len = int(e->text().size());
        if (start < 0) {
            e->deselect();
            return;
        }
        if (end < 0 || end > len) end = len;
        start = std::min(start, len);
        e->setSelection(start, end - start);
        return;
    }
    auto* m = qobject_cast<QPlainTextEdit*>(w);
    if (!m) return;
    QTextCursor c = m->textCursor();
    if (start < 0) {
        c.clearSelection();
    } else {
        const int len = m->document()->characterCount() - 1;
        if (end < 0 || end > len) end = len;
        c.setPosition(std::min(start, len));
        c.setPosition(end, QTextCursor::KeepAnchor);
    }
    m->setTextCursor(c);
}

void CDialog::ReplaceSel(int id, const QString& text, bool canUndo) {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->insert(text);
        return;
    }
    auto* m = qobject_cast<QPlainTextEdit*>(w);
    if (!m) return;
    QString insert = text;
    if (auto* limited = qobject_cast<CMultiLineEdit*>(m)) insert.truncate(limited->Room(int(text.size())));
    QTextDocument* doc = m->document();
    // Qt keeps no step out of its undo history: an edit without undo drops it.
    if (!canUndo) doc->setUndoRedoEnabled(false);
    m->insertPlainText(insert);
    if (!canUndo) doc->setUndoRedoEnabled(true);
}

void CDialog::ScrollCaret(int id) {
    QWidget* w = GetDlgItem(id);
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->ensureCursorVisible();
    else if (auto* t = qobject_cast<QTextEdit*>(w)) t->ensureCursorVisible();
}

void CDialog::SetFixedPitchFont(int id, int pointSize) {
    QWidget* w = GetDlgItem(id);
    if (!w) return;
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (pointSize > 0) f.setPointSize(pointSize);
    w->setFont(f);
}

// --- rich edits and colours ------------------------------------------------

void CDialog::RichEditClear(int id) {
    if (auto* t = Item<QTextEdit>(id)) t->clear();
}

void CDialog::RichEditAppend(int id, const QString& text, const QColor& colour) {
    auto* t = Item<QTextEdit>(id);
    if (!t) return;
    QTextCursor c(t->document());
    c.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour.isValid() ? colour : t->palette().color(QPalette::Text));
    // A centred rich edit keeps its paragraphs centred after being emptied.
    if (t->property("ctrlStyle").toUInt() & CS_CENTER) {
        QTextBlockFormat block = c.blockFormat();
        block.setAlignment(Qt::AlignHCenter);
        c.setBlockFormat(block);
    }
    c.insertText(text, format);
}

void CDialog::SetDlgItemTextColor(int id, const QColor& colour) {
    QWidget* w = GetDlgItem(id);
    if (!w) return;
    QPalette pal = w->palette();
    const QPalette base = w->parentWidget() ? w->parentWidget()->palette() : QApplication::palette(w);
    // Enabled controls only: a disabled one keeps the grey of disabled text.
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            pal.setColor(g, r, colour.isValid() ? colour : base.color(g, r));
    }
    w->setPalette(pal);
}
