// The toolkit's dialog base: builds the template's controls, maps ids to
// widgets and timers, and routes keys and button clicks to the handlers.
#include "ui/toolkit/dialog.h"

#include <QButtonGroup>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTreeWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QTimerEvent>

#include "ui/toolkit/dialog_controls.h"

static void InitArtwork() {
    // tarvik_ui is a static library: the resource file is only linked in when
    // something calls its initialiser.
    static const bool done = [] {
        Q_INIT_RESOURCE(tarvik);
        return true;
    }();
    (void)done;
}

namespace {

// "&&" shows as "&"; a single "&" is dropped (statics do not underline).
QString StaticText(const char* text) {
    const QString src = QString::fromUtf8(text ? text : "");
    QString out;
    out.reserve(src.size());
    for (qsizetype i = 0; i < src.size(); ++i) {
        if (src[i] == u'&') {
            if (i + 1 < src.size() && src[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += src[i];
    }
    return out;
}

// Buttons: Qt already treats "&&" as a literal "&" and "&x" as a mnemonic.
QString ButtonText(const char* text) { return QString::fromUtf8(text ? text : ""); }

// Whether a focused multi-line editor keeps Enter for a new line.
bool TakesEnter(QWidget* w) {
    if (auto* m = qobject_cast<CMultiLineEdit*>(w)) return m->WantsReturn();
    if (auto* t = qobject_cast<QTextEdit*>(w)) return !t->isReadOnly();
    return qobject_cast<QPlainTextEdit*>(w) != nullptr;
}

// Buttons whose shown text differs from their caption keep it here.
constexpr const char* kCaption = "caption";

}  // namespace

QColor ColorFromRef(uint32_t colorRef) {
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

int CDialog::BaseUnitX(const QFont& font) {
    // Windows: the average width of the 52 letters, rounded ((w / 26 + 1) / 2).
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return qMax(1, (width / 26 + 1) / 2);
}

int CDialog::BaseUnitY(const QFont& font) { return qMax(1, QFontMetrics(font).height()); }

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* parent) : QDialog(parent), m_template(tmpl) {
    InitArtwork();
    QFont f(QString::fromUtf8(tmpl.fontFace ? tmpl.fontFace : "Sans Serif"));
    if (tmpl.fontPointSize > 0) f.setPointSize(tmpl.fontPointSize);
    setFont(f);
    m_baseX = BaseUnitX(font());
    m_baseY = BaseUnitY(font());
}

CDialog::~CDialog() {
    if (m_created && !m_destroyed) {
        m_destroyed = true;
        OnDestroy();
    }
    for (auto it = m_timers.constBegin(); it != m_timers.constEnd(); ++it) killTimer(it.value());
}

void CDialog::DestroyWindow() {
    if (!m_created || m_destroyed) return;
    m_destroyed = true;
    OnDestroy();
    for (auto it = m_timers.constBegin(); it != m_timers.constEnd(); ++it) killTimer(it.value());
    m_timers.clear();
    m_timerIds.clear();
    hide();
}

QRect CDialog::DuToPx(int x, int y, int cx, int cy) const {
    return QRect(x * m_baseX / 4, y * m_baseY / 8, cx * m_baseX / 4, cy * m_baseY / 8);
}

QSize CDialog::DuToPx(int cx, int cy) const { return QSize(cx * m_baseX / 4, cy * m_baseY / 8); }

bool CDialog::Create(QWidget* parent) {
    if (m_created) return false;
    if (parent) setParent(parent, m_template.child ? Qt::Widget : Qt::Dialog);
    else if (m_template.child) setWindowFlags(Qt::Widget);
    if (!m_template.child) {
        setWindowTitle(QString::fromUtf8(m_template.title ? m_template.title : ""));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    }
    setFixedSize(DuToPx(m_template.cx, m_template.cy));
    BuildControls();
    m_created = true;
    OnInitDialog();
    return true;
}

namespace {
// The dialogs whose DoModal is running, innermost last.
QList<QPointer<CDialog>>& ModalRuns() {
    static QList<QPointer<CDialog>> runs;
    return runs;
}
}  // namespace

int CDialog::DoModal() {
    if (!m_created) Create(parentWidget());
    m_ending = false;
    // Modal to its owner only, never to the whole application: the parentless
    // tool windows (chart, probe, ...) keep taking clicks, keys and their close
    // box while the main window runs modally, as modeless windows do beside a
    // modal dialog. The owner is the parent's window, else the innermost dialog
    // whose DoModal is running; a dialog without either blocks nothing and
    // simply runs its own event loop.
    bool borrowedOwner = false;
    if (!parentWidget()) {
        for (qsizetype i = ModalRuns().size() - 1; i >= 0; --i) {
            CDialog* owner = ModalRuns().at(i).data();
            if (owner && owner != this && owner->isVisible()) {
                setParent(owner, windowFlags() | Qt::Dialog);
                borrowedOwner = true;
                break;
            }
        }
    }
    setWindowModality(Qt::WindowModal);
    ModalRuns().append(QPointer<CDialog>(this));
    const int result = exec();
    ModalRuns().removeAll(QPointer<CDialog>(this));
    ModalRuns().removeAll(QPointer<CDialog>());
    // The owner was lent for this run only: it must not delete this object.
    if (borrowedOwner) setParent(nullptr, windowFlags() | Qt::Dialog);
    return result;
}

void CDialog::EndDialog(int result) {
    m_ending = true;
    done(result);
    m_ending = false;
}

void CDialog::BuildControls() {
    QButtonGroup* group = nullptr;  // the radio group being filled
    for (int i = 0; i < m_template.controlCount; ++i) {
        const ControlDef& def = m_template.controls[i];
        QWidget* w = MakeControl(def);
        if (!w) continue;
        // A group start ends the group before it; the radio buttons between
        // two group starts exclude each other.
        if (def.style & CS_GROUP) group = nullptr;
        if (def.kind == ControlKind::RadioButton) {
            if (!group) {
                group = new QButtonGroup(this);
                group->setExclusive(true);
            }
            group->addButton(static_cast<QAbstractButton*>(w));
        }
        w->setObjectName(QStringLiteral("id%1").arg(def.id));
        w->setProperty("ctrlId", def.id);
        w->setProperty("ctrlStyle", uint(def.style));
        w->setGeometry(DuToPx(def.x, def.y, def.cx, def.cy));
        if (def.style & CS_MULTILINE) SetButtonCaption(static_cast<QAbstractButton*>(w), w->property(kCaption).toString());
        if (auto* combo = qobject_cast<QComboBox*>(w)) FitComboToDroppedHeight(combo, w->height());
        if (def.style & CS_DISABLED) w->setEnabled(false);
        if (def.style & CS_HIDDEN) w->setVisible(false);
        else w->setVisible(true);
        // Ids repeat only for unnamed statics (-1): the first one stays findable.
        if (!m_items.contains(def.id)) m_items.insert(def.id, w);
    }
    // A group box only frames the controls inside it: it lies below every
    // sibling and lets their clicks through, wherever the template lists it.
    for (QGroupBox* box : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->lower();
    }
}

void CDialog::FitComboToDroppedHeight(QComboBox* combo, int droppedHeight) {
    // The template's height of a combo box is the height of its dropped list;
    // the closed box keeps the normal one-line height, and the list shows as
    // many rows as fit below it.
    const int closed = combo->sizeHint().height();
    combo->resize(combo->width(), closed);
    const int row = qMax(1, QFontMetrics(combo->font()).height() + 2);
    combo->setMaxVisibleItems(qMax(1, (droppedHeight - closed) / row));
    combo->setProperty("droppedHeight", droppedHeight);
}

QWidget* CDialog::MakeControl(const ControlDef& def) {
    const int id = def.id;
    switch (def.kind) {
    case ControlKind::Static:
    case ControlKind::StaticCenter:
    case ControlKind::StaticRight:
    case ControlKind::StaticBorder: {
        auto* l = new QLabel(StaticText(def.text), this);
        l->setTextFormat(Qt::PlainText);
        Qt::Alignment a = Qt::AlignTop;
        if (def.kind == ControlKind::StaticCenter) a |= Qt::AlignHCenter;
        else if (def.kind == ControlKind::StaticRight) a |= Qt::AlignRight;
        else a |= Qt::AlignLeft;
        l->setAlignment(a);
        l->setWordWrap(def.kind != ControlKind::StaticRight);
        if (def.kind == ControlKind::StaticBorder || (def.style & CS_BORDER))
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return l;
    }
    case ControlKind::StaticFrame: {
        auto* l = new QLabel(this);
        l->setFrameStyle(QFrame::Box | QFrame::Plain);
        return l;
    }
    case ControlKind::Picture: {
        // The bitmap sits at the top-left corner, at its own size.
        auto* l = new QLabel(this);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (def.text && *def.text) {
            const QPixmap initial(QString::fromUtf8(def.text));
            if (!initial.isNull()) l->setPixmap(initial);
        }
        return l;
    }
    case ControlKind::GroupBox:
        // Its caption is drawn like a button's: "&&" shows as "&".
        return new CGroupBox(ButtonText(def.text), this);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
        QAbstractButton* b = nullptr;
        if (def.kind == ControlKind::PushButton || def.kind == ControlKind::DefPushButton) {
            auto* p = new QPushButton(this);
            p->setAutoDefault(false);
            if (def.kind == ControlKind::DefPushButton) p->setDefault(true);
            b = p;
        } else if (def.style & CS_PUSHLIKE) {
            // A push button that stays down while checked.
            auto* p = new QPushButton(this);
            p->setAutoDefault(false);
            p->setCheckable(true);
            b = p;
        } else if (def.kind == ControlKind::CheckBox) {
            b = new QCheckBox(this);
        } else {
            b = new QRadioButton(this);
        }
        // Radio buttons exclude each other by template group (BuildControls).
        b->setAutoExclusive(false);
        b->setProperty("ctrlStyle", uint(def.style));
        if (def.style & (CS_ICON | CS_MULTILINE)) b->setProperty(kCaption, ButtonText(def.text));
        SetButtonCaption(b, ButtonText(def.text));
        connect(b, &QAbstractButton::clicked, this, [this, id] { HandleCommand(id); });
        return b;
    }
    case ControlKind::Edit: {
        auto* e = new QLineEdit(QString::fromUtf8(def.text ? def.text : ""), this);
        if (def.style & CS_READONLY) e->setReadOnly(true);
        if (def.style & CS_CENTER) e->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        if (def.style & CS_NUMBER)
            e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        connect(e, &QLineEdit::textChanged, this, [this, id] { OnEditChange(id); });
        return e;
    }
    case ControlKind::EditMultiline: {
        auto* e = new CMultiLineEdit(QString::fromUtf8(def.text ? def.text : ""), (def.style & CS_WANTRETURN) != 0, this);
        if (def.style & CS_READONLY) e->setReadOnly(true);
        // Without horizontal scrolling the lines wrap at the edge.
        e->setLineWrapMode((def.style & CS_AUTOHSCROLL) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        connect(e, &QPlainTextEdit::textChanged, this, [this, id] { OnEditChange(id); });
        return e;
    }
    case ControlKind::ComboDropDown:
    case ControlKind::ComboDropList: {
        auto* c = new QComboBox(this);
        c->setEditable(def.kind == ControlKind::ComboDropDown);
        // The template's initial items; nothing is selected yet.
        if (def.text && *def.text) {
            c->addItems(QString::fromUtf8(def.text).split(u'\n'));
            c->setCurrentIndex(-1);
            if (c->isEditable()) c->clearEditText();
        }
        connect(c, &QComboBox::activated, this, [this, id] { OnSelChange(id); });
        return c;
    }
    case ControlKind::ListBox: {
        auto* l = new QListWidget(this);
        connect(l, &QListWidget::currentRowChanged, this, [this, id] { OnSelChange(id); });
        return l;
    }
    case ControlKind::ListView: {
        auto* t = new QTreeWidget(this);
        t->setRootIsDecorated(false);
        t->setUniformRowHeights(true);
        t->setAllColumnsShowFocus(true);
        return t;
    }
    case ControlKind::Progress: {
        auto* p = new QProgressBar(this);
        p->setTextVisible(false);
        p->setRange(0, 100);
        p->setValue(0);
        return p;
    }
    case ControlKind::Tab: {
        // A plain container; CTabDialog puts its tab bar and pages in it.
        auto* w = new QWidget(this);
        return w;
    }
    case ControlKind::RichEdit: {
        auto* t = new QTextEdit(this);
        t->setReadOnly(true);
        t->setAcceptRichText(true);
        if (!(def.style & CS_VSCROLL)) {
            // A one-line read-out: a thin margin, so that the line shows whole.
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            t->document()->setDocumentMargin(1);
        }
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (def.style & CS_CENTER) t->setAlignment(Qt::AlignHCenter);
        return t;
    }
    case ControlKind::Slider: {
        auto* s = new QSlider(Qt::Horizontal, this);
        connect(s, &QSlider::valueChanged, this, [this, id] { OnCommand(id); });
        return s;
    }
    }
    return nullptr;
}

void CDialog::HandleCommand(int id) {
    OnCommand(id);
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
}

QWidget* CDialog::GetDlgItem(int id) const { return m_items.value(id, nullptr); }

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (!w) return;
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        if (b->property(kCaption).isValid()) b->setProperty(kCaption, text);
        SetButtonCaption(b, text);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->setPlainText(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w)) t->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) c->setEditText(text);
        else c->setCurrentIndex(c->findText(text));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    else w->setWindowTitle(text);
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (!w) return {};
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->property(kCaption).isValid() ? b->property(kCaption).toString() : b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w)) return t->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return w->windowTitle();
}

unsigned CDialog::GetDlgItemInt(int id, bool* ok) const {
    bool good = false;
    const unsigned v = GetDlgItemText(id).trimmed().toUInt(&good);
    if (ok) *ok = good;
    return good ? v : 0u;
}

void CDialog::SetDlgItemInt(int id, int value) { SetDlgItemText(id, QString::number(value)); }

void CDialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id)) w->setEnabled(enable);
}

void CDialog::ShowDlgItem(int id, bool show) {
    if (QWidget* w = GetDlgItem(id)) w->setVisible(show);
}

void CDialog::CheckDlgButton(int id, bool checked) {
    auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    if (!b || !b->isCheckable()) return;  // a push button has no check state
    // An exclusive group would keep its checked button down; unchecking it
    // by program leaves the group with none checked.
    QButtonGroup* group = b->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive && !checked) group->setExclusive(false);
    b->setChecked(checked);
    if (exclusive && !checked) group->setExclusive(true);
}

void CDialog::SetButtonCaption(QAbstractButton* b, const QString& caption) {
    const uint style = b->property("ctrlStyle").toUInt();
    if (style & CS_ICON) {
        b->setText(QString());  // the icon stands for the caption
        b->setToolTip(StaticText(caption.toUtf8().constData()));
    } else if (style & CS_MULTILINE) {
        // The style draws the label inside the button's frame; two pixels
        // more on each side keep the text off the frame.
        const int margin = 2 * (b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b) + 2);
        b->setText(toolkit::WrapCaption(caption, b->fontMetrics(), qMax(1, b->width() - margin)));
    } else {
        b->setText(caption);
    }
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    return b && b->isChecked();
}

void CDialog::ReplaceDlgItem(int id, QWidget* widget) {
    if (!widget) return;
    QWidget* old = GetDlgItem(id);
    widget->setParent(this);
    widget->setObjectName(QStringLiteral("id%1").arg(id));
    widget->setProperty("ctrlId", id);
    if (old) {
        widget->setGeometry(old->geometry());
        widget->setVisible(!old->isHidden());
        widget->setEnabled(old->isEnabled());
        old->hide();
        old->deleteLater();
    }
    m_items.insert(id, widget);
}

void CDialog::SetTimer(int id, int periodMs) {
    KillTimer(id);
    const int qtId = startTimer(qMax(0, periodMs), Qt::PreciseTimer);
    if (qtId == 0) return;
    m_timers.insert(id, qtId);
    m_timerIds.insert(qtId, id);
}

void CDialog::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    killTimer(it.value());
    m_timerIds.remove(it.value());
    m_timers.erase(it);
}

void CDialog::timerEvent(QTimerEvent* event) {
    auto it = m_timerIds.find(event->timerId());
    if (it == m_timerIds.end()) {
        QDialog::timerEvent(event);
        return;
    }
    OnTimer(it.value());
}

void CDialog::OnOK() {
    if (!m_template.child) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    if (!m_template.child) EndDialog(IDCANCEL);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (TakesEnter(focusWidget())) break;
        // A focused push button is the one Enter presses (it is the default
        // while it has the focus); else the default button; else IDOK.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
            focused && focused->window() == window() && focused->isEnabled()) {
            focused->click();
            event->accept();
            return;
        }
        // Only this dialog's own default button: a page's belongs to the page.
        for (QWidget* w : std::as_const(m_items)) {
            auto* b = qobject_cast<QPushButton*>(w);
            if (b && b->isDefault() && b->isVisible() && b->isEnabled()) {
                b->click();
                event->accept();
                return;
            }
        }
        event->accept();
        HandleCommand(IDOK);
        return;
    case Qt::Key_Escape:
        event->accept();
        HandleCommand(IDCANCEL);
        return;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event) {
    if (m_ending || m_template.child) {
        QDialog::closeEvent(event);
        return;
    }
    // The close box is Cancel; OnCancel decides whether the window goes.
    event->ignore();
    HandleCommand(IDCANCEL);
}

void CDialog::reject() {
    if (m_ending) {
        QDialog::reject();
        return;
    }
    HandleCommand(IDCANCEL);
}

void CDialog::accept() {
    if (m_ending) {
        QDialog::accept();
        return;
    }
    HandleCommand(IDOK);
}
