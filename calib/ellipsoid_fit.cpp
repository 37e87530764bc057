#include "calib/ellipsoid_fit.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace calib {

namespace {

// A surface through the samples must be reached by them along each axis over
// at least this part of its semi-axis, or that semi-axis is the noise's.
constexpr double kMinReach = 0.5;

// The samples about their mean, scaled so that the largest deviation is 1:
// the normal equations stay well conditioned for fields of any size.
struct Normalised {
    Eigen::Vector3d mean = Eigen::Vector3d::Zero();
    double scale = 0;
    std::vector<Eigen::Vector3d> points;
};

std::optional<Normalised> Normalise(const std::vector<Point3>& samples) {
    Normalised n;
    for (const Point3& p : samples) n.mean += Eigen::Vector3d(p.x, p.y, p.z);
    n.mean /= static_cast<double>(samples.size());
    for (const Point3& p : samples)
        n.scale = std::max(n.scale, (Eigen::Vector3d(p.x, p.y, p.z) - n.mean).cwiseAbs().maxCoeff());
    if (!(n.scale > 0) || !std::isfinite(n.scale)) return std::nullopt;
    n.points.reserve(samples.size());
    for (const Point3& p : samples) n.points.push_back((Eigen::Vector3d(p.x, p.y, p.z) - n.mean) / n.scale);
    return n;
}

// Least squares of rows . k = 1 by the normal equations; empty when singular.
template <int N>
std::optional<Eigen::Matrix<double, N, 1>> SolveNormal(const Eigen::Matrix<double, N, N>& ata,
                                                       const Eigen::Matrix<double, N, 1>& atb) {
    const Eigen::FullPivLU<Eigen::Matrix<double, N, N>> lu(ata);
    const auto pivots = lu.matrixLU().diagonal().cwiseAbs();
    if (!lu.isInvertible() || !(pivots.minCoeff() > 1e-12 * pivots.maxCoeff())) return std::nullopt;
    const Eigen::Matrix<double, N, 1> k = lu.solve(atb);
    if (!k.allFinite()) return std::nullopt;
    return k;
}

// The fit in the samples' own units, refused when the samples do not reach
// far enough along an axis; residual as documented.
std::optional<EllipsoidFit> Finish(const Normalised& n, const Eigen::Vector3d& centre, const Eigen::Vector3d& radii) {
    if (!centre.allFinite() || !radii.allFinite() || !(radii.minCoeff() > 0)) return std::nullopt;
    Eigen::Vector3d low = n.points.front(), high = n.points.front();
    for (const Eigen::Vector3d& p : n.points) {
        low = low.cwiseMin(p);
        high = high.cwiseMax(p);
    }
    for (int axis = 0; axis < 3; ++axis)
        if (high[axis] - low[axis] < kMinReach * radii[axis]) return std::nullopt;
    double sum = 0;
    for (const Eigen::Vector3d& p : n.points) {
        const double e = (p - centre).cwiseQuotient(radii).norm() - 1;
        sum += e * e;
    }
    const Eigen::Vector3d c = n.mean + centre * n.scale, r = radii * n.scale;
    EllipsoidFit fit;
    fit.centre = {c.x(), c.y(), c.z()};
    fit.radii = {r.x(), r.y(), r.z()};
    fit.residual = std::sqrt(sum / static_cast<double>(n.points.size()));
    return fit;
}

}  // namespace

std::optional<EllipsoidFit> FitAxisAlignedEllipsoid(const std::vector<Point3>& samples) {
    if (samples.size() < 6) return std::nullopt;
    const auto n = Normalise(samples);
    if (!n) return std::nullopt;
    Eigen::Matrix<double, 6, 6> ata = Eigen::Matrix<double, 6, 6>::Zero();
    Eigen::Matrix<double, 6, 1> atb = Eigen::Matrix<double, 6, 1>::Zero();
    for (const Eigen::Vector3d& p : n->points) {
        Eigen::Matrix<double, 6, 1> row;
        row << p.x() * p.x(), p.y() * p.y(), p.z() * p.z(), p.x(), p.y(), p.z();
        ata.noalias() += row * row.transpose();
        atb += row;
    }
    const auto k = SolveNormal<6>(ata, atb);
    if (!k) return std::nullopt;
    const Eigen::Vector3d a = k->head<3>();
    if (!(a.minCoeff() > 0)) return std::nullopt;
    const Eigen::Vector3d centre = -k->tail<3>().cwiseQuotient(2 * a);
    const double g = 1 + a.dot(centre.cwiseProduct(centre));
    if (!(g > 0)) return std::nullopt;
    return Finish(*n, centre, (g * a.cwiseInverse()).cwiseSqrt());
}

std::optional<EllipsoidFit> FitSphere(const std::vector<Point3>& samples) {
    if (samples.size() < 4) return std::nullopt;
    const auto n = Normalise(samples);
    if (!n) return std::nullopt;
    // |p|^2 = 2 c . p + (r^2 - |c|^2), linear in c and the last term.
    Eigen::Matrix4d ata = Eigen::Matrix4d::Zero();
    Eigen::Vector4d atb = Eigen::Vector4d::Zero();
    for (const Eigen::Vector3d& p : n->points) {
        const Eigen::Vector4d row(2 * p.x(), 2 * p.y(), 2 * p.z(), 1);
        ata.noalias() += row * row.transpose();
        atb += row * p.squaredNorm();
    }
    const auto k = SolveNormal<4>(ata, atb);
    if (!k) return std::nullopt;
    const Eigen::Vector3d centre = k->head<3>();
    const double r2 = (*k)[3] + centre.squaredNorm();
    if (!(r2 > 0)) return std::nullopt;
    return Finish(*n, centre, Eigen::Vector3d::Constant(std::sqrt(r2)));
}

std::optional<GeneralEllipsoidFit> FitGeneralEllipsoid(const std::vector<Point3>& samples) {
    if (samples.size() < 9) return std::nullopt;
    const auto n = Normalise(samples);
    if (!n) return std::nullopt;
    // a x^2 + b y^2 + c z^2 + 2d xy + 2e xz + 2f yz + 2g x + 2h y + 2i z = 1
    using Vector9d = Eigen::Matrix<double, 9, 1>;
    Eigen::Matrix<double, 9, 9> ata = Eigen::Matrix<double, 9, 9>::Zero();
    Vector9d atb = Vector9d::Zero();
    for (const Eigen::Vector3d& p : n->points) {
        const double x = p.x(), y = p.y(), z = p.z();
        Vector9d row;
        row << x * x, y * y, z * z, 2 * x * y, 2 * x * z, 2 * y * z, 2 * x, 2 * y, 2 * z;
        ata.noalias() += row * row.transpose();
        atb += row;
    }
    const auto k = SolveNormal<9>(ata, atb);
    if (!k) return std::nullopt;
    const Vector9d& v = *k;
    Eigen::Matrix3d m;
    m << v[0], v[3], v[4], v[3], v[1], v[5], v[4], v[5], v[2];
    const Eigen::LLT<Eigen::Matrix3d> llt(m);
    if (llt.info() != Eigen::Success) return std::nullopt;  // not an ellipsoid
    const Eigen::Vector3d centre = -llt.solve(v.tail<3>());
    const double g = 1 + centre.dot(m * centre);
    if (!(g > 0) || !centre.allFinite()) return std::nullopt;
    // Back to the samples' units: p = mean + scale q.
    const Eigen::Matrix3d shape = m / (g * n->scale * n->scale);
    const Eigen::Vector3d c = n->mean + centre * n->scale;
    GeneralEllipsoidFit fit;
    fit.centre = {c.x(), c.y(), c.z()};
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) fit.shape[size_t(r)][size_t(col)] = shape(r, col);
    return fit;
}

std::array<int, 3> DirectionOf(int i) {
    // The 26 neighbours of a cell, ordered by how many components are not 0.
    static const std::array<std::array<int, 3>, kDirectionCount> directions = [] {
        std::array<std::array<int, 3>, kDirectionCount> out{};
        int k = 0;
        for (int nonZero = 1; nonZero <= 3; ++nonZero)
            for (int s = 0; s < 27; ++s) {
                const std::array<int, 3> d{s / 9 - 1, s / 3 % 3 - 1, s % 3 - 1};
                if ((d[0] != 0) + (d[1] != 0) + (d[2] != 0) == nonZero) out[size_t(k++)] = d;
            }
        return out;
    }();
    return directions[size_t(std::clamp(i, 0, kDirectionCount - 1))];
}

std::array<bool, kDirectionCount> CoveredDirections(const std::vector<Point3>& samples, const Point3& centre,
                                                    const Point3& radii) {
    std::array<Eigen::Vector3d, kDirectionCount> unit;
    for (int i = 0; i < kDirectionCount; ++i) {
        const auto d = DirectionOf(i);
        unit[size_t(i)] = Eigen::Vector3d(d[0], d[1], d[2]).normalized();
    }
    std::array<bool, kDirectionCount> seen{};
    for (const Point3& p : samples) {
        const Eigen::Vector3d v((p.x - centre.x) / radii.x, (p.y - centre.y) / radii.y, (p.z - centre.z) / radii.z);
        if (!v.allFinite() || !(v.norm() > 0)) continue;
        int best = 0;
        for (int i = 1; i < kDirectionCount; ++i)
            if (unit[size_t(i)].dot(v) > unit[size_t(best)].dot(v)) best = i;
        seen[size_t(best)] = true;
    }
    return seen;
}

int CoveredSectors(const std::vector<Point3>& samples, const Point3& centre, const Point3& radii) {
    const auto seen = CoveredDirections(samples, centre, radii);
    return static_cast<int>(std::count(seen.begin(), seen.end(), true));
}

}  // namespace calib
