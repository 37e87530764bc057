// The Frequency, Vibration and Sync data pages through the real pages against
// tarvik-sim: what they read and write (the simulator's request log), what
// they show for a known tone and a known vibration, and the export file of
// the sync stream compared byte for byte with what the simulator sent.
#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "tests/support/pty.h"
#include "tests/support/window_fixture.h"
#include "ui/views/dlg_main_fft.h"
#include "ui/views/dlg_main_sync.h"
#include "ui/views/dlg_main_vibr.h"
#include "ui/views/plot_frame.h"
#include "ui/toolkit/message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

double Number(CDialog* page, int id) { return page->GetDlgItemText(id).toDouble(); }

class PagesTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        MakeHost(800, 900);
    }
    void CloseWindows() override {
        others.clear();
        page.reset();
    }
    bool StartSim(const std::vector<std::string>& extra, uint32_t baud = 115200) {
        syncLog = File("sync-log");
        std::vector<std::string> args = {"--sync-log", syncLog, "--baud", std::to_string(baud)};
        args.insert(args.end(), extra.begin(), extra.end());
        return WindowTest::StartSim(args, int32_t(baud));
    }
    // The page replaces the one before unless it is opened beside it.
    template <class Page> Page* Open(bool beside = false) {
        auto* p = new Page();
        if (beside) others.emplace_back(p);
        else page.reset(p);
        EXPECT_TRUE(p->Create(host.get()));
        p->move(0, 0);
        p->show();
        EXPECT_TRUE(ShowHost());
        return p;
    }

    std::unique_ptr<CDialog> page;
    std::vector<std::unique_ptr<CDialog>> others;
    std::string syncLog;
};

// --- Frequency page ---------------------------------------------------------

TEST(SpectrumLabels, TicksAndTitle) {
    EXPECT_EQ(CDlgMainFft::XLabel(20, 5000), "1K");
    EXPECT_EQ(CDlgMainFft::XLabel(100, 5000), "5K");
    EXPECT_EQ(CDlgMainFft::XLabel(60, 500), "300");
    EXPECT_EQ(CDlgMainFft::YLabel(100, 1), "0.1");
    EXPECT_EQ(CDlgMainFft::YLabel(1000, 10), "10");
    EXPECT_EQ(CDlgMainFft::YTitle(0), "Amplitude []");
    EXPECT_EQ(CDlgMainFft::YTitle(2), "Amplitude [deg/s]");
}

TEST_F(PagesTest, SpectrumAndPeaksOfAKnownTone) {
    REQUIRE_SIM("--tone", "120:2", "--vibration", "12:0.05:1");
    auto* fft = Open<CDlgMainFft>();
    fft->RefreshSource();
    EXPECT_EQ(fft->Source(), 3);
    EXPECT_NEAR(Number(fft, CDlgMainFft::IDC_X_FREQUENCY), 120.0, 0.35);
    EXPECT_NEAR(Number(fft, CDlgMainFft::IDC_X_MAGNITUDE), 2.0, 0.03);
    EXPECT_NEAR(Number(fft, CDlgMainFft::IDC_Y_FREQUENCY), 204.0, 0.35);
    EXPECT_NEAR(Number(fft, CDlgMainFft::IDC_Y_MAGNITUDE), 1.0, 0.02);
    const int32_t* words = fft->Spectrum();
    EXPECT_EQ(od::SpectrumSpanHz(words[99]), 500);
    EXPECT_EQ(od::SpectrumFullScale(words[99]), 2);
    EXPECT_NEAR(od::UnpackSpectrumBin(words[24]).x, 1000, 20);
    EXPECT_NEAR(od::UnpackSpectrumBin(words[41]).y, 500, 20);
    EXPECT_EQ(fft->GetDlgItemText(CDlgMainFft::IDC_UNIT), "m/s^2");
    EXPECT_TRUE(fft->GetDlgItem(CDlgMainFft::IDC_SOURCE)->isEnabled());

    // The red x curve reaches the top of the plot (y 20) in the column of
    // bin 24 (x 191 of the 612 x 420 plot).
    const QImage& img = fft->Plot()->Image();
    ASSERT_EQ(img.size(), QSize(612, 420));
    bool redAtTop = false;
    for (int y = 20; y < 35; ++y) redAtTop |= qRed(img.pixel(191, y)) > 200;
    EXPECT_TRUE(redAtTop);
}

TEST_F(PagesTest, FrequencyPollsOnlyWhileVisibleAndTheSpectrumOncePerSecond) {
    REQUIRE_SIM("--force", "0x3d=10,1,20,2,30,3");
    g_pAppIni->startFft = 0;
    auto* fft = Open<CDlgMainFft>();
    EXPECT_FALSE(fft->HasTimer(CDlgMainFft::TIMER_POLL));
    fft->OnCommand(CDlgMainFft::IDC_RUN);
    EXPECT_TRUE(fft->HasTimer(CDlgMainFft::TIMER_POLL));
    EXPECT_EQ(g_pAppIni->startFft, 1);
    fft->KillTimer(CDlgMainFft::TIMER_POLL);

    // Unchanged peaks within a second: the peaks are read, the spectrum is not.
    size_t mark = LogMark();
    fft->OnTimer(CDlgMainFft::TIMER_POLL);
    std::string seen = Log(mark);
    EXPECT_NE(seen.find("get 0x3d 0 6 float32"), std::string::npos);
    EXPECT_EQ(seen.find("get 0x3e"), std::string::npos);

    fft->hide();
    mark = LogMark();
    fft->OnTimer(CDlgMainFft::TIMER_POLL);
    EXPECT_EQ(Log(mark), "");

    // Showing again reads the source and the whole spectrum once.
    fft->show();
    seen = Log(mark);
    for (const char* get : {"get 0x22 0 1 int32", "get 0x3d 0 6 float32", "get 0x3e 0 50 int32", "get 0x3e 50 50 int32"})
        EXPECT_NE(seen.find(get), std::string::npos) << get;

    fft->OnCommand(CDlgMainFft::IDC_FREEZE);
    EXPECT_FALSE(fft->HasTimer(CDlgMainFft::TIMER_POLL));
    EXPECT_EQ(g_pAppIni->startFft, 0);
}

// --- Vibration page ---------------------------------------------------------

TEST(VibrationCurve, DecayAndStart) {
    // A negative damping ratio draws no decay; the curve starts on the middle line.
    EXPECT_NEAR(CDlgMainVibr::CurveValue(1.0f, -1.0f, 0.5f, 0.25), 0.5, 1e-9);
    EXPECT_EQ(CDlgMainVibr::CurveValue(10.0f, 0.5f, 1.0f, 0.0), 0.0);
    EXPECT_EQ(PlotTrunc(std::nan("")), 0);
}

TEST_F(PagesTest, VibrationFieldsOfAKnownRinging) {
    {
        // Before any read: the natural frequency is "-", the Q-factor empty.
        auto* idle = Open<CDlgMainVibr>();
        EXPECT_EQ(idle->GetDlgItemText(CDlgMainVibr::IDC_NATURAL_FREQUENCY), "-");
        EXPECT_EQ(idle->GetDlgItemText(CDlgMainVibr::IDC_Q_FACTOR), "");
        EXPECT_FALSE(idle->GetDlgItem(CDlgMainVibr::IDC_RUN)->isEnabled());
    }
    REQUIRE_SIM("--vibration", "10:0.5:5");
    auto* vibr = Open<CDlgMainVibr>();
    EXPECT_EQ(vibr->GetDlgItemText(CDlgMainVibr::IDC_DAMPED_FREQUENCY), "10.0");
    EXPECT_EQ(vibr->GetDlgItemText(CDlgMainVibr::IDC_DAMPING_RATIO), "0.5");
    EXPECT_EQ(vibr->GetDlgItemText(CDlgMainVibr::IDC_NATURAL_FREQUENCY), "11.5");
    EXPECT_EQ(vibr->GetDlgItemText(CDlgMainVibr::IDC_Q_FACTOR), "1.0");
    EXPECT_FLOAT_EQ(vibr->Amplitude(), 0.5f);
    // The red curve passes its first crest a quarter period (25 ms) in: at
    // x 78, y 162 of the 612 x 420 plot, above the middle line (y 197).
    const QImage& img = vibr->Plot()->Image();
    ASSERT_EQ(img.size(), QSize(612, 420));
    bool red = false;
    for (int y = 160; y <= 164; ++y) red |= qRed(img.pixel(78, y)) > 200 && qGreen(img.pixel(78, y)) < 100;
    EXPECT_TRUE(red);
    EXPECT_TRUE(vibr->GetDlgItem(CDlgMainVibr::IDC_RUN)->isEnabled());
    EXPECT_TRUE(vibr->HasTimer(CDlgMainVibr::TIMER_POLL));  // "startVibr" is 1 at first

    vibr->hide();
    const size_t mark = LogMark();
    vibr->OnTimer(CDlgMainVibr::TIMER_POLL);
    EXPECT_EQ(Log(mark), "");
}

// The source: a module value outside the list is shown clamped; a choice is
// written and read back.
TEST_F(PagesTest, SourcesAreWrittenAndReadBack) {
    REQUIRE_SIM("--force", "fs=7", "--force", "vs=-3");
    struct Case {
        CDialog* page;
        int combo, shown;
        const char *set, *get;
    };
    auto* fft = Open<CDlgMainFft>();
    for (const Case& c : {Case{fft, CDlgMainFft::IDC_SOURCE, 4, "set 0x22 2 int32", "get 0x22 0 1 int32"},
                          Case{Open<CDlgMainVibr>(true), CDlgMainVibr::IDC_SOURCE, 0, "set 0x23 2 int32",
                               "get 0x23 0 1 int32"}}) {
        auto* combo = c.page->Item<QComboBox>(c.combo);
        EXPECT_EQ(combo->currentIndex(), c.shown);
        const size_t mark = LogMark();
        combo->setCurrentIndex(2);
        emit combo->activated(2);
        const std::string seen = Log(mark);
        const size_t set = seen.find(c.set);
        ASSERT_NE(set, std::string::npos) << c.set;
        EXPECT_NE(seen.find(c.get, set), std::string::npos) << c.get;
        EXPECT_EQ(combo->currentIndex(), 2);
        if (c.page == fft) {
            EXPECT_EQ(fft->GetDlgItemText(CDlgMainFft::IDC_UNIT), "deg/s");
        }
    }
}

// --- Sync data page ---------------------------------------------------------

TEST(SyncConfiguration, LineForWhatTheModuleReports) {
    EXPECT_EQ(CDlgMainSync::ConfigurationLine(true, 100, 1, 0x0D),
              "Port = 1 - USB/UART2; Period = 100[ms]; Data = Time. Accl. Gyro. ");
    EXPECT_EQ(CDlgMainSync::ConfigurationLine(true, 20, 5, 0x1000), "Port = 1 - USB/UART2; Period = 20[ms]; Data = ");
    EXPECT_EQ(CDlgMainSync::ConfigurationLine(true, 20, -1, 0x800),
              "Port = 0 - RS-232/UART1; Period = 20[ms]; Data = Vibr. ");
    EXPECT_EQ(CDlgMainSync::ConfigurationLine(true, 20, 1, 0), "No transmission data are selected on the device.");
    EXPECT_EQ(CDlgMainSync::ConfigurationLine(false, 20, 1, 1), "Disconnected to device.");
}

TEST_F(PagesTest, SyncConfigurationLineFromTheModule) {
    REQUIRE_SIM("--force", "sd=0x0D", "--force", "sp=100");
    auto* sync = Open<CDlgMainSync>();
    EXPECT_EQ(sync->GetDlgItemText(CDlgMainSync::IDC_CONFIG),
              "Port = 1 - USB/UART2; Period = 100[ms]; Data = Time. Accl. Gyro. ");
    DisconnectDevice();
    sync->ShowConfiguration();
    EXPECT_EQ(sync->GetDlgItemText(CDlgMainSync::IDC_CONFIG), "Disconnected to device.");
}

TEST_F(PagesTest, SyncExportFileHoldsTheStreamVerbatim) {
    REQUIRE_SIM("--force", "sd=0x41", "--force", "sp=10");
    std::strcpy(g_pAppIni->sync_file, File("records.csv").c_str());
    auto* sync = Open<CDlgMainSync>();
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF);
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    EXPECT_TRUE(sync->HasOpenExportFile());
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_ON);
    EXPECT_EQ(sync->GetBitmap(CDlgMainSync::IDC_LAMP).toImage(), sync->Lamp(CDlgMainSync::LAMP_ON).toImage());
    EXPECT_EQ(g_pAppIni->startSync, 1);
    Pump(1500);
    sync->OnCommand(CDlgMainSync::IDC_FREEZE);
    EXPECT_FALSE(sync->HasOpenExportFile());
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF);
    EXPECT_EQ(g_pAppIni->startSync, 0);
    EXPECT_FALSE(sync->HasTimer(CDlgMainSync::TIMER_RECEIVE));

    const std::string file = ReadAll(File("records.csv"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string sent = ReadAll(syncLog);
    EXPECT_GT(file.size(), 1000u);
    EXPECT_NE(sent.find(file), std::string::npos) << "the export file is not one unbroken run of the stream";
    EXPECT_NE(file.find("euler,"), std::string::npos);
    const QString shown = sync->Item<QPlainTextEdit>(CDlgMainSync::IDC_TEXT)->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("time,")));
}

TEST_F(PagesTest, SyncStreamComesBackAfterTheModuleIsPluggedInAgain) {
    // Unplugged 1 s after start for 1 s; on this tab nothing else reopens the port.
    REQUIRE_SIM("--force", "sd=0x41", "--force", "sp=10", "--unplug-after", "1", "--unplug-for", "1");
    std::strcpy(g_pAppIni->sync_file, File("records.csv").c_str());
    auto* sync = Open<CDlgMainSync>();
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    Pump(3500);  // past the replug and the page's reopen
    const size_t before = ReadAll(File("records.csv")).size();
    Pump(1500);
    EXPECT_GT(ReadAll(File("records.csv")).size(), before + 200) << "no sync lines after the module came back";
    sync->OnCommand(CDlgMainSync::IDC_FREEZE);
}

TEST_F(PagesTest, SyncEnterAndEscapeCloseTheFileAndTheLampSaysSo) {
    REQUIRE_SIM("--force", "sd=0x01", "--force", "sp=20");
    std::strcpy(g_pAppIni->sync_file, File("records.csv").c_str());
    auto* sync = Open<CDlgMainSync>();
    auto* text = sync->Item<QPlainTextEdit>(CDlgMainSync::IDC_TEXT);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        sync->OnCommand(CDlgMainSync::IDC_RUN);
        ASSERT_TRUE(sync->HasOpenExportFile());
        Pump(300);
        text->setFocus();
        QTest::keyClick(text, key);
        EXPECT_FALSE(sync->HasOpenExportFile()) << key;
        EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF) << key;
        // Reception and display go on; "startSync" stays.
        EXPECT_TRUE(sync->HasTimer(CDlgMainSync::TIMER_RECEIVE));
        EXPECT_EQ(g_pAppIni->startSync, 1);
        const int before = sync->GetTextLength(CDlgMainSync::IDC_TEXT);
        for (int i = 0; i < 100 && sync->GetTextLength(CDlgMainSync::IDC_TEXT) == before; ++i) Pump(30);
        EXPECT_GT(sync->GetTextLength(CDlgMainSync::IDC_TEXT), before);
    }
    sync->CloseExportFile();  // the main window's close: nothing open, nothing happens
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF);
}

TEST_F(PagesTest, SyncExportFaultsAreShownAndTheLampStaysGrey) {
    REQUIRE_SIM("--force", "sd=0x01", "--force", "sp=10");
    std::strcpy(g_pAppIni->sync_file, File("missing/records.csv").c_str());
    auto* sync = Open<CDlgMainSync>();
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    EXPECT_FALSE(sync->HasOpenExportFile());
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF);
    EXPECT_TRUE(sync->ExportError().contains(QStringLiteral("cannot be opened")));
    EXPECT_EQ(g_pAppIni->startSync, 1);
    sync->OnCommand(CDlgMainSync::IDC_FREEZE);
    EXPECT_EQ(g_pAppIni->startSync, 1);  // nothing was open: the next start runs again
    EXPECT_FALSE(sync->HasTimer(CDlgMainSync::TIMER_RECEIVE));

    // A device that takes nothing: the first write fails and the file closes.
    std::strcpy(g_pAppIni->sync_file, "/dev/full");
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_ON);
    QElapsedTimer t;
    t.start();
    while (sync->HasOpenExportFile() && t.elapsed() < 5000) Pump(20);
    EXPECT_FALSE(sync->HasOpenExportFile());
    EXPECT_EQ(sync->IndicatorId(), CDlgMainSync::LAMP_OFF);
    EXPECT_TRUE(sync->ExportError().contains(QStringLiteral("failed")));
    EXPECT_TRUE(sync->HasTimer(CDlgMainSync::TIMER_RECEIVE));  // display goes on
}

TEST_F(PagesTest, SyncBrowseStoresAPathInsideTheWorkingDirectoryRelative) {
    auto* sync = Open<CDlgMainSync>();
    QString answer = QDir::currentPath() + QStringLiteral("/records2.csv");
    sync->SetSavePrompt([&](const SaveFileRequest& r) {
        EXPECT_EQ(r.filter, "Sync. data Files (*.csv)|*.csv|All Files (*.*)|*.*|");
        EXPECT_EQ(r.defaultSuffix, "csv");
        return answer;
    });
    sync->OnCommand(CDlgMainSync::IDC_BROWSE);
    EXPECT_STREQ(g_pAppIni->sync_file, "records2.csv");
    EXPECT_EQ(sync->GetDlgItemText(CDlgMainSync::IDC_PATH), "records2.csv");
    answer = QStringLiteral("/elsewhere/sync.csv");
    sync->OnCommand(CDlgMainSync::IDC_BROWSE);
    EXPECT_STREQ(g_pAppIni->sync_file, "/elsewhere/sync.csv");
    // A path the settings cannot hold is refused with a message; the old one stays.
    int boxes = 0;
    SetMessageBoxHook([&](const MessageBoxRequest&) { return ++boxes, IDOK; });
    answer = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    sync->OnCommand(CDlgMainSync::IDC_BROWSE);
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(boxes, 1);
    EXPECT_STREQ(g_pAppIni->sync_file, "/elsewhere/sync.csv");
}

// The reception rules on a bare pseudo-terminal: the skip count after Run,
// a CR LF pair split between two chunks, and trimming by halves.
class SyncPtyTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        ASSERT_TRUE(m_pty.Ok());
        m_port = std::make_unique<CSerialCOM>(m_pty.SlavePath().c_str(), 115200);
        ASSERT_TRUE(m_port->Open());
        m_port->SetTimeouts(0, 0, 1, 0, 100);
        g_pSerialCom = m_port.get();
    }
    void TearDown() override {
        page.reset();
        g_pSerialCom = nullptr;
        m_port.reset();
        PagesTest::TearDown();
    }
    // Writes to the module's side and waits until the port has it all.
    void Send(const std::string& bytes) {
        m_pty.Send(bytes.data(), bytes.size());
        for (int i = 0; i < 200 && m_port->GetInQueue() < int32_t(bytes.size()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    CPty m_pty;
    std::unique_ptr<CSerialCOM> m_port;
};

TEST_F(SyncPtyTest, SkipCountSplitPairAndTrimming) {
    std::strcpy(g_pAppIni->sync_file, File("records.csv").c_str());
    auto* sync = Open<CDlgMainSync>();
    Send("stale\r\n");
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    sync->KillTimer(CDlgMainSync::TIMER_RECEIVE);  // the test takes the ticks itself
    EXPECT_EQ(sync->ChunksToSkip(), 9);             // the queue was flushed
    Send("thrown away\r\n");
    sync->Receive(true);
    for (int i = 0; i < 8; ++i) sync->Receive(true);  // ticks without data count down too
    EXPECT_EQ(sync->ChunksToSkip(), 0);

    Send("abc\r");
    sync->Receive(true);
    Send("\nxyz\r\n");
    sync->Receive(true);
    sync->Receive(true);  // nothing queued: nothing written or shown
    auto* text = sync->Item<QPlainTextEdit>(CDlgMainSync::IDC_TEXT);
    EXPECT_EQ(text->toPlainText(), "abc\nxyz\n");  // one line break for the split pair
    // Run again: the file is neither reopened nor truncated; the skip count restarts.
    sync->OnCommand(CDlgMainSync::IDC_RUN);
    sync->KillTimer(CDlgMainSync::TIMER_RECEIVE);
    EXPECT_EQ(sync->ChunksToSkip(), 9);
    EXPECT_TRUE(sync->HasOpenExportFile());
    QTest::keyClick(text, Qt::Key_Escape);  // closes the file
    EXPECT_EQ(ReadAll(File("records.csv")), "abc\r\nxyz\r\n");  // the file keeps every byte

    // More than 64000 characters: the older half of the lines goes at once.
    int line = 0;
    for (int round = 0; round < 18; ++round) {
        std::string chunk;
        for (int n = 0; n < 40; ++n) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "line %05d %086d\r\n", line++, 0);
            chunk += buf;
        }
        Send(chunk);
        sync->Receive(true);
    }
    const int length = sync->GetTextLength(CDlgMainSync::IDC_TEXT);
    EXPECT_LT(length, 64000);
    EXPECT_GT(length, 30000);
    const QString shown = text->toPlainText();
    EXPECT_FALSE(shown.contains(QStringLiteral("line 00040 ")));
    EXPECT_TRUE(shown.contains(QString::asprintf("line %05d ", line - 1)));

    sync->OnCommand(CDlgMainSync::IDC_CLEAR);
    EXPECT_EQ(sync->GetTextLength(CDlgMainSync::IDC_TEXT), 0);
}

}  // namespace
