#pragma once
// CDlgConnection: the "Connection" dialog (template 132). The user picks the
// serial port, the baud rate ("Auto detect" or a rate, typed or from the list)
// and the transaction time-out; "Connect" writes them, with the device id, into
// the settings record and ends with IDOK; "Cancel" changes nothing.
#include "ui/toolkit/dialog.h"

#include <QString>

class CDlgConnection : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 132,
        IDC_PORT = 1031,
        IDC_BAUD = 1032,
        IDC_TIMEOUT = 1115,
        IDC_DEVICE_ID = 1021,
    };
    static constexpr const char* kAutoDetect = "Auto detect";

    CDlgConnection();
    ~CDlgConnection() override;

    static const DialogTemplate& DialogTemplate132();

    // Unsigned number at the start of a field's text, as the platform's
    // GetDlgItemInt reads it: a text that is not a number gives 0.
    static unsigned ParseUnsigned(const QString& text);
    // Why a port path cannot be stored (longer than 259 characters, or a
    // line break in it); empty when it can.
    static QString CheckPortPath(const QString& text);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
};
