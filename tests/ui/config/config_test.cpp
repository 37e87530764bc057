// The configuration window against the module simulator: what opening and
// reloading read, what "Apply && Flash Write", "Factory default (fd)" and
// "Restart device (rd)" send, the limits of edited values, failed reads and
// refused writes, and the enable rule of the three buttons.
#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "tests/ui/config/config_window.h"
#include "ui/config/config_io.h"
#include "ui/config/dlg_config.h"
#include "ui/config/dlg_config_ahrs.h"
#include "ui/config/dlg_config_calib.h"
#include "ui/config/dlg_config_fft.h"
#include "ui/config/dlg_config_filter.h"
#include "ui/main/tarvik_ui_dlg.h"
#include "ui/toolkit/tab_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <clocale>

namespace {

class ConfigTest : public ConfigWindowTest {
protected:
    CDlgConfigAhrs* Ahrs() const { return dlg->AhrsPage(); }
    CDlgConfigFilter* Filter() const { return dlg->FilterPage(); }
    CDlgConfigFft* Fft() const { return dlg->FftPage(); }
    static int Sel(CDialog* page, int id) { return page->Item<QComboBox>(id)->currentIndex(); }
    bool Enabled(int id) const { return dlg->GetDlgItem(id)->isEnabled(); }
};

TEST(ConfigText, NumbersAreClampedOrRefusedWithoutUndefinedBehaviour) {
    EXPECT_EQ(cfgio::LimitedFloat("500", 0, 360), 360.0f);
    EXPECT_EQ(cfgio::LimitedFloat("-3", 0, 360), 0.0f);
    EXPECT_EQ(cfgio::LimitedFloat(" 0.5abc", 0, 1), 0.5f);
    EXPECT_EQ(cfgio::LimitedFloat("abc", 0, 1), 0.0f);
    EXPECT_EQ(cfgio::LimitedFloat("0.0005", 0, 1000), 0.0005f);
    EXPECT_EQ(cfgio::LimitedFloat("1e4", 0, 1000), 1000.0f);
    EXPECT_EQ(cfgio::LimitedFloat("1e999", 0, 1000), 1000.0f);  // beyond double, then limited
    EXPECT_EQ(cfgio::LimitedFloat("-1e999", 0, 1000), 0.0f);
    EXPECT_EQ(cfgio::LimitedFloat("nan", 0, 1000), 0.0f);      // not a number to this field
    EXPECT_EQ(cfgio::LimitedFloat("inf", 0, 1000), 0.0f);
    EXPECT_EQ(cfgio::LimitedFloat("0x10", 0, 1000), 0.0f);     // decimal only: "0" then text
    EXPECT_EQ(cfgio::LimitedFloat("2e", 0, 1000), 2.0f);
    // The point is the decimal point whatever the process locale says.
    if (std::setlocale(LC_NUMERIC, "de_DE.utf8")) {
        EXPECT_EQ(cfgio::LimitedFloat("0.25", 0, 1), 0.25f);
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(cfgio::LimitedUnsigned("250", 1, 60000), 250);
    EXPECT_EQ(cfgio::LimitedUnsigned("0", 1, 60000), 1);
    EXPECT_EQ(cfgio::LimitedUnsigned("70000", 1, 60000), 60000);
    EXPECT_EQ(cfgio::LimitedUnsigned("-5", 1, 60000), 1);
    EXPECT_EQ(cfgio::LimitedUnsigned("abc", 1, 60000), 1);
    EXPECT_EQ(cfgio::LimitedUnsigned("12.5", 1, 60000), 1);
    EXPECT_EQ(cfgio::LimitedUnsigned("3000000000", 1, 60000), 60000);  // huge is above the range
    EXPECT_EQ(cfgio::LimitedUnsigned("999999999999999999999999", 1, 60000), 60000);
}

TEST_F(ConfigTest, TabsButtonsAndRememberedPage) {
    g_pAppIni->configTabSel = 7;
    Open();
    CTabDialog* tabs = dlg->TabHost();
    ASSERT_EQ(tabs->PageCount(), 4);
    const char* titles[4] = {"Device", "Filter", "Calibration", "FFT && Position"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tabs->TabBar()->tabText(i).toStdString(), titles[i]);
    EXPECT_FALSE(tabs->TabBar()->tabIcon(3).isNull());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tabs->Page(i)->geometry(), tabs->PageRect()) << i;  // below the tab row
    EXPECT_EQ(tabs->CurrentPage(), 3);  // 7 clamped to the last page
    EXPECT_TRUE(Fft()->isVisible());
    EXPECT_EQ(dlg->Item<QPushButton>(CDlgConfig::IDC_FACTORY_DEFAULT)->text().toStdString(), "Factory default (fd)");
    EXPECT_EQ(dlg->Item<QPushButton>(CDlgConfig::IDC_RESTART)->text().toStdString(), "Restart device (rd)");
    EXPECT_EQ(dlg->Item<QPushButton>(CDlgConfig::IDC_FLASH_WRITE)->text().toStdString(), "Apply && Flash Write");
    EXPECT_TRUE(dlg->HasTimer(CDlgConfig::TIMER_BUTTONS));
    tabs->SelectTab(2);
    dlg->DestroyWindow();
    EXPECT_EQ(g_pAppIni->configTabSel, 2);
}

TEST_F(ConfigTest, CaptionsShowAsWrittenAndLongButtonCaptionsWrap) {
    Open();
    // A group box shows "&&" as one "&" by itself: its title stays as written.
    QStringList titles;
    for (CDialog* page : {static_cast<CDialog*>(Filter()), static_cast<CDialog*>(Fft())})
        for (QGroupBox* g : page->findChildren<QGroupBox*>()) titles << g->title();
    EXPECT_TRUE(titles.contains("Kalman filter for rotation (accel. correct roll && pitch; magn. correct yaw)"))
        << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains("Vibration detection && FFT")) << titles.join('|').toStdString();
    CDlgConfigCalib* calib = dlg->CalibPage();
    EXPECT_TRUE(calib->Item<QPushButton>(CDlgConfigCalib::IDC_RESET)->text().contains('\n'));
    EXPECT_EQ(calib->GetDlgItemText(CDlgConfigCalib::IDC_RESET).toStdString(), "Reset calibration data (rc)");
    if (const char* shots = getenv("CONFIG_SHOT_DIR"))
        for (int i = 0; i < dlg->TabHost()->PageCount(); ++i) {
            dlg->TabHost()->SetCurSel(i);
            dlg->TabHost()->SelectTab(i);
            QApplication::processEvents();
            host->grab().save(QString("%1/config_page%2.png").arg(shots).arg(i));
        }
}

TEST_F(ConfigTest, NumberFieldsTakeAtMost255Characters) {
    Open();
    Filter()->SetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD, QString(300, '1'));
    EXPECT_EQ(Filter()->GetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD).size(), 255);
}

TEST_F(ConfigTest, UnconnectedShowsBlanksKeepsTheButtonsAndStillWaits) {
    Open();
    EXPECT_TRUE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).isEmpty());
    EXPECT_TRUE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_VOLTAGE).isEmpty());
    EXPECT_EQ(Sel(Ahrs(), CDlgConfigAhrs::IDC_BAUD_UART1), -1);
    EXPECT_TRUE(Filter()->GetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD).isEmpty());
    EXPECT_TRUE(Fft()->GetDlgItemText(CDlgConfigFft::IDC_ZERO_VELOCITY_VARIANCE).isEmpty());
    // No connection has come and gone yet: the buttons stay as the template has them.
    dlg->OnTimer(CDlgConfig::TIMER_BUTTONS);
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_FACTORY_DEFAULT));
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_RESTART));
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_FLASH_WRITE));
    // Nothing goes out, yet the handler waits and reloads (blanks) as with a module.
    Ahrs()->SetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD, "777");
    const auto start = std::chrono::steady_clock::now();
    dlg->OnCommand(CDlgConfig::IDC_FLASH_WRITE);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).isEmpty());
}

TEST_F(ConfigTest, OpeningReadsThePagesAndWritesNothing) {
    REQUIRE_SIM();
    Open();
    for (int i = 0; i < 4; ++i) dlg->TabHost()->SelectTab(i);
    const std::string log = Log();
    for (const char* get : {"get 0x02 0 1 int32", "get 0x30 0 1 float32", "get 0x09 0 1 int32",
                            "get 0x0f 0 1 int32", "get 0x1a 0 1 float32", "get 0x46 0 9 float32",
                            "get 0x49 0 3 float32", "get 0x22 0 1 int32", "get 0x1c 0 1 float32"})
        EXPECT_NE(log.find(get), std::string::npos) << get;
    EXPECT_EQ(log.find("set "), std::string::npos) << log;
    // What the module holds, shown on every page.
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_PRODUCT).toStdString(), "Tarvik (KV-TQM-v1)");
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_FIRMWARE).toStdString(), "1.23");
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).toStdString(), "100");
    EXPECT_EQ(Sel(Ahrs(), CDlgConfigAhrs::IDC_BAUD_UART2), 4);
    EXPECT_EQ(Sel(Filter(), CDlgConfigFilter::IDC_GYRO_LOW_PASS), 4);  // gl 3 is the fifth entry
    EXPECT_EQ(Filter()->GetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD).toStdString(), "1.0");
    EXPECT_EQ(Sel(Fft(), CDlgConfigFft::IDC_FFT_SOURCE), 3);
    EXPECT_EQ(Fft()->GetDlgItemText(CDlgConfigFft::IDC_GYRO_THRESHOLD).toStdString(), "2.0");
    EXPECT_EQ(dlg->CalibPage()->GetDlgItemText(CDlgConfigCalib::IDC_FIRST_CELL).toStdString(), "0.010000");
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_FLASH_WRITE));
}

TEST_F(ConfigTest, ApplyWritesThePagesThenFlashThenReloadsWhatTheModuleKept) {
    REQUIRE_SIM();
    Open();
    Ahrs()->SetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD, "70000");
    Ahrs()->CheckDlgButton(CDlgConfigAhrs::kSelectionBoxes[0], true);
    Ahrs()->CheckDlgButton(CDlgConfigAhrs::kSelectionBoxes[11], true);
    Filter()->SetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD, "500");
    Filter()->SetDlgItemText(CDlgConfigFilter::IDC_ACCEL_VARIANCE, "0");
    Fft()->SetDlgItemText(CDlgConfigFft::IDC_ACCEL_THRESHOLD, "200");
    Fft()->Item<QComboBox>(CDlgConfigFft::IDC_FFT_SOURCE)->setCurrentIndex(4);
    const size_t before = Log().size();
    dlg->OnCommand(CDlgConfig::IDC_FLASH_WRITE);
    const std::string log = Log().substr(before);
    const char* order[] = {"set 0x0b 115200 int32", "set 0x1f 60000 int32", "set 0x20 2049 int32",
                           "set 0x09 0 int32", "set 0x0f 0 int32", "set 0x14 360 float32",
                           "set 0x19 0 float32", "set 0x1a 1 float32", "set 0x22 4 int32",
                           "set 0x24 160 float32", "set 0x1c 0.100000001 float32", "set 0x06 1 int32",
                           "get 0x02 0 1 int32", "get 0x1c 0 1 float32"};
    size_t at = 0;
    for (const char* line : order) {
        const size_t next = log.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << " after " << at << "\n" << log;
        at = next;
    }
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).toStdString(), "60000");
    EXPECT_EQ(Filter()->GetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD).toStdString(), "360.0");
    EXPECT_EQ(Fft()->GetDlgItemText(CDlgConfigFft::IDC_ACCEL_THRESHOLD).toStdString(), "160.0");
}

TEST_F(ConfigTest, ValuesOutsideTheListsAndWhatTheModuleKept) {
    REQUIRE_SIM("--force", "gs=5", "--force", "b1=14400");
    Open();
    EXPECT_EQ(Sel(Ahrs(), CDlgConfigAhrs::IDC_BAUD_UART1), 4);     // an unknown rate shows "115200 bps"
    EXPECT_EQ(Sel(Filter(), CDlgConfigFilter::IDC_GYRO_FULL_SCALE), -1);  // 5 is outside the list
    const size_t before = Log().size();
    dlg->OnCommand(CDlgConfig::IDC_FLASH_WRITE);
    // The refused write does not keep the flash write back.
    const std::string log = Log().substr(before);
    const size_t refused = log.find("set 0x0f -1 int32");
    ASSERT_NE(refused, std::string::npos) << log;
    EXPECT_NE(log.find("set 0x06 1 int32", refused), std::string::npos) << log;
    EXPECT_EQ(Sel(Filter(), CDlgConfigFilter::IDC_GYRO_FULL_SCALE), -1);  // the module refused -1 and still holds 5
}

TEST_F(ConfigTest, EmptiedFieldsAreNotWrittenAsZero) {
    REQUIRE_SIM();
    Open();
    Ahrs()->SetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD, "");  // as a failed read leaves them
    Filter()->SetDlgItemText(CDlgConfigFilter::IDC_DRIFT_THRESHOLD, " ");
    Fft()->SetDlgItemText(CDlgConfigFft::IDC_ZERO_VELOCITY_VARIANCE, "");
    const size_t before = Log().size();
    dlg->OnCommand(CDlgConfig::IDC_FLASH_WRITE);
    const std::string log = Log().substr(before);
    EXPECT_EQ(log.find("set 0x1f"), std::string::npos) << log;
    EXPECT_EQ(log.find("set 0x14"), std::string::npos) << log;
    EXPECT_EQ(log.find("set 0x1c"), std::string::npos) << log;
    EXPECT_NE(log.find("set 0x15 0.100000001 float32"), std::string::npos) << log;
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).toStdString(), "100");
    EXPECT_EQ(Fft()->GetDlgItemText(CDlgConfigFft::IDC_ZERO_VELOCITY_VARIANCE).toStdString(), "0.1");
}

TEST_F(ConfigTest, FactoryDefaultAsksAndNoSendsNothing) {
    REQUIRE_SIM();
    Open();
    QString asked;
    dlg->askYesNo = [&](const QString& q) {
        asked = q;
        return false;
    };
    const size_t before = Log().size();
    dlg->OnCommand(CDlgConfig::IDC_FACTORY_DEFAULT);
    EXPECT_EQ(asked.toStdString(), CDlgConfig::kFactoryQuestion);
    EXPECT_EQ(Log().size(), before);  // no command and no reload

    ASSERT_TRUE(Control("force sp 500"));
    dlg->askYesNo = [](const QString&) { return true; };
    dlg->OnCommand(CDlgConfig::IDC_FACTORY_DEFAULT);
    const std::string log = Log().substr(before);
    const size_t command = log.find("set 0x06 2 int32");
    // The backup reads the configuration before the command; the reload reads it after.
    EXPECT_LT(log.find("get 0x1f 0 1 int32"), command) << log;
    EXPECT_NE(log.find("get 0x1f 0 1 int32", command), std::string::npos) << log;
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).toStdString(), "100");
    // The backup holds what the factory default wiped out.
    std::vector<std::filesystem::path> backups;
    for (const auto& e : std::filesystem::directory_iterator(File("data") + "/tarvik-ui/backups")) backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].filename().string().rfind("config-", 0), 0u);
    std::ifstream in(backups[0]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("sp = 0x1f, 500\n"), std::string::npos) << text;
    EXPECT_EQ(dlg->GetDlgItemText(CDlgConfig::IDC_BACKUP_NOTE).toStdString(), "Backup saved");
}

TEST_F(ConfigTest, RestartWritesNinetyNineAndReloadsNothing) {
    REQUIRE_SIM();
    Open();
    Ahrs()->SetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD, "777");
    const size_t before = Log().size();
    dlg->OnCommand(CDlgConfig::IDC_RESTART);
    EXPECT_EQ(Log().substr(before), "set 0x06 99 int32\n");
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).toStdString(), "777");
}

TEST_F(ConfigTest, FailedReadBlanksNumbersKeepsListsAndTheStatusLineSaysSo) {
    REQUIRE_SIM();
    Open();
    ASSERT_EQ(Sel(Filter(), CDlgConfigFilter::IDC_GYRO_FULL_SCALE), 0);
    StopSim();
    dlg->ReloadFromDevice();
    EXPECT_EQ(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_PRODUCT).toStdString(), "Tarvik (KV-TQM-v1)");  // kept
    EXPECT_TRUE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_SYNC_PERIOD).isEmpty());
    EXPECT_TRUE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_TEMPERATURE).isEmpty());
    EXPECT_EQ(Sel(Ahrs(), CDlgConfigAhrs::IDC_BAUD_UART1), 4);
    EXPECT_TRUE(Filter()->GetDlgItemText(CDlgConfigFilter::IDC_DRIFT_GAIN).isEmpty());
    EXPECT_EQ(Sel(Filter(), CDlgConfigFilter::IDC_GYRO_FULL_SCALE), 0);
    EXPECT_TRUE(Fft()->GetDlgItemText(CDlgConfigFft::IDC_ACCEL_THRESHOLD).isEmpty());
    EXPECT_EQ(Sel(Fft(), CDlgConfigFft::IDC_VIBRATION_SOURCE), 1);
    ASSERT_NE(g_pObjectAccess, nullptr);
    const bool fault = g_pObjectAccess->FaultTime() != 0;
    const bool noReply = g_pObjectAccess->NoReplyTime() != 0;
    EXPECT_TRUE(fault || noReply);
    EXPECT_NE(CTARVIK_UIDlg::StatusText(true, fault, noReply, 0), CTARVIK_UIDlg::StatusText(true, false, false, 0));
}

TEST_F(ConfigTest, DevicePageReadsItsReadingsOnlyWhileVisible) {
    REQUIRE_SIM();
    g_pAppIni->configTabSel = 1;
    Open();
    size_t before = Log().size();
    Ahrs()->OnTimer(CDlgConfigAhrs::TIMER_READINGS);
    EXPECT_EQ(Log().size(), before);
    dlg->TabHost()->SelectTab(0);
    Ahrs()->OnTimer(CDlgConfigAhrs::TIMER_READINGS);
    const std::string log = Log().substr(before);
    EXPECT_EQ(log, "get 0x30 0 1 float32\nget 0x32 0 1 float32\n");
    EXPECT_FALSE(Ahrs()->GetDlgItemText(CDlgConfigAhrs::IDC_TEMPERATURE).isEmpty());
}

TEST_F(ConfigTest, ButtonsFollowTheConnection) {
    REQUIRE_SIM();
    Open();
    dlg->OnTimer(CDlgConfig::TIMER_BUTTONS);
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_RESTART));
    DisconnectDevice();
    dlg->OnTimer(CDlgConfig::TIMER_BUTTONS);
    EXPECT_FALSE(Enabled(CDlgConfig::IDC_FACTORY_DEFAULT));
    EXPECT_FALSE(Enabled(CDlgConfig::IDC_RESTART));
    EXPECT_FALSE(Enabled(CDlgConfig::IDC_FLASH_WRITE));
    ASSERT_TRUE(ConnectDevice(link.c_str(), 115200, kTimeoutMs, 1, nullptr));
    dlg->OnTimer(CDlgConfig::TIMER_BUTTONS);
    EXPECT_TRUE(Enabled(CDlgConfig::IDC_FLASH_WRITE));
}

TEST_F(ConfigTest, CalibrationCellsMarkOnlyChangesSeenByPartialReads) {
    REQUIRE_SIM();
    Open();
    CDlgConfigCalib* calib = dlg->CalibPage();
    ASSERT_TRUE(Control("force 0x46:1 0.25"));
    calib->ReadCalibration(true);
    EXPECT_FALSE(calib->IsMarked(0, 1));  // a full read never marks
    ASSERT_TRUE(Control("force 0x46:1 0.5"));
    for (int i = 0; i < 4; ++i) calib->ReadCalibration(false);
    EXPECT_TRUE(calib->IsMarked(0, 1));
    EXPECT_FALSE(calib->IsMarked(0, 0));
    EXPECT_EQ(calib->GetDlgItemText(CDlgConfigCalib::IDC_FIRST_CELL + 3).toStdString(), "0.500000");
    dlg->ReloadFromDevice();
    EXPECT_FALSE(calib->IsMarked(0, 1));
}

}  // namespace
