// The connection dialog: full-length port paths, the refused ones, and the
// limits of the transaction time-out.
#include "app/app_ini.h"
#include "tests/support/window_fixture.h"
#include "ui/main/dlg_connection.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

class ConnectionDialogRules : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        CAppIni::SetText(g_pAppIni->comPort, "/dev/ttyUSB0");
        g_pAppIni->trTimeout = 45;
        ASSERT_TRUE(m_dlg.Create());
        m_dlg.show();
    }
    // Types the fields and presses "Connect"; returns the text of the
    // message box that came up (empty: none).
    QString Connect(const QString& port, const QString& timeout) {
        qobject_cast<QComboBox*>(m_dlg.GetDlgItem(CDlgConnection::IDC_PORT))->setEditText(port);
        m_dlg.SetDlgItemText(CDlgConnection::IDC_TIMEOUT, timeout);
        QString message;
        QTimer::singleShot(0, [&message] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(m_dlg.GetDlgItem(IDOK), Qt::LeftButton);
        QApplication::processEvents();
        return message;
    }
    CDlgConnection m_dlg;
};

TEST_F(ConnectionDialogRules, AByIdPathIsStoredWhole) {
    const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0") +
                         QString(150, QChar('x'));
    EXPECT_EQ(Connect(byId, "45"), QString());
    EXPECT_EQ(QString::fromLocal8Bit(g_pAppIni->comPort), byId);
}

TEST_F(ConnectionDialogRules, APathLongerThan259CharactersIsRefusedWithAMessage) {
    const QString tooLong = "/dev/" + QString(255, QChar('y'));
    const QString message = Connect(tooLong, "45");
    EXPECT_TRUE(message.contains("longer than 259 characters")) << message.toStdString();
    EXPECT_STREQ(g_pAppIni->comPort, "/dev/ttyUSB0");
    EXPECT_TRUE(m_dlg.isVisible());  // still open for a correction
}

TEST_F(ConnectionDialogRules, TimeOutIsLimitedTo10To10000) {
    Connect("/dev/ttyUSB0", "0");
    EXPECT_EQ(g_pAppIni->trTimeout, 10);
}

TEST_F(ConnectionDialogRules, HugeTimeOutIsLimitedTo10000) {
    Connect("/dev/ttyUSB0", "99999999999");
    EXPECT_EQ(g_pAppIni->trTimeout, 10000);
}

TEST_F(ConnectionDialogRules, EmptyTimeOutKeepsTheStoredOne) {
    Connect("/dev/ttyUSB0", "");
    EXPECT_EQ(g_pAppIni->trTimeout, 45);
}

}  // namespace

// Every label shows its whole text on one line, and no two visible controls overlap.
TEST_F(ConnectionDialogRules, LabelsFitTheirWidthAndControlsDoNotOverlap) {
    std::vector<QWidget*> shown;
    for (QWidget* w : m_dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || w->y() >= m_dlg.height()) continue;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
        }
        for (QWidget* other : shown)
            EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                << w->metaObject()->className() << " / " << other->metaObject()->className();
        shown.push_back(w);
    }
    EXPECT_GE(shown.size(), 8u);
}
