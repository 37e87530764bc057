#pragma once
// CDlgMainFft: the main window's "Frequency" page (template 164). It chooses
// the module's FFT source (object 0x22), shows per axis the frequency and
// magnitude of the spectral maximum (0x3d) and plots the three spectra the
// module compresses into 99 packed bins (0x3e). Run and Freeze start and stop
// the 100 ms polling, which runs only while the page is visible; the choice
// is remembered in "startFft".
#include "ui/toolkit/dialog_common.h"

#include <QString>

#include <cstdint>

class CPlotFrame;
class QShowEvent;

class CDlgMainFft : public CDialogCommon {
    Q_OBJECT
public:
    enum : int {
        IDD = 164,
        IDC_SOURCE = 1115,
        IDC_RUN = 1013,
        IDC_FREEZE = 1009,
        IDC_PLOT = 1004,
        IDC_X_FREQUENCY = 1108,
        IDC_X_MAGNITUDE = 1109,
        IDC_Y_FREQUENCY = 1110,
        IDC_Y_MAGNITUDE = 1111,
        IDC_Z_FREQUENCY = 1112,
        IDC_Z_MAGNITUDE = 1113,
        IDC_UNIT = 1114,
        TIMER_POLL = 1000,
        POLL_PERIOD_MS = 100,
        FULL_UPDATE_MS = 1000,
        SPECTRUM_WORDS = 100,
        SPECTRUM_BINS = 99,
    };

    explicit CDlgMainFft(QWidget* parent = nullptr);
    ~CDlgMainFft() override;

    static const DialogTemplate& PageTemplate();

    // Reads the FFT source back from the module and redraws (the main window
    // calls it after each successful connect).
    void RefreshSource();
    // Number of RefreshSource calls from outside the page.
    int reloadCalls = 0;

    // The packed spectrum. Word 99: low 16 bits the frequency range in Hz
    // (below 100 counts as 100), high 16 bits the amplitude at full height
    // (0 counts as 1). Words 0..98: bits 0-9 x, 10-19 y, 20-29 z, on a scale
    // where 1000 is the full height.
    static int FrequencyRange(int32_t word99);
    static int AmplitudeScale(int32_t word99);
    static int BinAmplitude(int32_t word, int axis);
    // Tick labels: the y label at grid step m (0..1000) and the x label at
    // per cent k (0..100) of the width.
    static QString YLabel(double m, int amplitudeScale);
    static QString XLabel(int k, int frequencyRange);
    // The unit of the magnitudes of a source (empty for 0).
    static QString SourceUnit(int source);
    static QString YTitle(int source);

    int Source() const { return m_source; }
    const float* Peaks() const { return m_peaks; }
    const int32_t* Spectrum() const { return m_spectrum; }
    CPlotFrame* Plot() const { return m_plot; }

    void OnTimer(int id) override;
    void OnCommand(int id) override;
    void OnSelChange(int id) override;

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    void SelectSource();
    void Update(bool force);
    void DrawPlot();

    CPlotFrame* m_plot = nullptr;
    float m_peaks[6] = {0, 0, 0, 0, 0, 0};
    int32_t m_spectrum[SPECTRUM_WORDS] = {};
    int32_t m_source = 0;
    // What the last full update (spectrum read and redraw) saw.
    uint32_t m_lastFullUpdate = 0;
    bool m_lastOk = false;
    float m_lastPeaks[6] = {-1, 0, 0, 0, 0, 0};
};
