// The control calls of the dialog base, each through its real widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/dialog.h"
#include "ui/toolkit/indicator_images.h"

namespace {

const ControlDef kControls[] = {
    {2001, ControlKind::ComboDropList, "10\n25\n50", 5, 5, 40, 60},
    {2002, ControlKind::ComboDropDown, "", 50, 5, 40, 60},
    {2003, ControlKind::RadioButton, "Run", 100, 5, 20, 14, CS_PUSHLIKE | CS_ICON | CS_GROUP},
    {2004, ControlKind::RadioButton, "Freeze", 122, 5, 20, 14, CS_PUSHLIKE | CS_ICON},
    {2005, ControlKind::RadioButton, "Other", 150, 5, 40, 10, CS_GROUP},
    {2006, ControlKind::PushButton, "Calibrate gyro./accel. bias/scale (ca)", 5, 25, 73, 20, CS_MULTILINE},
    {2007, ControlKind::Picture, "", 90, 25, 9, 8},
    {2008, ControlKind::Progress, "", 5, 50, 100, 8},
    {2009, ControlKind::Edit, "", 5, 62, 60, 12, CS_CENTER},
    {2010, ControlKind::EditMultiline, "", 5, 80, 150, 40, CS_VSCROLL},
    {2011, ControlKind::RichEdit, "", 5, 125, 150, 14, CS_CENTER},
    {IDOK, ControlKind::DefPushButton, "OK", 160, 125, 40, 14},
};
const DialogTemplate kTmpl{210, "Controls", 210, 145, false, kControls, int(std::size(kControls))};

class Dlg : public CDialog {
public:
    Dlg() : CDialog(kTmpl) { Create(); }
    int oks = 0;

protected:
    void OnOK() override { ++oks; }
};

QPlainTextEdit* Multi(Dlg& d) { return d.Item<QPlainTextEdit>(2010); }

}  // namespace

using DialogControls = WindowTest;

TEST_F(DialogControls, ComboStartsWithTheTemplateItemsAndNoSelection) {
    Dlg d;
    EXPECT_EQ(d.ComboGetCount(2001), 3);
    EXPECT_EQ(d.ComboGetItemText(2001, 2), QStringLiteral("50"));
    EXPECT_EQ(d.ComboGetCurSel(2001), -1);
}

TEST_F(DialogControls, ComboAddingToAnEmptyListSelectsNothing) {
    Dlg d;
    d.SetDlgItemText(2002, QStringLiteral("/dev/typed"));
    EXPECT_EQ(d.ComboAddString(2002, QStringLiteral("b")), 0);
    EXPECT_EQ(d.ComboInsertString(2002, 0, QStringLiteral("a")), 0);
    EXPECT_EQ(d.ComboInsertString(2002, 9, QStringLiteral("c")), 2);
    EXPECT_EQ(d.ComboGetCurSel(2002), -1);
    EXPECT_EQ(d.GetDlgItemText(2002), QStringLiteral("/dev/typed"));
    EXPECT_EQ(d.ComboGetItemText(2002, 1), QStringLiteral("b"));
}

TEST_F(DialogControls, ComboSelectionOutsideTheListIsNoneAndResetEmpties) {
    Dlg d;
    EXPECT_EQ(d.ComboSetCurSel(2001, 1), 1);
    EXPECT_EQ(d.GetDlgItemText(2001), QStringLiteral("25"));
    EXPECT_EQ(d.ComboSetCurSel(2001, 3), -1);
    EXPECT_EQ(d.ComboGetCurSel(2001), -1);
    d.ComboSetCurSel(2001, 0);
    d.ComboResetContent(2001);
    EXPECT_EQ(d.ComboGetCount(2001), 0);
    EXPECT_EQ(d.ComboGetCurSel(2001), -1);
}

TEST_F(DialogControls, PushLikeRadiosWithIconsExcludeEachOtherOnlyInTheirGroup) {
    Dlg d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    auto* run = d.Item<QPushButton>(2003);
    ASSERT_NE(run, nullptr);  // drawn as a push button
    d.SetDlgItemIcon(2003, QIcon(IndicatorImages::ResourcePath(151)), QSize(20, 20));
    EXPECT_TRUE(run->text().isEmpty());  // the icon instead of the caption
    EXPECT_EQ(d.GetDlgItemText(2003), QStringLiteral("Run"));
    EXPECT_EQ(run->iconSize(), QSize(20, 20));

    d.CheckDlgButton(2005, true);
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_TRUE(d.IsDlgButtonChecked(2003));
    EXPECT_TRUE(d.IsDlgButtonChecked(2005));  // another group
    QTest::mouseClick(d.GetDlgItem(2004), Qt::LeftButton);
    EXPECT_FALSE(d.IsDlgButtonChecked(2003));
    EXPECT_TRUE(d.IsDlgButtonChecked(2004));
    d.CheckDlgButton(2004, false);  // by program the group may have none checked
    EXPECT_FALSE(d.IsDlgButtonChecked(2004));
}

TEST_F(DialogControls, MultiLineCaptionWrapsInsideTheButton) {
    Dlg d;
    auto* b = d.Item<QPushButton>(2006);
    const QStringList lines = b->text().split(u'\n');
    EXPECT_GE(lines.size(), 2);
    for (const QString& line : lines) EXPECT_LT(b->fontMetrics().horizontalAdvance(line), b->width()) << line.toStdString();
    EXPECT_LE(int(lines.size()) * b->fontMetrics().height(), b->height() - 2) << b->text().toStdString();  // no line cut off
    EXPECT_EQ(d.GetDlgItemText(2006), QStringLiteral("Calibrate gyro./accel. bias/scale (ca)"));
}

TEST_F(DialogControls, SetBitmapShowsItAtItsSizeAndHandsBackThePrevious) {
    Dlg d;
    const QPixmap grey(IndicatorImages::ResourcePath(149)), green(IndicatorImages::ResourcePath(151));
    EXPECT_TRUE(d.SetBitmap(2007, grey).isNull());
    EXPECT_EQ(d.GetDlgItem(2007)->size(), grey.size());
    EXPECT_EQ(d.SetBitmap(2007, green).toImage(), grey.toImage());
    EXPECT_EQ(d.GetBitmap(2007).toImage(), green.toImage());
}

TEST_F(DialogControls, ProgressPositionStaysInsideTheRange) {
    Dlg d;
    d.SetProgressRange(2008, 0, 30);
    d.SetProgressPos(2008, 12);
    EXPECT_EQ(d.GetProgressPos(2008), 12);
    d.SetProgressPos(2008, 40);
    EXPECT_EQ(d.GetProgressPos(2008), 30);
    d.SetProgressPos(2008, -3);
    EXPECT_EQ(d.GetProgressPos(2008), 0);
}

TEST_F(DialogControls, CentredEditAndRichEdit) {
    Dlg d;
    EXPECT_TRUE(d.Item<QLineEdit>(2009)->alignment() & Qt::AlignHCenter);
    d.RichEditAppend(2011, QStringLiteral("x"), Qt::black);
    d.RichEditClear(2011);
    d.RichEditAppend(2011, QStringLiteral("1.5"), Qt::black);
    EXPECT_EQ(d.Item<QTextEdit>(2011)->document()->firstBlock().blockFormat().alignment() & Qt::AlignHCenter,
              Qt::AlignHCenter);
}

TEST_F(DialogControls, OneLineRichEditShowsItsLineWhole) {
    Dlg d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.RichEditAppend(2011, QStringLiteral("0.125 : 1.5, 2.25, -3"), Qt::black);
    auto* t = d.Item<QTextEdit>(2011);
    EXPECT_LE(t->document()->size().height(), t->viewport()->height());
}

TEST_F(DialogControls, RichEditAppendsColouredRuns) {
    Dlg d;
    d.RichEditAppend(2011, QStringLiteral("x"), Qt::black);
    d.RichEditClear(2011);
    d.RichEditAppend(2011, QStringLiteral("1.5 : "), Qt::black);
    d.RichEditAppend(2011, QStringLiteral("2"), QColor(255, 0, 0));
    EXPECT_EQ(d.GetDlgItemText(2011), QStringLiteral("1.5 : 2"));
    QTextCursor c(d.Item<QTextEdit>(2011)->document());
    c.setPosition(7);  // the format of the character before the position
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
    c.setPosition(6);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(Qt::black));
}

TEST_F(DialogControls, MultiLineEditLimitRefusesTheUsersExtraCharacters) {
    Dlg d;
    d.show();
    d.LimitText(2010, 5);
    Multi(d)->setFocus();
    QTest::keyClicks(Multi(d), QStringLiteral("abcdefg"));
    EXPECT_EQ(d.GetDlgItemText(2010), QStringLiteral("abcde"));
    d.LimitText(2009, 3);
    QTest::keyClicks(d.GetDlgItem(2009), QStringLiteral("12345"));
    EXPECT_EQ(d.GetDlgItemText(2009), QStringLiteral("123"));
}

TEST_F(DialogControls, FocusedControlIdOnlyWhileItsWindowHasTheFocus) {
    Dlg d;
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.GotoDlgCtrl(2009);
    EXPECT_EQ(d.GetFocusId(), 2009);
    EXPECT_TRUE(d.IsDlgItemFocused(2009));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(d.GetFocusId(), 0);
}

TEST_F(DialogControls, LineCountAndLineIndex) {
    Dlg d;
    d.SetDlgItemText(2010, QStringLiteral("ab\ncde\nf"));
    EXPECT_EQ(d.GetLineCount(2010), 3);
    EXPECT_EQ(d.GetTextLength(2010), 8);
    EXPECT_EQ(d.LineIndex(2010, 1), 3);
    EXPECT_EQ(d.LineIndex(2010, 2), 7);
    EXPECT_EQ(d.LineIndex(2010, 3), -1);
}

TEST_F(DialogControls, ReplaceSelWithoutUndoLeavesNothingToUndo) {
    Dlg d;
    d.SetSel(2010, 0, -1);
    d.ReplaceSel(2010, QStringLiteral("kept"), true);
    EXPECT_TRUE(Multi(d)->document()->isUndoAvailable());
    d.SetSel(2010, 0, 2);
    d.ReplaceSel(2010, QStringLiteral("s"));
    EXPECT_EQ(d.GetDlgItemText(2010), QStringLiteral("spt"));
    EXPECT_FALSE(Multi(d)->document()->isUndoAvailable());
}

TEST_F(DialogControls, ScrollCaretBringsTheEndIntoView) {
    Dlg d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("line %1\n").arg(i);
    d.SetDlgItemText(2010, text);
    QScrollBar* bar = Multi(d)->verticalScrollBar();
    bar->setValue(0);
    d.SetSel(2010, d.GetTextLength(2010), -1);
    bar->setValue(0);
    d.ScrollCaret(2010);
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(DialogControls, FixedPitchFont) {
    Dlg d;
    d.SetFixedPitchFont(2010, 12);
    // Every character takes the same width (a variable font may not say it is fixed pitch).
    const QFontMetrics fm(d.GetDlgItem(2010)->font());
    EXPECT_EQ(fm.horizontalAdvance(QLatin1Char('i')), fm.horizontalAdvance(QLatin1Char('W')));
    EXPECT_EQ(d.GetDlgItem(2010)->font().pointSize(), 12);
}

TEST_F(DialogControls, EnterInAMultiLineEditReachesTheDialog) {
    Dlg d;
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    Multi(d)->setFocus();
    QTest::keyClick(d.windowHandle(), Qt::Key_Return);
    EXPECT_EQ(d.oks, 1);
    EXPECT_EQ(d.GetLineCount(2010), 1);
}

TEST_F(DialogControls, PerControlTextColour) {
    Dlg d;
    d.SetDlgItemText(2009, QStringLiteral("MMMM"));
    auto redPixels = [&] {
        const QImage img = d.GetDlgItem(2009)->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                n += c.red() > 150 && c.green() < 90 && c.blue() < 90;
            }
        return n;
    };
    EXPECT_EQ(redPixels(), 0);
    d.SetDlgItemTextColor(2009, QColor(255, 0, 0));
    EXPECT_GT(redPixels(), 0);
    d.SetDlgItemTextColor(2009, QColor());
    EXPECT_EQ(redPixels(), 0);
}
