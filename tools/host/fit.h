// Least-squares fits for the demo's measured points: a plane (normal through
// the smallest eigenvector of the scatter matrix, flatness as the spread of
// the distances) and a circle (in the points' best plane: algebraic fit, then
// geometric Gauss-Newton refinement).
#pragma once

#include <array>
#include <optional>
#include <vector>

using Vec3 = std::array<double, 3>;

struct PlaneFit {
    Vec3 point;      // centroid
    Vec3 normal;     // unit length, z >= 0 when possible
    double flatness; // max - min signed distance
};

struct CircleFit {
    Vec3 centre;
    Vec3 normal;       // of the circle's plane
    double diameter;
    double roundness;  // max - min radial distance
};

std::optional<PlaneFit> FitPlane(const std::vector<Vec3>& points);      // needs 3 points not on a line
std::optional<CircleFit> FitCircle(const std::vector<Vec3>& points);    // needs 3 points not on a line
