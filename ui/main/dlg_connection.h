#pragma once
// CDlgConnection: the "Connection" dialog (template 132). The user picks the
// serial port, the baud rate ("Auto detect" or a rate, typed or from the list)
// and the transaction time-out; "Connect" writes them, with the device id, into
// the settings record and ends with IDOK; "Cancel" changes nothing.
//
// The port list shows each port with what the system knows of it
// ("/dev/ttyUSB0 - FTDI FT232R USB UART (A50285BI)"); the path alone is what
// is stored. The list is read when the dialog opens and again every second, so
// that a bridge plugged in shows up while the dialog is open. "Diagnose" runs
// the doctor on the chosen port in the "Connection Diagnosis" window, whose
// "Use This Port" puts the port and rate where the module answered into the
// fields.
#include "device/port_info.h"
#include "ui/toolkit/dialog.h"

#include <QPointer>
#include <QString>

#include <string>
#include <vector>

class CDlgDiagnosis;

class CDlgConnection : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 132,
        IDC_PORT = 1031,
        IDC_BAUD = 1032,
        IDC_TIMEOUT = 1115,
        IDC_DEVICE_ID = 1021,
        IDC_DIAGNOSE = 1200,
        TIMER_PORTS = 1,
        PORTS_PERIOD_MS = 1000,
    };
    static constexpr const char* kAutoDetect = "Auto detect";

    // portRoot: the folder holding sys/ and dev/ that the port list is read
    // from and the diagnosis looks in ("/"; tests lay out a fake tree).
    explicit CDlgConnection(std::string portRoot = "/");
    ~CDlgConnection() override;

    static const DialogTemplate& DialogTemplate132();

    // Unsigned number at the start of a field's text, as the platform's
    // GetDlgItemInt reads it: a text that is not a number gives 0.
    static unsigned ParseUnsigned(const QString& text);
    // Why a port path cannot be stored (longer than 259 characters, or a
    // line break in it); empty when it can.
    static QString CheckPortPath(const QString& text);

    // The port the fields name: the path of the list entry shown, or the
    // text as typed.
    QString PortPath() const;
    // Reads the port list again; the entries change only when the ports did,
    // and the chosen port stays chosen while it is there.
    void RefreshPorts();
    // Puts a port and a rate into the fields (the diagnosis's "Use This Port").
    void UsePort(const QString& port, unsigned rate);
    // Runs the doctor on the chosen port in the diagnosis window.
    void Diagnose();
    // The diagnosis window of the last "Diagnose" (null before).
    CDlgDiagnosis* Diagnosis() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;

private:
    void FillPorts(const std::vector<SerialPortInfo>& ports);
    // The time-out field's value, limited as OnOK limits it; `fallback` when
    // the field holds no number.
    int TimeoutField(int fallback) const;

    std::string m_portRoot;
    std::vector<SerialPortInfo> m_ports;  // the list as shown
    QPointer<CDlgDiagnosis> m_diagnosis;
};
