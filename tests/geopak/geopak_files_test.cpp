// The GEOPAK exchange files byte for byte: the command file against golden
// files and its failure the user is told of, and the answer reader (through
// the file, as the protocol reads it) on good, short and hostile answers.
#include "fake_geopak.h"

#include <limits>

namespace {

using testsupport::Golden;

class GeopakFiles : public geopaktest::GeopakTest {};

// Shorter files are written over a wider one whole; a held file is left as
// it was and reported, and the caller goes on.
TEST_F(GeopakFiles, CommandFileMatchesGoldenFilesAndAHeldOneIsReported) {
    const struct {
        GeopakCommand command;
        const char* golden;
    } cases[] = {
        // A value far wider than any buffer a line could be cut at, then shorter files over it.
        {GeopakCommand(std::numeric_limits<int32_t>::min(), 1e300, -123456789012.5, 0.0000004, -0.0000006,
                       1234.5678915),
         "geopak_in_wide.dat"},
        {GeopakCommand(9, 10, -5.5, 100), "geopak_in_move.dat"},
        {GeopakCommand(2, 0, 90, 180), "geopak_in_head.dat"},
    };
    for (const auto& c : cases) {
        protocol.WriteCommandFile(c.command);
        EXPECT_EQ(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"), Golden(c.golden)) << c.golden;
    }
    EXPECT_EQ(sandbox.ui().Messages().size(), 0u);
    ASSERT_TRUE(testsupport::HoldFileInChild("C:\\DATA\\GEO_IN.DAT", plat::kFileRead | plat::kShareDenyWrite));
    protocol.WriteCommandFile(GeopakCommand(9, 1, 2, 3));
    testsupport::ReleaseHeldFile("C:\\DATA\\GEO_IN.DAT");
    EXPECT_EQ(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"), Golden("geopak_in_head.dat"));
    ASSERT_EQ(Texts(), (std::vector<std::string>{"Cannot Open C:\\DATA\\GEO_IN.DAT"}));
    EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
}

TEST_F(GeopakFiles, AnswerAnglesBecomeDirectionCosinesAndBadAnswersAreRejectedWhole) {
    const auto ReadText = [this](const std::string& text) -> std::optional<GeopakAnswer> {
        sandbox.WriteFile("C:\\DATA\\GEO_OUT.DAT", text);
        plat::File file;
        if (!file.Open("C:\\DATA\\GEO_OUT.DAT", plat::kFileRead | plat::kFileText | plat::kShareDenyWrite))
            return std::nullopt;
        return ReadGeopakAnswer(file);
    };
    auto answer = ReadText("x\r\n 1.5\r\n-2\r\n3e2 mm\r\n0\r\n90\r\n180\r\n");
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::vector<double>({answer->x, answer->y, answer->z, answer->cx, answer->cz}),
              std::vector<double>({1.5, -2.0, 300.0, 1.0, -1.0}));
    EXPECT_NEAR(answer->cy, 0.0, 1e-15);
    // The first line is not looked at; lines after the seventh neither.
    EXPECT_TRUE(ReadText("\n+1\n\t2\n3\n90\n90\n0\ngarbage\n"));
    EXPECT_TRUE(ReadText("\n1\n2\n3\n90\n90\n0"));  // no final line end
    // Incomplete or hostile answers are rejected whole.
    const std::string overlong = std::string(kAnswerLineLimit - 1, ' ') + "1";
    const char* const rejected[] = {
        "", "0\r\n1\r\n2\r\n3\r\n90\r\n90\r\n",  // six lines
        "0\r\n1\r\n2\r\n3\r\n90\r\nabc\r\n0\r\n",  // a line without a number
        "0\r\n1\r\n\r\n3\r\n90\r\n90\r\n0\r\n",    // an empty line
        "0\r\n1\r\n2\r\n3\r\nnan\r\n90\r\n0\r\n", "0\r\n1e999\r\n2\r\n3\r\n90\r\n90\r\n0\r\n",  // out of range
        "0\r\n+-1\r\n2\r\n3\r\n90\r\n90\r\n0\r\n", "0\r\n.\r\n2\r\n3\r\n90\r\n90\r\n0\r\n",
    };
    for (const char* text : rejected) EXPECT_FALSE(ReadText(text)) << text;
    EXPECT_FALSE(ReadText("0\n" + overlong + "\n2\n3\n90\n90\n0\n"));
    EXPECT_TRUE(ReadText("0\n" + overlong.substr(1) + "\n2\n3\n90\n90\n0\n"));
}

}  // namespace
