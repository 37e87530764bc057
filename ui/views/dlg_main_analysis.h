#pragma once
// CDlgMainAnalysis: what the "Frequency" and "Vibration" pages have in
// common. Each chooses a source of the module's analysis from a list, polls
// the results every 100 ms while it is visible and Run is pressed (Freeze
// stops it; the choice is remembered in a settings flag), reads the source
// again and redraws whenever it is shown, and enables its controls with the
// last read. A page supplies its template, its source object and list, its
// flag, and its own update and plot.
#include "device/object_dictionary.h"
#include "ui/toolkit/dialog_common.h"

#include <cstdint>

class CAppIni;
class CPlotFrame;
class QShowEvent;

class CDlgMainAnalysis : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDC_SOURCE = 1115,
        IDC_RUN = 1013,
        IDC_FREEZE = 1009,
        IDC_PLOT = 1004,
        TIMER_POLL = 1000,
        POLL_PERIOD_MS = 100,
        FULL_UPDATE_MS = 1000,
    };

    // What tells one page from the other.
    struct Setup {
        uint16_t sourceObject;      // written from the list, read back
        od::SourceList sources;     // list position = source value
        int CAppIni::*runFlag;      // 1 while Run is pressed
    };

    ~CDlgMainAnalysis() override;

    // Reads the source back from the module and redraws (the main window
    // calls it after each successful connect).
    void RefreshSource();

    int Source() const { return m_source; }
    CPlotFrame* Plot() const { return m_plot; }

    void OnTimer(int id) override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;

protected:
    CDlgMainAnalysis(const DialogTemplate& dialogTemplate, const Setup& setup, QWidget* parent);

    bool OnInitDialog() override;
    void showEvent(QShowEvent* event) override;

    // Called after the source was read from the module successfully.
    virtual void SourceRead() {}
    // Reads the results and shows them; force redraws the plot at once.
    virtual void Update(bool force) = 0;
    virtual void DrawPlot() = 0;

    // While nothing changes the plot is redrawn once a second: false only when
    // not forced, the last full update is younger than that, saw the same
    // success, and the page's values are unchanged.
    bool FullUpdateDue(bool force, uint32_t now, bool ok, bool unchanged) const;
    // Redraws, enables the controls with the read and notes the time.
    void FullUpdate(uint32_t now, bool ok);

    CPlotFrame* m_plot = nullptr;
    int32_t m_source = 0;

private:
    void Refresh();
    void SelectSource();

    Setup m_setup;
    uint32_t m_lastFullUpdate = 0;
    bool m_lastOk = false;
};
