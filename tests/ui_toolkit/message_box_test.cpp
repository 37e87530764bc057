// Message boxes: the application's title on every box, Yes/No answers, modal
// only to the asking window, and the answering hook for tests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "ui/toolkit/message_box.h"

namespace {

// Runs `act` on the message box once it is up.
void WhenBoxShown(const std::function<void(QMessageBox*)>& act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(box);
        }
    });
    timer->start(10);
}

}  // namespace

TEST(MessageBox, YesNoCarriesTheTitleAndAnswers) {
    QWidget owner;
    owner.show();
    QString title, text;
    WhenBoxShown([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(AskYesNo(&owner, QStringLiteral("Reset?\r\nSure?")));
    EXPECT_EQ(title, QString::fromUtf8(kAppTitle));
    EXPECT_EQ(text, QStringLiteral("Reset?\nSure?"));

    WhenBoxShown([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(AskYesNo(&owner, QStringLiteral("Go?")));
}

TEST(MessageBox, ErrorBoxWithoutOwnerHasTheTitleToo) {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenBoxShown([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    ShowError(nullptr, QStringLiteral("Failed."));
    EXPECT_EQ(title, QString::fromUtf8(kAppTitle));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(MessageBox, OtherWindowsKeepWorkingWhileItAsks) {
    QWidget owner;
    owner.show();
    QPushButton tool(QStringLiteral("Tool"));  // a top-level tool window
    tool.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tool));
    int clicks = 0;
    QObject::connect(&tool, &QPushButton::clicked, [&] { ++clicks; });
    WhenBoxShown([&](QMessageBox* box) {
        // Through the window system, where modal blocking applies.
        QTest::mouseClick(tool.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        box->button(QMessageBox::No)->click();
    });
    AskYesNo(&owner, QStringLiteral("?"));
    EXPECT_EQ(clicks, 1);
}

TEST(MessageBox, HookAnswersWithoutShowing) {
    MessageBoxRequest seen{};
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen = r;
        return IDYES;
    });
    EXPECT_TRUE(AskYesNo(nullptr, QStringLiteral("Calibrate?")));
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(seen.title, QString::fromUtf8(kAppTitle));
    EXPECT_EQ(seen.icon, MsgIcon::Question);
    EXPECT_EQ(seen.buttons, MsgButtons::YesNo);
}
