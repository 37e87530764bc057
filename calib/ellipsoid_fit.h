#pragma once
// Fitting an axis-aligned ellipsoid to magnetometer samples, and how well the
// samples cover the directions around its centre. Plain C++: the simulated
// module uses it for its own magnetometer calibration, tarvik-cli to judge the
// samples of a calibration run.
#include <optional>
#include <vector>

namespace calib {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

struct EllipsoidFit {
    Point3 centre;     // the hard-iron offset
    Point3 radii;      // semi-axes along x, y, z
    double residual;   // RMS of (normalised distance from the centre - 1)
};

// Least squares of a x^2 + b y^2 + c z^2 + d x + e y + f z = 1. Empty when the
// samples do not determine an ellipsoid (too few, all in a plane or a line).
std::optional<EllipsoidFit> FitAxisAlignedEllipsoid(const std::vector<Point3>& samples);

// Of the 26 directions from a centre to the faces, edges and corners of a cube,
// how many are the nearest direction of at least one sample (after taking away
// the centre and dividing by the radii).
int CoveredSectors(const std::vector<Point3>& samples, const Point3& centre, const Point3& radii);

}  // namespace calib
