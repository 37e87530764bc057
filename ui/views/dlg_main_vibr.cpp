#include "ui/views/dlg_main_vibr.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/views/plot_frame.h"

#include <cmath>

namespace {

const ControlDef kControls170[] = {
    {-1, ControlKind::Static, "Vibration source (vs):", 9, 10, 70, 8},
    {CDlgMainVibr::IDC_SOURCE, ControlKind::ComboDropList, "", 80, 8, 193, 71, CS_TABSTOP | CS_VSCROLL},
    {CDlgMainVibr::IDC_RUN, ControlKind::RadioButton, "Run", 301, 7, 20, 14, CS_GROUP | CS_PUSHLIKE | CS_ICON | CS_TABSTOP},
    {CDlgMainVibr::IDC_FREEZE, ControlKind::RadioButton, "Freeze", 323, 7, 20, 14, CS_PUSHLIKE | CS_ICON},
    {CDlgMainVibr::IDC_PLOT, ControlKind::StaticFrame, nullptr, 0, 27, 350, 259, CS_HIDDEN | CS_GROUP},
    {-1, ControlKind::GroupBox, "Vibration detected", 8, 294, 334, 59},
    {-1, ControlKind::Static, "Damped frequency :", 22, 314, 66, 8},
    {CDlgMainVibr::IDC_DAMPED_FREQUENCY, ControlKind::Edit, "", 95, 311, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Hz", 147, 314, 20, 9},
    {-1, ControlKind::Static, "Damping ratio :", 38, 334, 50, 8},
    {CDlgMainVibr::IDC_DAMPING_RATIO, ControlKind::Edit, "", 95, 331, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Natural frequency :", 191, 314, 64, 8},
    {CDlgMainVibr::IDC_NATURAL_FREQUENCY, ControlKind::Edit, "", 261, 311, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {-1, ControlKind::Static, "Hz", 313, 314, 20, 9},
    {-1, ControlKind::Static, "Q-factor :", 222, 334, 33, 8},
    {CDlgMainVibr::IDC_Q_FACTOR, ControlKind::Edit, "", 261, 331, 47, 15, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
};

const DialogTemplate kTemplate170{CDlgMainVibr::IDD, "", 350, 370, true, kControls170,
                                  static_cast<int>(sizeof kControls170 / sizeof kControls170[0])};

constexpr double kPi = 3.14159265359;
constexpr double kTwoPi = 6.28318530718;

}  // namespace

const DialogTemplate& CDlgMainVibr::PageTemplate() { return kTemplate170; }

CDlgMainVibr::CDlgMainVibr(QWidget* parent)
    : CDlgMainAnalysis(kTemplate170, {od::OBJ_VIBRATION_SOURCE, od::VibrationSources(), &CAppIni::startVibr},
                       parent) {}

CDlgMainVibr::~CDlgMainVibr() = default;

double CDlgMainVibr::CurveValue(float dampedFrequency, float dampingRatio, float amplitude, double t) {
    float zc = dampingRatio;
    if (zc < 0.0f) zc = 0.0f;
    if (zc > 0.999f) zc = 0.999f;
    const double fd = dampedFrequency;
    const double fn = *od::NaturalFrequency(fd, zc);  // defined for 0 <= zc < 1
    const double k = -2.0 * double(zc) * kPi * fn;
    return std::exp(k * t) * double(amplitude) * std::sin(kTwoPi * fd * t);
}

void CDlgMainVibr::Update(bool force) {
    const uint32_t now = GetTickCountMs();
    bool ok = false;
    float v[3] = {0, 0, 0};
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_VIBRATION, 0, v, 3);
    if (ok) {
        m_dampedFrequency = v[0];
        m_dampingRatio = v[1];
        m_amplitude = v[2] / 10.0f;
        if (m_amplitude > 1.0f) m_amplitude = 1.0f;
    }
    SetDlgItemDouble(IDC_DAMPED_FREQUENCY, m_dampedFrequency, ok);
    SetDlgItemDouble(IDC_DAMPING_RATIO, m_dampingRatio, ok);
    // The derived values are shown in single precision, like the values read.
    if (const auto natural = od::NaturalFrequency(m_dampedFrequency, m_dampingRatio))
        SetDlgItemDouble(IDC_NATURAL_FREQUENCY, static_cast<float>(*natural), ok);
    else
        SetDlgItemText(IDC_NATURAL_FREQUENCY, QStringLiteral("-"));
    if (const auto q = od::QFactor(m_dampingRatio)) SetDlgItemDouble(IDC_Q_FACTOR, static_cast<float>(*q), ok);
    else SetDlgItemText(IDC_Q_FACTOR, QStringLiteral("-"));

    // The amplitude alone waits for the next full update (at most a second).
    const bool unchanged = m_dampedFrequency == m_lastDampedFrequency && m_dampingRatio == m_lastDampingRatio;
    if (!FullUpdateDue(force, now, ok, unchanged)) return;

    FullUpdate(now, ok);
    m_lastDampedFrequency = m_dampedFrequency;
    m_lastDampingRatio = m_dampingRatio;
}

void CDlgMainVibr::DrawPlot() {
    if (!m_plot || !m_plot->HasSurface()) return;
    auto scales = [](CDrawContext& dc, const PlotArea& a) {
        // -1 on the bottom edge, +1 on the top edge; the middle line solid.
        for (double step = -1.0; step <= 1.0; step += 0.2) {
            const double m = std::fabs(step) < 1e-6 ? 0.0 : step;
            const int y = PlotTrunc(double(a.top - a.bottom) * 0.5 * (m + 1.0) + a.bottom);
            if (m > -1.0 && m < 0.999999) {
                if (m == 0.0) CPlotFrame::SolidLine(dc, a.left - 2, y, a.right, y);
                else CPlotFrame::DottedLine(dc, a.left - 2, y, a.right, y);
            }
            dc.TextOut(a.left - 5, y + 8, QString::fromStdString(FormatC("%g", m)));
        }
        // Time in milliseconds, a label every tenth of the second.
        dc.SetTextAlign(TextHAlign::Center, TextVAlign::Top);
        for (double r = 0.0; r <= 1.0; r += 0.1) {
            const int x = PlotTrunc(double(a.right - a.left) * r + a.left);
            if (r > 0.0 && r < 0.999999) CPlotFrame::DottedLine(dc, x, a.bottom - 2, x, a.top + 1);
            CPlotFrame::SolidLine(dc, x, a.bottom, x, a.bottom + 5);
            dc.TextOut(x, a.bottom + 5, QString::fromStdString(FormatC("%g", r * 1000.0)));
        }
    };
    const float fd = m_dampedFrequency, zeta = m_dampingRatio, amp = m_amplitude;
    auto curves = [fd, zeta, amp](CDrawContext& dc, const PlotArea& a) {
        CPlotFrame::CurvePen(dc, plotcolor::kX);
        for (int i = 0; i <= 998; ++i) {
            const double t = i / 1000.0;
            const double value = CurveValue(fd, zeta, amp, t);
            const int x = PlotTrunc(double(a.right - a.left) * t + a.left);
            const int y = PlotTrunc((value + 1.0) * double(a.top - a.bottom) * 0.5 + a.bottom);
            if (i == 0) dc.MoveTo(x, y);
            else dc.LineTo(x, y);
        }
    };
    m_plot->Draw(QStringLiteral("Time [ms]"), QStringLiteral("Amplitude"), scales, curves);
}
