// The part on the virtual CMM's table: a scene of simple features read from a
// small text format (planes, spheres, cylinders, bores, boxes), the distance
// from a point to the part, and probing: where a probe ball travelling along
// a straight line first touches the part. No collision checks for plain moves.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cmmsim {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(const Vec3& a, double s);
double Dot(const Vec3& a, const Vec3& b);
double Length(const Vec3& a);
Vec3 Normalized(const Vec3& a);  // a zero vector stays zero

enum class FeatureKind { kPlane, kSphere, kCylinder, kBore, kBox };

// One scene line. Meaning of the fields by kind:
//   plane:    origin, axis = normal, width/height > 0 for a bounded rectangle
//   sphere:   origin = centre, radius
//   cylinder: origin = centre of the base, axis, radius, height
//   bore:     origin = centre of the bottom, axis out of the opening, radius, depth
//   box:      origin = minimum corner, corner = maximum corner
struct Feature {
    FeatureKind kind = FeatureKind::kPlane;
    Vec3 origin, axis, corner;
    double radius = 0, height = 0, width = 0;
    int line = 0;
    double Distance(const Vec3& p) const;  // signed: negative inside material
};

struct Scene {
    std::vector<Feature> features;
    // A lower bound of the distance to the part's surface (exact near a
    // single surface), negative inside material.
    double Distance(const Vec3& p) const;
    Vec3 OutwardNormal(const Vec3& p) const;
};

struct SceneParse {
    bool ok = false;
    Scene scene;
    std::string error;  // "line N: ..." when !ok
};
SceneParse ParseScene(const std::string& text);
const std::string& DefaultSceneText();
// A scene built into the program by name ("default", "bore50"); nullptr if none.
const std::string* BuiltInScene(const std::string& name);

struct Contact {
    Vec3 centre;   // probe ball centre at first contact
    Vec3 point;    // the touched point on the surface
    Vec3 normal;   // outward surface normal there
};
// First contact of a ball of the radius moving from start to target; none
// when it reaches the target untouched. A ball that starts in contact
// touches at the start.
std::optional<Contact> ProbeAlong(const Scene& scene, const Vec3& start, const Vec3& target,
                                  double radius);

}  // namespace cmmsim
