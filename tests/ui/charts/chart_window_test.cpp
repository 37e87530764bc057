// The Chart window against the simulator: the object read per quantity, the
// sampling period, Freeze, the capture file, the limits of its settings,
// placement, hiding, and the drawn curves.
#include "app/app_ini.h"
#include "chart/xy_chart.h"
#include "device/connection.h"
#include "device/object_dictionary.h"
#include "tests/support/window_fixture.h"
#include "ui/charts/chart_viewer.h"
#include "ui/charts/dlg_realtime_track.h"
#include "ui/main/tarvik_ui_dlg.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/tab_dialog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int Samples(const CDlgRealtimeTrack& w) {
    int n = 0;
    for (double t : w.Times()) n += t != tchart::NoValue;
    return n;
}

class ChartWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(Dir().Enter());
    }
    void CloseWindows() override {
        window.reset();
        main.reset();
    }
    // Settings from the given lines, the simulator (with its request log) and the window.
    void Open(const std::string& ini, const std::vector<std::string>& simArgs = {"--hold-euler", "10,20,30"},
              bool connect = true) {
        LoadSettings(ini);
        if (connect) {
            ASSERT_TRUE(StartSim(simArgs)) << SimError();
        }
        window = std::make_unique<CDlgRealtimeTrack>();
        ASSERT_TRUE(window->Create());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 10000));
    }
    void Select(int id, int index) {
        auto* box = window->Item<QComboBox>(id);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void Record(const std::string& path) {
        window->SetPathPrompt([path](QString& p) {
            p = QString::fromStdString(path);
            return true;
        });
        window->ToggleRecording();
    }
    QPushButton* Button(int id) const { return window->Item<QPushButton>(id); }

    std::unique_ptr<CDlgRealtimeTrack> window;
    std::unique_ptr<CTARVIK_UIDlg> main;
};

}  // namespace

TEST_F(ChartWindowTest, EachQuantityReadsItsObjectAsThreeFloats) {
    Open("");
    const char* objects[] = {"0x37", "0x34", "0x35", "0x33", "0x36", "0x39", "0x3a"};
    for (int i = 0; i < 7; ++i) {
        Select(CDlgRealtimeTrack::IDC_QUANTITY, i);
        EXPECT_EQ(Samples(*window), 0) << i;  // a new quantity clears the chart
        const size_t before = ReadAll(log).size();
        // A sample and a redraw come within 150 ms; a loaded machine gets up to 3 s.
        auto redrawn = [&] {
            tchart::XYChart* c = window->Viewer()->displayedChart();
            return Samples(*window) > 0 && c && c->yAxis()->title() == od::ChartQuantities()[i].name;
        };
        QElapsedTimer waited;
        waited.start();
        do Pump(50);
        while (!redrawn() && waited.elapsed() < 3000);
        usleep(50000);  // the simulator's log line
        const std::vector<std::string> fresh = Lines(ReadAll(log).substr(before));
        ASSERT_FALSE(fresh.empty()) << i;
        EXPECT_EQ(fresh.back(), std::string("get ") + objects[i] + " 0 3 float32") << i;
        EXPECT_GT(Samples(*window), 0) << i;
        EXPECT_EQ(window->Viewer()->displayedChart()->yAxis()->title(), od::ChartQuantities()[i].name);
    }
}

TEST_F(ChartWindowTest, PeriodSetsTheSamplingRateAndTheTimeSpan) {
    Open("");
    EXPECT_EQ(CDlgRealtimeTrack::UpdatePeriod(), 25);
    Select(CDlgRealtimeTrack::IDC_PERIOD, 3);  // "100"
    EXPECT_EQ(CDlgRealtimeTrack::UpdatePeriod(), 100);
    Pump(1000);
    const int n = Samples(*window);
    EXPECT_GE(n, 5);   // about 10 a second, a loaded machine may lose some
    EXPECT_LE(n, 11);  // never more than one per period
    tchart::XYChart* chart = window->Viewer()->displayedChart();
    ASSERT_NE(chart, nullptr);
    const tchart::ChartMetrics m = chart->getChartMetrics();
    EXPECT_DOUBLE_EQ(m.xMax - m.xMin, 24);  // 240 samples of 100 ms
    Select(CDlgRealtimeTrack::IDC_PERIOD, 0);  // "10": 2.4 s of history, 2 s shown
    Pump(300);
    const tchart::ChartMetrics m10 = window->Viewer()->displayedChart()->getChartMetrics();
    EXPECT_DOUBLE_EQ(m10.xMax - m10.xMin, 2);
}

TEST_F(ChartWindowTest, FreezeStopsDrawingButNotSamplingOrRecording) {
    Open("");
    const std::string capture = File("frozen.csv");
    Record(capture);
    Pump(300);
    Button(CDlgRealtimeTrack::IDC_FREEZE)->click();
    EXPECT_FALSE(Button(CDlgRealtimeTrack::IDC_RUN)->isChecked());  // one of the pair stays down
    EXPECT_TRUE(Button(CDlgRealtimeTrack::IDC_FREEZE)->isChecked());
    Pump(150);  // a refresh under way ends
    const int built = window->ChartsBuilt();
    const double newest = window->Times().back();
    const size_t recorded = Lines(ReadAll(capture)).size();
    // A new period waits for Run.
    Select(CDlgRealtimeTrack::IDC_PERIOD, 3);
    EXPECT_EQ(CDlgRealtimeTrack::UpdatePeriod(), 25);
    Pump(500);
    EXPECT_EQ(window->ChartsBuilt(), built);
    EXPECT_GT(window->Times().back(), newest);
    EXPECT_GT(Lines(ReadAll(capture)).size(), recorded);
    Button(CDlgRealtimeTrack::IDC_RUN)->click();
    EXPECT_EQ(CDlgRealtimeTrack::UpdatePeriod(), 100);
    Pump(300);
    EXPECT_GT(window->ChartsBuilt(), built);
}

TEST_F(ChartWindowTest, CaptureFileHasTheHeaderAndOneCompleteLinePerSample) {
    Open("");
    const std::string capture = File("capture.csv");
    std::ofstream(capture) << "old content\n";
    Record(capture);
    EXPECT_EQ(ReadAll(capture), "time[ms], x-axis, y-axis, z-axis\r\n");  // the old file is gone
    EXPECT_EQ(Button(CDlgRealtimeTrack::IDC_EXPORT)->text(), "Stop Recording");
    EXPECT_TRUE(window->GetDlgItem(CDlgRealtimeTrack::IDC_RECORD_COUNT)->isVisible());
    Pump(400);
    window->ToggleRecording();
    EXPECT_EQ(Button(CDlgRealtimeTrack::IDC_EXPORT)->text(), "Export Records");
    EXPECT_FALSE(window->GetDlgItem(CDlgRealtimeTrack::IDC_RECORD_COUNT)->isVisible());
    const std::vector<std::string> lines = Lines(ReadAll(capture));
    ASSERT_GE(lines.size(), 3u);
    const QString shown = window->GetDlgItemText(CDlgRealtimeTrack::IDC_RECORD_COUNT);
    EXPECT_EQ(shown.toStdString(), std::to_string(lines.size() - 1));  // every counted record is on disk
    long last = -1;
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 43u) << lines[i];
        EXPECT_EQ(lines[i].substr(11), ",   10.000,   20.000,   30.000 \r") << lines[i];
        const long tick = std::stol(lines[i].substr(0, 11));
        EXPECT_GE(tick, last);
        last = tick;
    }
}

TEST_F(ChartWindowTest, UnopenableCaptureFileStopsRecordingAndSaysWhy) {
    Open("");
    Record(File("missing/capture.csv"));
    EXPECT_EQ(window->RecordingCounter(), 0);
    EXPECT_EQ(Button(CDlgRealtimeTrack::IDC_EXPORT)->text(), "Export Records");
    EXPECT_TRUE(window->RecordingError().contains("cannot be opened")) << window->RecordingError().toStdString();
    auto* box = window->findChild<QMessageBox*>("recordingError");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8(kAppTitle));
    box->close();

    // The file turns into a folder while recording: recording stops with the
    // records on disk counted, none more.
    const std::string capture = File("vanishing.csv");
    Record(capture);
    Pump(200);
    ASSERT_GE(window->RecordingCounter(), 2);
    const size_t onDisk = Lines(ReadAll(capture)).size() - 1;
    ASSERT_EQ(unlink(capture.c_str()), 0);
    ASSERT_EQ(mkdir(capture.c_str(), 0755), 0);
    Pump(100);
    EXPECT_EQ(window->RecordingCounter(), 0);
    EXPECT_FALSE(window->RecordingError().isEmpty());
    const QString shown = window->GetDlgItemText(CDlgRealtimeTrack::IDC_RECORD_COUNT);
    EXPECT_GE(shown.toUInt(), onDisk);
    EXPECT_LE(shown.toUInt(), onDisk + 1);  // one more may have landed before the swap
}

TEST_F(ChartWindowTest, RecordingFaultIsAnsweredByTheMessageBoxHook) {
    Open("", {}, false);
    MessageBoxRequest seen{nullptr, {}, {}, MsgIcon::None, MsgButtons::YesNo};
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen = r;
        return IDOK;
    });
    Record(File("missing/capture.csv"));
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(seen.icon, MsgIcon::Warning);
    EXPECT_EQ(seen.buttons, MsgButtons::Ok);
    EXPECT_TRUE(seen.text.endsWith("\nRecording has stopped.")) << seen.text.toStdString();
    EXPECT_EQ(window->findChild<QMessageBox*>("recordingError"), nullptr);  // nothing shown
}

TEST_F(ChartWindowTest, OutOfRangeSettingsAreLimitedAndStoredBack) {
    Open("maf_window_size=5000\nprecision=9\n");
    EXPECT_EQ(g_pAppIni->maf_window_size, 1000);
    Pump(300);
    EXPECT_EQ(g_pAppIni->precision, 6);
    tchart::XYChart* chart = window->Viewer()->displayedChart();
    ASSERT_NE(chart, nullptr);
    ASSERT_EQ(chart->layerCount(), 1);
    EXPECT_EQ(chart->layer(0)->dataSet(0)->name(), "roll: 10.000000 ");
    EXPECT_EQ(chart->layer(0)->dataSet(2)->name(), "yaw: 30.000000 ");
}

TEST_F(ChartWindowTest, CurvesAreDrawnInTheAxisColoursAndAnEmptyChartHasNone) {
    Open("", {"--hold-euler", "10,20,30"}, false);
    Pump(300);
    auto count = [](const QImage& img, QRgb c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == c;
        return n;
    };
    EXPECT_EQ(count(window->Viewer()->Image(), 0xFF0000), 0);  // no device: empty axes
    window.reset();
    ASSERT_TRUE(StartSim({"--hold-euler", "10,20,30"})) << SimError();
    window = std::make_unique<CDlgRealtimeTrack>();
    ASSERT_TRUE(window->Create());
    window->show();
    Pump(400);
    const QImage img = window->Viewer()->Image();
    if (const char* shot = getenv("CHART_SHOT")) window->grab().save(shot);
    EXPECT_EQ(img.width(), window->width() + 2);
    EXPECT_EQ(img.height(), window->height() - 36);
    EXPECT_GT(count(img, 0xFF0000), 100);
    EXPECT_GT(count(img, 0x00FF00), 100);
    EXPECT_GT(count(img, 0x0000FF), 100);
}

TEST_F(ChartWindowTest, RunAndFreezeShowIconsAndTheClosedListsOneLine) {
    Open("", {}, false);
    for (int id : {CDlgRealtimeTrack::IDC_RUN, CDlgRealtimeTrack::IDC_FREEZE}) {
        EXPECT_FALSE(Button(id)->icon().isNull()) << id;
        EXPECT_TRUE(Button(id)->text().isEmpty()) << id;
    }
    EXPECT_TRUE(Button(CDlgRealtimeTrack::IDC_RUN)->isChecked());
    EXPECT_EQ(window->GetDlgItemText(CDlgRealtimeTrack::IDC_FREEZE), "Freeze");
    // The lists sit on the button row, no taller than the Export button's row.
    const QWidget* exportButton = window->GetDlgItem(CDlgRealtimeTrack::IDC_EXPORT);
    for (int id : {CDlgRealtimeTrack::IDC_QUANTITY, CDlgRealtimeTrack::IDC_PERIOD})
        EXPECT_LE(window->GetDlgItem(id)->geometry().bottom(), window->Viewer()->geometry().top()) << id;
    EXPECT_LE(exportButton->geometry().bottom(), window->Viewer()->geometry().top());
    if (const char* shot = getenv("CHART_WINDOW_SHOT")) window->grab().save(shot);
}

TEST_F(ChartWindowTest, ClosedWindowIsHiddenSamplesNothingAndStartsEmpty) {
    Open("");
    Pump(200);
    ASSERT_GT(Samples(*window), 0);
    window->close();  // the close box only hides the window
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->IsDestroyed());
    Pump(100);
    EXPECT_EQ(Samples(*window), 0);
    const size_t before = ReadAll(log).size();
    Pump(200);
    usleep(50000);
    EXPECT_EQ(ReadAll(log).size(), before);
}

TEST_F(ChartWindowTest, PlacementIsRestoredAndStoredAndTheChartFollowsTheSize) {
    Open("chartSx=100\nchartSy=120\nchartDx=800\nchartDy=420\n", {}, false);
    EXPECT_EQ(window->pos(), QPoint(100, 120));
    EXPECT_EQ(window->size(), QSize(800, 420));
    window->move(150, 160);
    window->resize(860, 450);
    QElapsedTimer waited;  // the redraw comes at once; a loaded machine gets up to 2 s
    waited.start();
    do Pump(20);
    while (window->Viewer()->Image().size() != QSize(862, 414) && waited.elapsed() < 2000);
    EXPECT_EQ(window->Viewer()->Image().size(), QSize(862, 414));  // the chart follows the window's size
    window->DestroyWindow();
    EXPECT_EQ(g_pAppIni->chartSx, 150);
    EXPECT_EQ(g_pAppIni->chartSy, 160);
    EXPECT_EQ(g_pAppIni->chartDx, 860);
    EXPECT_EQ(g_pAppIni->chartDy, 450);
}

// The clamp counts the remembered size, not the template's.
TEST_F(ChartWindowTest, AWideWindowRestoredAtTheRightEdgeStaysOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    Open("chartSx=" + std::to_string(screen.right() - 300) + "\nchartSy=10\nchartDx=1000\nchartDy=420\n", {}, false);
    EXPECT_EQ(window->width(), 1000);
    EXPECT_LE(window->x() + window->width(), screen.right() + 1);
    EXPECT_EQ(g_pAppIni->chartSx, window->x());
}

TEST_F(ChartWindowTest, DefaultWidthAndMinimumHoldTheWholeTopRow) {
    Open("chartDx=600\nchartDy=420\n", {}, false);
    const QWidget* exportButton = window->GetDlgItem(CDlgRealtimeTrack::IDC_EXPORT);
    const QWidget* counter = window->GetDlgItem(CDlgRealtimeTrack::IDC_RECORD_COUNT);
    const int margin = window->GetDlgItem(CDlgRealtimeTrack::IDC_QUANTITY)->x();
    EXPECT_GE(window->width(), counter->geometry().right() + 1 + margin);
    EXPECT_GE(window->minimumWidth(), counter->geometry().right() + 1 + margin);
    for (const char* text : {"Export Records", "Stop Recording"})
        EXPECT_LT(exportButton->fontMetrics().horizontalAdvance(QString::fromLatin1(text)), exportButton->width())
            << text;
}

TEST_F(ChartWindowTest, HiddenWhileTheSyncDataTabShows) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=1\n");
    main = std::make_unique<CTARVIK_UIDlg>();
    ASSERT_TRUE(main->Create());
    main->show();
    Pump(50);
    CDlgRealtimeTrack* chart = main->ChartWindow();
    ASSERT_TRUE(chart->isVisible());
    main->TabHost()->SelectTab(CTARVIK_UIDlg::kSyncTab);
    Pump(300);
    EXPECT_FALSE(chart->isVisible());
    main->TabHost()->SelectTab(0);
    Pump(300);
    EXPECT_TRUE(chart->isVisible());
}
