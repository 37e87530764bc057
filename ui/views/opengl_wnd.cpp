#include "ui/views/opengl_wnd.h"

#include "ui/toolkit/message_box.h"

#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>

namespace {
constexpr int kSelectBufferEntries = 256;
constexpr int kPickSize = 5;
} // namespace

COpenGlWnd::COpenGlWnd(QWidget* parent) : QOpenGLWidget(parent) {
    setFormat(RequestedFormat());
    setFocusPolicy(Qt::StrongFocus);
}

COpenGlWnd::~COpenGlWnd() = default;

QSurfaceFormat COpenGlWnd::RequestedFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(2, 1);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setAlphaBufferSize(0);
    f.setDepthBufferSize(16);
    f.setStencilBufferSize(0);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

QString COpenGlWnd::ProbeContext() {
    const QSurfaceFormat wanted = RequestedFormat();
    QOffscreenSurface surface;
    surface.setFormat(wanted);
    surface.create();
    if (!surface.isValid())
        return QStringLiteral("ChoosePixelFormat failed.");
    QOpenGLContext context;
    context.setFormat(wanted);
    if (!context.create())
        return QStringLiteral("wglCreateContext failed");
    // The fixed-function pipeline needs a context of version 2.1 or a
    // compatibility profile, and a depth buffer.
    const QSurfaceFormat got = context.format();
    const bool fixedFunction = got.profile() != QSurfaceFormat::CoreProfile;
    if (!fixedFunction || context.isOpenGLES())
        return QStringLiteral("SetPixelFormat failed.");
    if (!context.makeCurrent(&surface))
        return QStringLiteral("wglMakeCurrent failed");
    context.doneCurrent();
    return QString();
}

void COpenGlWnd::ShowFailure(const QString& text) { ShowPlain(m_owner, text); }

bool COpenGlWnd::Create(QWidget* parent, const QRect& rect, const QString& name, int id) {
    const QString failure = ProbeContext();
    m_owner = parent;  // the failure box is modal to the owner's window
    if (!failure.isEmpty()) {
        ShowFailure(failure);
        return false;
    }
    setParent(parent);
    setObjectName(name);
    setProperty("ctrlId", id);
    setGeometry(rect);
    show();
    return true;
}

void COpenGlWnd::initializeGL() {
    glClearColor(0.3764706f, 0.3764706f, 0.3764706f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CCW);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    // Light 1 is given while the modelview matrix is the identity, so both
    // lights stay fixed relative to the camera.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat ambient[] = {0.0f, 0.1f, 0.2f, 0.0f};
    const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 0.0f};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 0.0f};
    const GLfloat position[] = {10.0f, 10.0f, 10.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glEnable(GL_LIGHT1);

    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    m_glReady = true;
}

void COpenGlWnd::SetProjection(int w, int h) {
    m_viewport = ViewportFor(w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, m_viewport.width, m_viewport.height);
    gluPerspective(m_camera.fieldOfView, m_viewport.aspect, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void COpenGlWnd::resizeGL(int w, int h) {
    // The framebuffer is in device pixels.
    const qreal ratio = devicePixelRatioF();
    SetProjection(static_cast<int>(w * ratio), static_cast<int>(h * ratio));
    update();
}

void COpenGlWnd::paintGL() {
    // Qt sets its own viewport before each paint; keep ours.
    glViewport(0, 0, m_viewport.width, m_viewport.height);
    glRenderMode(GL_RENDER);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawScene();
    glFinish();
}

void COpenGlWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    switch (event->button()) {
    case Qt::LeftButton:
        m_dragMode = DRAG_TURN;
        break;
    case Qt::RightButton:
        m_dragMode = DRAG_MOVE;
        break;
    case Qt::MiddleButton:
        m_dragMode = DRAG_MIDDLE;
        break;
    default:
        QOpenGLWidget::mousePressEvent(event);
        return;
    }
    m_lastX = p.x();
    m_lastY = p.y();
    m_captured = true;
    if (event->button() != Qt::MiddleButton)
        setFocus();
    if (event->button() == Qt::LeftButton)
        SelectAt(p.x(), p.y());
}

void COpenGlWnd::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton b = event->button();
    if (b != Qt::LeftButton && b != Qt::RightButton && b != Qt::MiddleButton) {
        QOpenGLWidget::mouseReleaseEvent(event);
        return;
    }
    m_lastX = 0;
    m_lastY = 0;
    m_captured = false;
    m_dragMode = DRAG_NONE;
    if (b == Qt::MiddleButton)
        setFocus();
}

void COpenGlWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!m_captured)
        return;
    const QPoint p = event->position().toPoint();
    ApplyDrag(m_camera, m_dragMode, p.x() - m_lastX, p.y() - m_lastY);
    update();
    m_lastX = p.x();
    m_lastY = p.y();
}

void COpenGlWnd::wheelEvent(QWheelEvent* event) {
    // A sideways tilt of the wheel or a horizontal touchpad swipe has no
    // vertical movement: it is not a wheel turn and does not zoom (a zero
    // delta would otherwise count as rolled away from the user).
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    ApplyWheel(m_camera, delta);
    update();
    event->accept();
}

void COpenGlWnd::SelectAt(int x, int y) {
    if (!m_glReady || !context())
        return;
    makeCurrent();
    GLuint buffer[kSelectBufferEntries] = {};
    glSelectBuffer(kSelectBufferEntries, buffer);
    glRenderMode(GL_SELECT);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const qreal ratio = devicePixelRatioF();
    const ViewportSize vp = ViewportFor(viewport[2], viewport[3]);
    gluPickMatrix(x * ratio, viewport[3] - y * ratio, kPickSize, kPickSize, viewport);
    gluPerspective(m_camera.fieldOfView, vp.aspect, kNearPlane, kFarPlane);

    glInitNames();
    glPushName(0xFFFFFFFFu);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawScene();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    const GLint hits = glRenderMode(GL_RENDER);
    doneCurrent();

    const int32_t name = NearestHitName(buffer, kSelectBufferEntries, hits);
    if (name >= 0)
        OnPick(name);
}
