#include "ui/views/camera_math.h"

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

void ApplyDrag(Camera& camera, int mode, int dx, int dy) {
    switch (mode) {
    case DRAG_TURN:
        camera.azimuth += dx / kPixelsPerDegree;
        camera.elevation += dy / kPixelsPerDegree;
        break;
    case DRAG_MOVE:
        camera.lookAt[0] -= dx / kPixelsPerUnit;
        camera.lookAt[2] += dy / kPixelsPerUnit;
        break;
    default:
        break;
    }
}

void ApplyWheel(Camera& camera, int delta) {
    if (delta >= 0)
        camera.eye[1] += kWheelStep;
    else
        camera.eye[1] -= kWheelStep;
    if (camera.eye[1] > kEyeNearest)
        camera.eye[1] = kEyeNearest;
    else if (camera.eye[1] < kEyeFarthest)
        camera.eye[1] = kEyeFarthest;
}

ViewportSize ViewportFor(int width, int height) {
    ViewportSize v{width < 1 ? 1 : width, height < 1 ? 1 : height, 1.0};
    v.aspect = static_cast<double>(v.width) / static_cast<double>(v.height);
    return v;
}

Mat4 Identity() {
    Mat4 r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0;
    return r;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k)
                s += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = s;
        }
    return r;
}

Mat4 Perspective(double fovyDegrees, double aspect, double zNear, double zFar) {
    // gluPerspective
    const double f = 1.0 / std::tan(fovyDegrees * kPi / 360.0);
    Mat4 r{};
    r.m[0] = f / aspect;
    r.m[5] = f;
    r.m[10] = (zFar + zNear) / (zNear - zFar);
    r.m[11] = -1.0;
    r.m[14] = 2.0 * zFar * zNear / (zNear - zFar);
    return r;
}

Mat4 LookAt(const double eye[3], const double center[3], const double up[3]) {
    // gluLookAt
    double f[3] = {center[0] - eye[0], center[1] - eye[1], center[2] - eye[2]};
    double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (fl > 0)
        for (double& c : f) c /= fl;
    double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2],
                   f[0] * up[1] - f[1] * up[0]};
    double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (sl > 0)
        for (double& c : s) c /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                         s[0] * f[1] - s[1] * f[0]};
    Mat4 r = Identity();
    for (int i = 0; i < 3; ++i) {
        r.m[i * 4 + 0] = s[i];
        r.m[i * 4 + 1] = u[i];
        r.m[i * 4 + 2] = -f[i];
    }
    return Multiply(r, Translation(-eye[0], -eye[1], -eye[2]));
}

Mat4 Rotation(double degrees, double x, double y, double z) {
    // glRotated
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len <= 0)
        return Identity();
    x /= len;
    y /= len;
    z /= len;
    const double a = degrees * kPi / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1.0 - c;
    Mat4 r = Identity();
    r.m[0] = x * x * t + c;
    r.m[1] = y * x * t + z * s;
    r.m[2] = x * z * t - y * s;
    r.m[4] = x * y * t - z * s;
    r.m[5] = y * y * t + c;
    r.m[6] = y * z * t + x * s;
    r.m[8] = x * z * t + y * s;
    r.m[9] = y * z * t - x * s;
    r.m[10] = z * z * t + c;
    return r;
}

Mat4 Translation(double x, double y, double z) {
    Mat4 r = Identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

Mat4 SceneView(const Camera& camera) {
    static constexpr double kUp[3] = {0.0, 0.0, 1.0};
    Mat4 m = LookAt(camera.eye, camera.lookAt, kUp);
    m = Multiply(m, Rotation(camera.elevation, 1, 0, 0));
    return Multiply(m, Rotation(camera.azimuth, 0, 0, 1));
}

Mat4 ModulePose(const double position[3], double roll, double pitch, double yaw) {
    Mat4 m = Translation(position[0], position[1], position[2]);
    m = Multiply(m, Rotation(yaw, 0, 0, 1));
    m = Multiply(m, Rotation(pitch, 0, 1, 0));
    return Multiply(m, Rotation(roll, 1, 0, 0));
}

bool TransformPoint(const Mat4& m, const double p[3], double out[3]) {
    double v[4];
    for (int row = 0; row < 4; ++row)
        v[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row];
    if (v[3] <= 0)
        return false;
    for (int i = 0; i < 3; ++i) out[i] = v[i] / v[3];
    return true;
}

bool ProjectToWindow(const Camera& camera, int width, int height, const Mat4& model,
                     const double world[3], double* winX, double* winY) {
    const ViewportSize vp = ViewportFor(width, height);
    const Mat4 clip = Multiply(Perspective(camera.fieldOfView, vp.aspect, kNearPlane, kFarPlane),
                               Multiply(SceneView(camera), model));
    double ndc[3];
    if (!TransformPoint(clip, world, ndc))
        return false;
    *winX = (ndc[0] + 1.0) * 0.5 * vp.width;
    *winY = (1.0 - (ndc[1] + 1.0) * 0.5) * vp.height;
    return true;
}

int32_t NearestHitName(const uint32_t* buffer, int bufferEntries, int hits) {
    if (buffer == nullptr || hits <= 0 || bufferEntries < 4)
        return -1;
    const int records = hits < bufferEntries / 4 ? hits : bufferEntries / 4;
    int best = 0;
    for (int i = 1; i < records; ++i)
        if (buffer[i * 4 + 1] < buffer[best * 4 + 1])
            best = i;
    return static_cast<int32_t>(buffer[best * 4 + 3]);
}

Bounds PointBounds(const float (*points)[3], int count) {
    Bounds b{{1000.f, 1000.f, 1000.f}, {-1000.f, -1000.f, -1000.f}};
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k) {
            if (points[i][k] < b.min[k]) b.min[k] = points[i][k];
            if (points[i][k] > b.max[k]) b.max[k] = points[i][k];
        }
    return b;
}
