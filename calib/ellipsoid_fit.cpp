#include "calib/ellipsoid_fit.h"

#include <array>
#include <cmath>
#include <utility>

namespace calib {

namespace {

// Solves the 6 x 6 system in place by Gaussian elimination with partial
// pivoting; false when it is singular.
bool Solve6(std::array<std::array<double, 7>, 6>& m, std::array<double, 6>* out) {
    for (int col = 0; col < 6; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 6; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        if (std::fabs(m[pivot][col]) < 1e-12) return false;
        std::swap(m[col], m[pivot]);
        for (int r = 0; r < 6; ++r) {
            if (r == col) continue;
            const double f = m[r][col] / m[col][col];
            for (int c = col; c < 7; ++c) m[r][c] -= f * m[col][c];
        }
    }
    for (int i = 0; i < 6; ++i) (*out)[i] = m[i][6] / m[i][i];
    return true;
}

}  // namespace

std::optional<EllipsoidFit> FitAxisAlignedEllipsoid(const std::vector<Point3>& samples) {
    if (samples.size() < 6) return std::nullopt;
    // Work around the mean, scaled to about 1, so the normal equations stay
    // well conditioned for fields of any size.
    Point3 mean;
    for (const Point3& p : samples) {
        mean.x += p.x;
        mean.y += p.y;
        mean.z += p.z;
    }
    const double n = static_cast<double>(samples.size());
    mean = {mean.x / n, mean.y / n, mean.z / n};
    double spread = 0;
    for (const Point3& p : samples)
        spread = std::fmax(spread, std::fmax(std::fabs(p.x - mean.x), std::fmax(std::fabs(p.y - mean.y), std::fabs(p.z - mean.z))));
    if (!(spread > 0)) return std::nullopt;

    std::array<std::array<double, 7>, 6> m{};
    for (const Point3& p : samples) {
        const double x = (p.x - mean.x) / spread, y = (p.y - mean.y) / spread, z = (p.z - mean.z) / spread;
        const double row[6] = {x * x, y * y, z * z, x, y, z};
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j) m[i][j] += row[i] * row[j];
            m[i][6] += row[i];
        }
    }
    std::array<double, 6> k{};
    if (!Solve6(m, &k)) return std::nullopt;
    const double a = k[0], b = k[1], c = k[2];
    if (!(a > 0 && b > 0 && c > 0)) return std::nullopt;
    const double cx = -k[3] / (2 * a), cy = -k[4] / (2 * b), cz = -k[5] / (2 * c);
    const double g = 1 + a * cx * cx + b * cy * cy + c * cz * cz;
    if (!(g > 0)) return std::nullopt;
    EllipsoidFit fit;
    fit.centre = {mean.x + cx * spread, mean.y + cy * spread, mean.z + cz * spread};
    fit.radii = {std::sqrt(g / a) * spread, std::sqrt(g / b) * spread, std::sqrt(g / c) * spread};
    double sum = 0;
    for (const Point3& p : samples) {
        const double dx = (p.x - fit.centre.x) / fit.radii.x, dy = (p.y - fit.centre.y) / fit.radii.y,
                     dz = (p.z - fit.centre.z) / fit.radii.z;
        const double e = std::sqrt(dx * dx + dy * dy + dz * dz) - 1;
        sum += e * e;
    }
    fit.residual = std::sqrt(sum / n);
    return fit;
}

int CoveredSectors(const std::vector<Point3>& samples, const Point3& centre, const Point3& radii) {
    bool seen[27] = {};
    for (const Point3& p : samples) {
        const double v[3] = {(p.x - centre.x) / radii.x, (p.y - centre.y) / radii.y, (p.z - centre.z) / radii.z};
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (!(len > 0)) continue;
        int best = -1;
        double bestDot = -2;
        for (int s = 0; s < 27; ++s) {
            const int d[3] = {s / 9 - 1, s / 3 % 3 - 1, s % 3 - 1};
            if (d[0] == 0 && d[1] == 0 && d[2] == 0) continue;
            const double dlen = std::sqrt(static_cast<double>(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
            const double dot = (v[0] * d[0] + v[1] * d[1] + v[2] * d[2]) / (len * dlen);
            if (dot > bestDot) {
                bestDot = dot;
                best = s;
            }
        }
        if (best >= 0) seen[best] = true;
    }
    int count = 0;
    for (bool s : seen) count += s;
    return count;
}

}  // namespace calib
