// The Probe window against the simulator: the request sequence for raw,
// scaled and spectrum sources, the saved file value for value, the delay's
// limits, a request the module never confirms, chunk reads that fail, Repeat,
// zoom and cross-hair through mouse events, and a file that cannot be created.
#include "app/app_ini.h"
#include "app/c_locale.h"
#include "app/display_math.h"
#include "device/connection.h"
#include "device/object_dictionary.h"
#include "tests/support/window_fixture.h"
#include "ui/charts/dlg_probe.h"
#include "ui/charts/probe_plot.h"
#include "ui/toolkit/message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The known waveforms of the simulator's probe buffers.
double Wave(const std::string& mode, bool spectrum, int c, int i) {
    const double a = 1000.0 * (c + 1);
    if (spectrum) {
        if (mode == "sine") return i == 16 * (c + 1) ? (c + 1) * 1e6 : 0;
        if (mode == "ramp") return a * i;
        return i % 64 < 32 ? (c + 1) * 1e6 : 0;
    }
    if (mode == "sine") return std::round(a * std::sin(2 * M_PI * i / 64.0));
    if (mode == "ramp") return 10.0 * (c + 1) * (i - 128);
    return i % 64 < 32 ? a : -a;
}

class ProbeWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(Dir().Enter());
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            messages.push_back(r.text.toStdString());
            return IDOK;
        });
    }
    void CloseWindows() override {
        window.reset();
        SetMessageBoxHook(nullptr);
    }
    void Open(const std::vector<std::string>& simArgs, const std::string& ini = "") {
        LoadSettings(ini);
        ASSERT_TRUE(StartSim(simArgs)) << SimError();
        window = std::make_unique<CDlgProbe>();
        ASSERT_TRUE(window->Create());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 10000));
    }
    // Selects the source, types the delay and clicks Probe; returns the log
    // lines that came before.
    size_t Probe(int row, const QString& delay) {
        window->Item<QComboBox>(CDlgProbe::IDC_SOURCE)->setCurrentIndex(row);
        window->Item<QLineEdit>(CDlgProbe::IDC_DELAY)->setText(delay);
        usleep(20000);
        const size_t before = Lines(ReadAll(log)).size();
        window->Item<QPushButton>(CDlgProbe::IDC_PROBE)->click();
        return before;
    }
    QString Status() const { return window->GetDlgItemText(CDlgProbe::IDC_STATUS); }
    bool WaitStatus(const QString& text, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            Pump(10);
            if (Status() == text && !window->HasTimer(CDlgProbe::TIMER_READ)) return true;
        }
        return false;
    }
    std::vector<std::string> LogFrom(size_t line) {
        usleep(30000);
        std::vector<std::string> all = Lines(ReadAll(log));
        return std::vector<std::string>(all.begin() + static_cast<long>(std::min(line, all.size())), all.end());
    }
    std::string Save() {
        const std::string path = File("plot_data.csv");
        window->SetPathPrompt([path](QString& p) {
            p = QString::fromStdString(path);
            return true;
        });
        window->SavePlotData();
        return ReadAll(path);
    }
    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(x, y), window->PlotView()->mapToGlobal(QPointF(x, y)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(window->PlotView(), &e);
    }
    // Checks the whole exchange of one probe and the saved file.
    void CheckProbe(int row, const std::string& wave);

    std::unique_ptr<CDlgProbe> window;
    std::vector<std::string> messages;
};

void ProbeWindowTest::CheckProbe(int row, const std::string& wave) {
    const od::ProbeKind& kind = *od::ProbeKindAt(row);
    const size_t from = Probe(row, "0");  // a delay below 1 is sent as 1
    ASSERT_TRUE(WaitStatus("Probe Complete")) << row << " " << Status().toStdString();
    EXPECT_EQ(window->GetDlgItemText(CDlgProbe::IDC_DELAY), "1");
    const std::vector<std::string> got = LogFrom(from);

    // Delay, code, status confirmation; status polls; the chunks; the end.
    std::vector<std::string> want = {"set 0x07 1 int32", "set 0x06 " + std::to_string(kind.command) + " int32",
                                     "get 0x05 0 1 int32"};
    size_t k = 3;
    while (k < got.size() && got[k] == "get 0x05 0 1 int32") want.push_back(got[k++]);
    EXPECT_GT(k, 3u) << "no status poll";
    const int total = kind.Total();
    for (int n = 0; n < total; n += 32)
        want.push_back(FormatC("get 0x%02x %d %d int32", 0x28 + n / 256, n % 256, std::min(32, total - n)));
    want.push_back("set 0x06 1000 int32");
    EXPECT_EQ(got, want) << row;

    // The file: one line per sample, every value followed by ", ".
    const std::vector<std::string> lines = Lines(Save());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kind.samples)) << row;
    const bool spectrum = row >= 6;
    for (int i = 0; i < kind.samples; ++i) {
        std::string line;
        for (int c = 0; c < kind.channels; ++c) {
            const double v = static_cast<int32_t>(Wave(wave, spectrum, c, i));  // the buffer holds integers
            line += kind.scale == 1.0 ? FormatC("%8d, ", static_cast<int>(v)) : FormatC("%8.3f, ", v * kind.scale);
        }
        ASSERT_EQ(lines[static_cast<size_t>(i)], line + "\r") << row << " sample " << i;
    }
}

}  // namespace

TEST_F(ProbeWindowTest, RawScaledAndSpectrumBlocksAreReadAndSavedValueForValue) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp"}));
    CheckProbe(0, "ramp");  // raw integers
    EXPECT_EQ(Lines(Save())[0], "   -1280,    -2560,    -3840, \r");
    StopSim();
    DisconnectDevice();
    window.reset();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "sine"}));
    CheckProbe(3, "sine");  // scaled by 0.001
    EXPECT_EQ(Lines(Save())[16].substr(0, 10), "   1.000, ");
    CheckProbe(6, "sine");  // spectrum, 990 values ending with a read of 30
    EXPECT_EQ(window->PlotView()->Plot().xAxisName, "frequency[Hz]");
    EXPECT_EQ(window->PlotView()->Plot().last, 329);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProbeWindowTest, DelayIsLimitedAndShownBack) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-never-ready"}));
    size_t from = Probe(1, "250");
    EXPECT_EQ(LogFrom(from).at(0), "set 0x07 100 int32");
    EXPECT_EQ(window->GetDlgItemText(CDlgProbe::IDC_DELAY), "100");
    EXPECT_EQ(g_pAppIni->bplotDelay, 100);
    EXPECT_EQ(g_pAppIni->bplotProbe, 1);
    from = Probe(1, "abc");
    EXPECT_EQ(LogFrom(from).at(0), "set 0x07 1 int32");
    EXPECT_EQ(window->GetDlgItemText(CDlgProbe::IDC_DELAY), "1");
    EXPECT_EQ(Status(), "Probe Request");
    EXPECT_TRUE(window->HasTimer(CDlgProbe::TIMER_POLL));
    // With the keyboard focus in the edit its text stays as typed.
    auto* edit = window->Item<QLineEdit>(CDlgProbe::IDC_DELAY);
    window->activateWindow();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->IsDlgItemFocused(CDlgProbe::IDC_DELAY); }, 5000));
    edit->setText("-5");
    from = Lines(ReadAll(log)).size();
    window->RequestProbe();
    EXPECT_EQ(LogFrom(from).at(0), "set 0x07 1 int32");
    EXPECT_EQ(edit->text(), "-5");
}

TEST_F(ProbeWindowTest, RequestNotConfirmedInThreeAttemptsDoesNothing) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-ignore", "3"}));
    const size_t from = Probe(5, "1");
    const std::vector<std::string> got = LogFrom(from);
    const std::vector<std::string> triple = {"set 0x07 1 int32", "set 0x06 1006 int32", "get 0x05 0 1 int32"};
    std::vector<std::string> want;
    for (int i = 0; i < 3; ++i) want.insert(want.end(), triple.begin(), triple.end());
    EXPECT_EQ(got, want);
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(window->HasTimer(CDlgProbe::TIMER_POLL));
}

TEST_F(ProbeWindowTest, FailedChunkReadIsTriedAgain) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp", "--drop-request", "0x29:64"}));
    const size_t from = Probe(0, "1");
    ASSERT_TRUE(WaitStatus("Probe Complete"));
    int reads = 0;
    for (const std::string& l : LogFrom(from)) reads += l == "get 0x29 64 32 int32";
    EXPECT_EQ(reads, 2);
    EXPECT_TRUE(window->BlockComplete());
    EXPECT_EQ(window->Buffer()[256 + 64], 10 * 2 * (64 - 128));
}

TEST_F(ProbeWindowTest, ProbeDuringReadOutDoesNotEndTheNewRequest) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp", "--drop-request", "0x29:64"}));
    Probe(0, "1");
    QElapsedTimer t;
    t.start();
    while (!(window->HasTimer(CDlgProbe::TIMER_READ) && window->Position() > 0) && t.elapsed() < 5000) Pump(5);
    ASSERT_LT(window->Position(), window->Total());  // a chunk waits for its retry
    DisconnectDevice();  // a fresh link, without the back-off of the silent read
    ASSERT_TRUE(ConnectDevice(link.c_str(), 115200, kTimeoutMs, 1, nullptr));
    const size_t from = Probe(0, "1");
    ASSERT_TRUE(WaitStatus("Probe Complete"));
    const std::vector<std::string> got = LogFrom(from);
    EXPECT_EQ(std::count(got.begin(), got.end(), "set 0x06 1000 int32"), 1);
    EXPECT_EQ(got.back(), "set 0x06 1000 int32");
    EXPECT_TRUE(window->BlockComplete());
}

TEST_F(ProbeWindowTest, BlockMissingAChunkIsIncompleteAndNotSaved) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp", "--drop-request", "0x29:64/3"}));
    Probe(0, "1");
    ASSERT_TRUE(WaitStatus("Probe Incomplete"));
    EXPECT_EQ(window->Missing(), 32);
    EXPECT_FALSE(window->BlockComplete());
    std::remove(File("plot_data.csv").c_str());
    EXPECT_EQ(Save(), "");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("incomplete"), std::string::npos);
    EXPECT_EQ(access(File("plot_data.csv").c_str(), F_OK), -1);
}

TEST_F(ProbeWindowTest, LostStatusReplyKeepsPolling) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp", "--control", File("ctl")}));
    Probe(0, "5");  // ready after about 180 ms
    std::ofstream(File("ctl")) << "drop-request 0x05\n";  // the first poll gets no answer
    ASSERT_TRUE(WaitStatus("Probe Complete"));
    EXPECT_TRUE(window->BlockComplete());
}

TEST_F(ProbeWindowTest, RepeatProbesAgainAfterEachBlock) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp"}));
    window->CheckDlgButton(CDlgProbe::IDC_REPEAT, true);
    const size_t from = Probe(0, "1");
    QElapsedTimer t;
    t.start();
    int requests = 0;
    while (requests < 3 && t.elapsed() < 20000) {
        Pump(200);
        requests = 0;
        for (const std::string& l : LogFrom(from)) requests += l == "set 0x06 1002 int32";
    }
    EXPECT_GE(requests, 3);
    window->hide();  // hidden: the repeat timer starts nothing
    Pump(1200);
    const size_t hiddenFrom = Lines(ReadAll(log)).size();
    Pump(800);
    for (const std::string& l : LogFrom(hiddenFrom)) EXPECT_NE(l, "set 0x06 1002 int32");
}

TEST_F(ProbeWindowTest, ZoomAndCrossHairFollowTheMouse) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-wave", "ramp"}));
    Probe(0, "1");
    ASSERT_TRUE(WaitStatus("Probe Complete"));
    CProbePlotView* view = window->PlotView();
    view->repaint();  // the new block rendered now
    Pump(50);
    const PlotRect a = view->Plot().Area();
    const int renders = view->RenderCount();
    const QImage before = view->Cached();

    // Cross-hair and read-out: moves never render the plot again.
    const int y = (a.top + a.bottom) / 2;
    for (int x = a.left + 1; x < a.right; x += 7) Mouse(QEvent::MouseMove, x, y, Qt::NoButton, Qt::NoButton);
    const int x = a.left + (a.right - a.left) / 4;
    Mouse(QEvent::MouseMove, x, y, Qt::NoButton, Qt::NoButton);
    Pump(50);
    EXPECT_EQ(view->RenderCount(), renders);
    EXPECT_TRUE(view->Cached() == before);
    const double f = view->CursorIndex();
    ASSERT_GT(f, 0);
    const int i = static_cast<int>(f);
    const double t = f - i;
    std::string want = FormatAutoPrecision(0.1 * f) + " : ";
    for (int c = 0; c < 3; ++c) {
        want += FormatAutoPrecision((1 - t) * Wave("ramp", false, c, i) + t * Wave("ramp", false, c, i + 1));
        if (c < 2) want += ", ";
    }
    EXPECT_EQ(window->Item<QTextEdit>(CDlgProbe::IDC_READOUT)->toPlainText().toStdString(), want);
    Mouse(QEvent::MouseMove, a.left, y, Qt::NoButton, Qt::NoButton);  // on the edge: outside
    EXPECT_EQ(window->Item<QTextEdit>(CDlgProbe::IDC_READOUT)->toPlainText(), "");

    // A drag over the left half zooms to it; a right click lays the block out again.
    Mouse(QEvent::MouseButtonPress, a.left, a.top + 1, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, (a.left + a.right) / 2, a.bottom - 1, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(view->Plot().first, 0);
    EXPECT_NEAR(view->Plot().last, 127, 1);
    Pump(50);
    EXPECT_GT(view->RenderCount(), renders);
    Mouse(QEvent::MouseButtonPress, x, y, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(view->Plot().last, 255);

    // A double click probes again; the last block stays in view meanwhile.
    Pump(50);
    const int shown = view->RenderCount();
    Mouse(QEvent::MouseButtonDblClick, x, y, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(Status(), "Probe Request");
    Pump(50);
    EXPECT_EQ(view->RenderCount(), shown);
}

TEST_F(ProbeWindowTest, FileThatCannotBeCreatedIsReported) {
    ASSERT_NO_FATAL_FAILURE(Open({}));
    window->SetPathPrompt([this](QString& p) {
        p = QString::fromStdString(File("no/such/folder/plot.csv"));
        return true;
    });
    window->SavePlotData();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("cannot be created"), std::string::npos);
}

TEST_F(ProbeWindowTest, PollingEndsAfter300PollsAndRepeatAsksAgain) {
    ASSERT_NO_FATAL_FAILURE(Open({"--probe-never-ready"}));
    window->CheckDlgButton(CDlgProbe::IDC_REPEAT, true);
    const int counted = CDlgProbe::PollCounter();  // one counter for the whole program
    const size_t from = Probe(2, "1");
    QElapsedTimer t;
    t.start();
    std::vector<std::string> got;
    auto second = got.end();
    while (second == got.end() && t.elapsed() < 90000) {
        Pump(500);
        got = LogFrom(from);
        second = std::find(got.begin() + 2, got.end(), "set 0x06 1003 int32");
    }
    ASSERT_NE(second, got.end()) << counted << " " << got.size() << " " << (got.empty() ? "" : got.back());
    // The confirmation, then polls until the counter exceeds 300.
    EXPECT_EQ(std::count(got.begin(), second, "get 0x05 0 1 int32"), 1 + 301 - counted);
    EXPECT_EQ(*(second - 1), "set 0x07 1 int32");
}
