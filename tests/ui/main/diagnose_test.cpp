// The connection dialog's port list (descriptions, followed while open) and
// its "Diagnose" button against tarvik-sim: a missing port, a port with
// nothing behind it, and a module at another rate, which "Use This Port" and
// "Connect" then reach.
#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "tests/support/child_process.h"
#include "ui/main/dlg_connection.h"
#include "ui/main/dlg_diagnosis.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <pty.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class DiagnoseTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_pAppIni = new CAppIni(m_dir.File("TARVIK_UI.ini"), false);
        g_pAppIni->saveOnExit = false;
        g_pAppIni->comBaudrate = 115200;
    }
    void TearDown() override {
        m_dlg.reset();
        DisconnectDevice();
        delete g_pAppIni;
        g_pAppIni = nullptr;
        if (m_master >= 0) ::close(m_master);
        if (m_slave >= 0) ::close(m_slave);
    }
    void Open(const std::string& root = "/") {
        m_dlg = std::make_unique<CDlgConnection>(root);
        ASSERT_TRUE(m_dlg->Create());
        m_dlg->show();
    }
    QComboBox* Combo(int id) const { return qobject_cast<QComboBox*>(m_dlg->GetDlgItem(id)); }
    void Click(QWidget* w) const { QTest::mouseClick(w, Qt::LeftButton); }
    // Types the port and a generous time-out (a loaded machine answers
    // late), presses "Diagnose" and waits for the diagnosis to end.
    CDlgDiagnosis* Diagnose(const std::string& port, bool wait = true) {
        Combo(CDlgConnection::IDC_PORT)->setEditText(QString::fromStdString(port));
        m_dlg->SetDlgItemText(CDlgConnection::IDC_TIMEOUT, "200");
        Click(m_dlg->GetDlgItem(CDlgConnection::IDC_DIAGNOSE));
        CDlgDiagnosis* diag = m_dlg->Diagnosis();
        if (diag && wait) {
            EXPECT_TRUE(QTest::qWaitFor([diag] { return !diag->IsRunning(); }, 60000));
        }
        return diag;
    }
    // A pseudo-terminal that nobody answers on; its master stays open.
    std::string SilentPort() {
        char name[128] = {};
        EXPECT_EQ(::openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        return name;
    }
    static bool Has(const QString& text, const std::string& part) {
        return text.contains(QString::fromStdString(part));
    }

    CTempDir m_dir;
    std::unique_ptr<CDlgConnection> m_dlg;
    int m_master = -1, m_slave = -1;
};

TEST_F(DiagnoseTest, AMissingPortShowsTheLinesOfTheToolWithItsFix) {
    Open();
    const std::string missing = m_dir.File("ttyUSB9");
    CDlgDiagnosis* diag = Diagnose(missing);
    ASSERT_NE(diag, nullptr);
    EXPECT_EQ(diag->windowTitle(), QString("Connection Diagnosis"));
    const QString text = diag->Text();
    EXPECT_TRUE(Has(text, "  PROBLEM: the device is missing: " + missing + " does not exist\n    fix: plug the module in"))
        << text.toStdString();
    // The lines of `tarvik-cli doctor --port PATH`, up to its result line.
    const ProgramResult cli = RunProgram({BinDir() + "/tarvik-cli", "--port", missing, "doctor"}, {}, 60);
    std::vector<std::string> lines = Lines(cli.out);
    ASSERT_GE(lines.size(), 2u) << cli.out << cli.err;
    lines.pop_back();
    std::string head;
    for (const std::string& l : lines) head += l + "\n";
    EXPECT_TRUE(text.startsWith(QString::fromStdString(head))) << text.toStdString() << "---\n" << head;
    EXPECT_FALSE(diag->GetDlgItem(CDlgDiagnosis::IDC_USE_PORT)->isEnabled());
    qobject_cast<QPushButton*>(diag->GetDlgItem(CDlgDiagnosis::IDC_COPY))->click();  // the lines, fixes included
    EXPECT_EQ(QApplication::clipboard()->text(), text);
}

TEST_F(DiagnoseTest, APortWithNothingBehindItRunsWithoutBlockingAndSaysNothingAnswered) {
    Open();
    const std::string port = SilentPort();
    CDlgDiagnosis* diag = Diagnose(port, false);
    ASSERT_NE(diag, nullptr);
    EXPECT_TRUE(diag->IsRunning());  // the button came back before the rate scan ended
    ASSERT_TRUE(QTest::qWaitFor([diag] { return !diag->IsRunning(); }, 60000));
    const QString text = diag->Text();
    for (uint32_t rate : od::kBaudRates)
        EXPECT_TRUE(Has(text, "  " + std::to_string(rate) + " bit/s: nothing answered")) << text.toStdString();
    EXPECT_TRUE(Has(text, "other ports, since no module answered on " + port)) << text.toStdString();
    EXPECT_FALSE(diag->GetDlgItem(CDlgDiagnosis::IDC_USE_PORT)->isEnabled());
}

TEST_F(DiagnoseTest, CancelStopsTheRateScan) {
    Open();
    const std::string port = SilentPort();
    CDlgDiagnosis* diag = Diagnose(port, false);
    ASSERT_NE(diag, nullptr);
    Click(diag->GetDlgItem(IDCANCEL));
    ASSERT_TRUE(QTest::qWaitFor([diag] { return !diag->IsRunning(); }, 10000));
    EXPECT_TRUE(diag->Report().cancelled);
    EXPECT_FALSE(Has(diag->Text(), "921600 bit/s")) << diag->Text().toStdString();
    EXPECT_TRUE(diag->isVisible());  // the lines so far stay on screen
    EXPECT_EQ(diag->GetDlgItemText(IDCANCEL), QString("Close"));
}

TEST_F(DiagnoseTest, AModuleAtAnotherRateIsReachedThroughUseThisPortAndConnect) {
    CSimProcess sim;
    const std::string link = m_dir.File("tty");
    if (!sim.Start(link, {"--no-pace", "--baud", "57600"})) GTEST_SKIP() << sim.Error();
    Open();
    CDlgDiagnosis* diag = Diagnose(link);
    ASSERT_NE(diag, nullptr);
    EXPECT_TRUE(Has(diag->Text(), "  38400 bit/s: nothing answered")) << diag->Text().toStdString();
    EXPECT_TRUE(Has(diag->Text(), "  57600 bit/s: a module answered: product 1011 (Tarvik)")) << diag->Text().toStdString();
    QWidget* use = diag->GetDlgItem(CDlgDiagnosis::IDC_USE_PORT);
    ASSERT_TRUE(use->isEnabled());
    Click(use);
    EXPECT_FALSE(diag->isVisible());
    EXPECT_EQ(Combo(CDlgConnection::IDC_BAUD)->currentText(), QString("57600"));
    EXPECT_EQ(m_dlg->PortPath(), QString::fromStdString(link));

    Click(m_dlg->GetDlgItem(IDOK));  // "Connect"
    EXPECT_STREQ(g_pAppIni->comPort, link.c_str());
    EXPECT_EQ(g_pAppIni->comBaudrate, 57600);
    // What the main window's Connect does with the stored settings.
    ASSERT_TRUE(ConnectDevice(g_pAppIni->comPort, g_pAppIni->comBaudrate, g_pAppIni->trTimeout,
                              g_pAppIni->deviceID, nullptr));
    int32_t product = 0;
    EXPECT_TRUE(g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &product, 1));
    EXPECT_EQ(product, od::kProductTarvik);
}

// The chosen port has nothing behind it; the diagnosis searches the other
// ports of the dialog's (fake) tree and finds the module on ttyUSB7.
TEST_F(DiagnoseTest, AModuleOnAnotherPortIsReachedThroughUseThisPortAndConnect) {
    CSimProcess sim;
    if (!sim.Start(m_dir.File("tty"), {"--no-pace"})) GTEST_SKIP() << sim.Error();
    fs::create_directories(m_dir.File("sys/class/tty/ttyUSB7/device/driver"));
    fs::create_directories(m_dir.File("dev"));
    fs::create_directories(m_dir.File("proc"));  // no services, no holders
    const std::string other = m_dir.File("dev/ttyUSB7");
    fs::create_symlink(m_dir.File("tty"), other);
    Open(m_dir.Path());
    CDlgDiagnosis* diag = Diagnose(m_dir.File("ttyUSB9"));
    ASSERT_NE(diag, nullptr);
    ASSERT_TRUE(diag->GetDlgItem(CDlgDiagnosis::IDC_USE_PORT)->isEnabled()) << diag->Text().toStdString();
    Click(diag->GetDlgItem(CDlgDiagnosis::IDC_USE_PORT));
    EXPECT_EQ(m_dlg->PortPath(), QString::fromStdString(other));
    EXPECT_EQ(Combo(CDlgConnection::IDC_BAUD)->currentText(), QString("115200"));
    Click(m_dlg->GetDlgItem(IDOK));  // "Connect"
    EXPECT_STREQ(g_pAppIni->comPort, other.c_str());
    EXPECT_TRUE(ConnectDevice(g_pAppIni->comPort, g_pAppIni->comBaudrate, g_pAppIni->trTimeout,
                              g_pAppIni->deviceID, nullptr));
}

// A fake sysfs tree with USB bridges that come and go.
class PortListTest : public DiagnoseTest {
protected:
    void Bridge(const std::string& tty, const std::string& usb, const std::string& serial) {
        const fs::path root = m_dir.Path();
        const fs::path device = root / "sys" / "devices" / "usb1" / usb;
        const fs::path port = device / (usb + ":1.0") / tty;
        fs::create_directories(port);
        fs::create_directories(root / "sys" / "drivers" / "ftdi_sio");
        std::ofstream(device / "idVendor") << "0403\n";
        std::ofstream(device / "manufacturer") << "FTDI\n";
        std::ofstream(device / "product") << "FT232R USB UART\n";
        std::ofstream(device / "serial") << serial << "\n";
        fs::create_directory_symlink(root / "sys" / "drivers" / "ftdi_sio", port / "driver");
        fs::create_directories(root / "sys" / "class" / "tty" / tty);
        fs::create_directory_symlink(port, root / "sys" / "class" / "tty" / tty / "device");
        fs::create_directories(root / "dev");
        std::ofstream(root / "dev" / tty).put('\0');
    }
    std::string Dev(const std::string& tty) const { return m_dir.File("dev/" + tty); }
};

TEST_F(PortListTest, EntriesShowTheDescriptionAndStoreThePathAlone) {
    Bridge("ttyUSB0", "1-2", "A50285BI");
    Open(m_dir.Path());
    QComboBox* port = Combo(CDlgConnection::IDC_PORT);
    ASSERT_EQ(port->count(), 1);
    EXPECT_EQ(port->itemText(0), QString::fromStdString(Dev("ttyUSB0") + " - FTDI FT232R USB UART (A50285BI)"));
    port->setCurrentIndex(0);
    Click(m_dlg->GetDlgItem(IDOK));
    EXPECT_STREQ(g_pAppIni->comPort, Dev("ttyUSB0").c_str());
}

TEST_F(PortListTest, APortPluggedInOrPulledWhileOpenShowsWithinASecondAndTheChoiceStays) {
    Bridge("ttyUSB0", "1-2", "A50285BI");
    Open(m_dir.Path());
    QComboBox* port = Combo(CDlgConnection::IDC_PORT);
    port->setCurrentIndex(0);
    Bridge("ttyUSB1", "1-3", "B7");
    EXPECT_TRUE(QTest::qWaitFor([port] { return port->count() == 2; }, 2500));
    EXPECT_EQ(m_dlg->PortPath(), QString::fromStdString(Dev("ttyUSB0")));
    fs::remove_all(m_dir.File("sys/class/tty/ttyUSB1"));
    EXPECT_TRUE(QTest::qWaitFor([port] { return port->count() == 1; }, 2500));
    EXPECT_EQ(m_dlg->PortPath(), QString::fromStdString(Dev("ttyUSB0")));
}

}  // namespace
