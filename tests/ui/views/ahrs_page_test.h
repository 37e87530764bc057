#pragma once
// The AHRS page on an 800 x 800 host, for the tests against the simulator
// and against a scripted port.
#include "tests/support/window_fixture.h"
#include "ui/views/dlg_main_ahrs.h"

class AhrsPageTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        MakeHost(800, 800);
        page = new CDlgMainAhrs();
        ASSERT_TRUE(page->Create(host.get()));
        ASSERT_TRUE(ShowHost());
    }
    void CloseWindows() override { delete page; }
    QString Line() const { return page->GetDlgItemText(CDlgMainAhrs::IDC_TEXT); }
    bool Enabled(int id) const { return page->GetDlgItem(id)->isEnabled(); }

    CDlgMainAhrs* page = nullptr;
};
