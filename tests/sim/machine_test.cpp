// The virtual CMM's bookkeeping, fault plans and key sequence recognition:
// seeded noise along the normal, first-in first-out points, one-shot faults
// used up by exactly one answer, and key sequences as the desktop logs them.
// (Direction angles come back as the second points of the end-to-end runs.)
#include "faults.h"
#include "keys.h"
#include "machine.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace cmmsim {
namespace {

SimState FreshState(double noise, uint64_t seed) {
    SimState state;
    state.config.sceneText = DefaultSceneText();
    state.config.noise = noise;
    state.config.seed = seed;
    return state;
}

MeasuredPoint ProbeTop(SimState& state) {
    Scene part = ParseScene(DefaultSceneText()).scene;
    return *ProbeMove(state, part, {50, 50, 53}, {50, 50, 47});
}

TEST(SimMachine, NoiseIsSeededPerProbeAndLiesAlongTheNormal) {
    SimState a = FreshState(0.002, 7), b = FreshState(0.002, 7), c = FreshState(0.002, 8);
    MeasuredPoint a1 = ProbeTop(a), a2 = ProbeTop(a), b1 = ProbeTop(b), c1 = ProbeTop(c);
    EXPECT_EQ(a1.point.z, b1.point.z);
    EXPECT_NE(a1.point.z, a2.point.z);
    EXPECT_NE(a1.point.z, c1.point.z);
    EXPECT_NEAR(a1.point.z, 50.0, 0.02);
    EXPECT_EQ(a1.point.x + a1.point.y, 100.0) << "noise only along the normal";
    EXPECT_EQ(a.probes, 2u);
}

TEST(SimMachine, PointsLeaveInOrderExactlyOnceAndAMissQueuesNothing) {
    SimState s = FreshState(0, 1);
    EXPECT_FALSE(TakeNextPoint(s));
    EXPECT_FALSE(ProbeMove(s, ParseScene(DefaultSceneText()).scene, {100, 75, 53}, {100, 75, 47}));
    EXPECT_EQ(s.machine.position.z, 47) << "a miss ends at the target";
    QueuePoint(s, {{1, 0, 0}, {0, 0, -1}});
    ProbeTop(s);
    QueuePoint(s, {{3, 0, 0}, {0, 0, -1}});
    EXPECT_EQ(TakeNextPoint(s)->point.x, 1);
    EXPECT_EQ(TakeNextPoint(s)->point.z, 50);
    EXPECT_EQ(TakeNextPoint(s)->point.x, 3);
    EXPECT_FALSE(TakeNextPoint(s));
    EXPECT_EQ(s.pointsQueued, 3u);
    EXPECT_EQ(s.pointsAnswered, 3u);
}

TEST(SimFaults, OneShotFaultsGoWithExactlyOneAnswer) {
    Faults f;
    f.error = 2;
    f.garbage = true;
    f.neverAnswer = {9};
    AnswerPlan silent = TakeAnswerPlan(f, Side::kCosmos, 9);
    EXPECT_FALSE(silent.answer);
    EXPECT_EQ(f.error, 2);  // an unanswered command uses nothing up
    AnswerPlan first = TakeAnswerPlan(f, Side::kCosmos, 5);
    EXPECT_EQ(first.error, 2);
    EXPECT_TRUE(first.garbage);
    EXPECT_FALSE(first.CarriesPoint());
    AnswerPlan second = TakeAnswerPlan(f, Side::kCosmos, 5);
    EXPECT_EQ(second.error, 0);
    EXPECT_FALSE(second.garbage);
    EXPECT_TRUE(second.CarriesPoint());

    f.remoteMsg = true;
    f.error = 1;
    f.shortAnswer = true;
    // GEOPAK answers have no message file and no error field: those stay.
    AnswerPlan geopak = TakeAnswerPlan(f, Side::kGeopak, 5);
    EXPECT_TRUE(geopak.shortAnswer);
    EXPECT_FALSE(geopak.CarriesPoint());
    EXPECT_TRUE(f.remoteMsg);
    AnswerPlan message = TakeAnswerPlan(f, Side::kCosmos, 5);
    EXPECT_TRUE(message.remoteMsg);
    EXPECT_EQ(f.error, 1);  // stays for the answer after the message
}

TEST(SimFaults, FlagsParseAndRejectBadValues) {
    Faults f;
    std::vector<std::string> args = {"--answer-delay", "250", "--never-answer-cmd", "5", "--garbage", "x"};
    EXPECT_EQ(ParseFaultFlag(args, 0, f), 2u);
    EXPECT_EQ(ParseFaultFlag(args, 2, f), 2u);
    EXPECT_EQ(ParseFaultFlag(args, 4, f), 1u);
    EXPECT_EQ(ParseFaultFlag(args, 5, f), 0u);
    EXPECT_EQ(f.answerDelayMs, 250u);
    EXPECT_EQ(f.neverAnswer, std::vector<int>{5});
    for (std::vector<std::string> bad : {std::vector<std::string>{"--error", "3"}, {"--error"},
                                         {"--lock-answer", "12ms"}, {"--crash-after", "0"},
                                         {"--answer-delay", "-1"}}) {
        EXPECT_THROW(ParseFaultFlag(bad, 0, f), std::invalid_argument) << bad[0];
    }
}

using Lines = std::vector<std::string>;
using Ids = std::vector<int>;

// What the simulator's own reader makes of key strings: the lines a window's
// keystroke log holds for them.
TEST(SimKeys, KeyStringsReadAsTheKeystrokeLogWritesThem) {
    const struct {
        const char* keys;
        Lines lines;
    } cases[] = {
        {"%RI{TAB}{DOWN}{ENTER}", {"%R", "I", "{TAB}", "{DOWN}", "{ENTER}"}},
        {"1~{ESC}{F8}{f12}", {"1", "{ENTER}", "{ESC}", "{F8}", "{F12}"}},
        {"+^%a{BACKSPACE}{del}{INSERT}", {"+^%a", "{BS}", "{DEL}", "{INS}"}},
        {"%+(ab)c", {"+%a", "+%b", "c"}},
        {"^(+(x)y)", {"+^x", "^y"}},
        {"{{}{}}{+}{~}{%}{(}", {"{{}", "{}}", "{+}", "{~}", "{%}", "{(}"}},
        {"{TAB 3}{x 2}", {"{TAB}", "{TAB}", "{TAB}", "x", "x"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::optional<Lines> read = ReadKeyString(c.keys);
        ASSERT_TRUE(read.has_value()) << c.keys;
        EXPECT_EQ(*read, c.lines) << c.keys;
    }
    for (const char* bad : {"{NOSUCHKEY}", "{TAB", "%", "(ab", "ab)", "}", "{F17}", "{TAB 256}", "{TAB x}",
                            "((((((((a))))))))"}) {
        EXPECT_FALSE(ReadKeyString(bad).has_value()) << bad;
    }
}

TEST(SimKeys, DefaultMacroSequencesAreToldApart) {
    Config c;
    KeySequences keys;
    ASSERT_TRUE(keys.Add(1, c.cancelKeys));
    ASSERT_TRUE(keys.Add(2, c.restartKeys1));
    ASSERT_TRUE(keys.Add(3, c.restartKeys2));
    ASSERT_TRUE(keys.Add(4, c.exitKeys));
    EXPECT_EQ(keys.Feed({"%R", "I", "{TAB}", "{TAB}", "{TAB}", "{DOWN}", "{DOWN}", "{TAB}", "{TAB}", "{ENTER}"}),
              Ids{1});
    EXPECT_EQ(keys.Feed({"x", "y", "%R", "{DOWN}", "{ENTER}", "1", "{ENTER}", "{ENTER}"}), (Ids{2, 3}));
    EXPECT_TRUE(keys.Feed({"%I", "{DOWN}"}).empty());  // split across two takes
    EXPECT_EQ(keys.Feed({"{DOWN}", "{ENTER}"}), Ids{4});
    EXPECT_TRUE(keys.Feed({"{DOWN}", "{ENTER}", "1", "{ENTER}"}).empty());

    // GEOPAK 3's recording end arrives as single virtual keys.
    ASSERT_TRUE(keys.Add(7, "{F8}{ESC}2{ENTER}"));
    EXPECT_EQ(keys.Feed({"{F8}", "{ESC}", "2", "{ENTER}"}), Ids{7});
    EXPECT_FALSE(keys.Add(8, "{NOSUCHKEY"));
}

}  // namespace
}  // namespace cmmsim
