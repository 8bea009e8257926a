// The command-line grammar: one table of valid and invalid lines, values,
// limits, error lines and numbers.
#include "ipp_errors.h"
#include "ipp_line.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

using ipp::Arg;

// tests/golden/ipp_lines.txt: line | error | tag known | method | kinds.
TEST(IppLine, GrammarTable) {
    const auto rows = testsupport::GoldenRows("ipp_lines.txt");
    ASSERT_GT(rows.size(), 30u);
    for (const std::vector<std::string>& row : rows) {
        ASSERT_GE(row.size(), 3u) << row[0];
        const ipp::LineParse p = ipp::ParseLine(row[0]);
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(p.error, std::stoi(row[1]));
        EXPECT_EQ(p.ok, p.error == 0);
        EXPECT_EQ(p.tagKnown, row[2] == "yes");
        if (!p.ok || row.size() < 5) continue;
        std::string kinds;
        for (const Arg& a : p.command.args) kinds += "nspem"[static_cast<int>(a.kind)];
        EXPECT_EQ(p.command.method + " " + kinds, row[3] + " " + row[4]);
    }
}

TEST(IppLine, ValuesAndLimits) {
    ipp::LineParse p = ipp::ParseLine("00004 PtMeas(X(-3.),Y(.5),Z(+2.5E+002),IJK(0, 0 ,1))");
    ASSERT_TRUE(p.ok);
    std::vector<std::vector<double>> values;
    for (const Arg& a : p.command.args) values.push_back(a.values);
    EXPECT_EQ(values, (std::vector<std::vector<double>>{{-3.0}, {0.5}, {250.0}, {0, 0, 1}}));
    EXPECT_FALSE(p.command.event);
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
