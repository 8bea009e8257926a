// The simulator's part geometry: every feature kind probed at its surface or
// missed (the default part's top face and bore wall are measured end to end),
// and scene parsing with its error reports.
#include "geometry.h"

#include <gtest/gtest.h>

#include <optional>

namespace cmmsim {
namespace {

TEST(SimGeometry, ProbesTouchEveryFeatureKindAtItsSurfaceOrNotAtAll) {
    const SceneParse part = ParseScene(DefaultSceneText());
    const SceneParse other = ParseScene("sphere 0 0 0 10\n"
                                        "cylinder 100 0 0 0 0 1 5 20  # standing cylinder\n"
                                        "plane 0 100 0 0 0 1 10 20\n"
                                        "box 200 0 0 210 10 10\n");
    ASSERT_TRUE(part.ok && other.ok) << part.error << other.error;
    const struct {
        const Scene& scene;
        Vec3 start, target;
        std::optional<Vec3> point;
    } cases[] = {
        {part.scene, {100, 75, 53}, {100, 75, 47}, std::nullopt},      // over the bore
        {part.scene, {50, 50, 60}, {50, 50, 51.5}, std::nullopt},      // short of the surface
        {part.scene, {50, 50, 50.5}, {50, 50, 60}, Vec3{50, 50, 50}},  // already in contact
        {other.scene, {-20, 0, 0}, {0, 0, 0}, Vec3{-10, 0, 0}},
        {other.scene, {90, 0, 10}, {100, 0, 10}, Vec3{95, 0, 10}},
        {other.scene, {100, 0, 30}, {100, 0, 10}, Vec3{100, 0, 20}},   // cylinder end
        {other.scene, {2, 108, 5}, {2, 108, -5}, Vec3{2, 108, 0}},
        {other.scene, {2, 112, 5}, {2, 112, -5}, std::nullopt},        // beyond the 20 wide side
        {other.scene, {205, -5, 5}, {205, 5, 5}, Vec3{205, 0, 5}},
    };
    for (const auto& c : cases) {
        const auto contact = ProbeAlong(c.scene, c.start, c.target, &c.scene == &part.scene ? 1.0 : 0.5);
        ASSERT_EQ(contact.has_value(), c.point.has_value()) << c.start.x << "," << c.start.y << "," << c.start.z;
        if (!c.point) continue;
        EXPECT_NEAR(contact->point.x, c.point->x, 1e-6);
        EXPECT_NEAR(contact->point.y, c.point->y, 1e-6);
        EXPECT_NEAR(contact->point.z, c.point->z, 1e-6);
    }
    EXPECT_NEAR(ProbeAlong(part.scene, {50, 50, 50.5}, {50, 50, 60}, 1.0)->centre.z, 50.5, 1e-6);
}

TEST(SimGeometry, SceneErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"box 0 0 0 1 1 1\ncone 1 2 3\n", "line 2: unknown feature 'cone'"},
        {"sphere 0 0 0\n", "line 1: sphere takes CX CY CZ R"},
        {"plane 0 0 0 0 0 0\n", "line 1: direction must not be zero"},
        {"sphere 0 0 0 1.5x\n", "line 1: numbers expected after 'sphere'"},
        {"bore 0 0 0 0 0 1 -2 5\n", "line 1: radius must be positive"},
        {"plane 0 0 0 0 0 1 10 0\n", "line 1: plane size must be positive"},
        {"sphere 0 0 0 nan\n", "line 1: numbers expected after 'sphere'"},
    };
    for (const auto& [text, error] : cases) {
        const SceneParse parsed = ParseScene(text);
        EXPECT_FALSE(parsed.ok) << text;
        EXPECT_EQ(parsed.error, error);
    }
    EXPECT_TRUE(ParseScene("# only a comment\n\n   \n").ok);
}

}  // namespace
}  // namespace cmmsim
