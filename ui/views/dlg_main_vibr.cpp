#include "ui/views/dlg_main_vibr.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/views/plot_frame.h"

#include <QShowEvent>

#include <algorithm>
#include <cmath>

namespace {

const char* const kSources[3] = {
    "0 - (none)",
    "1 - Accl. filtered data (sampling freq. 1kHz)",
    "2 - Gyro. filtered data (sampling freq. 1kHz)",
};

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

CDlgMainVibr::CDlgMainVibr(QWidget* parent) : CDialogCommon(kTemplate170, parent) {}

CDlgMainVibr::~CDlgMainVibr() = default;

bool CDlgMainVibr::NaturalFrequency(float dampedFrequency, float dampingRatio, float& natural) {
    if (!(dampingRatio >= 0.0f && dampingRatio < 1.0f)) return false;
    const double z = dampingRatio;
    natural = static_cast<float>(double(dampedFrequency) / std::sqrt(1.0 - z * z));
    return true;
}

bool CDlgMainVibr::QFactor(float dampingRatio, float& q) {
    if (!(dampingRatio > 0.0f && dampingRatio <= 1.0f)) return false;
    q = 1.0f / (2.0f * dampingRatio);
    return true;
}

double CDlgMainVibr::CurveValue(float dampedFrequency, float dampingRatio, float amplitude, double t) {
    float zc = dampingRatio;
    if (zc < 0.0f) zc = 0.0f;
    if (zc > 0.999f) zc = 0.999f;
    const double fd = dampedFrequency;
    const double fn = fd / std::sqrt(1.0 - double(zc) * double(zc));
    const double k = -2.0 * double(zc) * kPi * fn;
    return std::exp(k * t) * double(amplitude) * std::sin(kTwoPi * fd * t);
}

bool CDlgMainVibr::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    m_plot = CPlotFrame::ReplacePlaceholder(this, IDC_PLOT);

    SetRunFreezeIcons(IDC_RUN, IDC_FREEZE);
    for (int i = 0; i < 3; ++i) ComboInsertString(IDC_SOURCE, i, QString::fromLatin1(kSources[i]));

    Refresh();
    if (g_pAppIni && g_pAppIni->startVibr != 0) {
        CheckDlgButton(IDC_RUN, true);
        g_pAppIni->startVibr = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    }
    return true;
}

void CDlgMainVibr::showEvent(QShowEvent* event) {
    CDialogCommon::showEvent(event);
    if (!event->spontaneous() && IsCreated()) Refresh();
}

void CDlgMainVibr::RefreshSource() {
    ++reloadCalls;
    Refresh();
}

void CDlgMainVibr::Refresh() {
    bool ok = false;
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_VIBRATION_SOURCE, 0, &m_source, 1);
    m_source = std::clamp(m_source, 0, 2);
    if (ok) ComboSetCurSel(IDC_SOURCE, m_source);
    Update(true);
}

void CDlgMainVibr::SelectSource() {
    m_source = ComboGetCurSel(IDC_SOURCE);
    if (g_pObjectAccess) {
        int32_t value = m_source;
        g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_VIBRATION_SOURCE, &value);
    }
    Refresh();
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
    float natural = 0.0f, q = 0.0f;
    if (NaturalFrequency(m_dampedFrequency, m_dampingRatio, natural))
        SetDlgItemDouble(IDC_NATURAL_FREQUENCY, natural, ok);
    else
        SetDlgItemText(IDC_NATURAL_FREQUENCY, QStringLiteral("-"));
    if (QFactor(m_dampingRatio, q)) SetDlgItemDouble(IDC_Q_FACTOR, q, ok);
    else SetDlgItemText(IDC_Q_FACTOR, QStringLiteral("-"));

    // The amplitude alone waits for the next full update (at most a second).
    if (!force && now - m_lastFullUpdate < uint32_t(FULL_UPDATE_MS) && ok == m_lastOk &&
        m_dampedFrequency == m_lastDampedFrequency && m_dampingRatio == m_lastDampingRatio)
        return;

    DrawPlot();
    EnableDlgItem(IDC_SOURCE, ok);
    EnableDlgItem(IDC_RUN, ok);
    EnableDlgItem(IDC_FREEZE, ok);

    m_lastDampedFrequency = m_dampedFrequency;
    m_lastDampingRatio = m_dampingRatio;
    m_lastFullUpdate = now;
    m_lastOk = ok;
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

void CDlgMainVibr::OnTimer(int id) {
    if (id == TIMER_POLL && IsWindowVisible()) Update(false);
    CDialogCommon::OnTimer(id);
}

void CDlgMainVibr::OnCommand(int id) {
    if (id == IDC_RUN) {
        if (g_pAppIni) g_pAppIni->startVibr = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    } else if (id == IDC_FREEZE) {
        if (g_pAppIni) g_pAppIni->startVibr = 0;
        KillTimer(TIMER_POLL);
    }
    CDialogCommon::OnCommand(id);
}

void CDlgMainVibr::OnSelChange(int id) {
    if (id == IDC_SOURCE) SelectSource();
    CDialogCommon::OnSelChange(id);
}
