#include "ui/views/dlg_main_fft.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/views/plot_frame.h"

#include <algorithm>
#include <cstring>

namespace {

const ControlDef kControls164[] = {
    {-1, ControlKind::Static, "FFT source (fs):", 9, 10, 52, 8},
    {CDlgMainFft::IDC_SOURCE, ControlKind::ComboDropList, "", 64, 8, 209, 71, CS_TABSTOP | CS_VSCROLL},
    {CDlgMainFft::IDC_RUN, ControlKind::RadioButton, "Run", 301, 7, 20, 14, CS_GROUP | CS_PUSHLIKE | CS_ICON | CS_TABSTOP},
    {CDlgMainFft::IDC_FREEZE, ControlKind::RadioButton, "Freeze", 323, 7, 20, 14, CS_PUSHLIKE | CS_ICON},
    {CDlgMainFft::IDC_PLOT, ControlKind::StaticFrame, nullptr, 0, 27, 350, 259, CS_HIDDEN | CS_GROUP},
    {-1, ControlKind::GroupBox, "Frequency and magnitude at max amplitude (f)", 8, 294, 334, 69},
    {-1, ControlKind::Static, "x-axis (red)", 109, 308, 38, 8},
    {-1, ControlKind::Static, "y-axis (green)", 171, 308, 46, 8},
    {-1, ControlKind::Static, "z-axis (blue)", 231, 308, 40, 8},
    {-1, ControlKind::Static, "Frequency :", 63, 325, 40, 8},
    {-1, ControlKind::Static, "Magnitude :", 63, 343, 39, 8},
    {CDlgMainFft::IDC_X_FREQUENCY, ControlKind::Edit, "", 109, 320, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainFft::IDC_Y_FREQUENCY, ControlKind::Edit, "", 170, 320, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainFft::IDC_Z_FREQUENCY, ControlKind::Edit, "", 229, 320, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainFft::IDC_X_MAGNITUDE, ControlKind::Edit, "", 109, 340, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainFft::IDC_Y_MAGNITUDE, ControlKind::Edit, "", 170, 340, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainFft::IDC_Z_MAGNITUDE, ControlKind::Edit, "", 229, 340, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Hz", 284, 325, 20, 9},
    {CDlgMainFft::IDC_UNIT, ControlKind::Static, "m/s^2", 285, 343, 43, 9},
};

const DialogTemplate kTemplate164{CDlgMainFft::IDD, "", 350, 370, true, kControls164,
                                  static_cast<int>(sizeof kControls164 / sizeof kControls164[0])};

constexpr int kFieldIds[6] = {CDlgMainFft::IDC_X_FREQUENCY, CDlgMainFft::IDC_X_MAGNITUDE,
                              CDlgMainFft::IDC_Y_FREQUENCY, CDlgMainFft::IDC_Y_MAGNITUDE,
                              CDlgMainFft::IDC_Z_FREQUENCY, CDlgMainFft::IDC_Z_MAGNITUDE};

}  // namespace

const DialogTemplate& CDlgMainFft::PageTemplate() { return kTemplate164; }

CDlgMainFft::CDlgMainFft(QWidget* parent)
    : CDlgMainAnalysis(kTemplate164, {od::OBJ_FFT_SOURCE, od::FftSources(), &CAppIni::startFft}, parent) {}

CDlgMainFft::~CDlgMainFft() = default;

QString CDlgMainFft::YLabel(double m, int fullScale) {
    return QString::fromStdString(FormatC("%g", m / 1000.0 * fullScale));
}

QString CDlgMainFft::XLabel(int k, int spanHz) {
    const double f = double(k * (spanHz / 100));
    if (f >= 1000.0) return QString::fromStdString(FormatC("%gK", f / 1000.0));
    return QString::fromStdString(FormatC("%g", f));
}

QString CDlgMainFft::YTitle(int source) {
    return QStringLiteral("Amplitude [") + QString::fromLatin1(od::MagnitudeUnit(source)) + QStringLiteral("]");
}

void CDlgMainFft::SourceRead() { SetDlgItemText(IDC_UNIT, QString::fromLatin1(od::MagnitudeUnit(m_source))); }

void CDlgMainFft::Update(bool force) {
    const uint32_t now = GetTickCountMs();
    bool ok = false;
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_PEAK, 0, m_peaks, 6);
    for (int i = 0; i < 6; ++i) SetDlgItemDouble(kFieldIds[i], m_peaks[i], ok);

    // While nothing changes, the spectrum is fetched and drawn once a second.
    if (!FullUpdateDue(force, now, ok, std::memcmp(m_peaks, m_lastPeaks, sizeof m_peaks) == 0)) return;

    std::fill(std::begin(m_spectrum), std::end(m_spectrum), 0);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SPECTRUM, 0, m_spectrum, 50);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SPECTRUM, 50, m_spectrum + 50, 50);

    FullUpdate(now, ok);
    std::memcpy(m_lastPeaks, m_peaks, sizeof m_peaks);
}

void CDlgMainFft::DrawPlot() {
    if (!m_plot || !m_plot->HasSurface()) return;
    const int xRange = od::SpectrumSpanHz(m_spectrum[od::kSpectrumBins]);
    const int yScale = od::SpectrumFullScale(m_spectrum[od::kSpectrumBins]);

    auto scales = [xRange, yScale](CDrawContext& dc, const PlotArea& a) {
        // Eleven y labels from 0 to the full scale, nine dotted lines between.
        for (double m = 0.0; m <= 1000.000001; m += 100.0) {
            const int y = PlotTrunc(double(a.top - a.bottom) / 1000.0 * m + a.bottom);
            if (m > 0.0 && m < 999.999999) CPlotFrame::DottedLine(dc, a.left - 2, y, a.right, y);
            dc.TextOut(a.left - 5, y + 8, YLabel(m, yScale));
        }
        // A tick every per cent, longer every ten; a grid line and a label every twenty.
        dc.SetTextAlign(TextHAlign::Center, TextVAlign::Top);
        for (int k = 0; k <= 100; ++k) {
            const int x = PlotTrunc(double(a.right - a.left) / 100.0 * k + a.left);
            CPlotFrame::SolidLine(dc, x, a.bottom, x, a.bottom + (k % 10 == 0 ? 5 : 2));
            if (k % 20 == 0) {
                CPlotFrame::DottedLine(dc, x, a.bottom - 2, x, a.top + 1);
                dc.TextOut(x, a.bottom + 5, XLabel(k, xRange));
            }
        }
    };
    const int32_t* words = m_spectrum;
    auto curves = [words](CDrawContext& dc, const PlotArea& a) {
        const uint32_t pens[3] = {plotcolor::kX, plotcolor::kY, plotcolor::kZ};
        for (int axis = 0; axis < 3; ++axis) {
            CPlotFrame::CurvePen(dc, pens[axis]);
            for (int i = 0; i < od::kSpectrumBins; ++i) {
                const od::SpectrumBin bin = od::UnpackSpectrumBin(words[i]);
                const int v = axis == 0 ? bin.x : axis == 1 ? bin.y : bin.z;
                const int x = PlotTrunc(double(a.right - a.left) / 100.0 * i + a.left);
                const int y = PlotTrunc(double(a.top - a.bottom) / 1000.0 * v + a.bottom);
                if (i == 0) dc.MoveTo(x, y);
                else dc.LineTo(x, y);
            }
        }
    };
    m_plot->Draw(QStringLiteral("Frequency [Hz]"), YTitle(m_source), scales, curves);
}
