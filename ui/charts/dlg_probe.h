#pragma once
// CDlgProbe: the modeless "Probe Dialog" (template 161). It asks the module to
// capture one block of raw or processed sensor samples (eight sources), waits
// for the block to be ready, reads it in chunks of 32 values and plots it; the
// plot zooms with the mouse, a cross-hair reads values under the pointer, the
// probe can repeat itself, and the block can be saved as a comma-separated file.
//
// Timers: 1000 polls the status word every 100 ms until the block is ready
// (at most 300 polls), 1001 reads the block, 1002 starts the next probe 300 ms
// after a block when Repeat is checked.
#include "ui/charts/probe_plot_math.h"
#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/tool_window.h"

#include <QString>

#include <cstdint>
#include <functional>

class CProbePlotView;

class CDlgProbe : public CToolWindow, public CNotifySink {
    Q_OBJECT
public:
    enum : int { IDD = 161 };
    enum : int {
        IDC_SOURCE = 1102,
        IDC_PROBE = 1103,
        IDC_REPEAT = 1104,
        IDC_DELAY = 1105,
        IDC_READOUT = 1118,
        IDC_STATUS = 1094,
        IDC_SAVE = 1107,
        IDC_PLOT = 1119,  // the plot surface below the controls
    };
    enum : int { TIMER_POLL = 1000, TIMER_READ = 1001, TIMER_REPEAT = 1002 };
    enum : int { kPollMs = 100, kReadMs = 30, kRepeatMs = 300, kMaxPolls = 300, kRequestAttempts = 3 };
    // Values per chunk read. A chunk whose read fails is tried again on the
    // following ticks for kChunkRetryMs before it counts as missing: after a
    // module that did not answer, the link refuses calls for 1 s, so the
    // retries span about three real exchanges.
    enum : int { kChunkRetryMs = 2500 };

    CDlgProbe();
    ~CDlgProbe() override;

    static const DialogTemplate& WindowTemplate();

    // Asks the module for a block of the selected source with the edit's delay.
    void RequestProbe();
    // Asks for a file name and writes the block as plot data.
    void SavePlotData();

    // Where SavePlotData gets its file name: the save dialog unless a test
    // sets another prompt. Returns false for Cancel.
    using PathPrompt = std::function<bool(QString& path)>;
    void SetPathPrompt(PathPrompt prompt) { m_prompt = std::move(prompt); }

    CProbePlotView* PlotView() const { return m_view; }
    const int32_t* Buffer() const { return m_buffer; }
    int32_t CurrentProbeCode() const { return m_code; }
    int32_t Total() const { return m_total; }
    int32_t Position() const { return m_position; }
    // Values of the current block that could not be read.
    int32_t Missing() const { return m_missing; }
    bool BlockComplete() const { return m_code != 0 && m_position >= m_total && m_missing == 0; }
    // Duration of the last block read-out (the chunk reads of timer 1001,
    // without the waits between its ticks), ms.
    double LastReadOutMs() const { return m_lastReadOutMs; }
    static int PollCounter();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;
    long OnControlNotify(int id, int code, QWidget* control) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Placement PlacementKeys() const override;
    void ClearBlock();
    void PollStatus();
    void ReadBlock();
    void UpdateReadOut();
    void RightClick();
    void PlacePlot();
    int Delay() const;
    bool WriteFile(const QString& path);

    CProbePlotView* m_view = nullptr;
    int m_plotTop = 0;
    int32_t m_status = 0;
    int32_t m_code = 0;
    int32_t m_total = 0;
    int32_t m_position = 0;
    int32_t m_missing = 0;
    int32_t m_buffer[kProbeBufferSize] = {};
    uint8_t m_valid[kProbeBufferSize] = {};
    double m_lastReadOutMs = 0;
    double m_readOutMs = 0;         // read-out time of the block so far
    uint32_t m_chunkFailedAt = 0;   // tick of the current chunk's first failure, 0 when none
    PathPrompt m_prompt;
};
