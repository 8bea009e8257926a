// Plane and circle fitting (see fit.h). Small dense linear algebra only.
#include "fit.h"

#include <algorithm>
#include <cmath>

namespace {

using Mat3 = std::array<std::array<double, 3>, 3>;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Unit(const Vec3& a) {
    double l = std::sqrt(Dot(a, a));
    return {a[0] / l, a[1] / l, a[2] / l};
}

// Eigen-decomposition of a symmetric 3x3 matrix by cyclic Jacobi rotations.
// Returns eigenvalues; columns of vectors are the eigenvectors.
Vec3 Eigen(Mat3 a, Mat3& vectors) {
    vectors = Mat3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off < 1e-30) break;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (std::fabs(a[p][q]) < 1e-300) continue;
                double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < 3; ++k) {  // A = J^T A J
                    double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 3; ++k) {
                    double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    double vkp = vectors[k][p], vkq = vectors[k][q];
                    vectors[k][p] = c * vkp - s * vkq;
                    vectors[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
    return {a[0][0], a[1][1], a[2][2]};
}

// Solves a 3x3 system by Cramer's rule; false when singular.
bool Solve3(const Mat3& m, const Vec3& rhs, Vec3& x) {
    auto det = [](const Mat3& a) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double d = det(m);
    if (!std::isfinite(d) || std::fabs(d) < 1e-12) return false;
    for (int c = 0; c < 3; ++c) {
        Mat3 r = m;
        for (int row = 0; row < 3; ++row) r[row][c] = rhs[row];
        x[c] = det(r) / d;
    }
    return true;
}

struct Circle2 {
    double cx, cy, r;
};

bool FitCircle2(const std::vector<std::array<double, 2>>& pts, Circle2& out) {
    Mat3 m{};
    Vec3 rhs{};
    for (const auto& p : pts) {  // x^2 + y^2 + D x + E y + F = 0
        const double row[3] = {p[0], p[1], 1.0};
        const double b = -(p[0] * p[0] + p[1] * p[1]);
        for (int i = 0; i < 3; ++i) {
            rhs[i] += row[i] * b;
            for (int j = 0; j < 3; ++j) m[i][j] += row[i] * row[j];
        }
    }
    Vec3 s;
    if (!Solve3(m, rhs, s)) return false;
    out = {-s[0] / 2, -s[1] / 2, 0};
    double r2 = out.cx * out.cx + out.cy * out.cy - s[2];
    if (!(r2 > 0)) return false;
    out.r = std::sqrt(r2);
    for (int iter = 0; iter < 20; ++iter) {  // geometric refinement
        Mat3 jtj{};
        Vec3 jtr{};
        for (const auto& p : pts) {
            double dx = p[0] - out.cx, dy = p[1] - out.cy, d = std::hypot(dx, dy);
            if (d < 1e-12) return true;
            const double j[3] = {-dx / d, -dy / d, -1.0};
            const double res = d - out.r;
            for (int a = 0; a < 3; ++a) {
                jtr[a] += j[a] * res;
                for (int b = 0; b < 3; ++b) jtj[a][b] += j[a] * j[b];
            }
        }
        Vec3 step;
        if (!Solve3(jtj, jtr, step)) break;
        out.cx -= step[0];
        out.cy -= step[1];
        out.r -= step[2];
        if (std::fabs(step[0]) + std::fabs(step[1]) + std::fabs(step[2]) < 1e-12) break;
    }
    return true;
}

}  // namespace

std::optional<PlaneFit> FitPlane(const std::vector<Vec3>& points) {
    if (points.size() < 3) return std::nullopt;
    Vec3 c{0, 0, 0};
    for (const Vec3& p : points)
        for (int i = 0; i < 3; ++i) c[i] += p[i] / static_cast<double>(points.size());
    Mat3 scatter{};
    for (const Vec3& p : points) {
        Vec3 d = Sub(p, c);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) scatter[i][j] += d[i] * d[j];
    }
    Mat3 vectors;
    Vec3 values = Eigen(scatter, vectors);
    int smallest = static_cast<int>(std::min_element(values.begin(), values.end()) - values.begin());
    Vec3 sorted = values;
    std::sort(sorted.begin(), sorted.end());
    if (sorted[1] <= 1e-12 * std::max(1.0, sorted[2])) return std::nullopt;  // on a line
    Vec3 n = Unit({vectors[0][smallest], vectors[1][smallest], vectors[2][smallest]});
    if (n[2] < 0 || (n[2] == 0 && (n[1] < 0 || (n[1] == 0 && n[0] < 0)))) n = {-n[0], -n[1], -n[2]};
    double lo = 0, hi = 0;
    for (const Vec3& p : points) {
        double d = Dot(Sub(p, c), n);
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    return PlaneFit{c, n, hi - lo};
}

std::optional<CircleFit> FitCircle(const std::vector<Vec3>& points) {
    std::optional<PlaneFit> plane = FitPlane(points);
    if (!plane) return std::nullopt;
    const Vec3& n = plane->normal;
    Vec3 u = Unit(std::fabs(n[0]) < 0.9 ? Cross(n, {1, 0, 0}) : Cross(n, {0, 1, 0}));
    Vec3 v = Cross(n, u);
    std::vector<std::array<double, 2>> flat;
    for (const Vec3& p : points) {
        Vec3 d = Sub(p, plane->point);
        flat.push_back({Dot(d, u), Dot(d, v)});
    }
    Circle2 c2;
    if (!FitCircle2(flat, c2)) return std::nullopt;
    CircleFit fit;
    for (int i = 0; i < 3; ++i) fit.centre[i] = plane->point[i] + c2.cx * u[i] + c2.cy * v[i];
    fit.normal = n;
    fit.diameter = 2 * c2.r;
    double lo = 1e300, hi = -1e300;
    for (const auto& p : flat) {
        double r = std::hypot(p[0] - c2.cx, p[1] - c2.cy);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    fit.roundness = hi - lo;
    return fit;
}
