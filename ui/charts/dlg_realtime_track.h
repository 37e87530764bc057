#pragma once
// CDlgRealtimeTrack: the real-time chart window "Chart" (template 136). It
// reads one three-axis quantity of the module once per update period,
// smooths each axis with a moving average, keeps the last 240 samples and
// charts them against wall-clock time through the chart viewer; Freeze
// stops the drawing while sampling goes on, and "Export Records" records
// every sample to a capture file. The window is never narrower than its
// top row of controls.
#include "chart/moving_average.h"
#include "ui/toolkit/tool_window.h"

#include <QString>

#include <array>
#include <functional>

class CChartViewer;

class CDlgRealtimeTrack : public CToolWindow {
    Q_OBJECT
public:
    enum : int {
        IDD = 136,
        IDC_CHART_VIEWER = 1000,
        IDC_FREEZE = 1009,
        IDC_RUN = 1013,
        IDC_PERIOD = 1004,
        IDC_EXPORT = 1031,
        IDC_RECORD_COUNT = 1066,
        IDC_QUANTITY = 1083,
    };
    enum : int { kHistory = 240, kTimerAcquire = 1, kTimerRefresh = 2 };

    CDlgRealtimeTrack();
    ~CDlgRealtimeTrack() override;

    static const DialogTemplate& WindowTemplate();
    // The update period in milliseconds, one value for the whole program.
    static int UpdatePeriod();

    void ToggleRecording();
    // Asks for the capture path (the save-file dialog by default); returns
    // false when the user cancels. Tests put their own in.
    using PathPrompt = std::function<bool(QString& path)>;
    void SetPathPrompt(PathPrompt prompt) { m_prompt = std::move(prompt); }

    CChartViewer* Viewer() const { return m_viewer; }
    int QuantityIndex() const { return m_quantity; }
    int RecordingCounter() const { return m_recordCounter; }
    const QString& CapturePath() const { return m_capturePath; }
    // Why the last recording stopped by itself; empty when it did not.
    const QString& RecordingError() const { return m_recordError; }
    const std::array<double, kHistory>& Times() const { return m_time; }
    const std::array<double, kHistory>& HistoryX() const { return m_x; }
    const std::array<double, kHistory>& HistoryY() const { return m_y; }
    const std::array<double, kHistory>& HistoryZ() const { return m_z; }
    int ChartsBuilt() const { return m_chartsBuilt; }

protected:
    Placement PlacementKeys() const override;
    int MinimumWidth() const override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;
    void OnTimer(int id) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StartRun();
    void AcquireSample();
    void ClearHistory();
    void BuildChart();
    void OnViewerNotify(int id, int code);
    bool AskPath(QString& path);
    bool AppendToCapture(const char* text, size_t size, QString& error);
    void StopRecording(const QString& why);

    CChartViewer* m_viewer = nullptr;
    int m_quantity = 0;
    int m_recordCounter = 0;
    QString m_capturePath = QStringLiteral("capture.csv");
    MovingAverageFilter m_filter[3];
    std::array<double, kHistory> m_time{}, m_x{}, m_y{}, m_z{};
    PathPrompt m_prompt;
    QString m_recordError;
    int m_chartsBuilt = 0;
};
