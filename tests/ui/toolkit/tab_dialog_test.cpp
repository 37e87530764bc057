// The tab host: pages in the display area, the selection rules, the user's
// click, image strips, page destruction and the restore clamp.
#include <gtest/gtest.h>

#include <QPointer>
#include <vector>
#include <QTabBar>
#include <QTest>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/tab_dialog.h"

namespace {

const ControlDef kHostControls[] = {
    {1116, ControlKind::Tab, "", 5, 5, 300, 180},
    {IDCANCEL, ControlKind::PushButton, "Exit", 250, 190, 50, 14},
};
const DialogTemplate kHost{102, "Host", 310, 210, false, kHostControls, 2};

const ControlDef kPageControls[] = {{4001, ControlKind::Edit, "", 5, 5, 60, 12}};
const DialogTemplate kPage{164, "", 290, 160, true, kPageControls, 1};

class Page : public CDialog {
public:
    explicit Page(int* destroyed = nullptr) : CDialog(kPage), m_destroyed(destroyed) {}

protected:
    void OnDestroy() override {
        if (m_destroyed) ++*m_destroyed;
    }

private:
    int* m_destroyed;
};

struct Fixture {
    CDialog host{kHost};
    CTabDialog tabs;
    Page* pages[3] = {};
    int destroyed = 0;

    explicit Fixture(int count = 3) {
        host.Create();
        EXPECT_TRUE(tabs.Attach(&host, 1116));
        for (int i = 0; i < count; ++i) {
            pages[i] = new Page(&destroyed);
            tabs.AddTab(QStringLiteral("Tab %1").arg(i), pages[i], 164, i == 1 ? -1 : 0);
        }
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
};

}  // namespace

using TabDialog = WindowTest;

TEST_F(TabDialog, AddTabCreatesHiddenPagesInTheDisplayArea) {
    Fixture f;
    EXPECT_EQ(f.tabs.PageCount(), 3);
    EXPECT_EQ(f.tabs.CurrentPage(), -1);
    EXPECT_EQ(f.tabs.TabBar()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(f.pages[i]->IsCreated());
        EXPECT_FALSE(f.pages[i]->isVisible()) << i;
        EXPECT_EQ(f.pages[i]->parentWidget(), f.tabs.Control());
        EXPECT_EQ(f.tabs.Page(i), f.pages[i]);
    }
    const QRect r = f.pages[0]->geometry();
    EXPECT_EQ(r.left(), 2);
    EXPECT_GE(r.top(), f.tabs.TabBar()->height());  // below the tab row
    EXPECT_EQ(r, f.tabs.PageRect());
    EXPECT_EQ(f.tabs.Page(3), nullptr);
    EXPECT_EQ(f.tabs.Page(-1), nullptr);
}

TEST_F(TabDialog, ImagesOnlyForNonNegativeIndices) {
    CDialog host(kHost);
    host.Create();
    CTabDialog tabs;
    ASSERT_TRUE(tabs.Attach(&host, 1116));
    tabs.SetImageList(QPixmap(QStringLiteral(":/strips/main_tabs_160.png")));
    EXPECT_EQ(tabs.ImageCount(), 5);
    tabs.AddTab(QStringLiteral("With"), new Page, 164, 3);
    tabs.AddTab(QStringLiteral("Without"), new Page, 164, -1);
    tabs.AddTab(QStringLiteral("Past the strip"), new Page, 164, 99);
    EXPECT_FALSE(tabs.TabBar()->tabIcon(0).isNull());
    EXPECT_TRUE(tabs.TabBar()->tabIcon(1).isNull());
    EXPECT_TRUE(tabs.TabBar()->tabIcon(2).isNull());
    EXPECT_EQ(tabs.TabBar()->tabText(1), QStringLiteral("Without"));
    // White is transparent in the strip cells.
    tabs.SetImageList(QPixmap(QStringLiteral(":/strips/config_tabs_159.png")));
    EXPECT_EQ(tabs.ImageCount(), 7);
}

TEST_F(TabDialog, SelectTabOutOfRangeThenValid) {
    Fixture f;
    f.tabs.SelectTab(0);
    EXPECT_TRUE(f.pages[0]->isVisible());
    EXPECT_EQ(f.tabs.CurrentPage(), 0);

    f.tabs.SelectTab(7);  // hides the shown page, shows none, stores the index
    EXPECT_EQ(f.tabs.CurrentPage(), 7);
    for (Page* p : f.pages) EXPECT_FALSE(p->isVisible());

    f.tabs.SelectTab(-3);
    EXPECT_EQ(f.tabs.CurrentPage(), -3);

    f.tabs.SelectTab(2);
    EXPECT_TRUE(f.pages[2]->isVisible());
    EXPECT_FALSE(f.pages[0]->isVisible());
    EXPECT_EQ(f.tabs.CurrentPage(), 2);
    // SelectTab leaves the highlight to the caller: still the first tab,
    // highlighted when it was added.
    EXPECT_EQ(f.tabs.GetCurSel(), 0);
}

TEST_F(TabDialog, SetCurSelHighlightsOnlyAndUserClickFollows) {
    Fixture f;
    f.tabs.SetCurSel(1);
    EXPECT_EQ(f.tabs.GetCurSel(), 1);
    EXPECT_EQ(f.tabs.CurrentPage(), -1);  // no page change from the program's highlight
    for (Page* p : f.pages) EXPECT_FALSE(p->isVisible());

    // The user's click on tab 2.
    QTabBar* bar = f.tabs.TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(2).center());
    EXPECT_EQ(bar->currentIndex(), 2);
    EXPECT_EQ(f.tabs.CurrentPage(), 2);
    EXPECT_TRUE(f.pages[2]->isVisible());
}

TEST_F(TabDialog, SelectionChangeWithoutSelectionLeavesPages) {
    Fixture f;
    f.tabs.SelectTab(1);
    f.tabs.SetCurSel(-1);
    ASSERT_EQ(f.tabs.GetCurSel(), -1);
    f.tabs.OnSelChange();
    EXPECT_EQ(f.tabs.CurrentPage(), 1);
    EXPECT_TRUE(f.pages[1]->isVisible());

    // The user's click on the highlighted tab selects it again.
    QTabBar* bar = f.tabs.TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(bar->currentIndex()).center());
    EXPECT_EQ(f.tabs.CurrentPage(), bar->currentIndex());
    EXPECT_GE(f.tabs.GetCurSel(), 0);

    CTabDialog empty;  // not attached at all
    empty.OnSelChange();
    EXPECT_EQ(empty.CurrentPage(), -1);
}

TEST_F(TabDialog, DestroyPagesAndOwnership) {
    int destroyed = 0;
    QPointer<Page> watch;
    {
        CDialog host(kHost);
        host.Create();
        auto* tabs = new CTabDialog;
        ASSERT_TRUE(tabs->Attach(&host, 1116));
        for (int i = 0; i < 2; ++i) tabs->AddTab(QStringLiteral("P"), new Page(&destroyed), 164, 0);
        watch = static_cast<Page*>(tabs->Page(0));
        tabs->DestroyPages();
        tabs->DestroyPages();
        EXPECT_EQ(destroyed, 2);  // once per page
        delete tabs;              // deletes the pages
        EXPECT_TRUE(watch.isNull());
    }
    EXPECT_EQ(destroyed, 2);
}

TEST_F(TabDialog, AttachNeedsTheTabControl) {
    CDialog host(kHost);
    host.Create();
    CTabDialog tabs;
    EXPECT_FALSE(tabs.Attach(&host, 999));
    EXPECT_FALSE(tabs.Attach(nullptr, 1116));
    // A page added to an unattached host is still owned and deleted.
    QPointer<Page> p = new Page;
    {
        CTabDialog lone;
        lone.AddTab(QStringLiteral("x"), p, 164, -1);
        EXPECT_EQ(lone.PageCount(), 1);
    }
    EXPECT_TRUE(p.isNull());
}

TEST_F(TabDialog, ClampSelectionRestore) {
    EXPECT_EQ(CTabDialog::ClampSelection(9, 5), 4);
    EXPECT_EQ(CTabDialog::ClampSelection(-2, 5), 0);
    EXPECT_EQ(CTabDialog::ClampSelection(3, 5), 3);
    EXPECT_EQ(CTabDialog::ClampSelection(3, 0), 0);
}

TEST_F(TabDialog, ClickOnTheTabStripFocusesItSoEscapeClosesTheHost) {
    Fixture f;
    f.tabs.SetCurSel(0);
    f.tabs.SelectTab(0);
    f.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.host));
    QTabBar* bar = f.tabs.TabBar();
    QTest::mouseClick(f.host.windowHandle(), Qt::LeftButton, {}, bar->mapTo(&f.host, bar->tabRect(1).center()));
    EXPECT_EQ(f.tabs.CurrentPage(), 1);
    EXPECT_TRUE(bar->hasFocus());
    QTest::keyClick(f.host.windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(f.host.isVisible());
    EXPECT_EQ(f.host.result(), IDCANCEL);
}

TEST_F(TabDialog, EnterInTheHostNeverPressesAPagesDefaultButton) {
    const ControlDef pageControls[] = {{4101, ControlKind::DefPushButton, "Page OK", 5, 5, 50, 14}};
    const DialogTemplate pageTmpl{165, "", 290, 160, true, pageControls, 1};
    struct Host : CDialog {
        Host() : CDialog(kHost) {}
        std::vector<int> commands;
        void OnCommand(int id) override { commands.push_back(id); }
    } host;
    host.Create();
    CTabDialog tabs;
    ASSERT_TRUE(tabs.Attach(&host, 1116));
    tabs.AddTab(QStringLiteral("Page"), new CDialog(pageTmpl), 165, -1);
    tabs.SelectTab(0);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    tabs.TabBar()->setFocus();
    QTest::keyClick(tabs.TabBar(), Qt::Key_Return);
    EXPECT_EQ(host.commands, std::vector<int>{IDOK});
}
