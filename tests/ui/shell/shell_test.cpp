// The main window and the connection dialog, driven in-process: each test
// runs in its own temporary working directory with its own TARVIK_UI.ini and,
// where it needs a module, its own tarvik-sim.
#include "app/app_ini.h"
#include "app/session_file.h"
#include "device/connection.h"
#include "tests/support/window_fixture.h"
#include "tests/ui/shell/fake_module.h"
#include "ui/charts/dlg_probe.h"
#include "ui/charts/dlg_realtime_track.h"
#include "ui/config/dlg_config.h"
#include "ui/config/dlg_config_ahrs.h"
#include "ui/main/dlg_connection.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/tab_dialog.h"
#include "ui/main/tarvik_ui_dlg.h"
#include "ui/views/dlg_main_ahrs.h"
#include "ui/views/dlg_main_fft.h"
#include "ui/views/dlg_main_sync.h"
#include "ui/views/dlg_main_vibr.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace {

// The test's temporary folder is the working directory, with its own
// settings record the window reads.
class ShellTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(Dir().Enter());
    }
    void CloseWindows() override { m_dlg.reset(); }
    void TearDown() override {
        SetSaveFileHook({});
        WindowTest::TearDown();
        m_fake.reset();
    }
    // The module: tarvik-sim with the product, status word and rate.
    bool StartModule(int32_t product = 1011, uint32_t status = 0, uint32_t baud = 115200) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", status);
        link = File("link");
        if (LaunchSim({"--product", std::to_string(product), "--status-bits", hex, "--baud", std::to_string(baud)}))
            return true;
        ADD_FAILURE() << SimError();
        return false;
    }
    void OpenWindow(const QString& titleNote = QString()) {
        m_dlg = std::make_unique<CTARVIK_UIDlg>();
        m_dlg->SetSessionOptions("", "", titleNote);
        ASSERT_TRUE(m_dlg->Create());
        m_dlg->show();
        Pump(50);
    }
    QString ButtonText(int id) const {
        auto* b = qobject_cast<QPushButton*>(m_dlg->GetDlgItem(id));
        return b ? b->text() : QString();
    }
    QString StatusTip() const { return m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_STATUS)->toolTip(); }
    QString StatusBar() const {
        auto* l = qobject_cast<QLabel*>(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_STATUS));
        return l ? l->text() : QString();
    }

    std::unique_ptr<CFakeModule> m_fake;  // where the module must fall silent on cue
    std::unique_ptr<CTARVIK_UIDlg> m_dlg;
};

using C = CTARVIK_UIDlg::StatusColour;
constexpr int IDABORT_TEST = 99;  // the safety end of a modal run that went wrong

TEST(StatusLine, TextsAndColoursOfTheWorkedCases) {
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(false, false, false, 0), "Device is disconnected.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, true, true, 0), "Communication bus error.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, true, 0), "Device is not responding.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, 0xFFFF), "Device is connected.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, 0x00030000),
              "Calibration failed, Voltage exceeds rated range.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, 0x01000000), "Flash access error.");
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, 0x02000000), "Accl&&Gyro sensor error.");
    // Only bits without a message: the bar still says something.
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, int32_t(0x80C00000u)),
              "Device is connected (status 0x80C00000).");
    // Bit 31 makes the word negative; it is still read bit by bit.
    EXPECT_EQ(CTARVIK_UIDlg::StatusText(true, false, false, int32_t(0x81000000u)), "Flash access error.");

    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, false, false, 0x00030000), C::Orange);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, false, false, 0x01000000), C::Red);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, true, false, 0x01030000), C::Red);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, false, false, 0xFFFF), C::Normal);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, true, false, 0), C::Yellow);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(true, false, true, 0), C::Yellow);
    EXPECT_EQ(CTARVIK_UIDlg::StatusColourOf(false, false, false, 0), C::Normal);
}

TEST_F(ShellTest, StartupConnectsWithTheStoredSettingsAndShowsTheStatus) {
    ASSERT_TRUE(StartModule(1011, 0x30000));
    LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=115200\nchartWinShow=0\n");
    OpenWindow();
    ASSERT_NE(g_pObjectAccess, nullptr);
    EXPECT_EQ(m_dlg->windowTitle(),
              QString::fromStdString("Brisknode Tarvik UI - " + link + " (115200 bps)"));
    EXPECT_EQ(ButtonText(CTARVIK_UIDlg::IDC_CONNECT), "Disconnect");
    // The pages read what they show once connected: the analysis sources,
    // the sync configuration, the configuration window's fields.
    const std::string requests = Log();
    for (const char* get : {"get 0x22 0 1 int32", "get 0x23 0 1 int32"})
        EXPECT_NE(requests.find(get), std::string::npos) << get << "\n" << requests;
    EXPECT_EQ(m_dlg->SyncPage()->GetDlgItemText(CDlgMainSync::IDC_CONFIG).toStdString(),
              "No transmission data are selected on the device.");
    EXPECT_EQ(m_dlg->ConfigPage()->AhrsPage()->GetDlgItemText(CDlgConfigAhrs::IDC_PRODUCT).toStdString(),
              "Tarvik (KV-TQM-v1)");

    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(m_dlg->StatusWord() & 0x00030000, 0x00030000);
    EXPECT_TRUE(StatusBar().startsWith("Calibration failed, Voltage exceeds rated range"));
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Orange);
    // Equal inputs on the next tick: nothing is rewritten.
    const int rewrites = m_dlg->StatusRewrites();
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(m_dlg->StatusRewrites(), rewrites);

    // The button disconnects without asking.
    QTest::mouseClick(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CONNECT), Qt::LeftButton);
    EXPECT_EQ(g_pObjectAccess, nullptr);
    EXPECT_EQ(m_dlg->windowTitle(), "Brisknode Tarvik UI");
    EXPECT_EQ(ButtonText(CTARVIK_UIDlg::IDC_CONNECT), "Connect");
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(StatusBar(), "Device is disconnected.");
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Normal);
}

TEST_F(ShellTest, AutoDetectionFindsTheRateAndLeavesTheSettingAtZero) {
    ASSERT_TRUE(StartModule(1011, 0, 115200));
    LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=0\nchartWinShow=0\n");
    OpenWindow();
    ASSERT_NE(g_pObjectAccess, nullptr);
    EXPECT_TRUE(m_dlg->windowTitle().endsWith("(115200 bps)")) << m_dlg->windowTitle().toStdString();
    EXPECT_EQ(g_pAppIni->comBaudrate, 0);
}

TEST_F(ShellTest, WrongProductLeavesTheWindowDisconnectedWithoutAMessage) {
    ASSERT_TRUE(StartModule(1010));
    LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=115200\nchartWinShow=0\n");
    OpenWindow();
    EXPECT_EQ(g_pObjectAccess, nullptr);
    EXPECT_EQ(m_dlg->windowTitle(), "Brisknode Tarvik UI");
    EXPECT_EQ(ButtonText(CTARVIK_UIDlg::IDC_CONNECT), "Connect");
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(StatusBar(), "Device is disconnected.");
    EXPECT_TRUE(StatusTip().contains("no supported module answered at 115200 bit/s")) << StatusTip().toStdString();
}

// The status line keeps its wording; its tip says why the port did not open,
// and a later connect that works takes the tip away.
TEST_F(ShellTest, FailedOpenIsExplainedInTheStatusTip) {
    const std::string missing = File("ttyGONE");
    LoadSettings("comPort=\"" + missing + "\"\ncomBaudrate=115200\nchartWinShow=0\n");
    OpenWindow();
    EXPECT_EQ(g_pObjectAccess, nullptr);
    EXPECT_TRUE(StatusTip().contains(QString::fromStdString("no such port " + missing))) << StatusTip().toStdString();
    EXPECT_TRUE(StatusTip().contains("\"Diagnose\" in the Connection dialog"));

    ASSERT_TRUE(StartModule());
    std::snprintf(g_pAppIni->comPort, sizeof g_pAppIni->comPort, "%s", link.c_str());
    ASSERT_TRUE(m_dlg->Connect());
    EXPECT_TRUE(StatusTip().isEmpty());
}

TEST_F(ShellTest, StoredTabSelectionIsClampedToTheTabs) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nmainTabSel=7\nchartWinShow=0\n");
    OpenWindow();
    EXPECT_EQ(m_dlg->TabHost()->PageCount(), 5);
    EXPECT_EQ(m_dlg->TabHost()->CurrentPage(), 4);
    EXPECT_TRUE(m_dlg->ConfigPage()->isVisible());
    m_dlg.reset();
    EXPECT_EQ(g_pAppIni->mainTabSel, 4);

    g_pAppIni->mainTabSel = -3;
    OpenWindow();
    EXPECT_EQ(m_dlg->TabHost()->CurrentPage(), 0);
}

TEST_F(ShellTest, SyncTabHidesOpenToolWindowsAndRestoresThem) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=1\nbplotWinShow=1\n");
    OpenWindow();
    auto* chart = m_dlg->ChartWindow();
    auto* probe = m_dlg->ProbeWindow();
    ASSERT_TRUE(chart->isVisible());
    ASSERT_TRUE(probe->isVisible());
    EXPECT_GE(chart->width(), 500);
    EXPECT_GE(chart->height(), 300);
    EXPECT_FALSE(chart->parentWidget());

    // The user's click on the tab.
    QTabBar* bar = m_dlg->TabHost()->TabBar();
    ASSERT_NE(bar, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(CTARVIK_UIDlg::kSyncTab).center());
    Pump(50);
    ASSERT_EQ(m_dlg->TabHost()->CurrentPage(), int(CTARVIK_UIDlg::kSyncTab));
    ASSERT_TRUE(m_dlg->SyncPage()->isVisible());
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_FALSE(chart->isVisible());
    EXPECT_FALSE(probe->isVisible());
    EXPECT_FALSE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CHART)->isEnabled());
    EXPECT_FALSE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_PROBE)->isEnabled());
    EXPECT_FALSE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_MAP)->isEnabled());

    m_dlg->TabHost()->SetCurSel(0);
    m_dlg->TabHost()->SelectTab(0);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(probe->isVisible());
    EXPECT_TRUE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CHART)->isEnabled());
    EXPECT_TRUE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_PROBE)->isEnabled());

    // The user closes the chart window (Escape); after a trip to the Sync
    // tab it stays closed, the probe window comes back.
    QTest::keyClick(chart, Qt::Key_Escape);
    Pump(50);
    ASSERT_FALSE(chart->isVisible());
    m_dlg->TabHost()->SelectTab(CTARVIK_UIDlg::kSyncTab);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    m_dlg->TabHost()->SelectTab(1);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_FALSE(chart->isVisible());
    EXPECT_TRUE(probe->isVisible());

    // The close box and Enter hide a tool window; it is not destroyed.
    probe->close();
    Pump(50);
    EXPECT_FALSE(probe->isVisible());
    QTest::mouseClick(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_PROBE), Qt::LeftButton);
    EXPECT_TRUE(probe->isVisible());
    EXPECT_EQ(g_pAppIni->bplotWinShow, 1);
    probe->activateWindow();
    QTest::keyClick(probe, Qt::Key_Return);
    Pump(50);
    EXPECT_FALSE(probe->isVisible());
}

// The main window run as start-up runs it: the tool windows beside it take
// clicks, keys and their close box.
TEST_F(ShellTest, ToolWindowsTakeInputWhileTheMainWindowRunsModally) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=1\nbplotWinShow=1\n");
    m_dlg = std::make_unique<CTARVIK_UIDlg>();
    CTARVIK_UIDlg* main = m_dlg.get();
    int clicked = 0;
    QTimer::singleShot(100, main, [&] {
        auto* chart = main->ChartWindow();
        auto* probe = main->ProbeWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(chart));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(probe));
        auto* button = new QPushButton(QStringLiteral("x"), chart);
        button->setGeometry(10, 10, 80, 24);
        button->show();
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicked; });
        Pump(50);
        QTest::mouseClick(chart->windowHandle(), Qt::LeftButton, {}, button->geometry().center());
        QTest::keyClick(chart->windowHandle(), Qt::Key_Escape);  // hides it
        Pump(50);
        EXPECT_FALSE(chart->isVisible());
        probe->windowHandle()->close();
        Pump(50);
        EXPECT_FALSE(probe->isVisible());
        QWidget* exitButton = main->GetDlgItem(IDCANCEL);
        QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, exitButton->mapTo(main, exitButton->rect().center()));
    });
    QTimer::singleShot(10000, main, [main] { main->EndDialog(IDABORT_TEST); });
    EXPECT_EQ(main->DoModal(), IDCANCEL);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(g_pAppIni->chartWinShow, 0);
    EXPECT_EQ(g_pAppIni->bplotWinShow, 0);
}

TEST_F(ShellTest, ChartButtonTogglesTheWindowAndItsSetting) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=0\n");
    OpenWindow();
    auto* chart = m_dlg->ChartWindow();
    EXPECT_FALSE(chart->isVisible());
    QTest::mouseClick(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CHART), Qt::LeftButton);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(g_pAppIni->chartWinShow, 1);
    QTest::mouseClick(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CHART), Qt::LeftButton);
    EXPECT_FALSE(chart->isVisible());
    EXPECT_EQ(g_pAppIni->chartWinShow, 0);
    EXPECT_FALSE(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_MAP)->isVisible());
}

TEST_F(ShellTest, EscapeStoresPositionAndToolWindowsLikeExit) {
    for (int key : {int(Qt::Key_Escape), -1}) {
        LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=1\nbplotWinShow=0\n");
        OpenWindow();
        m_dlg->move(40, 30);
        Pump(100);
        const QPoint where = m_dlg->pos();
        m_dlg->ProbeWindow()->show();
        m_dlg->ChartWindow()->hide();
        if (key == Qt::Key_Escape)
            QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(m_dlg->GetDlgItem(IDCANCEL), Qt::LeftButton);
        Pump(50);
        EXPECT_EQ(g_pAppIni->mainSx, where.x());
        EXPECT_EQ(g_pAppIni->mainSy, where.y());
        EXPECT_EQ(g_pAppIni->chartWinShow, 0);
        EXPECT_EQ(g_pAppIni->bplotWinShow, 1);
        m_dlg.reset();
        delete g_pAppIni;
        g_pAppIni = nullptr;
    }
}

TEST_F(ShellTest, FileWrittenAtExitHoldsAllKeysInOrder) {
    LoadSettings("");
    OpenWindow();
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    m_dlg.reset();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    std::ifstream in(File("TARVIK_UI.ini"));
    std::vector<std::string> keys;
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
    }
    const std::vector<std::string> expected = {
        "admin", "mainTabSel", "mainSx", "mainSy", "chartSx", "chartSy", "chartDx", "chartDy", "mapSx",
        "mapSy", "mapDx", "mapDy", "bplotWinShow", "bplotSx", "bplotSy", "bplotDx", "bplotDy", "bplotProbe",
        "bplotDelay", "configTabSel", "startSync", "startFft", "startVibr", "comPort", "comBaudrate",
        "deviceID", "trTimeout", "gpsPort", "gpsBaudrate", "chartWinShow", "mapWinShow", "precision",
        "maf_window_size", "map_lat", "map_lon", "map_lvl", "host_name", "host_port", "rtcp", "user",
        "password", "sync_file"};
    EXPECT_EQ(keys, expected);
}

TEST_F(ShellTest, ToolWindowPlacementIsClampedAndStored) {
    LoadSettings("comPort=\"/nonexistent/tty\"\nchartWinShow=1\nchartSx=-20000\nchartSy=90000\n"
             "chartDx=100\nchartDy=100\n");
    OpenWindow();
    auto* chart = m_dlg->ChartWindow();
    EXPECT_GE(chart->width(), 500);
    EXPECT_GE(chart->height(), 300);
    EXPECT_GT(g_pAppIni->chartSx, -20000);
    EXPECT_LT(g_pAppIni->chartSy, 90000);
    chart->resize(800, 420);
    Pump(50);
    chart->hide();
    EXPECT_EQ(g_pAppIni->chartDx, 800);
    EXPECT_EQ(g_pAppIni->chartDy, 420);
}

TEST_F(ShellTest, SilentModuleTurnsTheBarYellowAndBack) {
    m_fake = std::make_unique<CFakeModule>(1011, 0, 115200);  // needs the switchable stand-in
    ASSERT_TRUE(m_fake->Ok());
    link = m_fake->Path();
    LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=115200\nchartWinShow=0\n");
    OpenWindow();
    ASSERT_NE(g_pObjectAccess, nullptr);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(StatusBar(), "Device is connected.");
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Normal);

    m_fake->SetSilent(true);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(StatusBar(), "Device is not responding.");
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Yellow);
    EXPECT_EQ(m_dlg->StatusWord(), 0);  // a failed read counts as 0
    EXPECT_NE(g_pObjectAccess, nullptr);  // a lost module does not disconnect
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);  // held off: the tip keeps the cause
    EXPECT_EQ(StatusTip(), "Status read failed: no reply");

    // Back after the protocol's back-off: normal again.
    m_fake->SetSilent(false);
    m_fake->SetStatus(0x01000000);
    QElapsedTimer t;
    t.start();
    while (m_dlg->CurrentStatusColour() != C::Red && t.elapsed() < 10000) {
        Pump(100);
        m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    }
    EXPECT_EQ(StatusBar(), "Flash access error.");
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Red);
    EXPECT_TRUE(StatusTip().isEmpty());
}

TEST_F(ShellTest, StatusIsNotPolledWhileTheSyncTabShows) {
    m_fake = std::make_unique<CFakeModule>(1011, 0x00010000, 115200);
    ASSERT_TRUE(m_fake->Ok());
    link = m_fake->Path();
    LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=115200\nchartWinShow=0\nmainTabSel=3\n");
    OpenWindow();
    ASSERT_NE(g_pObjectAccess, nullptr);
    ASSERT_TRUE(m_dlg->SyncPage()->isVisible());
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(m_dlg->StatusWord(), 0);  // never read yet
    m_dlg->TabHost()->SetCurSel(0);
    m_dlg->TabHost()->SelectTab(0);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(m_dlg->StatusWord(), 0x00010000);
    EXPECT_EQ(StatusBar(), "Calibration failed.");
    m_fake->SetStatus(0x01000000);
    m_dlg->TabHost()->SetCurSel(3);
    m_dlg->TabHost()->SelectTab(3);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_STATUS);
    EXPECT_EQ(m_dlg->StatusWord(), 0x00010000);  // kept its last value
    EXPECT_EQ(m_dlg->CurrentStatusColour(), C::Orange);
}

TEST_F(ShellTest, ConnectButtonRunsTheDialogAndConnects) {
    ASSERT_TRUE(StartModule());
    LoadSettings("comPort=\"/nonexistent/tty\"\ncomBaudrate=115200\nchartWinShow=0\n");
    OpenWindow();
    ASSERT_EQ(g_pObjectAccess, nullptr);
    const QString port = QString::fromStdString(link);
    bool sawDialog = false;
    QTimer::singleShot(200, [&] {
        auto* d = qobject_cast<CDlgConnection*>(QApplication::activeModalWidget());
        if (!d) return;
        sawDialog = true;
        qobject_cast<QComboBox*>(d->GetDlgItem(CDlgConnection::IDC_PORT))->setEditText(port);
        QTest::mouseClick(d->GetDlgItem(IDOK), Qt::LeftButton);
    });
    QTest::mouseClick(m_dlg->GetDlgItem(CTARVIK_UIDlg::IDC_CONNECT), Qt::LeftButton);
    EXPECT_TRUE(sawDialog);
    EXPECT_NE(g_pObjectAccess, nullptr);
    EXPECT_EQ(QString::fromLocal8Bit(g_pAppIni->comPort), port);
    EXPECT_EQ(ButtonText(CTARVIK_UIDlg::IDC_CONNECT), "Disconnect");
}

class ConnectionDialogTest : public ShellTest {
protected:
    QComboBox* Combo(CDlgConnection& d, int id) { return qobject_cast<QComboBox*>(d.GetDlgItem(id)); }
};

TEST_F(ConnectionDialogTest, FieldsRoundTrip) {
    LoadSettings("comPort=\"/dev/ttyTYPED9\"\ncomBaudrate=0\ntrTimeout=45\ndeviceID=3\n");
    {
        CDlgConnection d;
        ASSERT_TRUE(d.Create());
        EXPECT_EQ(d.windowTitle(), "Connection");
        EXPECT_EQ(Combo(d, CDlgConnection::IDC_BAUD)->count(), 9);
        EXPECT_EQ(Combo(d, CDlgConnection::IDC_BAUD)->currentText(), "Auto detect");
        EXPECT_EQ(Combo(d, CDlgConnection::IDC_PORT)->currentText(), "/dev/ttyTYPED9");
        EXPECT_EQ(d.GetDlgItemText(CDlgConnection::IDC_TIMEOUT), "45");
        EXPECT_EQ(d.GetDlgItemText(CDlgConnection::IDC_DEVICE_ID), "3");
        EXPECT_FALSE(d.GetDlgItem(CDlgConnection::IDC_DEVICE_ID)->isEnabled());
        // "Auto detect" kept: OK stores 0.
        d.show();
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
        EXPECT_EQ(g_pAppIni->comBaudrate, 0);
        EXPECT_STREQ(g_pAppIni->comPort, "/dev/ttyTYPED9");
        EXPECT_EQ(g_pAppIni->trTimeout, 45);
        EXPECT_EQ(g_pAppIni->deviceID, 3);
    }
    {
        CDlgConnection d;
        ASSERT_TRUE(d.Create());
        d.show();
        Combo(d, CDlgConnection::IDC_BAUD)->setEditText("250000");
        Combo(d, CDlgConnection::IDC_PORT)->setEditText("/dev/ttyOTHER");
        d.SetDlgItemText(CDlgConnection::IDC_TIMEOUT, "x");
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
        EXPECT_EQ(g_pAppIni->comBaudrate, 250000);
        EXPECT_STREQ(g_pAppIni->comPort, "/dev/ttyOTHER");
        EXPECT_EQ(g_pAppIni->trTimeout, 45);  // not a number: the stored value stays
    }
    {
        // A stored rate is shown as a number; Cancel changes nothing.
        CDlgConnection d;
        ASSERT_TRUE(d.Create());
        EXPECT_EQ(Combo(d, CDlgConnection::IDC_BAUD)->currentText(), "250000");
        d.show();
        Combo(d, CDlgConnection::IDC_BAUD)->setEditText("9600");
        QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton);
        EXPECT_EQ(g_pAppIni->comBaudrate, 250000);
    }
    EXPECT_EQ(CDlgConnection::ParseUnsigned("Auto detect"), 0u);
    EXPECT_EQ(CDlgConnection::ParseUnsigned(" 57600 bps"), 57600u);
    EXPECT_EQ(CDlgConnection::ParseUnsigned("99999999999"), 0u);
}

// "Record" records what the windows read and the sync text, and a simulator
// replaying that file shows the same values and sends the same text again.
TEST_F(ShellTest, RecordedSessionReplaysTheSameValues) {
    const std::string session = File("s.jsonl");
    auto open = [&](const std::vector<std::string>& simArgs, const QString& titleNote) {
        link = File("link");
        ASSERT_TRUE(LaunchSim(simArgs)) << SimError();
        LoadSettings("comPort=\"" + link + "\"\ncomBaudrate=115200\nchartWinShow=1\nmainTabSel=0\n");
        OpenWindow(titleNote);
        ASSERT_NE(g_pObjectAccess, nullptr);
    };
    auto ahrsLine = [&] { return m_dlg->TabHost()->Page(0)->GetDlgItemText(CDlgMainAhrs::IDC_TEXT).toStdString(); };
    auto button = [&] { return ButtonText(CTARVIK_UIDlg::IDC_RECORD).toStdString(); };
    // The Chart window's newest sample of its first quantity (the Euler angles).
    auto charted = [&] {
        const CDlgRealtimeTrack* chart = m_dlg->ChartWindow();
        return std::vector<double>{chart->HistoryX().back(), chart->HistoryY().back(), chart->HistoryZ().back()};
    };
    // The Sync data page's stream for a while, into an export file; returns the file.
    // The Chart window reads until the next status tick hides it, and a
    // request takes the stream's bytes waiting before its reply: the run
    // starts once the window is hidden.
    auto streamed = [&](const std::string& name, int ms) {
        m_dlg->TabHost()->SelectTab(CTARVIK_UIDlg::kSyncTab);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_dlg->ChartWindow()->isVisible(); }, 5000));
        std::strcpy(g_pAppIni->sync_file, File(name).c_str());
        m_dlg->SyncPage()->OnCommand(CDlgMainSync::IDC_RUN);
        Pump(ms);
        m_dlg->SyncPage()->OnCommand(CDlgMainSync::IDC_FREEZE);
        return ReadAll(File(name));
    };
    ASSERT_NO_FATAL_FAILURE(open({"--force", "sd=0x41", "--force", "sp=10"}, QString()));
    ASSERT_TRUE(Control("force 0x37 12.5 -3.25 170"));
    ASSERT_TRUE(Control("force 0x3a 1.5 2 -0.25"));
    SetSaveFileHook([&](QWidget*, const SaveFileRequest& r) {
        EXPECT_TRUE(r.initialPath.contains("tarvik-ui/sessions/session-")) << r.initialPath.toStdString();
        return QString::fromStdString(session);
    });
    m_dlg->OnCommand(CTARVIK_UIDlg::IDC_RECORD);
    Pump(1200);
    m_dlg->OnTimer(CTARVIK_UIDlg::TIMER_RECORD);
    EXPECT_EQ(button().rfind("Stop 0:0", 0), 0u) << button();
    auto charting = [&] { return !m_dlg->ChartWindow()->HistoryX().empty(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ahrsLine().empty() && charting(); }, 5000));
    const std::string shown = ahrsLine();
    EXPECT_EQ(charted(), (std::vector<double>{12.5, -3.25, 170}));
    EXPECT_GT(streamed("live.csv", 1500).size(), 200u);
    m_dlg->OnCommand(CTARVIK_UIDlg::IDC_RECORD);
    EXPECT_EQ(button(), "Record");
    m_dlg.reset();
    DisconnectDevice();
    StopSim();

    std::ifstream in(session);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("{\"format\":\"tarvik-session\"", 0), 0u) << text.str().substr(0, 300);
    EXPECT_NE(text.str().find("\"get\":\"0x37\",\"sub\":0,\"type\":\"float32\",\"values\":[12.5,-3.25,170.0]"),
              std::string::npos);
    Session recorded;
    std::string error;
    ASSERT_TRUE(ParseSession(text.str(), &recorded, &error)) << error;
    std::string recordedSync;
    for (const SessionRecord& r : recorded.records) recordedSync += r.sync;

    ASSERT_NO_FATAL_FAILURE(open({"--replay", session}, "replay of s.jsonl"));
    EXPECT_TRUE(m_dlg->windowTitle().endsWith(" - replay of s.jsonl")) << m_dlg->windowTitle().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ahrsLine() == shown && charting(); }, 5000)) << ahrsLine();
    ASSERT_TRUE(charting());
    EXPECT_EQ(charted(), (std::vector<double>{12.5, -3.25, 170}));
    // The stream the page reads again is an unbroken run of the recorded text.
    const std::string replayed = streamed("replayed.csv", 3000);
    EXPECT_GT(replayed.size(), 200u);
    EXPECT_NE(recordedSync.find(replayed), std::string::npos) << replayed.substr(0, 200);
}

}  // namespace
