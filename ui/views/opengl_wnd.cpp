#include "ui/views/opengl_wnd.h"

#include "ui/toolkit/message_box.h"

#include <QExposeEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QWindow>

#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>

namespace {
constexpr int kSelectBufferEntries = 256;
constexpr int kPickSize = 5;
} // namespace

// The view's native window: it draws the owner's frames when exposed or
// asked to, and hands the mouse to the owner's handlers (it lies at the
// owner's client origin with the owner's size, so positions are the same).
class CGlSurfaceWindow : public QWindow {
public:
    explicit CGlSurfaceWindow(COpenGlWnd* owner) : m_owner(owner) {
        setSurfaceType(QSurface::OpenGLSurface);
        setFormat(COpenGlWnd::RequestedFormat());
    }

protected:
    void exposeEvent(QExposeEvent* event) override {
        (void)event;
        if (isExposed()) m_owner->RenderFrame();
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) {
            m_owner->RenderFrame();
            return true;
        }
        return QWindow::event(event);
    }
    void mousePressEvent(QMouseEvent* event) override { Forward(event, &COpenGlWnd::mousePressEvent); }
    void mouseReleaseEvent(QMouseEvent* event) override { Forward(event, &COpenGlWnd::mouseReleaseEvent); }
    void mouseMoveEvent(QMouseEvent* event) override { Forward(event, &COpenGlWnd::mouseMoveEvent); }
    void wheelEvent(QWheelEvent* event) override { m_owner->wheelEvent(event); }

private:
    // The owner's handler with the position in the owner's client area.
    void Forward(QMouseEvent* event, void (COpenGlWnd::*handler)(QMouseEvent*)) {
        const QPoint offset = m_owner->m_container ? m_owner->m_container->pos() : QPoint();
        if (offset.isNull()) {
            (m_owner->*handler)(event);
            return;
        }
        QMouseEvent moved(event->type(), event->position() + offset, event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
                          event->pointingDevice());
        (m_owner->*handler)(&moved);
        event->setAccepted(moved.isAccepted());
    }

    COpenGlWnd* m_owner;
};

COpenGlWnd::COpenGlWnd(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // The native window covers the whole client area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_window = new CGlSurfaceWindow(this);
    m_container = QWidget::createWindowContainer(m_window, this);
    m_container->setFocusPolicy(Qt::NoFocus);
    m_container->setGeometry(rect());
}

COpenGlWnd::~COpenGlWnd() {
    if (m_context) {
        m_context->doneCurrent();
        m_context.reset();
    }
}

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

QWindow* COpenGlWnd::SurfaceWindow() const { return m_window; }

QSize COpenGlWnd::DeviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
}

void COpenGlWnd::update() {
    // A change made while a frame is drawn is already in that frame.
    if (m_rendering || !m_window) return;
    m_window->requestUpdate();
}

void COpenGlWnd::makeCurrent() {
    if (!m_context) {
        m_context = std::make_unique<QOpenGLContext>();
        m_context->setFormat(RequestedFormat());
        if (!m_context->create()) {
            m_context.reset();
            return;
        }
    }
    if (m_window && m_window->handle()) {
        m_context->makeCurrent(m_window);
        return;
    }
    if (!m_offscreen) {
        m_offscreen = std::make_unique<QOffscreenSurface>();
        m_offscreen->setFormat(m_context->format());
        m_offscreen->create();
    }
    m_context->makeCurrent(m_offscreen.get());
}

void COpenGlWnd::doneCurrent() {
    if (m_context) m_context->doneCurrent();
}

bool COpenGlWnd::BeginGl() {
    makeCurrent();
    if (!m_context || QOpenGLContext::currentContext() != m_context.get()) return false;
    if (!m_glReady) initializeGL();
    const QSize size = DeviceSize();
    if (size != m_renderedSize) {
        m_renderedSize = size;
        resizeGL(width(), height());
    }
    return true;
}

void COpenGlWnd::RenderFrame() {
    if (!m_window || !m_window->isExposed() || m_rendering) return;
    m_rendering = true;
    if (BeginGl()) {
        // The window may show only part of the client area (FitContainer):
        // the picture keeps the client area's size, its top-left corner at
        // the client area's, in GL's bottom-up window coordinates.
        const qreal ratio = devicePixelRatioF();
        const QRect shown = m_container->geometry();
        m_viewportOrigin = QPoint(static_cast<int>(-shown.x() * ratio),
                                  static_cast<int>((shown.bottom() + 1) * ratio) - m_viewport.height);
        paintGL();
        m_context->swapBuffers(m_window);
        ++m_framesDrawn;
        m_rendering = false;
        emit frameSwapped();
    }
    m_rendering = false;
}

QImage COpenGlWnd::grabFramebuffer() {
    QImage image;
    m_rendering = true;
    if (BeginGl()) {
        const QSize size = m_renderedSize.expandedTo(QSize(1, 1));
        QOpenGLFramebufferObject fbo(size, QOpenGLFramebufferObject::Depth);
        if (fbo.isValid() && fbo.bind()) {
            m_viewportOrigin = QPoint(0, 0);
            paintGL();
            image = fbo.toImage();
            fbo.release();
        }
        doneCurrent();
    }
    m_rendering = false;
    return image;
}

void COpenGlWnd::FitContainer() {
    if (!m_container) return;
    // A native window is not clipped by the widgets around it: keep it within
    // the parents, where the widget itself would be drawn.
    QRect visible = rect();
    QPoint offset(0, 0);  // this widget's origin in the ancestor's coordinates
    for (const QWidget* w = this; w && !w->isWindow(); w = w->parentWidget()) {
        offset += w->pos();
        const QWidget* parent = w->parentWidget();
        if (parent) visible &= parent->rect().translated(-offset);
    }
    if (m_container->geometry() != visible) m_container->setGeometry(visible);
}

bool COpenGlWnd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) FitContainer();
    return QWidget::eventFilter(watched, event);
}

bool COpenGlWnd::event(QEvent* event) {
    if (event->type() == QEvent::ParentAboutToChange && parentWidget()) parentWidget()->removeEventFilter(this);
    if (event->type() == QEvent::Show) FitContainer();
    if (event->type() == QEvent::ParentChange) {
        if (parentWidget()) parentWidget()->installEventFilter(this);
        FitContainer();
    }
    return QWidget::event(event);
}

void COpenGlWnd::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FitContainer();
}

void COpenGlWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitContainer();
    update();
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
    // The whole client area, also where the window shows only part of it.
    glViewport(m_viewportOrigin.x(), m_viewportOrigin.y(), m_viewport.width, m_viewport.height);
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
        QWidget::mousePressEvent(event);
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
        QWidget::mouseReleaseEvent(event);
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
    if (!BeginGl())
        return;
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
    gluPickMatrix(viewport[0] + x * ratio, viewport[1] + viewport[3] - y * ratio, kPickSize, kPickSize, viewport);
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
