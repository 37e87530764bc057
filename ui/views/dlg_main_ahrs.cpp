#include "ui/views/dlg_main_ahrs.h"

#include "app/startup_marks.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "ui/config/config_io.h"
#include "ui/views/opengl_ahrs.h"

#include <cstdio>

namespace {

const ControlDef kControls166[] = {
    {CDlgMainAhrs::IDC_RESET_ANGLE, ControlKind::PushButton, "Reset angle (ra)", 8, 7, 67, 14, CS_TABSTOP},
    {CDlgMainAhrs::IDC_RESET_POSITION, ControlKind::PushButton, "Reset position (rp)", 80, 7, 67, 14, CS_TABSTOP},
    {CDlgMainAhrs::IDC_SET_ZERO_ANGLE, ControlKind::PushButton, "Set zero angle (za)", 165, 7, 67, 14, CS_TABSTOP},
    {CDlgMainAhrs::IDC_RESET_VIEW, ControlKind::PushButton, "Reset View", 292, 7, 50, 14, CS_TABSTOP},
    {CDlgMainAhrs::IDC_TEXT, ControlKind::Edit, "", 0, 28, 350, 14,
     CS_READONLY | CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP},
    {CDlgMainAhrs::IDC_VIEW, ControlKind::StaticFrame, nullptr, 0, 42, 350, 328, CS_HIDDEN},
};

const DialogTemplate kTemplate166{CDlgMainAhrs::IDD, "", 350, 370, true, kControls166,
                                  static_cast<int>(sizeof(kControls166) / sizeof(kControls166[0]))};

} // namespace

const DialogTemplate& CDlgMainAhrs::Template166() { return kTemplate166; }

CDlgMainAhrs::CDlgMainAhrs(QWidget* parent) : CDialogCommon(kTemplate166, parent) {
    m_view = new COpenGlAhrs();
}

CDlgMainAhrs::~CDlgMainAhrs() {
    // The window side first (OnDestroy runs while this class still exists),
    // then the view with its context and textures.
    DestroyWindow();
    delete m_view;
    m_view = nullptr;
}

bool CDlgMainAhrs::OnInitDialog() {
    CDialogCommon::OnInitDialog();

    m_viewCreated = m_view->EmbedInPlaceholder(this, IDC_VIEW, QStringLiteral("View"), DuToPx(0, 42, 350, 328));
    SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    return true;
}

void CDlgMainAhrs::OnDestroy() {
    KillTimer(TIMER_POLL);
    CDialogCommon::OnDestroy();
    // The view leaves the screen with the page; the object goes with the page.
    if (m_view)
        m_view->hide();
}

void CDlgMainAhrs::OnTimer(int id) {
    if (id == TIMER_POLL) {
        if (IsWindowVisible())
            Poll();
        const bool connected = g_pObjectAccess != nullptr;
        if (connected != m_lastConnected) {
            EnableDlgItem(IDC_RESET_ANGLE, connected);
            EnableDlgItem(IDC_RESET_POSITION, connected);
            EnableDlgItem(IDC_SET_ZERO_ANGLE, connected);
            m_lastConnected = connected;
        }
    }
    CDialogCommon::OnTimer(id);
}

void CDlgMainAhrs::Poll() {
    float angles[3] = {0, 0, 0};
    float position[3] = {0, 0, 0};
    bool okAngles = false;
    bool okPosition = false;
    if (g_pObjectAccess)
        okAngles = g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_EULER, 0, angles, 3);
    if (g_pObjectAccess)
        okPosition = g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_POSITION, 0, position, 3);
    if (!okAngles || !okPosition) {
        SetDlgItemText(IDC_TEXT, QString());
        return;
    }
    // A pose the view already shows needs no new frame (a module lying still).
    const bool samePose = m_view->m_position[0] == position[0] && m_view->m_position[1] == position[1] &&
                          m_view->m_position[2] == position[2] && m_view->m_roll == angles[0] &&
                          m_view->m_pitch == angles[1] && m_view->m_yaw == angles[2];
    m_view->m_position[0] = position[0];
    m_view->m_position[1] = position[1];
    m_view->m_position[2] = position[2];
    m_view->m_roll = angles[0];
    m_view->m_pitch = angles[1];
    m_view->m_yaw = angles[2];
    if (!samePose || !m_firstPoseHanded) m_view->Invalidate();
    if (!m_firstPoseHanded) {
        // For the start-up bench: the first frame that shows a pose read from the module.
        m_firstPoseHanded = true;
        connect(m_view, &COpenGlWnd::frameSwapped, this, [] { startup::Mark("ahrs-first-frame"); },
                Qt::SingleShotConnection);
    }
    SetDlgItemText(IDC_TEXT, FormatLine(angles, position));
}

QString CDlgMainAhrs::FormatLine(const float angles[3], const float position[3]) {
    char text[256];
    if (position[0] == 0.0f && position[1] == 0.0f && position[2] == 0.0f)
        std::snprintf(text, sizeof text, "Euler angle = %.1f, %.1f, %.1f [deg]", angles[0], angles[1],
                      angles[2]);
    else
        std::snprintf(text, sizeof text,
                      "Euler angle = %.1f, %.1f, %.1f [deg]; Position = %.3f, %.3f, %.3f [m]", angles[0],
                      angles[1], angles[2], position[0], position[1], position[2]);
    return QString::fromLatin1(text);
}

void CDlgMainAhrs::SendCommand(int32_t value) { cfgio::WriteInt32(od::OBJ_COMMAND, value); }

void CDlgMainAhrs::ResetView() {
    m_view->ResetCamera();
    m_view->Invalidate();
}

void CDlgMainAhrs::OnCommand(int id) {
    switch (id) {
    case IDC_RESET_ANGLE: SendCommand(od::CMD_RESET_ANGLE); break;
    case IDC_RESET_POSITION: SendCommand(od::CMD_RESET_POSITION); break;
    case IDC_SET_ZERO_ANGLE: SendCommand(od::CMD_SET_ZERO_ANGLE); break;
    case IDC_RESET_VIEW: ResetView(); break;
    default: break;
    }
    CDialogCommon::OnCommand(id);
}
