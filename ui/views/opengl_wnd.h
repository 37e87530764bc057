#pragma once
// COpenGlWnd: a child window drawing with the fixed-function OpenGL pipeline
// and GLU. It owns the rendering context (a compatibility-profile 2.1
// context), sets the projection on resize, runs the paint cycle, turns mouse
// input into camera changes and offers a selection pass. Derived classes draw
// in DrawScene.
//
// The picture goes to a native child window of its own (a QWindow with an
// OpenGL surface inside a window container), swapped straight to the screen.
// A QOpenGLWidget would instead make Qt compose the whole top-level window
// through OpenGL on every frame, which with a software renderer costs many
// times the scene itself (docs/performance.md).
#include "ui/views/camera_math.h"

#include <QImage>
#include <QString>
#include <QSurfaceFormat>
#include <QWidget>

#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QWindow;
class CGlSurfaceWindow;

class COpenGlWnd : public QWidget {
    Q_OBJECT
public:
    explicit COpenGlWnd(QWidget* parent = nullptr);
    ~COpenGlWnd() override;

    // Creates the view as a child of `parent` at `rect` (parent's client
    // coordinates) with the object name `name` and the control id `id`
    // (property "ctrlId", as the toolkit keeps it). First checks that a compatibility-profile
    // context with depth buffer and double buffering can be made; if not,
    // shows the failure text in a message box and returns false (the owner
    // goes on without a 3D view).
    bool Create(QWidget* parent, const QRect& rect, const QString& name, int id);

    // Probes the OpenGL set-up without a window. Empty on success, otherwise
    // the failure text shown to the user.
    static QString ProbeContext();
    // The surface format asked for: OpenGL 2.1 compatibility profile, 24 colour
    // bits, 16 depth bits, no alpha or stencil, double-buffered.
    static QSurfaceFormat RequestedFormat();

    // Repaints the whole client area at the next paint cycle.
    void Invalidate() { update(); }
    // Schedules one frame of the view's window (several calls before it is
    // drawn give one frame). Hides QWidget::update, which would only repaint
    // the widget under the native window.
    void update();

    // The rendering context, as QOpenGLWidget offers it: made current on the
    // view's window (or, while that has no native window yet, on an
    // off-screen surface); null until the first use.
    QOpenGLContext* context() const { return m_context.get(); }
    void makeCurrent();
    void doneCurrent();
    // Runs the paint cycle into an off-screen framebuffer of the window's
    // size in device pixels and returns the picture.
    QImage grabFramebuffer();
    // Frames drawn to the screen since creation.
    int FramesDrawn() const { return m_framesDrawn; }
    // The native window the frames go to; it passes the mouse on to this view.
    QWindow* SurfaceWindow() const;

    // The camera; owners may write it directly, then Invalidate.
    Camera m_camera;

    // Mouse state.
    int m_dragMode = DRAG_NONE;
    int m_lastX = 0;
    int m_lastY = 0;

    // Viewport set by the last resize (already floored to 1 x 1).
    ViewportSize Viewport() const { return m_viewport; }

signals:
    // A frame has reached the view's window.
    void frameSwapped();

protected:
    // Draws the scene with the modelview matrix the identity and the buffers
    // cleared. Nothing here.
    virtual void DrawScene() {}
    // Name of the nearest object hit by a left click (names >= 0 only).
    virtual void OnPick(int name) { (void)name; }
    // Shows a failure text; a plain OK box with the application's title.
    virtual void ShowFailure(const QString& text);

    // The context's fixed state, once per context.
    virtual void initializeGL();
    // The projection for a client area of w x h (device-independent pixels).
    virtual void resizeGL(int w, int h);
    // The paint cycle, with the context current and the target bound.
    virtual void paintGL();

    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    // Sets the projection for a viewport of w x h device pixels.
    void SetProjection(int w, int h);
    // The selection pass at client position (x, y) after a left press.
    void SelectAt(int x, int y);

private:
    friend class CGlSurfaceWindow;
    // Draws one frame to the window when it is on the screen.
    void RenderFrame();
    // Makes the context current (creating it at the first call) and sets its
    // fixed state once; false when no context can be made.
    bool BeginGl();
    // The client size in device pixels.
    QSize DeviceSize() const;
    // Places the native window over the part of the client area that lies
    // within the parent widgets.
    void FitContainer();

    ViewportSize m_viewport{1, 1, 1.0};
    bool m_captured = false;
    bool m_glReady = false;
    bool m_rendering = false;
    QSize m_renderedSize;  // device pixels the projection was last set for
    QPoint m_viewportOrigin;  // lower-left corner of the client area in the target's GL coordinates
    int m_framesDrawn = 0;
    QWidget* m_owner = nullptr;  // the window Create was given
    CGlSurfaceWindow* m_window = nullptr;  // owned by m_container
    QWidget* m_container = nullptr;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_offscreen;
};
