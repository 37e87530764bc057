// Custom child controls in a template dialog: synchronous notifications to
// the dialog, timers by id, show/size/mouse hooks.
#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include <utility>
#include <vector>

#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/dialog.h"

namespace {

const ControlDef kControls[] = {
    {1004, ControlKind::StaticFrame, "", 10, 10, 100, 60},
};
const DialogTemplate kTmpl{300, "Host", 140, 90, false, kControls, 1};

class Probe : public CCustomControl {
public:
    std::vector<int> timers;
    std::vector<bool> shows;
    std::vector<QSize> sizes;
    std::vector<QPoint> lefts, moves;
    std::vector<int> wheels;
    int leaves = 0;
    int picture = 0;  // set by the dialog from inside the notification
    long answer = -1;

protected:
    void OnTimer(int id) override {
        timers.push_back(id);
        KillTimer(id);
    }
    void OnShowWindow(bool show) override { shows.push_back(show); }
    void OnSize(int w, int h) override { sizes.emplace_back(w, h); }
    void OnLButtonDown(int x, int y) override {
        lefts.emplace_back(x, y);
        answer = SendNotify(1000);
    }
    void OnMouseMove(int x, int y, Qt::MouseButtons) override { moves.emplace_back(x, y); }
    bool OnMouseWheel(int delta, int, int) override {
        wheels.push_back(delta);
        return true;
    }
    void OnMouseLeave() override { ++leaves; }
};

class Host : public CDialog, public CNotifySink {
public:
    Host() : CDialog(kTmpl) {}
    Probe* probe = nullptr;
    std::vector<std::pair<int, int>> notes;

    long OnControlNotify(int id, int code, QWidget*) override {
        notes.emplace_back(id, code);
        probe->picture = 7;  // the control is still inside SendNotify
        return 42;
    }

protected:
    bool OnInitDialog() override {
        probe = new Probe;
        ReplaceDlgItem(1004, probe);
        return true;
    }
};

void Wheel(QWidget* w, QPoint angle) {
    QWheelEvent ev(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

}  // namespace

TEST(CustomControl, NotifiesItsDialogSynchronouslyWithItsId) {
    Host dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Probe* p = dlg.probe;
    EXPECT_EQ(p->GetDlgCtrlID(), 1004);
    EXPECT_EQ(dlg.GetDlgItem(1004), p);

    QTest::mouseClick(p, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    ASSERT_EQ(p->lefts.size(), 1u);
    EXPECT_EQ(p->lefts[0], QPoint(5, 6));
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0], std::make_pair(1004, 1000));
    EXPECT_EQ(p->answer, 42);
    EXPECT_EQ(p->picture, 7);
}

TEST(CustomControl, WithoutSinkAnswersZero) {
    QWidget plain;
    Probe p;
    p.Create(&plain, QRect(0, 0, 20, 20), 5);
    EXPECT_EQ(p.SendNotify(3), 0);
}

TEST(CustomControl, TimersById) {
    Probe p;
    p.SetTimer(2, 5);
    p.SetTimer(2, 5);  // restarting replaces: one timer, one tick
    p.SetTimer(3, 5);
    p.KillTimer(3);
    EXPECT_TRUE(p.HasTimer(2));
    EXPECT_FALSE(p.HasTimer(3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.timers.empty(); }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(p.timers, std::vector<int>{2});  // hidden controls get their timers too
    EXPECT_FALSE(p.HasTimer(2));
}

TEST(CustomControl, ShowSizeMoveWheelLeaveHooks) {
    Host dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Probe* p = dlg.probe;
    EXPECT_EQ(p->shows, std::vector<bool>{true});
    dlg.hide();  // the parent hides it
    EXPECT_EQ(p->shows.back(), false);
    dlg.show();

    p->resize(70, 40);
    ASSERT_FALSE(p->sizes.empty());
    EXPECT_EQ(p->sizes.back(), QSize(70, 40));

    QTest::mouseMove(p, QPoint(9, 8));  // no button held
    ASSERT_FALSE(p->moves.empty());
    EXPECT_EQ(p->moves.back(), QPoint(9, 8));

    Wheel(p, QPoint(120, 0));  // sideways only: not a wheel turn
    EXPECT_TRUE(p->wheels.empty());
    Wheel(p, QPoint(0, -120));
    EXPECT_EQ(p->wheels, std::vector<int>{-120});

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(p, &leave);
    EXPECT_EQ(p->leaves, 1);
}
