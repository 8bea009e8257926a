// The command-line grammar: one table of valid and invalid lines.
#include "ipp_errors.h"
#include "ipp_line.h"

#include <gtest/gtest.h>

namespace {

using ipp::Arg;
using Kind = ipp::Arg::Kind;

struct LineCase {
    std::string line;
    int error;  // 0: parses
    bool tagKnown;
    std::string method;
    std::vector<Kind> kinds;
};

TEST(IppLine, GrammarTable) {
    const std::vector<LineCase> cases = {
        {"00001 StartSession()", 0, true, "StartSession", {}},
        {"99999 EndSession( )", 0, true, "EndSession", {}},
        {"00002 GoTo(X(100), Y(150), Z(200))", 0, true, "GoTo", {Kind::kProperty, Kind::kProperty, Kind::kProperty}},
        {"00003 GoTo ( X ( 1 ) , Y(2 ) )", 0, true, "GoTo", {Kind::kProperty, Kind::kProperty}},
        {"00004 PtMeas(X(-3.),Y(.5),Z(+2.5E+002),IJK(0,0,1))", 0, true, "PtMeas",
         {Kind::kProperty, Kind::kProperty, Kind::kProperty, Kind::kProperty}},
        {"00005 FindTool(\"Probe 1, (A0)\")", 0, true, "FindTool", {Kind::kString}},
        {"00006 StopDaemon(E0553)", 0, true, "StopDaemon", {Kind::kETag}},
        {"00007 SetCoordSystem(PartCsy)", 0, true, "SetCoordSystem", {Kind::kName}},
        {"00008 SetProp(Tool.PtMeasPar.Speed.Act(100))", 0, true, "SetProp", {Kind::kProperty}},
        {"00009 GetErrorInfo(1e-3)", 0, true, "GetErrorInfo", {Kind::kNumber}},
        {"E0553 OnMoveReportE(Time(1), Dis(20), X(), Y(), Z())", 0, true, "OnMoveReportE",
         {Kind::kProperty, Kind::kProperty, Kind::kProperty, Kind::kProperty, Kind::kProperty}},
        {"00010 X(1234567890123456)", 0, true, "X", {Kind::kNumber}},
        // tags and column 6
        {"00000 StartSession()", 1, false, "", {}},
        {"E0000 AbortE()", 1, false, "", {}},
        {"0001 StartSession()", 1, false, "", {}},
        {"A0001 StartSession()", 1, false, "", {}},
        {"", 1, false, "", {}},
        {"00001StartSession()", 2, true, "", {}},
        {"00001", 2, true, "", {}},
        {"00001  StartSession()", 8, true, "", {}},
        // characters
        {"00001 FindTool(\"T\xe9\")", 7, true, "", {}},
        {"00001 StartSession()\r", 7, true, "", {}},
        {"0\t001 StartSession()", 7, false, "", {}},
        // structure and arguments
        {"00001 StartSession", 8, true, "", {}},
        {"00001 StartSession() ", 8, true, "", {}},
        {"00001 StartSession()x", 8, true, "", {}},
        {"00001 1Home()", 8, true, "", {}},
        {"00001 Get(X(), )", 509, true, "", {}},
        {"00001 Get(X(),Y()", 509, true, "", {}},
        {"00001 FindTool(\"\")", 509, true, "", {}},
        {"00001 FindTool(\"open)", 509, true, "", {}},
        {"00001 GoTo(X(1.2.3))", 509, true, "", {}},
        {"00001 GoTo(X(12345678901234567))", 509, true, "", {}},
        {"00001 GoTo(X(1e1234))", 509, true, "", {}},
        {"00001 GoTo(X(1e))", 509, true, "", {}},
        {"00001 GoTo(X(+))", 509, true, "", {}},
        {"00001 GoTo(X(\"1\"))", 509, true, "", {}},
        {"00001 GoTo(Tool.(1))", 509, true, "", {}},
        {"00001 SetCoordSystem(Part.Csy)", 509, true, "", {}},
    };
    for (const LineCase& c : cases) {
        ipp::LineParse p = ipp::ParseLine(c.line);
        SCOPED_TRACE(c.line);
        EXPECT_EQ(p.ok, c.error == 0);
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.tagKnown, c.tagKnown);
        if (!p.ok) continue;
        EXPECT_EQ(p.command.method, c.method);
        std::vector<Kind> kinds;
        for (const Arg& a : p.command.args) kinds.push_back(a.kind);
        EXPECT_EQ(kinds, c.kinds);
    }
}

TEST(IppLine, ValuesAndLimits) {
    ipp::LineParse p = ipp::ParseLine("00004 PtMeas(X(-3.),Y(.5),Z(+2.5E+002),IJK(0, 0 ,1))");
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.command.args.size(), 4u);
    EXPECT_EQ(p.command.args[0].values, std::vector<double>{-3.0});
    EXPECT_EQ(p.command.args[1].values, std::vector<double>{0.5});
    EXPECT_EQ(p.command.args[2].values, std::vector<double>{250.0});
    EXPECT_EQ(p.command.args[3].values, (std::vector<double>{0, 0, 1}));
    EXPECT_TRUE(p.command.event == false);
    EXPECT_TRUE(ipp::ParseLine("E0001 AbortE()").command.event);

    std::string longest = "00001 FindTool(\"" + std::string(ipp::kMaxLineLength - 18, 'a') + "\")";
    ASSERT_EQ(longest.size(), ipp::kMaxLineLength);
    EXPECT_TRUE(ipp::ParseLine(longest).ok);
    EXPECT_EQ(ipp::ParseLine(longest + " ").error, 8);
}

TEST(IppLine, ErrorLinesAndNumbers) {
    // (The error lines of each error are the engine's transcripts'; here the
    // severity given instead of the error's own.)
    EXPECT_EQ(ipp::ErrorLine("00001", 504, "SetProp", 0), "00001 ! Error(0, 0504, SetProp, \"Argument out of range\")");
    const std::vector<std::pair<double, std::string>> numbers = {
        {99.93, "99.93"}, {120.0, "120"}, {-0.5, "-0.5"}, {-0.0000001, "0"}, {1.0 / 3, "0.333333"},
        {123456789012.345678, "123456789012.3457"}, {1e15, "1000000000000000"},
    };
    for (const auto& [value, text] : numbers) EXPECT_EQ(ipp::FormatNumber(value), text) << value;
}

}  // namespace
