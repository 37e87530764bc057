#pragma once
// CTARVIK_UIDlg: the main window (template 102). It hosts the five pages in
// its tab control, owns the device connection (Connect/Disconnect) and the two
// tool windows, and shows the connection state and the module's error flags
// in the status bar, polled every 200 ms by timer 1000. Beside the buttons of
// the button row, "Record" records the session (every exchange any window
// makes and the sync text) into a file.
#include "ui/toolkit/dialog_common.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class CTabDialog;
class CDlgMainAhrs;
class CDlgMainFft;
class CDlgMainVibr;
class CDlgMainSync;
class CDlgConfig;
class CDlgRealtimeTrack;
class CDlgProbe;
class CObjectAccess;
class QFont;
class QLabel;
class CSessionLink;

class CTARVIK_UIDlg : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDD = 102,
        IDC_CONNECT = 1032,
        IDC_HELP = 1033,
        IDC_CHART = 1034,
        IDC_MAP = 1035,
        IDC_ABOUT = 1036,
        IDC_STATUS = 1097,
        IDC_PROBE = 1103,
        IDC_TAB = 1116,
        IDC_MAKER = 1126,
        IDC_PRODUCT = 1159,
        TIMER_STATUS = 1000,
        STATUS_PERIOD_MS = 200,
        kTabCount = 5,
        kSyncTab = 3,
        // Ours: the session recording, in the button row.
        IDC_RECORD = 1421,
        TIMER_RECORD = 1421,
        RECORD_PERIOD_MS = 500,
    };
    static constexpr const char* kTitle = "Brisknode Tarvik UI";

    enum class StatusColour { Normal, Yellow, Orange, Red };

    CTARVIK_UIDlg();
    ~CTARVIK_UIDlg() override;

    static const DialogTemplate& DialogTemplate102();

    // Connect with the stored settings (trying every rate when "comBaudrate"
    // is below 1); on success the pages reload and the title and button change.
    bool Connect();
    void Disconnect();

    // The status line for the given inputs ("&&" kept as in the message
    // table; the label shows it as "&") and its background colour.
    static QString StatusText(bool connected, bool fault, bool noReply, int32_t statusWord);
    static StatusColour StatusColourOf(bool connected, bool fault, bool noReply, int32_t statusWord);

    void OnTimer(int id) override;
    void OnCommand(int id) override;

    // From the command line, before the window is made: record into this
    // file as soon as the program is connected; feed every read to this
    // UDP host:port; the note the title carries (a replay).
    void SetSessionOptions(const std::string& recordPath, const std::string& udp, const QString& titleNote);
    CSessionLink* Session() const { return m_session.get(); }

    // Read-outs for tests and the start-up code.
    CTabDialog* TabHost() const { return m_tabs; }
    CDlgMainSync* SyncPage() const { return m_pageSync; }
    CDlgMainFft* FftPage() const { return m_pageFft; }
    CDlgMainVibr* VibrPage() const { return m_pageVibr; }
    CDlgConfig* ConfigPage() const { return m_pageConfig; }
    CDlgRealtimeTrack* ChartWindow() const { return m_chart; }
    CDlgProbe* ProbeWindow() const { return m_probe; }
    int32_t StatusWord() const { return m_statusWord; }
    StatusColour CurrentStatusColour() const { return m_statusColour; }
    // How many times the status bar text was rewritten.
    int StatusRewrites() const { return m_statusRewrites; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void StoreOnClose();
    void UpdateStatusBar();
    void ToggleToolWindow(QWidget* window, int& setting);
    void SetConnectButtonText(const char* text);
    void SetStatusTip(const QString& text);
    void SetTitle(const QString& title);
    void StartRecording(const std::string& path);
    void StopRecording();
    void ToggleRecording();
    void UpdateRecordButton();

    CTabDialog* m_tabs = nullptr;
    CDlgMainAhrs* m_pageAhrs = nullptr;
    CDlgMainFft* m_pageFft = nullptr;
    CDlgMainVibr* m_pageVibr = nullptr;
    CDlgMainSync* m_pageSync = nullptr;
    CDlgConfig* m_pageConfig = nullptr;
    CDlgRealtimeTrack* m_chart = nullptr;
    CDlgProbe* m_probe = nullptr;
    QFont* m_titleFont = nullptr;
    QFont* m_captionFont = nullptr;
    int32_t m_statusWord = 0;
    StatusColour m_statusColour = StatusColour::Normal;
    int m_statusRewrites = 0;

    // Sync-tab rule: the last state and the tool windows' remembered visibility.
    bool m_lastSyncShown = false;
    bool m_chartWasVisible = false;
    bool m_probeWasVisible = false;
    // Last status inputs; the bar is rewritten only when one of them changes.
    const CObjectAccess* m_lastAccess = nullptr;
    int32_t m_lastStatusWord = -1;
    bool m_lastFault = false;
    bool m_lastNoReply = false;

    std::unique_ptr<CSessionLink> m_session;
    std::string m_recordOnConnect;  // --record: starts with the first connection
    std::string m_udp;              // --udp
    QString m_titleNote;
};
