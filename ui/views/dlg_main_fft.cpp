#include "ui/views/dlg_main_fft.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/views/plot_frame.h"

#include <QShowEvent>

#include <algorithm>
#include <cstring>

namespace {

const char* const kSources[5] = {
    "0 - (none)",
    "1 - Accl. raw input data (sampling freq. 10kHz)",
    "2 - Gyro. raw input data (sampling freq. 10kHz)",
    "3 - Accl. filtered data (sampling freq. 1kHz)",
    "4 - Gyro. filtered data (sampling freq. 1kHz)",
};
const char* const kUnits[5] = {"", "m/s^2", "deg/s", "m/s^2", "deg/s"};

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

CDlgMainFft::CDlgMainFft(QWidget* parent) : CDialogCommon(kTemplate164, parent) {}

CDlgMainFft::~CDlgMainFft() = default;

int CDlgMainFft::FrequencyRange(int32_t word99) { return std::max(int(uint32_t(word99) & 0xFFFF), 100); }

int CDlgMainFft::AmplitudeScale(int32_t word99) { return std::max(int(uint32_t(word99) >> 16), 1); }

int CDlgMainFft::BinAmplitude(int32_t word, int axis) { return (word >> (10 * axis)) & 0x3FF; }

QString CDlgMainFft::YLabel(double m, int amplitudeScale) {
    return QString::fromStdString(FormatC("%g", m / 1000.0 * amplitudeScale));
}

QString CDlgMainFft::XLabel(int k, int frequencyRange) {
    const double f = double(k * (frequencyRange / 100));
    if (f >= 1000.0) return QString::fromStdString(FormatC("%gK", f / 1000.0));
    return QString::fromStdString(FormatC("%g", f));
}

QString CDlgMainFft::SourceUnit(int source) {
    return QString::fromLatin1(kUnits[std::clamp(source, 0, 4)]);
}

QString CDlgMainFft::YTitle(int source) {
    return QStringLiteral("Amplitude [") + SourceUnit(source) + QStringLiteral("]");
}

bool CDlgMainFft::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    m_plot = CPlotFrame::ReplacePlaceholder(this, IDC_PLOT);

    SetRunFreezeIcons(IDC_RUN, IDC_FREEZE);
    for (int i = 0; i < 5; ++i) ComboInsertString(IDC_SOURCE, i, QString::fromLatin1(kSources[i]));

    Refresh();
    if (g_pAppIni && g_pAppIni->startFft != 0) {
        CheckDlgButton(IDC_RUN, true);
        g_pAppIni->startFft = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    }
    return true;
}

void CDlgMainFft::showEvent(QShowEvent* event) {
    CDialogCommon::showEvent(event);
    // Each showing reads the source again and redraws once (Run or Freeze).
    if (!event->spontaneous() && IsCreated()) Refresh();
}

void CDlgMainFft::RefreshSource() {
    ++reloadCalls;
    Refresh();
}

void CDlgMainFft::Refresh() {
    bool ok = false;
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_FFT_SOURCE, 0, &m_source, 1);
    m_source = std::clamp(m_source, 0, 4);
    if (ok) {
        ComboSetCurSel(IDC_SOURCE, m_source);
        SetDlgItemText(IDC_UNIT, SourceUnit(m_source));
    }
    Update(true);
}

void CDlgMainFft::SelectSource() {
    m_source = ComboGetCurSel(IDC_SOURCE);
    if (g_pObjectAccess) {
        int32_t value = m_source;
        g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_FFT_SOURCE, &value);
    }
    Refresh();
}

void CDlgMainFft::Update(bool force) {
    const uint32_t now = GetTickCountMs();
    bool ok = false;
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_PEAK, 0, m_peaks, 6);
    for (int i = 0; i < 6; ++i) SetDlgItemDouble(kFieldIds[i], m_peaks[i], ok);

    // While nothing changes, the spectrum is fetched and drawn once a second.
    if (!force && now - m_lastFullUpdate < uint32_t(FULL_UPDATE_MS) && ok == m_lastOk &&
        std::memcmp(m_peaks, m_lastPeaks, sizeof m_peaks) == 0)
        return;

    std::fill(std::begin(m_spectrum), std::end(m_spectrum), 0);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SPECTRUM, 0, m_spectrum, 50);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SPECTRUM, 50, m_spectrum + 50, 50);

    DrawPlot();

    EnableDlgItem(IDC_SOURCE, ok);
    EnableDlgItem(IDC_RUN, ok);
    EnableDlgItem(IDC_FREEZE, ok);

    m_lastOk = ok;
    std::memcpy(m_lastPeaks, m_peaks, sizeof m_peaks);
    m_lastFullUpdate = now;
}

void CDlgMainFft::DrawPlot() {
    if (!m_plot || !m_plot->HasSurface()) return;
    const int xRange = FrequencyRange(m_spectrum[99]);
    const int yScale = AmplitudeScale(m_spectrum[99]);

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
            for (int i = 0; i < SPECTRUM_BINS; ++i) {
                const int v = BinAmplitude(words[i], axis);
                const int x = PlotTrunc(double(a.right - a.left) / 100.0 * i + a.left);
                const int y = PlotTrunc(double(a.top - a.bottom) / 1000.0 * v + a.bottom);
                if (i == 0) dc.MoveTo(x, y);
                else dc.LineTo(x, y);
            }
        }
    };
    m_plot->Draw(QStringLiteral("Frequency [Hz]"), YTitle(m_source), scales, curves);
}

void CDlgMainFft::OnTimer(int id) {
    if (id == TIMER_POLL && IsWindowVisible()) Update(false);
    CDialogCommon::OnTimer(id);
}

void CDlgMainFft::OnCommand(int id) {
    if (id == IDC_RUN) {
        if (g_pAppIni) g_pAppIni->startFft = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    } else if (id == IDC_FREEZE) {
        if (g_pAppIni) g_pAppIni->startFft = 0;
        KillTimer(TIMER_POLL);
    }
    CDialogCommon::OnCommand(id);
}

void CDlgMainFft::OnSelChange(int id) {
    if (id == IDC_SOURCE) SelectSource();
    CDialogCommon::OnSelChange(id);
}
