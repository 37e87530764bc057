// Custom child controls in a template dialog: synchronous notifications to
// the dialog, timers by id, show/size/mouse hooks.
#include <gtest/gtest.h>

#include <QTest>
#include <QMouseEvent>
#include <QWheelEvent>

#include <vector>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/dialog.h"

namespace {

const ControlDef kControls[] = {{1004, ControlKind::StaticFrame, "", 10, 10, 100, 60}};
const DialogTemplate kTmpl{300, "Host", 140, 90, false, kControls, 1};

class Probe : public CCustomControl {
public:
    std::vector<int> timers, wheels;
    std::vector<bool> shows;
    QSize size;
    QPoint left, move;
    int leaves = 0, picture = 0;
    long answer = -1;

protected:
    void OnTimer(int id) override { timers.push_back(id), KillTimer(id); }
    void OnShowWindow(bool show) override { shows.push_back(show); }
    void OnSize(int w, int h) override { size = QSize(w, h); }
    void OnLButtonDown(int x, int y) override { left = QPoint(x, y), answer = SendNotify(1000); }
    void OnMouseMove(int x, int y, Qt::MouseButtons) override { move = QPoint(x, y); }
    bool OnMouseWheel(int delta, int, int) override { return wheels.push_back(delta), true; }
    void OnMouseLeave() override { ++leaves; }
};

class Host : public CDialog, public CNotifySink {
public:
    Host() : CDialog(kTmpl) {}
    Probe* probe = nullptr;
    std::vector<int> notes;  // id * 10000 + code

    long OnControlNotify(int id, int code, QWidget*) override {
        notes.push_back(id * 10000 + code);
        probe->picture = 7;  // the control is still inside SendNotify
        return 42;
    }

protected:
    bool OnInitDialog() override {
        ReplaceDlgItem(1004, probe = new Probe);
        return true;
    }
};

void Wheel(QWidget* w, QPoint angle) {
    QWheelEvent ev(QPointF(5, 5), QPointF(5, 5), QPoint(), angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

}  // namespace

using CustomControl = WindowTest;

TEST_F(CustomControl, NotifiesItsDialogSynchronouslyWithItsId) {
    Host dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.probe->GetDlgCtrlID(), 1004);
    QTest::mouseClick(dlg.probe, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    EXPECT_EQ(dlg.probe->left, QPoint(5, 6));
    EXPECT_EQ(dlg.notes, std::vector<int>{1004 * 10000 + 1000});
    EXPECT_EQ(dlg.probe->answer, 42);
    EXPECT_EQ(dlg.probe->picture, 7);
}

TEST_F(CustomControl, TimersById) {
    Probe p;  // never shown: window timers run anyway
    p.SetTimer(2, 5);
    p.SetTimer(2, 5);  // restarting replaces: one timer, one tick
    p.SetTimer(3, 5);
    p.KillTimer(3);
    EXPECT_FALSE(p.HasTimer(3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.timers.empty(); }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(p.timers, std::vector<int>{2});
}

TEST_F(CustomControl, ShowSizeMoveWheelLeaveHooks) {
    Host dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Probe* p = dlg.probe;
    dlg.hide();  // the parent hides it
    EXPECT_EQ(p->shows, std::vector<bool>({true, false}));
    dlg.show();
    p->resize(70, 40);
    EXPECT_EQ(p->size, QSize(70, 40));
    // Sent directly: a synthesised cursor move goes through the X server and
    // may arrive after the check, or not at all while the dialog re-maps.
    QMouseEvent mv(QEvent::MouseMove, QPointF(9, 8), QPointF(9, 8), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p, &mv);  // no button held
    EXPECT_EQ(p->move, QPoint(9, 8));
    Wheel(p, QPoint(120, 0));  // sideways only: not a wheel turn
    Wheel(p, QPoint(0, -120));
    EXPECT_EQ(p->wheels, std::vector<int>{-120});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(p, &leave);
    EXPECT_EQ(p->leaves, 1);
}
