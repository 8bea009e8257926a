// Virtual CMM actions. Noise is drawn from a generator seeded by the
// installation's seed and the probing move's number, so a run is repeatable
// whichever process does the probing.
#include "machine.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>
#include <stdexcept>

namespace cmmsim {

void MoveMachine(SimState& state, const Vec3& target) {
    Vec3 travel = target - state.machine.position;
    if (Length(travel) > 1e-12) state.machine.lastDirection = Normalized(travel);
    state.machine.position = target;
}

std::optional<MeasuredPoint> ProbeMove(SimState& state, const Scene& scene, const Vec3& start,
                                       const Vec3& target) {
    uint64_t number = state.probes++;
    double radius = std::max(state.machine.probeDiameter / 2, 0.0);
    std::optional<Contact> contact = ProbeAlong(scene, start, target, radius);
    if (!contact) {
        MoveMachine(state, target);
        return std::nullopt;
    }
    state.machine.position = contact->centre;
    MeasuredPoint measured;
    measured.direction = contact->normal * -1.0;
    measured.point = contact->point;
    if (state.config.noise > 0) {
        std::mt19937_64 generator(state.config.seed * 1000003u + number);
        std::normal_distribution<double> error(0.0, state.config.noise);
        measured.point = measured.point + contact->normal * error(generator);
    }
    state.machine.lastDirection = measured.direction;
    QueuePoint(state, measured);
    return measured;
}

void QueuePoint(SimState& state, const MeasuredPoint& point) {
    state.queue.push_back(point);
    ++state.pointsQueued;
}

std::optional<MeasuredPoint> TakeNextPoint(SimState& state) {
    if (state.queue.empty()) return std::nullopt;
    MeasuredPoint point = state.queue.front();
    state.queue.pop_front();
    ++state.pointsAnswered;
    return point;
}

MeasuredPoint CurrentPosition(const SimState& state) {
    return MeasuredPoint{state.machine.position, state.machine.lastDirection};
}

Vec3 DirectionAngles(const Vec3& direction) {
    Vec3 u = Normalized(direction);
    const double degrees = 180.0 / std::acos(-1.0);
    auto angle = [&](double c) { return std::acos(std::clamp(c, -1.0, 1.0)) * degrees; };
    return Vec3{angle(u.x), angle(u.y), angle(u.z)};
}

const Scene& InstalledScene(const Config& config) {
    static std::once_flag once;
    static Scene scene;
    std::call_once(once, [&] {
        SceneParse parsed = ParseScene(config.sceneText);
        if (!parsed.ok) throw std::runtime_error("installed scene: " + parsed.error);
        scene = parsed.scene;
    });
    return scene;
}

}  // namespace cmmsim
