#pragma once
// COpenGlAhrs: the 3D attitude scene. A ruled reference corner of one metre
// with the world axes, the module as a textured box with its own axes at its
// position and turned by its Euler angles, and an optional point cloud with
// its bounding box. Owners write the members and call Invalidate.
#include "ui/views/opengl_wnd.h"

#include <cstdint>

class COpenGlAhrs : public COpenGlWnd {
    Q_OBJECT
public:
    enum : int { kMaxPoints = 1000, kBoundingBoxFrom = 11 };
    // Texture slots, in this order.
    enum : int { TEX_TOP = 0, TEX_BOTTOM, TEX_CONNECTOR_SIDE, TEX_PLAIN_SIDE, TEX_COUNT };

    explicit COpenGlAhrs(QWidget* parent = nullptr);
    ~COpenGlAhrs() override;

    // Pose of the module: metres and degrees.
    double m_position[3] = {0, 0, 0};
    double m_roll = 0;
    double m_yaw = 0;
    double m_pitch = 0;

    // Point cloud in scene units: the first m_pointCount entries are valid.
    int32_t m_pointCount = 0;
    float m_points[kMaxPoints][3] = {};

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

    bool m_texturesLoaded = false;
    uint32_t m_textures[TEX_COUNT] = {};
    bool m_textureOk[TEX_COUNT] = {};
};
