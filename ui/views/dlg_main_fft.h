#pragma once
// CDlgMainFft: the main window's "Frequency" page (template 164). It chooses
// the module's FFT source (object 0x22), shows per axis the frequency and
// magnitude of the spectral maximum (0x3d) and plots the three spectra the
// module compresses into 99 packed bins (0x3e). Run and Freeze start and stop
// the 100 ms polling, which runs only while the page is visible; the choice
// is remembered in "startFft".
#include "ui/views/dlg_main_analysis.h"

#include <QString>

#include <cstdint>

class CDlgMainFft : public CDlgMainAnalysis {
    Q_OBJECT
public:
    enum : int {
        IDD = 164,
        IDC_X_FREQUENCY = 1108,
        IDC_X_MAGNITUDE = 1109,
        IDC_Y_FREQUENCY = 1110,
        IDC_Y_MAGNITUDE = 1111,
        IDC_Z_FREQUENCY = 1112,
        IDC_Z_MAGNITUDE = 1113,
        IDC_UNIT = 1114,
    };

    explicit CDlgMainFft(QWidget* parent = nullptr);
    ~CDlgMainFft() override;

    static const DialogTemplate& PageTemplate();

    // Tick labels: the y label at grid step m (0..1000) and the x label at
    // per cent k (0..100) of the width.
    static QString YLabel(double m, int fullScale);
    static QString XLabel(int k, int spanHz);
    static QString YTitle(int source);

    const float* Peaks() const { return m_peaks; }
    const int32_t* Spectrum() const { return m_spectrum; }

protected:
    void SourceRead() override;
    void Update(bool force) override;
    void DrawPlot() override;

private:
    float m_peaks[6] = {0, 0, 0, 0, 0, 0};
    int32_t m_spectrum[od::kSpectrumWords] = {};
    // The peaks the last full update (spectrum read and redraw) saw.
    float m_lastPeaks[6] = {-1, 0, 0, 0, 0, 0};
};
