// The simulator's part geometry: probing the default part (top face, bore
// wall, table, the empty bore), the other feature kinds, and scene parsing
// with its error reports.
#include "geometry.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(SimGeometry, DefaultPartTopFaceAndTableAreTouchedAtTheSurface) {
    Scene part = Parse(DefaultSceneText());
    auto top = ProbeAlong(part, {50, 50, 53}, {50, 50, 47}, 1.0);
    ASSERT_TRUE(top);
    ExpectNear(top->point, {50, 50, 50});
    ExpectNear(top->centre, {50, 50, 51});
    ExpectNear(top->normal, {0, 0, 1});
    auto table = ProbeAlong(part, {250, 75, 3}, {250, 75, -3}, 1.0);
    ASSERT_TRUE(table);
    ExpectNear(table->point, {250, 75, 0});
}

TEST(SimGeometry, BoreWallIsFoundAtItsRadiusAllRound) {
    Scene part = Parse(DefaultSceneText());
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 8; ++i) {
        double a = 2 * pi * i / 8;
        Vec3 out{std::cos(a), std::sin(a), 0};
        Vec3 nominal = Vec3{100, 75, 25} + out * 20.0;
        auto contact = ProbeAlong(part, nominal - out * 3.0, nominal + out * 3.0, 1.0);
        ASSERT_TRUE(contact) << "angle " << i;
        ExpectNear(contact->point, nominal);
        ExpectNear(contact->normal, out * -1.0);  // out of the material, into the hole
    }
}

TEST(SimGeometry, NothingIsTouchedOverTheBoreOrShortOfTheSurface) {
    Scene part = Parse(DefaultSceneText());
    EXPECT_FALSE(ProbeAlong(part, {100, 75, 53}, {100, 75, 47}, 1.0));
    EXPECT_FALSE(ProbeAlong(part, {50, 50, 60}, {50, 50, 51.5}, 1.0));
}

TEST(SimGeometry, BallStartingInContactTouchesAtTheStart) {
    Scene part = Parse(DefaultSceneText());
    auto contact = ProbeAlong(part, {50, 50, 50.5}, {50, 50, 60}, 1.0);
    ASSERT_TRUE(contact);
    ExpectNear(contact->centre, {50, 50, 50.5});
}

TEST(SimGeometry, OtherFeatureKinds) {
    Scene scene = Parse("sphere 0 0 0 10\n"
                        "cylinder 100 0 0 0 0 1 5 20  # standing cylinder\n"
                        "plane 0 100 0 0 0 1 10 20\n"
                        "box 200 0 0 210 10 10\n");
    ExpectNear(ProbeAlong(scene, {-20, 0, 0}, {0, 0, 0}, 0.5)->point, {-10, 0, 0});
    ExpectNear(ProbeAlong(scene, {90, 0, 10}, {100, 0, 10}, 0.5)->point, {95, 0, 10});
    ExpectNear(ProbeAlong(scene, {100, 0, 30}, {100, 0, 10}, 0.5)->point, {100, 0, 20});
    ExpectNear(ProbeAlong(scene, {2, 108, 5}, {2, 108, -5}, 0.5)->point, {2, 108, 0});
    EXPECT_FALSE(ProbeAlong(scene, {2, 112, 5}, {2, 112, -5}, 0.5));  // beyond the 20 wide side
    ExpectNear(ProbeAlong(scene, {205, -5, 5}, {205, 5, 5}, 0.5)->point, {205, 0, 5});
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
