// The virtual CMM's actions on the shared state: moves, probing moves that
// find the part and queue the measured point (with seeded noise along the
// surface normal), taking the next measured point for a position poll, and
// the direction angles that the answers carry.
#pragma once

#include "geometry.h"
#include "state.h"

#include <optional>

namespace cmmsim {

void MoveMachine(SimState& state, const Vec3& target);

// Travels from start towards target; on contact the machine stops with the
// ball touching, and the point is measured and queued. Without contact the
// machine ends at the target and nothing is queued.
std::optional<MeasuredPoint> ProbeMove(SimState& state, const Scene& scene, const Vec3& start,
                                       const Vec3& target);

void QueuePoint(SimState& state, const MeasuredPoint& point);
// The oldest queued point, removed and counted as answered.
std::optional<MeasuredPoint> TakeNextPoint(SimState& state);
// The current position with the last probing direction.
MeasuredPoint CurrentPosition(const SimState& state);

// Angles in degrees between the direction and the X, Y and Z axes.
Vec3 DirectionAngles(const Vec3& direction);

// The scene of the installation, parsed once per process.
const Scene& InstalledScene(const Config& config);

}  // namespace cmmsim
