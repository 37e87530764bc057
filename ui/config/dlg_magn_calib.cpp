#include "ui/config/dlg_magn_calib.h"

#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "ui/views/opengl_ahrs.h"

#include <QProgressBar>

#include <algorithm>

namespace {

using M = CDlgMagnCalib;

const ControlDef kControls167[] = {
    {M::IDC_VIEW, ControlKind::StaticFrame, nullptr, 0, 0, 309, 265, CS_HIDDEN},
    {M::IDC_PROGRESS, ControlKind::Progress, nullptr, 0, 265, 309, 14, CS_BORDER},
    {M::IDC_COACH_SAMPLES, ControlKind::Static, "", 314, 4, 162, 10},
    {M::IDC_COACH_COVERAGE, ControlKind::Static, "", 314, 14, 162, 10},
    {M::IDC_COACH_FIELD, ControlKind::Static, "", 314, 24, 162, 10},
    {M::IDC_COACH_OFFSET, ControlKind::Static, "", 314, 34, 162, 10},
    {M::IDC_COACH_SPREAD_BEFORE, ControlKind::Static, "", 314, 44, 162, 10},
    {M::IDC_COACH_SPREAD_AFTER, ControlKind::Static, "", 314, 54, 162, 10},
    {M::IDC_COACH_MODULE_OFFSET, ControlKind::Static, "", 314, 64, 162, 10},
    {M::IDC_COACH_VERDICT, ControlKind::Static, "", 314, 80, 162, 104},
    {M::IDC_COACH_NEXT, ControlKind::Static, "", 314, 186, 162, 30},
    {M::IDC_COACH_CROSS_AXIS, ControlKind::Static, "", 314, 218, 162, 44},
};

// The view and the progress bar keep their places; the coach's panel widens
// the window to their right.
const DialogTemplate kTemplate167{M::IDD, "Magnetometer Calibration Data View", 480, 279, false, kControls167,
                                  int(sizeof(kControls167) / sizeof(kControls167[0]))};

}  // namespace

const DialogTemplate& CDlgMagnCalib::Template167() { return kTemplate167; }

CDlgMagnCalib::CDlgMagnCalib(QWidget* owner) : CDialog(kTemplate167, owner), tick(GetTickCountMs) {
    m_view = new COpenGlAhrs();
}

CDlgMagnCalib::~CDlgMagnCalib() {
    DestroyWindow();
    delete m_view;
    m_view = nullptr;
}

bool CDlgMagnCalib::OnInitDialog() {
    CDialog::OnInitDialog();
    m_viewCreated = m_view->EmbedInPlaceholder(this, IDC_VIEW, QStringLiteral("AHRS View"), DuToPx(0, 0, 309, 265));
    SetProgressRange(IDC_PROGRESS, 0, kProgressSeconds);
    Restart();
    SetTimer(TIMER_SAMPLE, SAMPLE_PERIOD_MS);
    return true;
}

void CDlgMagnCalib::OnDestroy() {
    KillTimer(TIMER_SAMPLE);
    CDialog::OnDestroy();
    if (m_view) m_view->hide();
}

void CDlgMagnCalib::Restart() {
    if (m_view) m_view->m_pointCount = 0;
    m_startTime = tick();
    m_module = {};
    m_sawRunning = false;
    m_finalShown = false;
    m_ticksToCoach = 0;
    UpdateCoach();
}

int CDlgMagnCalib::Progress() const { return GetProgressPos(IDC_PROGRESS); }

void CDlgMagnCalib::OnTimer(int id) {
    if (id == TIMER_SAMPLE && IsWindowVisible()) Sample();
    CDialog::OnTimer(id);
}

void CDlgMagnCalib::Sample() {
    int32_t status = 0;
    const bool ok = g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &status, 1);
    const bool running = ok && (uint32_t(status) & od::STATUS_CALIB_RUNNING_2);
    if (running) m_sawRunning = true;
    if (ok && m_sawRunning && !running && !m_module.ended) {
        // The module has ended the run: the verdict is due now, with its outcome.
        m_module.ended = true;
        m_module.reportedFailure = (uint32_t(status) & od::STATUS_CALIB_FAILED) != 0;
        ReadModuleOffset();
    }
    if (running) {
        if (m_view->m_pointCount < COpenGlAhrs::kMaxPoints) {
            float field[3] = {0, 0, 0};
            if (g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_MAGNETIC_FIELD, 0, field, 3)) {
                float* p = m_view->m_points[m_view->m_pointCount];
                for (int i = 0; i < 3; ++i) p[i] = float(field[i] / kSampleDivisor);
                ++m_view->m_pointCount;
            }
        }
        m_view->Invalidate();
        ++invalidations;
    }
    // Whole seconds since the start, in wrap-around tick arithmetic.
    const uint32_t elapsed = (tick() - m_startTime) / 1000u;
    SetProgressPos(IDC_PROGRESS, elapsed > uint32_t(kProgressSeconds) ? kProgressSeconds : int(elapsed));
    // The panel follows once a second while the run goes on, and once more
    // when it ends; then it stays as it is.
    if (m_module.ended) {
        if (!m_finalShown) UpdateCoach();
        m_finalShown = true;
    } else if (running && --m_ticksToCoach <= 0) {
        UpdateCoach();
        m_ticksToCoach = kCoachEveryTicks;
    }
}

void CDlgMagnCalib::ReadModuleOffset() {
    float bias[9] = {};
    if (g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_CALIB_BIAS, 0, bias, 9))
        m_module.offset = calib::Point3{bias[6], bias[7], bias[8]};
}

void CDlgMagnCalib::UpdateCoach() {
    // The readings are the cloud's points, back in uT.
    std::vector<calib::Point3> readings;
    const int count = m_view ? std::clamp(m_view->m_pointCount, 0, int(COpenGlAhrs::kMaxPoints)) : 0;
    readings.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const float* p = m_view->m_points[i];
        readings.push_back({p[0] * kSampleDivisor, p[1] * kSampleDivisor, p[2] * kSampleDivisor});
    }
    m_coach = calib::CoachMagnetometer(readings, m_module);
    ShowCoach();
}

void CDlgMagnCalib::ShowCoach() {
    const calib::MagCoachLines lines = calib::CoachLines(m_coach, calib::MagCoachText::Utf8);
    // Each value line goes to its own control, found by the words it starts with.
    static const struct {
        int id;
        const char* prefix;
    } kValueLines[] = {
        {IDC_COACH_SAMPLES, "Samples: "},           {IDC_COACH_COVERAGE, "Coverage: "},
        {IDC_COACH_FIELD, "Field strength: "},      {IDC_COACH_OFFSET, "Offset: "},
        {IDC_COACH_SPREAD_BEFORE, "Spread before: "}, {IDC_COACH_SPREAD_AFTER, "Spread after: "},
        {IDC_COACH_MODULE_OFFSET, "Module offset: "},
    };
    auto show = [this](int id, const std::string& text) {
        const QString q = QString::fromStdString(text);
        SetDlgItemText(id, q);
        if (QWidget* w = GetDlgItem(id)) w->setAccessibleName(q);
    };
    for (const auto& v : kValueLines) {
        std::string text;
        for (const std::string& line : lines.values)
            if (line.rfind(v.prefix, 0) == 0) text = line;
        show(v.id, text);
    }
    std::string verdict = lines.verdict;
    for (const std::string& reason : lines.reasons) verdict += "\n" + reason;
    show(IDC_COACH_VERDICT, verdict);
    show(IDC_COACH_NEXT, lines.next);
    show(IDC_COACH_CROSS_AXIS, lines.crossAxis);

    // The directions around the cloud, once there is a cloud to draw them around.
    if (!m_view) return;
    m_view->m_markerCount = 0;
    if (m_coach.samples > 0 && m_coach.meanRadius > 0) {
        for (int i = 0; i < calib::kDirectionCount && i < COpenGlAhrs::kMaxMarkers; ++i) {
            COpenGlAhrs::Marker& m = m_view->m_markers[i];
            const calib::Point3 from = calib::DirectionPoint(m_coach, i, 1.1), to = calib::DirectionPoint(m_coach, i, 1.3);
            const double f[3] = {from.x, from.y, from.z}, t[3] = {to.x, to.y, to.z};
            for (int k = 0; k < 3; ++k) {
                m.from[k] = float(f[k] / kSampleDivisor);
                m.to[k] = float(t[k] / kSampleDivisor);
            }
            m.covered = m_coach.coveredDirections[size_t(i)];
        }
        m_view->m_markerCount = std::min(calib::kDirectionCount, int(COpenGlAhrs::kMaxMarkers));
    }
    m_view->Invalidate();
}
