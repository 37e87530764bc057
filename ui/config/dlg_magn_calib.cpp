#include "ui/config/dlg_magn_calib.h"

#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "ui/views/opengl_ahrs.h"

#include <QProgressBar>

namespace {

using M = CDlgMagnCalib;

const ControlDef kControls167[] = {
    {M::IDC_VIEW, ControlKind::StaticFrame, nullptr, 0, 0, 309, 265, CS_HIDDEN},
    {M::IDC_PROGRESS, ControlKind::Progress, nullptr, 0, 265, 309, 14, CS_BORDER},
};

const DialogTemplate kTemplate167{M::IDD, "Magnetometer Calibration Data View", 309, 279, false, kControls167,
                                  int(sizeof(kControls167) / sizeof(kControls167[0]))};

// Where the view's camera starts.
constexpr double kStartAzimuth = 220.0;
constexpr double kStartElevation = 45.0;

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
    QWidget* placeholder = GetDlgItem(IDC_VIEW);
    const QRect rect = placeholder ? placeholder->geometry() : DuToPx(0, 0, 309, 265);
    m_viewCreated = m_view->Create(this, rect, QStringLiteral("AHRS View"), IDC_VIEW);
    if (m_viewCreated) {
        // The view takes the placeholder's place and id.
        ReplaceDlgItem(IDC_VIEW, m_view);
        m_view->setGeometry(rect);
        m_view->m_camera.azimuth = kStartAzimuth;
        m_view->m_camera.elevation = kStartElevation;
        m_view->m_camera.eye[0] = 0.0;
        m_view->m_camera.eye[1] = -1.0;
        m_view->m_camera.eye[2] = 0.0;
        m_view->show();
        m_view->setFocus();
    }
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
}

int CDlgMagnCalib::Progress() const { return GetProgressPos(IDC_PROGRESS); }

void CDlgMagnCalib::OnTimer(int id) {
    if (id == TIMER_SAMPLE && IsWindowVisible()) Sample();
    CDialog::OnTimer(id);
}

void CDlgMagnCalib::Sample() {
    int32_t status = 0;
    const bool ok = g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &status, 1);
    if (ok && (uint32_t(status) & od::STATUS_CALIB_RUNNING_2)) {
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
}
