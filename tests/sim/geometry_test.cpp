// The simulator's part geometry: probing the default part (top face, table,
// the empty bore; its wall all round is measured end to end), the other
// feature kinds, and scene parsing with its error reports.
#include "geometry.h"

#include <gtest/gtest.h>

#include <optional>

namespace cmmsim {
namespace {

Scene Parse(const std::string& text) {
    SceneParse parsed = ParseScene(text);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return parsed.scene;
}

void ExpectNear(const Vec3& actual, const Vec3& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(SimGeometry, ProbesTouchEveryFeatureKindAtItsSurfaceOrNotAtAll) {
    Scene part = Parse(DefaultSceneText());
    Scene other = Parse("sphere 0 0 0 10\n"
                        "cylinder 100 0 0 0 0 1 5 20  # standing cylinder\n"
                        "plane 0 100 0 0 0 1 10 20\n"
                        "box 200 0 0 210 10 10\n");
    struct Case {
        const Scene& scene;
        Vec3 start, target;
        std::optional<Vec3> point;
    } cases[] = {
        {part, {50, 50, 53}, {50, 50, 47}, Vec3{50, 50, 50}},      // top face
        {part, {250, 75, 3}, {250, 75, -3}, Vec3{250, 75, 0}},     // table
        {part, {100, 75, 53}, {100, 75, 47}, std::nullopt},        // over the bore
        {part, {50, 50, 60}, {50, 50, 51.5}, std::nullopt},        // short of the surface
        {part, {50, 50, 50.5}, {50, 50, 60}, Vec3{50, 50, 50}},    // already in contact
        {other, {-20, 0, 0}, {0, 0, 0}, Vec3{-10, 0, 0}},
        {other, {90, 0, 10}, {100, 0, 10}, Vec3{95, 0, 10}},
        {other, {100, 0, 30}, {100, 0, 10}, Vec3{100, 0, 20}},     // cylinder end
        {other, {2, 108, 5}, {2, 108, -5}, Vec3{2, 108, 0}},
        {other, {2, 112, 5}, {2, 112, -5}, std::nullopt},          // beyond the 20 wide side
        {other, {205, -5, 5}, {205, 5, 5}, Vec3{205, 0, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.start.x << "," << c.start.y << "," << c.start.z);
        const double radius = &c.scene == &part ? 1.0 : 0.5;
        auto contact = ProbeAlong(c.scene, c.start, c.target, radius);
        ASSERT_EQ(contact.has_value(), c.point.has_value());
        if (c.point) ExpectNear(contact->point, *c.point);
    }
    auto top = ProbeAlong(part, {50, 50, 53}, {50, 50, 47}, 1.0);
    ExpectNear(top->centre, {50, 50, 51});
    ExpectNear(top->normal, {0, 0, 1});
    EXPECT_NEAR(ProbeAlong(part, {50, 50, 50.5}, {50, 50, 60}, 1.0)->centre.z, 50.5, 1e-6);
}

TEST(SimGeometry, SceneErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"box 0 0 0 1 1 1\ncone 1 2 3\n", "line 2: unknown feature 'cone'"},
        {"sphere 0 0 0\n", "line 1: sphere takes CX CY CZ R"},
        {"plane 0 0 0 0 0 0\n", "line 1: direction must not be zero"},
        {"sphere 0 0 0 1.5x\n", "line 1: numbers expected after 'sphere'"},
        {"bore 0 0 0 0 0 1 -2 5\n", "line 1: radius must be positive"},
        {"plane 0 0 0 0 0 1 10 0\n", "line 1: plane size must be positive"},
        {"sphere 0 0 0 nan\n", "line 1: numbers expected after 'sphere'"},
    };
    for (const Case& c : cases) {
        SceneParse parsed = ParseScene(c.text);
        EXPECT_FALSE(parsed.ok) << c.text;
        EXPECT_EQ(parsed.error, c.error);
    }
    EXPECT_TRUE(ParseScene("# only a comment\n\n   \n").ok);
}

}  // namespace
}  // namespace cmmsim
