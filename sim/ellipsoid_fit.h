#pragma once
// The simulator's names for the shared ellipsoid fit (calib/ellipsoid_fit.h).
#include "calib/ellipsoid_fit.h"

namespace sim {
using calib::CoveredSectors;
using calib::EllipsoidFit;
using calib::FitAxisAlignedEllipsoid;
using calib::Point3;
}  // namespace sim
