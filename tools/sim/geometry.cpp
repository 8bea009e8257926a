// Signed distances of the scene features, their combination into one part
// (solids and plates united, bores cut out) and probing by sphere tracing
// along the travel line, refined by bisection.
#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace cmmsim {

Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalized(const Vec3& a) {
    double length = Length(a);
    return length > 0 ? a * (1.0 / length) : a;
}

namespace {

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Exact distance of a capped or half-open cylinder from its radial and axial
// excesses (each negative inside).
double CylinderDistance(double radial, double axial) {
    double outside = std::hypot(std::max(radial, 0.0), std::max(axial, 0.0));
    return outside + std::min(std::max(radial, axial), 0.0);
}

double RadialExcess(const Feature& f, const Vec3& p, double* along) {
    Vec3 v = p - f.origin;
    *along = Dot(v, f.axis);
    return Length(v - f.axis * *along) - f.radius;
}

double BoxDistance(const Feature& f, const Vec3& p) {
    Vec3 centre = (f.origin + f.corner) * 0.5;
    Vec3 half = (f.corner - f.origin) * 0.5;
    Vec3 q{std::fabs(p.x - centre.x) - half.x, std::fabs(p.y - centre.y) - half.y,
           std::fabs(p.z - centre.z) - half.z};
    Vec3 outside{std::max(q.x, 0.0), std::max(q.y, 0.0), std::max(q.z, 0.0)};
    return Length(outside) + std::min(std::max({q.x, q.y, q.z}), 0.0);
}

// A bounded plane is a thin rectangle centred at its origin; its first side
// runs along the X axis projected into the plane (Y when the normal is X).
double RectangleDistance(const Feature& f, const Vec3& p) {
    Vec3 u = Vec3{1, 0, 0} - f.axis * f.axis.x;
    if (Length(u) < 1e-9) u = Vec3{0, 1, 0} - f.axis * f.axis.y;
    u = Normalized(u);
    Vec3 v = Cross(f.axis, u);
    Vec3 d = p - f.origin;
    double du = std::max(std::fabs(Dot(d, u)) - f.width / 2, 0.0);
    double dv = std::max(std::fabs(Dot(d, v)) - f.height / 2, 0.0);
    double dn = Dot(d, f.axis);
    return std::sqrt(du * du + dv * dv + dn * dn);
}

}  // namespace

double Feature::Distance(const Vec3& p) const {
    double along = 0;
    switch (kind) {
    case FeatureKind::kPlane:
        return width > 0 ? RectangleDistance(*this, p) : Dot(p - origin, axis);
    case FeatureKind::kSphere:
        return Length(p - origin) - radius;
    case FeatureKind::kCylinder: {
        double radial = RadialExcess(*this, p, &along);
        return CylinderDistance(radial, std::fabs(along - height / 2) - height / 2);
    }
    case FeatureKind::kBore: {
        // The cut reaches from the bottom out through the opening and on, so
        // nothing closes the opening over the hole.
        double radial = RadialExcess(*this, p, &along);
        return CylinderDistance(radial, -along);
    }
    case FeatureKind::kBox:
        return BoxDistance(*this, p);
    }
    return std::numeric_limits<double>::infinity();
}

double Scene::Distance(const Vec3& p) const {
    double material = std::numeric_limits<double>::infinity();
    double cut = -std::numeric_limits<double>::infinity();
    for (const Feature& f : features) {
        if (f.kind == FeatureKind::kBore) cut = std::max(cut, -f.Distance(p));
        else material = std::min(material, f.Distance(p));
    }
    return std::max(material, cut);
}

Vec3 Scene::OutwardNormal(const Vec3& p) const {
    const double h = 1e-6;
    Vec3 g{Distance(p + Vec3{h, 0, 0}) - Distance(p - Vec3{h, 0, 0}),
           Distance(p + Vec3{0, h, 0}) - Distance(p - Vec3{0, h, 0}),
           Distance(p + Vec3{0, 0, h}) - Distance(p - Vec3{0, 0, h})};
    return Normalized(g);
}

std::optional<Contact> ProbeAlong(const Scene& scene, const Vec3& start, const Vec3& target,
                                  double radius) {
    Vec3 travel = target - start;
    double length = Length(travel);
    Vec3 dir = Normalized(travel);
    auto gap = [&](double t) { return scene.Distance(start + dir * t) - radius; };
    const double minStep = 1e-5;
    double t = 0;
    double g = gap(0);
    bool touched = g <= 0;
    double before = 0;
    // The distance is a lower bound, so a step of the gap never passes the
    // surface; the minimum step may, which the bisection below undoes.
    for (int i = 0; !touched && t < length && i < 1000000; ++i) {
        before = t;
        t = std::min(length, t + std::max(g, minStep));
        g = gap(t);
        touched = g <= 0;
    }
    if (!touched) return std::nullopt;
    if (t > 0) {
        double lo = before, hi = t;
        for (int i = 0; i < 60 && hi - lo > 1e-12; ++i) {
            double mid = (lo + hi) / 2;
            (gap(mid) <= 0 ? hi : lo) = mid;
        }
        t = hi;
    }
    Contact contact;
    contact.centre = start + dir * t;
    contact.normal = scene.OutwardNormal(contact.centre);
    contact.point = contact.centre - contact.normal * (gap(t) + radius);
    return contact;
}

namespace {

bool ReadNumbers(std::istringstream& in, std::vector<double>& values) {
    std::string word;
    while (in >> word) {
        const char* begin = word.c_str();
        char* end = nullptr;
        double value = std::strtod(begin, &end);
        if (end == begin || *end != '\0' || !std::isfinite(value)) return false;
        values.push_back(value);
    }
    return true;
}

std::string CheckFeature(Feature& f, const std::string& keyword, const std::vector<double>& v) {
    auto vec = [&](size_t i) { return Vec3{v[i], v[i + 1], v[i + 2]}; };
    if (keyword == "plane") {
        if (v.size() != 6 && v.size() != 8) return "plane takes PX PY PZ NX NY NZ [W H]";
        f.kind = FeatureKind::kPlane;
        f.origin = vec(0);
        f.axis = vec(3);
        if (v.size() == 8) {
            f.width = v[6];
            f.height = v[7];
            if (f.width <= 0 || f.height <= 0) return "plane size must be positive";
        }
    } else if (keyword == "sphere") {
        if (v.size() != 4) return "sphere takes CX CY CZ R";
        f.kind = FeatureKind::kSphere;
        f.origin = vec(0);
        f.radius = v[3];
    } else if (keyword == "cylinder" || keyword == "bore") {
        if (v.size() != 8) return keyword + " takes CX CY CZ AX AY AZ R H";
        f.kind = keyword == "bore" ? FeatureKind::kBore : FeatureKind::kCylinder;
        f.origin = vec(0);
        f.axis = vec(3);
        f.radius = v[6];
        f.height = v[7];
        if (f.height <= 0) return keyword + " height must be positive";
    } else if (keyword == "box") {
        if (v.size() != 6) return "box takes X0 Y0 Z0 X1 Y1 Z1";
        f.kind = FeatureKind::kBox;
        f.origin = Vec3{std::min(v[0], v[3]), std::min(v[1], v[4]), std::min(v[2], v[5])};
        f.corner = Vec3{std::max(v[0], v[3]), std::max(v[1], v[4]), std::max(v[2], v[5])};
    } else {
        return "unknown feature '" + keyword + "'";
    }
    if (f.kind != FeatureKind::kBox && f.kind != FeatureKind::kSphere) {
        if (Length(f.axis) < 1e-12) return "direction must not be zero";
        f.axis = Normalized(f.axis);
    }
    if ((f.kind == FeatureKind::kSphere || f.kind == FeatureKind::kCylinder ||
         f.kind == FeatureKind::kBore) && f.radius <= 0)
        return "radius must be positive";
    return std::string();
}

}  // namespace

SceneParse ParseScene(const std::string& text) {
    SceneParse result;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream in(line);
        std::string keyword;
        if (!(in >> keyword)) continue;
        std::vector<double> values;
        Feature feature;
        feature.line = number;
        std::string error = ReadNumbers(in, values) ? CheckFeature(feature, keyword, values)
                                                    : "numbers expected after '" + keyword + "'";
        if (!error.empty()) {
            result.error = "line " + std::to_string(number) + ": " + error;
            return result;
        }
        result.scene.features.push_back(feature);
    }
    result.ok = true;
    return result;
}

}  // namespace cmmsim
