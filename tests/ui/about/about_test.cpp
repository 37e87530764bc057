// The About box texts and the web link's colours, cursor, tooltip and opening.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/support/window_fixture.h"
#include "ui/about/dlg_about.h"
#include "ui/about/hyper_link.h"

using About = WindowTest;

TEST_F(About, TemplateAndTexts) {
    CDlgAbout dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(dlg.size(), dlg.DuToPx(267, 139));
    EXPECT_EQ(dlg.GetDlgItemText(CDlgAbout::IDC_TITLE), QStringLiteral("Tarvik UI"));
    EXPECT_EQ(dlg.GetDlgItemText(CDlgAbout::IDC_VERSION), QStringLiteral("UI Version 1.04 (2021. 4.)"));
    const QString maker = dlg.GetDlgItemText(CDlgAbout::IDC_MAKER);
    EXPECT_TRUE(maker.startsWith(QStringLiteral("Kelvane Co., Ltd.\nModel: Brisknode Tarvik\nP. ID: KV-TQM-v1\n\n")));
    EXPECT_TRUE(maker.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(maker.count(QLatin1Char('\n')), 8);
    EXPECT_TRUE(maker.contains(QStringLiteral("(Fax: ")));
    EXPECT_TRUE(maker.contains(QStringLiteral("\t\t")));  // the address line

    QFont title = dlg.GetDlgItem(CDlgAbout::IDC_TITLE)->font();
    EXPECT_EQ(title.family(), QStringLiteral("Arial"));
    EXPECT_EQ(title.pixelSize(), 24);
    EXPECT_EQ(dlg.GetDlgItem(CDlgAbout::IDC_VERSION)->font().pixelSize(), 16);

    CHyperLink* link = dlg.Link();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(dlg.GetDlgItem(CDlgAbout::IDC_LINK), link);
    EXPECT_EQ(link->text(), QStringLiteral("https://www.kelvane.example/tarvik"));
    EXPECT_EQ(link->URL(), QStringLiteral("https://www.kelvane.example/tarvik"));
    EXPECT_EQ(link->toolTip(), QStringLiteral("Please visit this homepage for more information."));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->geometry(), dlg.DuToPx(7, 121, 132, 8));
}

TEST_F(About, ContactValuesStartInOneColumn) {
    CDlgAbout dlg;
    ASSERT_TRUE(dlg.Create());
    QWidget* block = dlg.GetDlgItem(CDlgAbout::IDC_MAKER);
    const QFontMetrics fm(block->font());
    const QStringList lines = dlg.GetDlgItemText(CDlgAbout::IDC_MAKER).split(QLatin1Char('\n')).mid(4, 4);
    QList<int> starts;  // where the text after the tabs begins, as the label draws it
    for (const QString& line : lines) {
        const QString value = line.section(QLatin1Char('\t'), -1);
        const int whole = fm.boundingRect(QRect(0, 0, 4000, 100), Qt::AlignLeft | Qt::TextExpandTabs, line).width();
        starts << whole - fm.horizontalAdvance(value);
    }
    ASSERT_EQ(starts.size(), 4);
    for (int x : starts) EXPECT_NEAR(x, starts.front(), 1) << lines.join(QLatin1Char('|')).toStdString();
}

TEST_F(About, CloseEscapeAndEnterEndTheDialog) {
    CDlgAbout dlg;
    QTimer::singleShot(50, &dlg, [&] { dlg.Item<QPushButton>(IDCANCEL)->click(); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    QTimer::singleShot(50, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    // Enter with no button focused is IDOK; with Close focused it presses Close.
    QTimer::singleShot(50, &dlg, [&] {
        dlg.setFocus();
        QTest::keyClick(&dlg, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    QTimer::singleShot(50, &dlg, [&] {
        dlg.GetDlgItem(IDCANCEL)->setFocus();
        QTest::keyClick(dlg.GetDlgItem(IDCANCEL), Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

using HyperLink = WindowTest;

TEST_F(HyperLink, ColoursBeforeAndAfterClickAndTrimmedAddress) {
    CHyperLink link;
    QStringList opened;
    link.SetOpener([&](const QString& url) {
        opened << url;
        return true;
    });
    link.setText(QStringLiteral("site"));
    link.SetURL(QStringLiteral("  https://www.kelvane.example/tarvik \t"));
    EXPECT_EQ(link.URL(), QStringLiteral("https://www.kelvane.example/tarvik"));
    link.resize(120, 20);
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));

    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(link.LinkColor(), QColor(0, 0, 255));
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(link.font().underline());

    QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(128, 0, 128));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), QStringLiteral("https://www.kelvane.example/tarvik"));

    // A second click keeps it purple; a right click opens nothing.
    QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseClick(&link, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(link.LinkColor(), QColor(128, 0, 128));
    EXPECT_EQ(opened.size(), 2);

    // A new link starts unvisited.
    CHyperLink fresh;
    EXPECT_EQ(fresh.LinkColor(), QColor(0, 0, 255));
}

TEST_F(HyperLink, NoAddressOpensNothing) {
    CHyperLink link;
    int calls = 0;
    link.SetOpener([&](const QString&) { return ++calls > 0; });
    link.SetURL(QStringLiteral("   "));
    link.resize(50, 20);
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(link.IsVisited());
}
