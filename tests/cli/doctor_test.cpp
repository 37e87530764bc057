// tarvik-cli doctor names each cause that stops a link.
#include "cli/doctor.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

ProgramResult Doctor(const std::vector<std::string>& args, double timeoutS = 30) {
    std::vector<std::string> argv = {BinDir() + "/tarvik-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("doctor");
    return RunProgram(argv, {}, timeoutS);
}

// RunDoctor in this process, its report as text.
std::string DoctorText(const DoctorRequest& q, const DoctorRoots& roots, int* status) {
    std::FILE* f = std::tmpfile();
    *status = RunDoctor(q, f, roots);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

}  // namespace

TEST(Doctor, ReportsProductAndFirmwareOfTheSimulator) {
    CTempDir dir;
    CSimProcess sim;
    if (!sim.Start(dir.File("tty"), {"--no-pace", "--firmware", "245"})) FAIL() << sim.Error();
    // A generous time-out: on a loaded machine the simulator may answer late.
    const ProgramResult r = Doctor({"--port", dir.File("tty"), "--timeout", "300"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "9600 bit/s: nothing answered")) << r.out;
    EXPECT_TRUE(Has(r.out, "115200 bit/s: a module answered: product 1011 (Tarvik), firmware 2.45")) << r.out;
    // The simulator holds the pty's master: the other end, not a competitor.
    EXPECT_TRUE(Has(r.out, "other end of this pseudo-terminal is process " + std::to_string(sim.Pid()))) << r.out;
    EXPECT_FALSE(Has(r.out, "held open by")) << r.out;
}

TEST(Doctor, NamesAMissingDeviceAndThePortsThatExist) {
    CTempDir dir;
    const ProgramResult r = Doctor({"--port", dir.File("ttyUSB9")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "the device is missing: " + dir.File("ttyUSB9") + " does not exist")) << r.out;
    EXPECT_TRUE(Has(r.out, "serial ports present:")) << r.out;
    EXPECT_FALSE(Has(r.out, "bit/s")) << r.out;  // no rate is tried
}

TEST(Doctor, NamesPermissionDeniedWithTheGroupAndTheCommand) {
    CTempDir dir;
    const std::string file = dir.File("ttyUSB0");
    std::ofstream(file).put('x');
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    std::vector<std::string> argv = {BinDir() + "/tarvik-cli", "--port", file, "doctor"};
    if (::geteuid() == 0) {
        // Root may open anything: look as the unprivileged user nobody.
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "root without setpriv: cannot drop rights";
        // (The sanitizer's suppression file need not be readable by nobody.)
        argv.insert(argv.begin(), {"/usr/bin/env", "-u", "LSAN_OPTIONS", "/usr/bin/setpriv", "--reuid=65534",
                                   "--regid=65534", "--clear-groups"});
    }
    const ProgramResult r = RunProgram(argv, {}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "PROBLEM: permission denied: " + file + " belongs to user")) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "(----------); you (")) << r.out;
    EXPECT_TRUE(Has(r.out, "sudo usermod -aG dialout ")) << r.out;
    EXPECT_TRUE(Has(r.out, "rates: not tried")) << r.out;
}

TEST(Doctor, NamesTheProcessThatHoldsThePort) {
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(master);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(slave);
    // The doctor names the holder by its command line: wait until the child runs sleep.
    const std::string cmdline = "/proc/" + std::to_string(child) + "/cmdline";
    for (int i = 0; i < 200 && ReadAll(cmdline).rfind(std::string("sleep\0", 6), 0) != 0; ++i) ::usleep(5000);
    const ProgramResult r = Doctor({"--port", name, "--baud", "115200", "--timeout", "10"});
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(master);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "held open by process " + std::to_string(child) + " (sleep: sleep 30)")) << r.out;
    EXPECT_TRUE(Has(r.out, "kill " + std::to_string(child))) << r.out;
    EXPECT_TRUE(Has(r.out, "115200 bit/s: nothing answered")) << r.out;
}

// Fake /proc and sysfs trees: the port-grabbing services and an FTDI bridge.
class DoctorTrees : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        roots.proc = dir.File("proc");
        roots.sysClassTty = dir.File("tty");
        roots.dev = dir.File("dev");
        roots.brlttyUdevRules = dir.File("85-brltty.rules");
        roots.modemManagerProgram = dir.File("ModemManager");
        for (auto [pid, comm] : {std::pair{"4242", "ModemManager"}, std::pair{"4343", "brltty"}}) {
            fs::create_directories(roots.proc + "/" + pid + "/fd");
            std::ofstream(roots.proc + "/" + pid + "/comm") << comm << "\n";
        }
        // /dev/null stands in for the port: a character device that every
        // user may open, whose sysfs entry (here) is an FTDI bridge.
        fs::create_directories(dir.File("drivers/ftdi_sio"));
        fs::create_directories(roots.sysClassTty + "/null/device");
        fs::create_symlink(dir.File("drivers/ftdi_sio"), roots.sysClassTty + "/null/device/driver");
        std::ofstream(roots.sysClassTty + "/null/device/latency_timer") << "16\n";
    }
    DoctorRequest Request() const {
        DoctorRequest q;
        q.port = "/dev/null";
        q.baud = 115200;
        return q;
    }
    CTempDir dir;
    DoctorRoots roots;
};

TEST_F(DoctorTrees, NamesModemManagerAndBrltty) {
    int status = 0;
    const std::string text = DoctorText(Request(), roots, &status);
    EXPECT_TRUE(Has(text, "PROBLEM: ModemManager is running (process 4242)")) << text;
    EXPECT_TRUE(Has(text, "sudo systemctl disable --now ModemManager")) << text;
    EXPECT_TRUE(Has(text, "PROBLEM: brltty is running (process 4343)")) << text;
    EXPECT_EQ(status, 1);
}

TEST_F(DoctorTrees, NamesBrlttyThatStartsAtPlugIn) {
    std::filesystem::remove_all(roots.proc + "/4343");
    std::ofstream(roots.brlttyUdevRules) << "# rules\n";
    int status = 0;
    const std::string text = DoctorText(Request(), roots, &status);
    EXPECT_TRUE(Has(text, "PROBLEM: brltty is installed and its udev rules (" + roots.brlttyUdevRules)) << text;
}

TEST_F(DoctorTrees, ReportsTheFtdiLatencyTimer) {
    int status = 0;
    const std::string text = DoctorText(Request(), roots, &status);
    EXPECT_TRUE(Has(text, "PROBLEM: FTDI latency timer 16 ms")) << text;
    EXPECT_TRUE(Has(text, "echo 1 | sudo tee " + roots.sysClassTty + "/null/device/latency_timer")) << text;
    EXPECT_TRUE(Has(text, "not tried: /dev/null is not a serial port")) << text;
}
