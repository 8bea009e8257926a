// The host-side pieces the end-to-end runs rest on, without processes: the
// script language (bad input is refused with its line), the output lines,
// the fits against known geometry and the demo's point matching. (The demo's
// own plan is exercised by running the demo.)
#include "demo_support.h"
#include "fit.h"
#include "host_output.h"
#include "host_script.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <random>

TEST(HostScript, ParsesEveryCommandWithLineNumbersAndComments) {
    ScriptParse p = ParseScript(
        "# header\nconnect\nmove 1 -2.5 +3\r\nmeasure 10 20 30 0 0 -2  # probe down\n"
        "head 90 180 0\napproach 0 0 1\ntransaction start\nwait 250\nwait-points 4\n"
        "wait-points 2 1000\nconfigure GeoPak Window name=GEOPAK - X MachineType=0\npoll\ninterrupt\n"
        "transaction stop\ndisconnect\n");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.commands.size(), 14u);
    EXPECT_EQ(p.commands[0].line, 2);
    EXPECT_EQ(p.commands[1].numbers, (std::vector<double>{1, -2.5, 3}));
    EXPECT_EQ(p.commands[2].numbers.back(), -2);
    EXPECT_EQ(p.commands[5].op, ScriptOp::kTransactionStart);
    EXPECT_EQ(p.commands[5].verb, "transaction start");
    const auto& settings = p.commands[9].settings;
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(settings[0], (std::pair<std::string, std::string>{"GeoPak Window name", "GEOPAK - X"}));
    EXPECT_EQ(settings[1].second, "0");
    EXPECT_EQ(p.commands[13].line, 15);
}

TEST(HostScript, RefusesBadInputNamingTheLine) {
    for (const std::vector<std::string>& row : testsupport::GoldenRows("host_script_refusals.txt")) {
        ScriptParse p = ParseScript(row.at(0));
        EXPECT_FALSE(p.ok) << row[0];
        EXPECT_EQ(p.errorLine, std::stoi(row.at(1))) << row[0];
        EXPECT_FALSE(p.error.empty());
    }
}

TEST(HostOutput, NotificationLinesAreValidJsonAndRoundTripNumbers) {
    ClientMessage m{2, {1.0 / 3.0, -2e-7, 1e300}, {0.1, 0.2, std::nan("")}, {}};
    auto j = nlohmann::json::parse(EventPrinter::NotificationJson(m));
    EXPECT_EQ(j["type"], 2);
    EXPECT_EQ(j["position"][0].get<double>(), 1.0 / 3.0);
    EXPECT_EQ(j["position"][2].get<double>(), 1e300);
    EXPECT_TRUE(j["second"][2].is_null());
    ClientMessage one{1, {}, {}, {10, 20, 30}};
    EXPECT_EQ(EventPrinter::NotificationJson(one), "{\"type\":1,\"point\":[10,20,30]}");
    EXPECT_EQ(EventPrinter::NotificationCsv(one), "1,10,20,30,,,");
    EXPECT_EQ(JsonEscape("a\"b\\c\n\x01"), "a\\\"b\\\\c\\n\\u0001");
}

TEST(Fits, RecoverKnownCircleAndPlaneUnderNoise) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.002);
    std::vector<Vec3> ring, face;
    for (int i = 0; i < 8; ++i) {
        double a = i * 0.785398163397448;
        ring.push_back({100 + 20 * std::cos(a) + noise(rng), 75 + 20 * std::sin(a) + noise(rng), 25 + noise(rng)});
    }
    for (double x : {40.0, 160.0})
        for (double y : {30.0, 120.0}) face.push_back({x, y, 50 + noise(rng)});
    auto c = FitCircle(ring);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->diameter, 40, 0.01);
    EXPECT_NEAR(c->centre[0], 100, 0.01);
    EXPECT_NEAR(c->centre[1], 75, 0.01);
    EXPECT_NEAR(std::fabs(c->normal[2]), 1, 1e-3);
    auto p = FitPlane(face);
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->point[2], 50, 0.01);
    EXPECT_GT(p->normal[2], 0.999);
    EXPECT_LT(p->flatness, 0.02);
    auto tilted = FitPlane({{0, 0, 0}, {10, 0, 10}, {0, 10, 0}, {10, 10, 10.5}});
    ASSERT_TRUE(tilted);
    EXPECT_NEAR(tilted->normal[0], -std::sqrt(0.5), 0.05);
    EXPECT_GT(tilted->flatness, 0.1);
    // Points on a line, or too few, fit nothing.
    EXPECT_FALSE(FitPlane({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}));
    EXPECT_FALSE(FitPlane({{0, 0, 0}, {1, 0, 0}}));
    EXPECT_FALSE(FitCircle({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}));
}

TEST(DemoPlan, MatchingKeepsNominalOrderDropsStraysAndDuplicates) {
    std::vector<Vec3> nominal = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}};
    std::vector<Vec3> measured = {{10.001, 0, 0}, {50, 50, 50}, {0.002, 0, 0}, {10.003, 0, 0}};
    auto m = MatchToNominal(measured, nominal);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0][0], 0.002);
    EXPECT_EQ(m[1][0], 10.001);
}

TEST(DemoPlan, TruthComesFromTheSimulatorSceneOrStaysDefault) {
    DemoPart part = DefaultPart();
    const char status[] = R"({"scene":[{"kind":"plane","normal":[0,0,1],"point":[0,0,0]},
        {"kind":"box","min":[0,0,0],"max":[300,200,60]},
        {"kind":"bore","base":[150,100,0],"axis":[0,0,1],"diameter":30,"height":60}]})";
    ASSERT_TRUE(ApplySceneTruth(status, part));
    EXPECT_EQ(part.boreDiameter, 30);
    EXPECT_EQ(part.boreCentre, (Vec3{150, 100, 30}));
    EXPECT_EQ(part.topZ, 60);
    DemoPart untouched = DefaultPart();
    for (const char* bad : {"", "not json", "{}", R"({"scene":[{"kind":"bore","base":[1]}]})",
                            R"({"scene":[{"kind":"box","max":[1,2,3]}]})"}) {
        DemoPart p = DefaultPart();
        EXPECT_FALSE(ApplySceneTruth(bad, p)) << bad;
        EXPECT_EQ(p.boreDiameter, untouched.boreDiameter) << bad;
    }
}
