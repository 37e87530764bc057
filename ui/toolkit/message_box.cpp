#include "ui/toolkit/message_box.h"

#include <QMessageBox>
#include <QWidget>

const char kAppTitle[] = "Brisknode Tarvik UI";

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon QtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int ShowMessageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon) {
    // Texts are written with CR LF line breaks; one line break each here.
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString title = QString::fromUtf8(kAppTitle);

    if (Hook()) {
        const int answer = Hook()(MessageBoxRequest{parent, title, body, icon, buttons});
        if (buttons == MsgButtons::Ok) return IDOK;
        return answer == IDYES ? IDYES : IDNO;
    }

    QWidget* owner = parent ? parent->window() : nullptr;
    const QMessageBox::StandardButtons qtButtons =
        buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(QtIcon(icon), title, body, qtButtons, owner);
    // Modal to the asking window only, so that the other windows stay usable.
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    if (buttons == MsgButtons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (buttons == MsgButtons::Ok) return IDOK;
    return result == QMessageBox::Yes ? IDYES : IDNO;
}

QWidget* ShowMessageBoxModeless(QWidget* parent, const QString& text, MsgIcon icon) {
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString title = QString::fromUtf8(kAppTitle);
    if (Hook()) {
        Hook()(MessageBoxRequest{parent, title, body, icon, MsgButtons::Ok});
        return nullptr;
    }
    auto* box = new QMessageBox(QtIcon(icon), title, body, QMessageBox::Ok, parent ? parent->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return ShowMessageBox(parent, text, MsgButtons::YesNo, MsgIcon::Question) == IDYES;
}

void ShowInfo(QWidget* parent, const QString& text) { ShowMessageBox(parent, text, MsgButtons::Ok, MsgIcon::Information); }
void ShowWarning(QWidget* parent, const QString& text) { ShowMessageBox(parent, text, MsgButtons::Ok, MsgIcon::Warning); }
void ShowError(QWidget* parent, const QString& text) { ShowMessageBox(parent, text, MsgButtons::Ok, MsgIcon::Error); }
void ShowPlain(QWidget* parent, const QString& text) { ShowMessageBox(parent, text, MsgButtons::Ok, MsgIcon::None); }
