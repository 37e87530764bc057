#pragma once
// The one fixture of the window tests: a settings record in a temporary
// folder, a host widget and, when the test starts it, tarvik-sim with its
// request log and control pipe and the connection to it. TearDown ends
// windows, connection, settings, simulator.
#include "tests/support/sim_session.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

class WindowTest : public ::testing::Test {
protected:
    static constexpr int kTimeoutMs = 500;  // a loaded machine must not turn a slow reply into a back-off

    void SetUp() override;
    void TearDown() override;
    // Destroys the windows of the test; runs first in TearDown.
    virtual void CloseWindows() {}

    // Starts the simulator on link with its request log, control pipe and
    // args; StartSim also connects at baud.
    bool LaunchSim(const std::vector<std::string>& args);
    bool StartSim(const std::vector<std::string>& args, int32_t baud = 115200);
    void StopSim() { m_sim.Stop(); }
    const std::string& SimError() const { return m_sim.Error(); }
    // Writes one line to the control pipe and gives the simulator time to act.
    bool Control(const std::string& line);
    void MakeHost(int width, int height);
    // Shows the host; false when it was not exposed in time.
    bool ShowHost();
    // The request log from a mark on, once the simulator has written it.
    std::string Log(size_t from = 0);
    size_t LogMark() { return Log().size(); }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    CTempDir& Dir() { return m_dir; }
    // Replaces the settings record with one read from TARVIK_UI.ini in the
    // folder, written with these lines in its section first.
    void LoadSettings(const std::string& lines);

    std::unique_ptr<QWidget> host;
    std::string link, log, control;

private:
    CTempDir m_dir;
    CSimProcess m_sim;
};

#define REQUIRE_SIM(...) \
    ASSERT_TRUE(StartSim({__VA_ARGS__})) << "tarvik-sim did not start or answer: " << SimError()
