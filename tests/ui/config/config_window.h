#pragma once
// The configuration window on a 900 x 900 host, for the configuration and
// calibration tests.
#include "tests/support/window_fixture.h"
#include "ui/config/dlg_config.h"

class ConfigWindowTest : public WindowTest {
protected:
    void CloseWindows() override { dlg.reset(); }
    void Open() {
        MakeHost(900, 900);
        dlg = std::make_unique<CDlgConfig>();
        ASSERT_TRUE(dlg->Create(host.get()));
        ASSERT_TRUE(ShowHost());
    }

    std::unique_ptr<CDlgConfig> dlg;
};
