#pragma once
// COpenGlAhrs: the 3D attitude scene. A ruled reference corner of one metre
// with the world axes, the module as a textured box with its own axes at its
// position and turned by its Euler angles, and an optional point cloud with
// its bounding box. Owners write the members and call Invalidate.
#include "ui/views/opengl_wnd.h"

#include <cstdint>

class CDialog;

class COpenGlAhrs : public COpenGlWnd {
    Q_OBJECT
public:
    enum : int { kMaxPoints = 1000, kBoundingBoxFrom = 11 };
    // Texture slots, in this order.
    enum : int { TEX_TOP = 0, TEX_BOTTOM, TEX_CONNECTOR_SIDE, TEX_PLAIN_SIDE, TEX_COUNT };

    explicit COpenGlAhrs(QWidget* parent = nullptr);
    ~COpenGlAhrs() override;

    // Creates the view's window in the place of the dialog's hidden
    // placeholder control `id`: its rectangle (or `fallback`, in the dialog's
    // pixels, when the template has none) and its id, with the window name
    // `name`. The camera then stands at its starting place, and the view is
    // shown with the keyboard focus (so that the wheel zooms at once). False
    // when the OpenGL set-up failed: the dialog goes on without the view.
    bool EmbedInPlaceholder(CDialog* dlg, int id, const QString& name, const QRect& fallback);
    // The camera's starting place: azimuth 220 degrees, elevation 45 degrees,
    // eye at (0, -1, 0). The look-at point stays where it is.
    void ResetCamera();

    // Pose of the module: metres and degrees.
    double m_position[3] = {0, 0, 0};
    double m_roll = 0;
    double m_yaw = 0;
    double m_pitch = 0;

    // Point cloud in scene units: the first m_pointCount entries are valid.
    int32_t m_pointCount = 0;
    float m_points[kMaxPoints][3] = {};

    // Direction markers around the cloud (the magnetometer coach's 26
    // directions), in scene units: a spoke from `from` to `to`, green when
    // the direction is covered, red when it is still missing. The first
    // m_markerCount entries are drawn.
    enum : int { kMaxMarkers = 26 };
    struct Marker {
        float from[3];
        float to[3];
        bool covered;
    };
    int m_markerCount = 0;
    Marker m_markers[kMaxMarkers] = {};

    bool TexturesLoaded() const { return m_texturesLoaded; }
    // The texture name of a slot; 0 when its picture could not be loaded.
    uint32_t TextureName(int slot) const { return m_textureOk[slot] ? m_textures[slot] : 0; }

    // Resource path of each texture picture.
    static const char* TexturePath(int slot);

protected:
    void DrawScene() override;

private:
    void LoadTextures();
    bool LoadTexture(const char* path, uint32_t name);
    static void DrawAxes(double length);
    void DrawModuleBox(double sx, double sy, double sz);
    void DrawPointCloud();
    void DrawMarkers();

    bool m_texturesLoaded = false;
    uint32_t m_textures[TEX_COUNT] = {};
    bool m_textureOk[TEX_COUNT] = {};
};
