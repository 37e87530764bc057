#pragma once
// COpenGlWnd: a child window drawing with the fixed-function OpenGL pipeline
// and GLU. It owns the rendering context (a compatibility-profile 2.1 context
// of QOpenGLWidget), sets the projection on resize, runs the paint cycle,
// turns mouse input into camera changes and offers a selection pass.
// Derived classes draw in DrawScene.
#include "ui/views/camera_math.h"

#include <QOpenGLWidget>
#include <QString>

class COpenGlWnd : public QOpenGLWidget {
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

    // The camera; owners may write it directly, then Invalidate.
    Camera m_camera;

    // Mouse state.
    int m_dragMode = DRAG_NONE;
    int m_lastX = 0;
    int m_lastY = 0;

    // Viewport set by the last resize (already floored to 1 x 1).
    ViewportSize Viewport() const { return m_viewport; }

protected:
    // Draws the scene with the modelview matrix the identity and the buffers
    // cleared. Nothing here.
    virtual void DrawScene() {}
    // Name of the nearest object hit by a left click (names >= 0 only).
    virtual void OnPick(int name) { (void)name; }
    // Shows a failure text; a plain OK box with the application's title.
    virtual void ShowFailure(const QString& text);

    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    // Sets the projection for a viewport of w x h device pixels.
    void SetProjection(int w, int h);
    // The selection pass at client position (x, y) after a left press.
    void SelectAt(int x, int y);

private:
    ViewportSize m_viewport{1, 1, 1.0};
    bool m_captured = false;
    bool m_glReady = false;
    QWidget* m_owner = nullptr;  // the window Create was given
};
