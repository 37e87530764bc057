// The dialog base: controls from the template, dialog units, texts, timers,
// Enter/Escape routing, and the common base's number display and screen clamp.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/dialog_common.h"
#include "ui/toolkit/indicator_images.h"

namespace {

const ControlDef kControls[] = {
    {1001, ControlKind::Static, "Save && Load", 7, 7, 100, 8},
    {1002, ControlKind::PushButton, "&Apply", 7, 20, 50, 14},
    {1003, ControlKind::CheckBox, "Check", 7, 40, 50, 10},
    {1004, ControlKind::RadioButton, "Radio", 7, 52, 50, 10},
    {1005, ControlKind::Edit, "", 7, 64, 60, 12, CS_NUMBER},
    {1006, ControlKind::ComboDropList, "", 7, 80, 60, 40},
    {1007, ControlKind::Progress, "", 7, 96, 60, 8, CS_HIDDEN},
    {1008, ControlKind::EditMultiline, "", 80, 20, 60, 40, CS_WANTRETURN},
    {1009, ControlKind::StaticFrame, "", 80, 64, 60, 30},
    {IDOK, ControlKind::DefPushButton, "OK", 150, 100, 50, 14},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 150, 118, 50, 14},
};
const DialogTemplate kTop{200, "Test dialog", 210, 140, false, kControls, int(std::size(kControls))};

// A dialog that records what reaches its handlers.
class Recorder : public CDialogCommon {
public:
    explicit Recorder(const DialogTemplate& t = kTop) : CDialogCommon(t) {}
    std::vector<int> commands;
    std::vector<int> timers;
    int oks = 0, cancels = 0, destroys = 0, inits = 0;
    bool closeOnOk = false;

protected:
    bool OnInitDialog() override { ++inits; return true; }
    void OnCommand(int id) override { commands.push_back(id); }
    void OnTimer(int id) override { timers.push_back(id); }
    void OnOK() override { ++oks; if (closeOnOk) CDialog::OnOK(); }
    void OnCancel() override { ++cancels; }
    void OnDestroy() override { ++destroys; }
};

// A click and a key as the window system delivers them: through the window,
// where modality applies.
void SystemClick(QWidget* w) {
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, w->rect().center()));
}
void SystemKey(QWidget* top, Qt::Key key) { QTest::keyClick(top->windowHandle(), key); }

bool WaitFor(const std::function<bool()>& cond, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < ms) QTest::qWait(10);
    return cond();
}

}  // namespace

using Dialog = WindowTest;

TEST_F(Dialog, BuildsControlsByIdAtDialogUnitGeometry) {
    Recorder dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_FALSE(dlg.Create());  // only once
    EXPECT_EQ(dlg.inits, 1);

    const int bx = dlg.BaseUnitX(), by = dlg.BaseUnitY();
    EXPECT_GT(bx, 0);
    EXPECT_GT(by, 0);
    EXPECT_EQ(dlg.size(), QSize(210 * bx / 4, 140 * by / 8));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());  // fixed size

    QWidget* apply = dlg.GetDlgItem(1002);
    ASSERT_NE(apply, nullptr);
    EXPECT_EQ(apply->geometry(), QRect(7 * bx / 4, 20 * by / 8, 50 * bx / 4, 14 * by / 8));
    EXPECT_EQ(apply->objectName(), QStringLiteral("id1002"));
    EXPECT_EQ(apply->property("ctrlId").toInt(), 1002);
    EXPECT_NE(dlg.Item<QPushButton>(1002), nullptr);
    EXPECT_NE(dlg.Item<QCheckBox>(1003), nullptr);
    EXPECT_NE(dlg.Item<QRadioButton>(1004), nullptr);
    EXPECT_NE(dlg.Item<QLineEdit>(1005), nullptr);
    EXPECT_NE(dlg.Item<QComboBox>(1006), nullptr);
    EXPECT_NE(dlg.Item<QProgressBar>(1007), nullptr);
    EXPECT_TRUE(dlg.GetDlgItem(1007)->isHidden());
    EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
    EXPECT_EQ(dlg.Item<QLabel>(1002), nullptr);  // wrong kind: null, no crash
}

TEST_F(Dialog, TextsAmpersandsAndNumbers) {
    Recorder dlg;
    dlg.Create();
    EXPECT_EQ(dlg.GetDlgItemText(1001), QStringLiteral("Save & Load"));
    // Buttons keep the mnemonic marker, shown underlined by Qt.
    EXPECT_EQ(dlg.GetDlgItemText(1002), QStringLiteral("&Apply"));

    dlg.SetDlgItemInt(1005, 1234);
    bool ok = false;
    EXPECT_EQ(dlg.GetDlgItemInt(1005, &ok), 1234u);
    EXPECT_TRUE(ok);
    dlg.SetDlgItemText(1001, QStringLiteral("abc"));
    EXPECT_EQ(dlg.GetDlgItemInt(1001, &ok), 0u);
    EXPECT_FALSE(ok);

    dlg.CheckDlgButton(1003, true);
    EXPECT_TRUE(dlg.IsDlgButtonChecked(1003));
    dlg.EnableDlgItem(1003, false);
    EXPECT_FALSE(dlg.GetDlgItem(1003)->isEnabled());
    // Unknown ids are ignored.
    dlg.SetDlgItemText(9999, QStringLiteral("x"));
    EXPECT_TRUE(dlg.GetDlgItemText(9999).isEmpty());
}

TEST_F(Dialog, SetDlgItemDoubleAndInvalidRead) {
    Recorder dlg;
    dlg.Create();
    dlg.SetDlgItemDouble(1001, 9.999, true);
    EXPECT_EQ(dlg.GetDlgItemText(1001), QStringLiteral("10.0"));
    dlg.SetDlgItemDouble(1001, 2e6, true);
    EXPECT_EQ(dlg.GetDlgItemText(1001), QStringLiteral("2e+06"));
    dlg.SetDlgItemDouble(1001, 12.5, false);
    EXPECT_EQ(dlg.GetDlgItemText(1001), QString());
    dlg.SetDlgItemDouble(1001, std::nan(""), true);
    EXPECT_TRUE(dlg.GetDlgItemText(1001).contains(QStringLiteral("nan"))) << dlg.GetDlgItemText(1001).toStdString();
}

TEST_F(Dialog, ComboBoxIsOneLineHighItsTemplateHeightIsTheDroppedList) {
    Recorder dlg;
    dlg.Create();
    auto* combo = dlg.Item<QComboBox>(1006);
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_LT(combo->geometry().bottom(), dlg.GetDlgItem(1007)->geometry().top());  // the row below is free
    EXPECT_GT(combo->maxVisibleItems(), 1);
}

TEST_F(Dialog, GroupBoxShowsAmpersandAndPassesClicksToItsControls) {
    // The group box comes after the button in the template, over it.
    const ControlDef controls[] = {
        {1101, ControlKind::PushButton, "Inside", 10, 15, 40, 14},
        {1102, ControlKind::GroupBox, "Load && Save", 5, 5, 100, 40},
    };
    const DialogTemplate tmpl{201, "Group", 120, 60, false, controls, 2};
    Recorder dlg(tmpl);
    dlg.Create();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.Item<QGroupBox>(1102)->title(), QStringLiteral("Load && Save"));  // drawn as "Load & Save"
    SystemClick(dlg.GetDlgItem(1101));
    EXPECT_EQ(std::count(dlg.commands.begin(), dlg.commands.end(), 1101), 1);
}

TEST_F(Dialog, GroupBoxFrameRunsThroughTheMiddleOfItsCaptionLine) {
    const ControlDef controls[] = {{1102, ControlKind::GroupBox, "Group", 5, 5, 100, 40}};
    const DialogTemplate tmpl{201, "Group", 120, 60, false, controls, 1};
    Recorder dlg(tmpl);
    dlg.Create();
    auto* box = dlg.Item<QGroupBox>(1102);
    const QImage img = box->grab().toImage();
    const QColor bg = box->palette().color(QPalette::Window);
    const int mid = QFontMetrics(box->font()).height() / 2;
    bool line = false;  // right of the caption, on its middle line
    for (int y = mid - 1; y <= mid + 1; ++y) line = line || img.pixelColor(img.width() * 3 / 4, y) != bg;
    EXPECT_TRUE(line);
}

TEST_F(Dialog, TimersByIdAndRestartReplaces) {
    Recorder dlg;
    dlg.Create();
    dlg.SetTimer(7, 60000);
    dlg.SetTimer(7, 5);  // restart replaces the slow one
    EXPECT_TRUE(dlg.HasTimer(7));
    ASSERT_TRUE(WaitFor([&] { return dlg.timers.size() >= 3; }));
    for (int id : dlg.timers) EXPECT_EQ(id, 7);
    dlg.KillTimer(7);
    EXPECT_FALSE(dlg.HasTimer(7));
    const size_t n = dlg.timers.size();
    QTest::qWait(100);
    EXPECT_EQ(dlg.timers.size(), n);

    dlg.SetTimer(1, 5);
    dlg.SetTimer(2, 5);
    ASSERT_TRUE(WaitFor([&] {
        bool one = false, two = false;
        for (int id : dlg.timers) { one |= id == 1; two |= id == 2; }
        return one && two;
    }));
}

TEST_F(Dialog, EnterEscapeAndButtonsRoute) {
    Recorder dlg;
    dlg.Create();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    dlg.GetDlgItem(1005)->setFocus();
    QTest::keyClick(dlg.GetDlgItem(1005), Qt::Key_Return);
    EXPECT_EQ(dlg.oks, 1);
    ASSERT_FALSE(dlg.commands.empty());
    EXPECT_EQ(dlg.commands.back(), IDOK);

    // Enter inside a multi-line edit that wants it stays there.
    auto* multi = dlg.Item<QPlainTextEdit>(1008);
    multi->setFocus();
    QTest::keyClick(multi, Qt::Key_Return);
    EXPECT_EQ(dlg.oks, 1);

    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.cancels, 1);
    EXPECT_EQ(dlg.commands.back(), IDCANCEL);

    dlg.Item<QPushButton>(IDCANCEL)->click();
    EXPECT_EQ(dlg.cancels, 2);
    dlg.Item<QPushButton>(1002)->click();
    EXPECT_EQ(dlg.commands.back(), 1002);

    // Enter on a focused push button presses that button, not OK.
    dlg.GetDlgItem(1002)->setFocus();
    QTest::keyClick(dlg.GetDlgItem(1002), Qt::Key_Return);
    EXPECT_EQ(dlg.commands.back(), 1002);
    EXPECT_EQ(dlg.oks, 1);

    // The close box is Cancel; the recorder's OnCancel keeps the window.
    dlg.close();
    EXPECT_EQ(dlg.cancels, 3);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(Dialog, DoModalReturnsTheEndDialogCode) {
    Recorder dlg;
    dlg.closeOnOk = true;
    QTimer::singleShot(50, &dlg, [&] { dlg.Item<QPushButton>(IDOK)->click(); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(Dialog, DoModalBlocksItsOwnerButNoModelessWindow) {
    Recorder outer, inner, tool;
    tool.Create();
    tool.show();
    auto clicks = [](const Recorder& r) { return std::count(r.commands.begin(), r.commands.end(), 1002); };
    QTimer::singleShot(0, &outer, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&outer));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&tool));
        SystemClick(tool.GetDlgItem(1002));
        SystemKey(&tool, Qt::Key_Escape);
        QTimer::singleShot(0, &inner, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&inner));
            SystemClick(outer.GetDlgItem(1002));  // the owner waits for the inner dialog
            SystemClick(tool.GetDlgItem(1002));
            inner.EndDialog(IDOK);
        });
        inner.DoModal();
        outer.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(clicks(tool), 2);
    EXPECT_EQ(tool.cancels, 1);
    EXPECT_EQ(clicks(outer), 0);
    EXPECT_EQ(inner.parentWidget(), nullptr);  // the owner was lent for the run only
}

TEST_F(Dialog, OnDestroyOnceAndChildPagesIgnoreEnterEscape) {
    const ControlDef pageControls[] = {{3001, ControlKind::Edit, "", 5, 5, 40, 12}};
    const DialogTemplate pageTmpl{300, "", 100, 60, true, pageControls, 1};
    QWidget host;
    host.resize(400, 300);
    auto* page = new CDialog(pageTmpl);
    ASSERT_TRUE(page->Create(&host));
    EXPECT_EQ(page->parentWidget(), &host);
    EXPECT_FALSE(page->isWindow());
    host.show();
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    page->GetDlgItem(3001)->setFocus();
    QTest::keyClick(page->GetDlgItem(3001), Qt::Key_Return);
    QTest::keyClick(page->GetDlgItem(3001), Qt::Key_Escape);
    EXPECT_TRUE(page->isVisible());

    Recorder dlg;
    dlg.Create();
    dlg.SetTimer(3, 5);
    dlg.DestroyWindow();
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.destroys, 1);
    EXPECT_FALSE(dlg.HasTimer(3));
}

TEST_F(Dialog, ColorFromRefIsBgrOrder) {
    EXPECT_EQ(ColorFromRef(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromRef(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(ColorFromRef(0x00FF7F), QColor(127, 255, 0));
}

using DialogCommon = WindowTest;

TEST_F(DialogCommon, ClampToVirtualScreenCountsTheWindowFrame) {
    // A window manager's frame: 5 px borders and a 25 px title bar.
    struct Framed : Recorder {
        QMargins FrameMargins() const override { return QMargins(5, 25, 5, 5); }
    } dlg;
    dlg.Create();
    QRect desk;
    for (QScreen* s : QGuiApplication::screens()) desk = desk.united(s->geometry());
    ASSERT_FALSE(desk.isEmpty());

    int x = desk.right() + 10000, y = desk.bottom() + 10000;
    dlg.ClampToVirtualScreen(x, y);
    EXPECT_EQ(x, desk.x() + desk.width() - (dlg.width() + 10) - 1);
    EXPECT_EQ(y, desk.y() + desk.height() - (dlg.height() + 30) - 1);

    x = desk.x() - 5000;
    y = desk.y() - 5000;
    dlg.ClampToVirtualScreen(x, y);
    EXPECT_EQ(x, desk.x());
    EXPECT_EQ(y, desk.y());
}

TEST_F(DialogCommon, AFrameKnownOnlyOnceShownIsClampedThen) {
    // The window manager adds its frame when the window is mapped.
    struct FramedWhenShown : Recorder {
        QMargins FrameMargins() const override { return isVisible() ? QMargins(5, 25, 5, 5) : QMargins(); }
    } dlg;
    dlg.Create();
    QRect desk;
    for (QScreen* s : QGuiApplication::screens()) desk = desk.united(s->geometry());
    int x = desk.right() + 10000, y = desk.bottom() + 10000;
    dlg.ClampToVirtualScreen(x, y);
    EXPECT_EQ(x, desk.x() + desk.width() - dlg.width() - 1);  // no frame known yet
    dlg.move(x, y);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    ASSERT_TRUE(WaitFor([&] { return dlg.pos().x() == desk.x() + desk.width() - (dlg.width() + 10) - 1; }, 2000))
        << dlg.pos().x();
    EXPECT_EQ(dlg.pos().y(), desk.y() + desk.height() - (dlg.height() + 30) - 1);
}

TEST(IndicatorImages, EightLampsWithWhiteMappedToButtonFace) {
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(10, 20, 30));
    IndicatorImages lamps(pal);
    const std::vector<int> order{149, 150, 151, 154, 155, 156, 152, 153};
    EXPECT_EQ(IndicatorImages::CreationOrder(), order);
    for (int id = 149; id <= 156; ++id) {
        const QPixmap& p = lamps.Get(id);
        ASSERT_FALSE(p.isNull()) << id;
        EXPECT_EQ(p.size(), QSize(13, 13));
        // The corner is the lamp's white background: now the button colour.
        EXPECT_EQ(p.toImage().pixelColor(0, 0), QColor(10, 20, 30)) << id;
    }
    EXPECT_TRUE(lamps.Get(148).isNull());
    // Bright green and grey differ at the centre.
    EXPECT_NE(lamps.Get(151).toImage().pixel(6, 8), lamps.Get(149).toImage().pixel(6, 8));
}
