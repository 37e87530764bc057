#pragma once
// CDlgMainSync: the main window's "Sync. data" page (template 157). It shows
// how the module's synchronous data stream is configured (objects 0x1f,
// 0x1e, 0x20), receives the stream from the connection's serial port every
// 10 ms while Run is active (also while another tab is selected), shows it in
// a scrolling text box trimmed by halves, and writes it verbatim to the
// export file "sync_file". The lamp is green exactly while the export file is
// open; a file that cannot be opened or written is said in a message.
#include "device/sync_receiver.h"
#include "ui/toolkit/dialog.h"
#include "ui/toolkit/file_dialog.h"

#include <QPixmap>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

class IndicatorImages;
class QMessageBox;
class QShowEvent;

class CDlgMainSync : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 157,
        IDC_LAMP = 1095,
        IDC_PATH = 1081,
        IDC_BROWSE = 1093,
        IDC_RUN = 1013,
        IDC_FREEZE = 1009,
        IDC_TEXT = 1094,
        IDC_CONFIG = 1083,
        IDC_CLEAR = 1117,
        TIMER_STATE = 1000,
        TIMER_RECEIVE = 1001,
        STATE_PERIOD_MS = 100,
        RECEIVE_PERIOD_MS = 10,
        READ_MAX = CSyncReceiver::READ_MAX,  // bytes taken per tick at most
        TEXT_LIMIT = 80000,     // characters the text box holds at most
        TRIM_ABOVE = 64000,     // beyond this the older half of the lines goes
        SKIP_CHUNKS = CSyncReceiver::SKIP_CHUNKS,  // ticks thrown away after Run
        LAMP_OFF = 149,
        LAMP_ON = 151,
    };

    explicit CDlgMainSync(QWidget* parent = nullptr);
    ~CDlgMainSync() override;

    static const DialogTemplate& PageTemplate();

    // Shows the module's sync configuration (the main window calls it after
    // each successful connect).
    void ShowConfiguration();

    // The configuration line for what the module reported.
    static QString ConfigurationLine(bool connected, int32_t period, int32_t port, int32_t selection);

    // Closes the export file when one is open; the lamp turns grey (the main
    // window calls it before it closes).
    void CloseExportFile();
    bool HasOpenExportFile() const { return m_file != nullptr; }

    // The lamp shown: LAMP_ON (green) or LAMP_OFF (grey).
    int IndicatorId() const { return m_lampId; }
    // The lamp pictures (the eight indicator images, made as start-up makes them).
    const QPixmap& Lamp(int id) const;
    // Why the last open or write of the export file failed; empty when none did.
    const QString& ExportError() const { return m_exportError; }

    // Replaces the save dialog of the browse button (tests answer it).
    using SavePrompt = std::function<QString(const SaveFileRequest&)>;
    void SetSavePrompt(SavePrompt prompt) { m_prompt = std::move(prompt); }

    // One reception step on the connection's port (CSyncReceiver): what is
    // queued, at most READ_MAX bytes (and the LF behind a final CR), goes to
    // the export file and the text box. display false only flushes the
    // queue and restarts the skip count.
    void Receive(bool display);
    int ChunksToSkip() const { return m_receiver.ChunksToSkip(); }
    // The receiver of the stream (a session recording listens to it).
    CSyncReceiver& Receiver() { return m_receiver; }

    void OnTimer(int id) override;
    void OnCommand(int id) override;

protected:
    bool OnInitDialog() override;
    // Enter and Escape on the page close the export file.
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void showEvent(QShowEvent* event) override;

private:
    void UpdateConfiguration();
    void Run();
    void Freeze();
    void Browse();
    void Clear();
    void SetIndicator(int id);
    // Closes the file; the lamp turns grey. Returns false when the last
    // buffered bytes could not be written.
    bool CloseFile();
    void ReportFileError(const QString& text);
    void ShowChunk(const char* data, int length);
    void ShowStart(int id);

    std::FILE* m_file = nullptr;
    QString m_filePath;
    int m_lampId = LAMP_OFF;
    QString m_exportError;
    QPointer<QMessageBox> m_errorBox;
    SavePrompt m_prompt;
    bool m_lastConnected = false;
    CSyncReceiver m_receiver;
    mutable std::unique_ptr<IndicatorImages> m_lamps;
};
