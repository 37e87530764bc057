#include "ui/views/opengl_ahrs.h"

#include "ui/toolkit/dialog.h"

#include <QImage>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

constexpr double kBoxX = 0.04, kBoxY = 0.04, kBoxZ = 0.01;
constexpr double kWorldAxes = 1.5;
constexpr double kBodyAxes = 0.05;

constexpr double kStartAzimuth = 220.0;
constexpr double kStartElevation = 45.0;
constexpr double kStartEye[3] = {0.0, -1.0, 0.0};

const char* const kTexturePaths[COpenGlAhrs::TEX_COUNT] = {
    ":/textures/top.png",            // 200 x 200
    ":/textures/bottom.png",         // 200 x 200
    ":/textures/connector_side.png", // 200 x 65
    ":/textures/plain_side.png",     // 200 x 65
};

struct Vertex {
    double x, y, z;  // signs of the half sizes
    double s, t;
};
struct Face {
    double normal[3];
    int texture;
    Vertex v[4];
};

// Faces of the module box, in drawing order.
const Face kFaces[6] = {
    {{0, 0, 1}, COpenGlAhrs::TEX_TOP,
     {{1, 1, 1, 0, 1}, {1, -1, 1, 1, 1}, {-1, -1, 1, 1, 0}, {-1, 1, 1, 0, 0}}},
    {{0, 0, -1}, COpenGlAhrs::TEX_BOTTOM,
     {{-1, 1, -1, 0, 1}, {-1, -1, -1, 1, 1}, {1, -1, -1, 1, 0}, {1, 1, -1, 0, 0}}},
    {{1, 0, 0}, COpenGlAhrs::TEX_PLAIN_SIDE,
     {{1, 1, 1, 1, 1}, {1, 1, -1, 1, 0}, {1, -1, -1, 0, 0}, {1, -1, 1, 0, 1}}},
    {{-1, 0, 0}, COpenGlAhrs::TEX_CONNECTOR_SIDE,
     {{-1, 1, 1, 1, 1}, {-1, 1, -1, 1, 0}, {-1, -1, -1, 0, 0}, {-1, -1, 1, 0, 1}}},
    {{0, 1, 0}, COpenGlAhrs::TEX_PLAIN_SIDE,
     {{-1, 1, 1, 0, 1}, {1, 1, 1, 1, 1}, {1, 1, -1, 1, 0}, {-1, 1, -1, 0, 0}}},
    {{0, -1, 0}, COpenGlAhrs::TEX_PLAIN_SIDE,
     {{-1, -1, 1, 0, 1}, {1, -1, 1, 1, 1}, {1, -1, -1, 1, 0}, {-1, -1, -1, 0, 0}}},
};

} // namespace

COpenGlAhrs::COpenGlAhrs(QWidget* parent) : COpenGlWnd(parent) {}

COpenGlAhrs::~COpenGlAhrs() {
    // Textures live as long as the context; free them with it.
    if (m_texturesLoaded && context()) {
        makeCurrent();
        glDeleteTextures(TEX_COUNT, m_textures);
        doneCurrent();
    }
}

bool COpenGlAhrs::EmbedInPlaceholder(CDialog* dlg, int id, const QString& name, const QRect& fallback) {
    const QWidget* placeholder = dlg->GetDlgItem(id);
    const QRect rect = placeholder ? placeholder->geometry() : fallback;
    if (!Create(dlg, rect, name, id)) return false;
    dlg->ReplaceDlgItem(id, this);  // the view takes the placeholder's id and place
    setObjectName(name);            // which named it after the id
    setGeometry(rect);
    ResetCamera();
    show();
    setFocus();
    return true;
}

void COpenGlAhrs::ResetCamera() {
    m_camera.azimuth = kStartAzimuth;
    m_camera.elevation = kStartElevation;
    for (int i = 0; i < 3; ++i) m_camera.eye[i] = kStartEye[i];
}

const char* COpenGlAhrs::TexturePath(int slot) {
    return slot >= 0 && slot < TEX_COUNT ? kTexturePaths[slot] : "";
}

void COpenGlAhrs::LoadTextures() {
    glGenTextures(TEX_COUNT, m_textures);
    for (int i = 0; i < TEX_COUNT; ++i)
        m_textureOk[i] = LoadTexture(kTexturePaths[i], m_textures[i]);
    // Marked loaded even when a picture failed: its faces stay untextured.
    m_texturesLoaded = true;
}

bool COpenGlAhrs::LoadTexture(const char* path, uint32_t name) {
    QImage image(QString::fromLatin1(path));
    if (image.isNull())
        return false;
    // 24-bit pixels, rows bottom-up (t = 0 at the picture's bottom row).
    // QImage rows are 4-byte aligned, matching the unpack alignment.
    image = image.convertToFormat(QImage::Format_RGB888).mirrored(false, true);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width(), image.height(), 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.constBits());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return glGetError() == GL_NO_ERROR;
}

void COpenGlAhrs::DrawAxes(double length) {
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    glColor3d(0, 0, 1);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, length);
    glColor3d(0, 1, 0);
    glVertex3d(0, 0, 0);
    glVertex3d(0, length, 0);
    glColor3d(1, 0, 0);
    glVertex3d(0, 0, 0);
    glVertex3d(length, 0, 0);
    glEnd();
    glEnable(GL_LIGHTING);
}

void COpenGlAhrs::DrawModuleBox(double sx, double sy, double sz) {
    const double X = sx / 2, Y = sy / 2, Z = sz / 2;
    glEnable(GL_TEXTURE_2D);
    for (const Face& f : kFaces) {
        glBindTexture(GL_TEXTURE_2D, TextureName(f.texture));
        glBegin(GL_QUADS);
        glNormal3d(f.normal[0], f.normal[1], f.normal[2]);
        for (const Vertex& v : f.v) {
            glTexCoord2d(v.s, v.t);
            glVertex3d(v.x * X, v.y * Y, v.z * Z);
        }
        glEnd();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void COpenGlAhrs::DrawPointCloud() {
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glColor3d(1, 1, 1);
    glPointSize(3.0f);
    int count = m_pointCount;
    if (count < 0) count = 0;
    if (count > kMaxPoints) count = kMaxPoints;  // never read past the buffer
    glBegin(GL_POINTS);
    for (int i = 0; i < count; ++i)
        glVertex3f(m_points[i][0], m_points[i][1], m_points[i][2]);
    glEnd();
    if (count >= kBoundingBoxFrom) {
        const Bounds b = PointBounds(m_points, count);
        for (float z : {b.min[2], b.max[2]}) {
            glBegin(GL_LINE_LOOP);
            glVertex3f(b.min[0], b.min[1], z);
            glVertex3f(b.min[0], b.max[1], z);
            glVertex3f(b.max[0], b.max[1], z);
            glVertex3f(b.max[0], b.min[1], z);
            glEnd();
        }
        glBegin(GL_LINES);
        for (float x : {b.min[0], b.max[0]})
            for (float y : {b.min[1], b.max[1]}) {
                glVertex3f(x, y, b.min[2]);
                glVertex3f(x, y, b.max[2]);
            }
        glEnd();
    }
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

void COpenGlAhrs::DrawMarkers() {
    int count = m_markerCount;
    if (count <= 0) return;
    if (count > kMaxMarkers) count = kMaxMarkers;
    glDisable(GL_LIGHTING);
    glLineWidth(3.0f);
    glPointSize(9.0f);
    for (int i = 0; i < count; ++i) {
        const Marker& m = m_markers[i];
        if (m.covered) glColor3d(0.2, 0.85, 0.2);
        else glColor3d(1.0, 0.3, 0.2);
        glBegin(GL_LINES);
        glVertex3fv(m.from);
        glVertex3fv(m.to);
        glEnd();
        glBegin(GL_POINTS);
        glVertex3fv(m.to);
        glEnd();
    }
    glLineWidth(1.0f);
    glEnable(GL_LIGHTING);
}

void COpenGlAhrs::DrawScene() {
    if (!m_texturesLoaded)
        LoadTextures();

    // Camera.
    gluLookAt(m_camera.eye[0], m_camera.eye[1], m_camera.eye[2], m_camera.lookAt[0], m_camera.lookAt[1],
              m_camera.lookAt[2], 0, 0, 1);
    glRotated(m_camera.elevation, 1, 0, 0);
    glRotated(m_camera.azimuth, 0, 0, 1);

    // Reference corner: floor z = -0.5 and walls y = -0.5, x = -0.5, ruled every 0.1.
    glDisable(GL_LIGHTING);
    glColor3d(0.5, 0.5, 0.5);
    glBegin(GL_LINES);
    for (int i = -5; i <= 5; ++i) {
        const double d = 0.1 * i;
        glVertex3d(d, -0.5, -0.5); glVertex3d(d, 0.5, -0.5);
        glVertex3d(-0.5, d, -0.5); glVertex3d(0.5, d, -0.5);
        glVertex3d(d, -0.5, -0.5); glVertex3d(d, -0.5, 0.5);
        glVertex3d(-0.5, -0.5, d); glVertex3d(0.5, -0.5, d);
        glVertex3d(-0.5, d, -0.5); glVertex3d(-0.5, d, 0.5);
        glVertex3d(-0.5, -0.5, d); glVertex3d(-0.5, 0.5, d);
    }
    glEnd();
    glEnable(GL_LIGHTING);

    DrawAxes(kWorldAxes);

    // The module at its pose.
    glPushMatrix();
    glTranslated(m_position[0], m_position[1], m_position[2]);
    glRotated(m_yaw, 0, 0, 1);
    glRotated(m_pitch, 0, 1, 0);
    glRotated(m_roll, 1, 0, 0);
    glColor3d(1, 1, 1);
    DrawModuleBox(kBoxX, kBoxY, kBoxZ);
    DrawAxes(kBodyAxes);
    glPopMatrix();

    DrawPointCloud();
    DrawMarkers();
}
