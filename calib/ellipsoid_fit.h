#pragma once
// Fitting an ellipsoid to magnetometer samples, and how well the samples cover
// the directions around its centre. Plain C++ with Eigen: the simulated module
// uses it for its own magnetometer calibration, the coach (calib/mag_coach.h)
// to judge the samples of a calibration run.
#include <array>
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
// samples do not determine an ellipsoid: too few, all in a plane or along a
// line, or reaching along some axis less than half the fitted semi-axis (a thin
// slab of samples leaves that semi-axis to the noise).
std::optional<EllipsoidFit> FitAxisAlignedEllipsoid(const std::vector<Point3>& samples);

// The same with one radius for all axes (a centre only): for samples that do
// not determine the three semi-axes. Empty by the same rules.
std::optional<EllipsoidFit> FitSphere(const std::vector<Point3>& samples);

// An ellipsoid in any orientation (soft iron across the axes too): the points
// p with (p - centre)^T shape (p - centre) = 1. Empty when the samples do not
// determine one.
struct GeneralEllipsoidFit {
    Point3 centre;
    std::array<std::array<double, 3>, 3> shape{};  // symmetric, positive definite
};
std::optional<GeneralEllipsoidFit> FitGeneralEllipsoid(const std::vector<Point3>& samples);

// The 26 directions from a centre to the faces, edges and corners of a cube:
// direction i has the components -1, 0 or 1 given by DirectionOf(i); the six
// faces come first, then the twelve edges, then the eight corners.
constexpr int kDirectionCount = 26;
std::array<int, 3> DirectionOf(int i);

// Which of the 26 directions are the nearest direction of at least one sample
// (after taking away the centre and dividing by the radii).
std::array<bool, kDirectionCount> CoveredDirections(const std::vector<Point3>& samples, const Point3& centre,
                                                    const Point3& radii);
// How many of them.
int CoveredSectors(const std::vector<Point3>& samples, const Point3& centre, const Point3& radii);

}  // namespace calib
