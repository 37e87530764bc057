#pragma once
// The fixtures of the window tests against tarvik-sim: a settings record in a
// temporary folder, a host widget, the simulator with its request log and the
// connection to it; TearDown ends windows, connection, settings, simulator.
#include "tests/e2e/sim_session.h"
#include "ui/config/dlg_config.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

class SimWindowTest : public ::testing::Test {
protected:
    static constexpr int kTimeoutMs = 500;  // a loaded machine must not turn a slow reply into a back-off

    void SetUp() override;
    void TearDown() override;
    // Destroys the windows of the test; runs first in TearDown.
    virtual void CloseWindows() {}

    // Starts the simulator on link with its request log and args, and
    // connects at baud.
    bool StartSim(const std::vector<std::string>& args, int32_t baud = 115200);
    void StopSim() { m_sim.Stop(); }
    const std::string& SimError() const { return m_sim.Error(); }
    void MakeHost(int width, int height);
    // Shows the host; false when it was not exposed in time.
    bool ShowHost();
    // The request log from a mark on, once the simulator has written it.
    std::string Log(size_t from = 0);
    size_t LogMark() { return Log().size(); }
    std::string File(const std::string& name) const { return m_dir.File(name); }

    std::unique_ptr<QWidget> host;
    std::string link, log;

private:
    CTempDir m_dir;
    CSimProcess m_sim;
};

// The configuration window on a 900 x 900 host, with the simulator's control
// pipe to change what the module does while the test runs.
class ConfigWindowTest : public SimWindowTest {
protected:
    void CloseWindows() override { dlg.reset(); }
    bool StartSim(const std::vector<std::string>& extra = {});
    void Open();
    // Writes one line to the control pipe and gives the simulator time to act.
    bool Control(const std::string& line);

    std::unique_ptr<CDlgConfig> dlg;
    std::string control;
};

#define REQUIRE_SIM(...) \
    ASSERT_TRUE(StartSim({__VA_ARGS__})) << "tarvik-sim did not start or answer (is it built?)"
