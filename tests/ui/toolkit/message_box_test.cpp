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
#include <vector>

#include "tests/support/window_fixture.h"
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

using MessageBox = WindowTest;

TEST_F(MessageBox, YesNoCarriesTheTitleAndAnswers) {
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

TEST_F(MessageBox, OtherWindowsKeepWorkingWhileItAsks) {
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

TEST_F(MessageBox, HookAnswersWithoutShowing) {
    std::vector<MessageBoxRequest> seen;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen.push_back(r);
        return IDYES;
    });
    EXPECT_TRUE(AskYesNo(nullptr, QStringLiteral("Calibrate?")));
    ShowError(nullptr, QStringLiteral("Failed."));
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].title, QString::fromUtf8(kAppTitle));
    EXPECT_EQ(seen[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(seen[1].icon, MsgIcon::Error);
}
