#pragma once
// Message boxes of the program: a Yes/No question and plain OK boxes with an
// information, warning or error icon. Every box carries the application's
// title (kAppTitle) and is modal to the window that asks (the other windows,
// the tool windows among them, keep working); without such a window it is
// modal to the whole program.
//
// Tests answer boxes without showing them by installing a hook.
#include "ui/toolkit/dialog.h"

#include <QString>

#include <functional>

class QWidget;

// The title of every message box of the program.
extern const char kAppTitle[];

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo };
// Answers beside IDOK, with the command ids the dialogs use.
enum : int { IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
    QWidget* parent;
    QString title;
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
};

// Shows the box and returns IDOK, IDYES or IDNO. Closing a Yes/No box
// without choosing answers IDNO; an OK box always answers IDOK.
int ShowMessageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon);
// Asks with the question icon; true only for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
void ShowInfo(QWidget* parent, const QString& text);
void ShowWarning(QWidget* parent, const QString& text);
void ShowError(QWidget* parent, const QString& text);
// A plain OK box without icon.
void ShowPlain(QWidget* parent, const QString& text);

// An OK box that does not wait for its answer: it is shown at once, modal to
// nothing (the asking window and the others keep working), a child of the
// asking window, and deletes itself when closed. Returns the box, or nullptr
// when a hook answered it instead.
QWidget* ShowMessageBoxModeless(QWidget* parent, const QString& text, MsgIcon icon);

// While a hook is set, boxes are not shown: the hook answers them.
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);
