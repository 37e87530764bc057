#pragma once
// The dialog toolkit layer: a CDialog is a QDialog whose child controls come
// from a template table (id, kind, text, position in dialog units). Controls
// are looked up by id, window timers are kept by id, and the Windows-style
// handlers (OnInitDialog, OnOK, OnCancel, OnCommand, OnTimer) are virtual.
//
// Dialog units convert to pixels from the dialog font's metrics the way
// Windows does: base X = average character width, base Y = font height;
// x px = du * baseX / 4, y px = du * baseY / 8.
#include <QColor>
#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QString>

#include <cstdint>

class QAbstractButton;
class QComboBox;
class QIcon;
class QTimerEvent;

enum class ControlKind {
    Static,          // left-aligned text (SS_LEFT)
    StaticCenter,    // centred text
    StaticRight,     // right-aligned text
    StaticFrame,     // black frame / placeholder, no text
    StaticBorder,    // text with a sunken border
    Picture,         // image holder (QLabel showing a pixmap)
    GroupBox,
    PushButton,
    DefPushButton,   // the default button (Enter)
    CheckBox,
    RadioButton,
    Edit,            // single-line edit
    EditMultiline,
    ComboDropDown,   // editable combo box
    ComboDropList,   // list-only combo box
    ListBox,
    Progress,
    Tab,             // tab control; CTabDialog binds to it
    RichEdit,        // QTextEdit, read-only, coloured runs
    Slider,
    ListView,        // rows of columns with check boxes (QTreeWidget, no tree)
};

// Style flags beyond the kind.
enum ControlStyle : uint32_t {
    CS_NONE = 0,
    CS_HIDDEN = 1u << 0,     // not initially visible
    CS_DISABLED = 1u << 1,
    CS_READONLY = 1u << 2,   // edits
    CS_BORDER = 1u << 3,
    CS_NUMBER = 1u << 4,     // edits accepting digits only
    CS_AUTOHSCROLL = 1u << 5,
    CS_TABSTOP = 1u << 6,
    CS_VSCROLL = 1u << 7,
    CS_NOTIFY = 1u << 8,     // statics that report clicks
    CS_GROUP = 1u << 9,      // starts a group: radio buttons up to the next group start are exclusive
    CS_PUSHLIKE = 1u << 10,  // radio buttons and check boxes drawn as push buttons that stay down
    CS_ICON = 1u << 11,      // buttons that show their icon (SetDlgItemIcon) instead of their text
    CS_MULTILINE = 1u << 12, // button captions that wrap onto further lines
    CS_CENTER = 1u << 13,    // edits and rich edits with centred text
    CS_WANTRETURN = 1u << 14, // multi-line edits where Enter starts a new line (else Enter goes to the dialog)
};

struct ControlDef {
    int id;
    ControlKind kind;
    // UTF-8; "&&" in statics, buttons and group boxes shows as "&". Combo
    // boxes: their initial list items, separated by '\n'. Pictures: the
    // resource path of their initial bitmap, or empty.
    const char* text;
    int x, y, cx, cy;   // dialog units
    uint32_t style = CS_NONE;
};

struct DialogTemplate {
    int id;                      // template number (102, 166, ...)
    const char* title;           // caption; ignored for child pages
    int cx, cy;                  // size in dialog units
    bool child;                  // page without caption or border
    const ControlDef* controls;
    int controlCount;
    const char* fontFace = "Sans Serif";
    int fontPointSize = 8;
};

// Command ids of the standard buttons.
enum : int { IDOK = 1, IDCANCEL = 2 };

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(const DialogTemplate& tmpl, QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the window and its controls as a child (pages) or top-level
    // window, then calls OnInitDialog. Returns false if it was created before.
    bool Create(QWidget* parent = nullptr);
    bool IsCreated() const { return m_created; }
    // Creates (when needed) and runs the dialog modally; returns the EndDialog code.
    int DoModal();
    void EndDialog(int result);

    const DialogTemplate& Template() const { return m_template; }
    QWidget* GetDlgItem(int id) const;
    template <class T> T* Item(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;
    // Unsigned number of the item's text; 0 (and ok false) when it is not one.
    unsigned GetDlgItemInt(int id, bool* ok = nullptr) const;
    void SetDlgItemInt(int id, int value);
    void EnableDlgItem(int id, bool enable);
    void ShowDlgItem(int id, bool show);
    // Check boxes and radio buttons.
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    // Replaces a control (a placeholder) by another widget with the same id and geometry.
    void ReplaceDlgItem(int id, QWidget* widget);

    // Combo boxes (the CB_ messages). Indices count from 0; -1 is "none".
    // Adding to an empty list selects nothing: the current index stays -1
    // until a selection is made.
    int ComboAddString(int id, const QString& text);
    // Inserts before index; -1 (or past the end) appends. Returns the index, -1 on failure.
    int ComboInsertString(int id, int index, const QString& text);
    // Selects index; an index outside the list leaves nothing selected. Returns the selection.
    int ComboSetCurSel(int id, int index);
    int ComboGetCurSel(int id) const;
    int ComboGetCount(int id) const;
    QString ComboGetItemText(int id, int index) const;
    // Empties the list (and the edit field of a drop-down combo).
    void ComboResetContent(int id);

    // Button images: the icon at that size replaces the caption of a CS_ICON button.
    void SetDlgItemIcon(int id, const QIcon& icon, const QSize& size);
    // The play and pause images (20 x 20) of a window's Run and Freeze buttons.
    void SetRunFreezeIcons(int runId, int freezeId);
    // Pictures: shows the bitmap at its own size (the control takes that size
    // at its top-left corner) and hands back the one shown before.
    QPixmap SetBitmap(int id, const QPixmap& bitmap);
    QPixmap GetBitmap(int id) const;

    // Progress bars: the range (default 0..100) and the position, kept inside the range.
    void SetProgressRange(int id, int lower, int upper);
    void SetProgressPos(int id, int pos);
    int GetProgressPos(int id) const;

    // Edits: the most characters the user may enter (single- and multi-line).
    void LimitText(int id, int maxChars);
    // The control with the keyboard focus, if it is one of this dialog's: its
    // id, else 0. The focus of the whole application counts (the active window).
    int GetFocusId() const;
    bool IsDlgItemFocused(int id) const { return id != 0 && GetFocusId() == id; }
    void GotoDlgCtrl(int id);

    // Multi-line edits (the EM_ messages). Lines are the text's lines between
    // line breaks; positions count characters from the start of the text.
    int GetTextLength(int id) const;
    int GetLineCount(int id) const;
    // The position of the first character of line; -1 past the last line.
    int LineIndex(int id, int line) const;
    // Selects start..end; end -1 is the end of the text; start -1 removes the selection.
    void SetSel(int id, int start, int end);
    // Replaces the selection (or inserts at the caret). Without undo, the edit
    // keeps no undo history of it.
    void ReplaceSel(int id, const QString& text, bool canUndo = false);
    void ScrollCaret(int id);
    // A fixed-pitch font of that point size.
    void SetFixedPitchFont(int id, int pointSize);

    // Rich edits: empties the text, or appends a run of text in a colour.
    void RichEditClear(int id);
    void RichEditAppend(int id, const QString& text, const QColor& colour);

    // The text colour of one control; an invalid colour restores the default.
    void SetDlgItemTextColor(int id, const QColor& colour);

    // Window timers by id: restarting an id replaces it.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool HasTimer(int id) const { return m_timers.contains(id); }

    // Dialog units to pixels for this dialog's font.
    QRect DuToPx(int x, int y, int cx, int cy) const;
    QSize DuToPx(int cx, int cy) const;
    int BaseUnitX() const { return m_baseX; }
    int BaseUnitY() const { return m_baseY; }
    static int BaseUnitX(const QFont& font);
    static int BaseUnitY(const QFont& font);

    // Visible on screen: false while any parent is hidden.
    bool IsWindowVisible() const { return isVisible(); }

    // Destroys the window's side of the dialog: calls OnDestroy (once), stops
    // the timers and hides the window. The destructor does the same when it
    // has not happened yet, but by then only CDialog's own OnDestroy can run:
    // a derived dialog whose OnDestroy matters calls DestroyWindow() from its
    // own destructor, or its owner does (the tab host does it for its pages).
    void DestroyWindow();
    bool IsDestroyed() const { return m_destroyed; }

protected:
    virtual bool OnInitDialog() { return true; }
    // Enter and the default button. The base ends the dialog with IDOK
    // (child pages: nothing, Enter inside a page closes nothing).
    virtual void OnOK();
    // Escape, the close box and the IDCANCEL button. The base ends it with
    // IDCANCEL (child pages: nothing).
    virtual void OnCancel();
    // Every button click, check box toggle and so on, by control id, before
    // the IDOK/IDCANCEL handling.
    virtual void OnCommand(int id) { (void)id; }
    // Combo box selection changes, by control id.
    virtual void OnSelChange(int id) { (void)id; }
    // Edit text changes, by control id.
    virtual void OnEditChange(int id) { (void)id; }
    virtual void OnTimer(int id) { (void)id; }
    // Called when the window is about to be destroyed (the dialog's WM_DESTROY).
    virtual void OnDestroy() {}

    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;

private:
    void BuildControls();
    QWidget* MakeControl(const ControlDef& def);
    static void FitComboToDroppedHeight(QComboBox* combo, int droppedHeight);
    // Shows a button's caption: wrapped for CS_MULTILINE, none for CS_ICON.
    static void SetButtonCaption(QAbstractButton* b, const QString& caption);
    // A command from a control or key: OnCommand, then OnOK / OnCancel for IDOK / IDCANCEL.
    void HandleCommand(int id);

    DialogTemplate m_template;
    QHash<int, QWidget*> m_items;
    QHash<int, int> m_timers;        // our id -> Qt timer id
    QHash<int, int> m_timerIds;      // Qt timer id -> our id
    int m_baseX = 6;
    int m_baseY = 13;
    bool m_created = false;
    bool m_ending = false;
    bool m_destroyed = false;
};

// Converts a Windows COLORREF (0x00BBGGRR) to a QColor.
QColor ColorFromRef(uint32_t colorRef);
