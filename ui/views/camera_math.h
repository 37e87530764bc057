#pragma once
// Camera and pose arithmetic of the 3D attitude view, free of any window or
// GL code so that the mouse rules, the clamps and the projection can be
// checked on their own. Angles are in degrees, lengths in scene units
// (one unit is one metre of the module's position), world Z is up.
#include <cstdint>

// The view's camera. Starting values are those of a freshly made view.
struct Camera {
    double fieldOfView = 45.0;              // vertical, degrees; never changed
    double eye[3] = {0.0, -1.0, 0.0};
    double lookAt[3] = {0.0, 0.0, 0.0};
    double azimuth = 90.0;                  // turn of the scene about world Z
    double elevation = 45.0;                // tilt about X, after the azimuth
};

// Mouse drag modes.
enum DragMode : int { DRAG_NONE = 0, DRAG_TURN = 1, DRAG_MOVE = 2, DRAG_MIDDLE = 3 };

constexpr double kPixelsPerDegree = 3.6;    // left drag
constexpr double kPixelsPerUnit = 500.0;    // right drag
constexpr double kWheelStep = 0.1;
constexpr double kEyeNearest = -0.2;        // eye y never goes above this
constexpr double kEyeFarthest = -3.0;       // nor below this
constexpr double kNearPlane = 0.1;
constexpr double kFarPlane = 1000.0;

// One mouse move of (dx, dy) pixels in the given drag mode: a turn drag
// changes azimuth and elevation without limits or wrapping, a move drag shifts
// the look-at point in x and z, anything else changes nothing.
void ApplyDrag(Camera& camera, int mode, int dx, int dy);

// One wheel message: one step towards the scene for delta >= 0, one step away
// for delta < 0, whatever its size; the eye's y is then kept in [-3, -0.2].
void ApplyWheel(Camera& camera, int delta);

// Viewport size of a client area: sizes below 1 count as 1, so that the
// aspect ratio never divides by zero.
struct ViewportSize {
    int width;
    int height;
    double aspect;
};
ViewportSize ViewportFor(int width, int height);

// Column-major 4 x 4 matrices, laid out as OpenGL takes them.
struct Mat4 {
    double m[16];
};
Mat4 Identity();
Mat4 Multiply(const Mat4& a, const Mat4& b);        // a * b
Mat4 Perspective(double fovyDegrees, double aspect, double zNear, double zFar);
Mat4 LookAt(const double eye[3], const double center[3], const double up[3]);
Mat4 Rotation(double degrees, double x, double y, double z);
Mat4 Translation(double x, double y, double z);

// The modelview matrix of the scene for the camera: look from the eye at the
// look-at point with Z up, then tilt by the elevation about X and turn by the
// azimuth about Z.
Mat4 SceneView(const Camera& camera);

// The module's body-to-world transform: translate to the position, then turn
// by yaw about Z, pitch about Y and roll about X (applied in this order).
Mat4 ModulePose(const double position[3], double roll, double pitch, double yaw);

// Transforms the point p (w = 1) by m; returns false when the result has
// w <= 0 (behind the eye).
bool TransformPoint(const Mat4& m, const double p[3], double out[3]);

// Projects a world point to window coordinates (origin at the top-left,
// y downwards) as the view would draw it in a width x height window.
// Returns false when the point is behind the eye.
bool ProjectToWindow(const Camera& camera, int width, int height, const Mat4& model,
                     const double world[3], double* winX, double* winY);

// The nearest hit of a selection buffer: hit records read at a fixed stride
// of four entries (name count, minimum depth, maximum depth, name), the record
// with the smallest minimum depth (unsigned) winning, the first on ties.
// `hits` may be negative (buffer overflow) or larger than the buffer holds;
// only complete records inside the buffer are read. Returns the winning name
// read as signed, or -1 when there is none.
int32_t NearestHitName(const uint32_t* buffer, int bufferEntries, int hits);

// Minimum and maximum of a point cloud, starting from 1000 / -1000 as the
// view does; `count` below 0 counts as 0.
struct Bounds {
    float min[3];
    float max[3];
};
Bounds PointBounds(const float (*points)[3], int count);
