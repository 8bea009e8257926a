// The virtual CMM's seeded noise, its one-shot fault plans and its fault
// flags, and the simulator's own key reader as the desktop logs keys.
// (Point order and direction angles show in the end-to-end runs.)
#include "faults.h"
#include "keys.h"
#include "machine.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace cmmsim {
namespace {

TEST(SimMachine, NoiseIsSeededPerProbeAndLiesAlongTheNormal) {
    const Scene part = ParseScene(DefaultSceneText()).scene;
    std::vector<Vec3> points;
    for (uint64_t seed : {7, 7, 8}) {
        SimState state;
        state.config.noise = 0.002;
        state.config.seed = seed;
        for (int n = 0; n < 2; ++n) points.push_back(ProbeMove(state, part, {50, 50, 53}, {50, 50, 47})->point);
    }
    EXPECT_TRUE(points[0].z == points[2].z && points[0].z != points[1].z && points[0].z != points[4].z);
    EXPECT_NEAR(points[0].z, 50.0, 0.02);
    EXPECT_EQ(points[0].x + points[0].y, 100.0) << "noise only along the normal";
}

// A one-shot fault goes with exactly one answer of the side it belongs to;
// an unanswered command uses nothing up.
TEST(SimFaults, OneShotFaultsGoWithExactlyOneAnswer) {
    Faults f;
    f.error = 2;
    f.remoteMsg = true;
    f.shortAnswer = true;
    f.neverAnswer = {9};
    EXPECT_FALSE(TakeAnswerPlan(f, Side::kCosmos, 9).answer);
    const AnswerPlan geopak = TakeAnswerPlan(f, Side::kGeopak, 5);  // no message file, no error field
    EXPECT_TRUE(geopak.shortAnswer && !geopak.CarriesPoint() && !geopak.remoteMsg);
    EXPECT_TRUE(TakeAnswerPlan(f, Side::kCosmos, 5).remoteMsg);
    const AnswerPlan first = TakeAnswerPlan(f, Side::kCosmos, 5), second = TakeAnswerPlan(f, Side::kCosmos, 5);
    EXPECT_EQ(first.error, 2);  // stayed for the answer after the message
    EXPECT_FALSE(first.CarriesPoint());
    EXPECT_EQ(second.error, 0);
    EXPECT_TRUE(second.CarriesPoint() && !second.remoteMsg);
}

// (Good flags are the end-to-end runs'.)
TEST(SimFaults, BadFlagValuesAreRejected) {
    Faults f;
    for (std::vector<std::string> bad : {std::vector<std::string>{"--error", "3"}, {"--error"},
                                         {"--lock-answer", "12ms"}, {"--crash-after", "0"}, {"--answer-delay", "-1"}})
        EXPECT_THROW(ParseFaultFlag(bad, 0, f), std::invalid_argument) << bad[0];
}

using Lines = std::vector<std::string>;

// What the simulator's own reader makes of key strings: the lines a window's
// keystroke log holds for them; and the macro's sequences told apart in them.
TEST(SimKeys, KeyStringsReadAsTheKeystrokeLogWritesThem) {
    const std::pair<const char*, Lines> cases[] = {
        {"%RI{TAB}{DOWN}{ENTER}", {"%R", "I", "{TAB}", "{DOWN}", "{ENTER}"}},
        {"1~{ESC}{F8}{f12}", {"1", "{ENTER}", "{ESC}", "{F8}", "{F12}"}},
        {"+^%a{BACKSPACE}{del}{INSERT}", {"+^%a", "{BS}", "{DEL}", "{INS}"}},
        {"%+(ab)c", {"+%a", "+%b", "c"}},
        {"^(+(x)y)", {"+^x", "^y"}},
        {"{{}{}}{+}{~}{%}{(}", {"{{}", "{}}", "{+}", "{~}", "{%}", "{(}"}},
        {"{TAB 3}{x 2}", {"{TAB}", "{TAB}", "{TAB}", "x", "x"}},
        {"", {}},
    };
    for (const auto& [keys, lines] : cases) EXPECT_EQ(ReadKeyString(keys), std::optional<Lines>(lines)) << keys;
    for (const char* bad : {"{NOSUCHKEY}", "{TAB", "%", "(ab", "ab)", "}", "{F17}", "{TAB 256}", "{TAB x}", "((((((((a))))))))"})
        EXPECT_FALSE(ReadKeyString(bad).has_value()) << bad;
    const Config c;
    KeySequences sequences;
    for (const auto& [id, keys] : {std::pair{1, c.cancelKeys}, {2, c.restartKeys1}, {3, c.restartKeys2},
                                   {4, c.exitKeys}, {7, std::string("{F8}{ESC}2{ENTER}")}})
        ASSERT_TRUE(sequences.Add(id, keys)) << keys;
    const std::pair<Lines, std::vector<int>> feeds[] = {
        {{"%R", "I", "{TAB}", "{TAB}", "{TAB}", "{DOWN}", "{DOWN}", "{TAB}", "{TAB}", "{ENTER}"}, {1}},
        {{"x", "y", "%R", "{DOWN}", "{ENTER}", "1", "{ENTER}", "{ENTER}"}, {2, 3}},
        {{"%I", "{DOWN}"}, {}}, {{"{DOWN}", "{ENTER}"}, {4}}, {{"{DOWN}", "{ENTER}", "1", "{ENTER}"}, {}},  // split
        {{"{F8}", "{ESC}", "2", "{ENTER}"}, {7}},  // GEOPAK 3's recording end, as single virtual keys
    };
    for (const auto& [keys, ids] : feeds) EXPECT_EQ(sequences.Feed(keys), ids) << ::testing::PrintToString(keys);
}

}  // namespace
}  // namespace cmmsim
