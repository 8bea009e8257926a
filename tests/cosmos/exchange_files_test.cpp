// The COSMOS exchange files on real files: byte-exact parameter files
// (golden) in every locale, answers read and merged with hostile input and in
// a comma-decimal locale, REMOTE.MSG over an answer, and a parameter file
// held by another program.
#include "cosmos/cosmos_exchange.h"
#include "cosmos_fixture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <map>

namespace {

using testsupport::Golden;

const std::string kFolder = "C:\\COSMOS\\VELMOR\\";
const std::string kAnswer = kFolder + "GEO_ZOR.DAT";
const std::string kMessage = kFolder + "REMOTE.MSG";
const std::string kParameters = kFolder + "ZOR_GEO.DAT";

class ExchangeFiles : public ::testing::Test {
protected:
    void SetUp() override { box.MakeDir(kFolder); }
    int Await(ParameterMap& map, plat::Event** events = nullptr, int count = 0, uint32_t timeout = 0) {
        return AwaitCosmosAnswer(map, kAnswer, kMessage, events, count, timeout);
    }
    // The answer as the plug-in takes it from the exchange folder.
    int Answer(ParameterMap& map, const std::string& bytes) {
        box.WriteFile(kAnswer, bytes);
        const int result = Await(map);
        EXPECT_FALSE(box.Exists(kAnswer));
        return result;
    }
    testsupport::Sandbox box{100.0};
};

using Entries = std::map<std::string, double>;

ParameterMap Map(const Entries& entries) {
    ParameterMap map;
    for (const auto& [name, value] : entries) map[name] = value;
    return map;
}

Entries EntriesOf(const ParameterMap& map) {
    Entries entries;
    for (const auto& [name, value] : map) entries.emplace(name, value);
    return entries;
}

// Every kind of line an answer may hold, with LF or CR LF ends and no end on the last.
const std::string kHostileAnswer =
    "Error=1\r\nActualX =12\n=5\n\nno equals here\nActualY=  3.5mm\nActualZ=abc\nActualA=-1e3\nTree==4\n"
    "ActualB=1,5\nActualC=0x10\nPh9A=inf\nPh9B=nan\nProbeD=1e999\n" + std::string(kMaxAnswerLine, 'x') +
    "=5\nYStart=" + std::string(kMaxAnswerLine - 20, '9') + "\r\nZStart=" + std::string(kMaxAnswerLine * 2, '1') +
    "\r\nXGoto=   \t-7";

TEST_F(ExchangeFiles, AnswersAreMergedLineByLineAndDeleted) {
    ParameterMap map;
    EXPECT_EQ(Answer(map, kHostileAnswer), 1);
    // Blanks stay in names, text without a number, non-finite and over-long values read 0.
    EXPECT_EQ(EntriesOf(map), (Entries{{"Error", 1.0}, {"ActualX ", 12.0}, {"ActualY", 3.5}, {"ActualZ", 0.0},
                                       {"ActualA", -1000.0}, {"Tree", 0.0}, {"ActualB", 1.0}, {"ActualC", 16.0},
                                       {"Ph9A", 0.0}, {"Ph9B", 0.0}, {"ProbeD", 0.0}, {"YStart", 0.0}, {"XGoto", -7.0}}));

    // Without a backup the answer is read all the same; "Error" decides, whole
    // numbers only. (An answer without it keeps the last error: the command tests'.)
    std::filesystem::remove(plat::NativePath(kAnswer + ".bck"));
    box.MakeDir(kAnswer + ".bck");
    for (const auto& [text, result] : {std::pair{"Error=2.0\r\n", 2}, {"Error=1.5\r\n", 0}})
        EXPECT_EQ(Answer(map, text), result) << text;
}

// The order of names is pinned by the protocol tests' golden files; here the
// field: right-aligned in 12, three decimals, widened and never cut, CR LF,
// and a point for the decimals under a comma-decimal locale too, which reads
// answers its own way.
TEST_F(ExchangeFiles, ParameterFilesAreByteExactInEveryLocaleAndAnswersReadTheLocalesWay) {
    const ParameterMap wide = Map({{"XGoto", -123456789012.3456}, {"YGoto", 1e21}, {"ZGoto", 0.0006}});
    ASSERT_TRUE(WriteParameterFileWithBackup(wide, kParameters));
    EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden("cosmos_wide.dat"));
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    ParameterMap map;
    const int result = Answer(map, "Error=1,0\r\nActualX=1,5\r\nActualY=2.5\r\n");
    EXPECT_TRUE(WriteParameterFileWithBackup(wide, kParameters));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(result, 1);
    EXPECT_EQ(EntriesOf(map), (Entries{{"Error", 1.0}, {"ActualX", 1.5}, {"ActualY", 2.0}}));
    EXPECT_EQ(box.ReadFile(kParameters), Golden("cosmos_wide.dat"));
}

// REMOTE.MSG wins over an answer: it is taken, the answer is left. (The
// events that end a wait are the command tests' close, interrupt and stop.)
TEST_F(ExchangeFiles, MessageFileWinsOverAnswer) {
    box.WriteFile(kAnswer, "Error=1\r\n");
    box.WriteFile(kMessage, "");
    ParameterMap map;
    EXPECT_EQ(Await(map), 100);
    EXPECT_FALSE(box.Exists(kMessage));
    EXPECT_TRUE(box.Exists(kAnswer));
    EXPECT_EQ(map.GetCount(), 0u);
}

TEST_F(ExchangeFiles, HeldParameterFileIsRefusedAfterThreeAttempts) {
    box.WriteFile(kParameters, "old");
    plat::File holder;
    ASSERT_TRUE(holder.Open(kParameters, plat::kFileRead | plat::kShareDenyWrite));
    EXPECT_FALSE(WriteParameterFileWithBackup(Map({{"Cmd", 5.0}}), kParameters));
    // The backup went first and was written; the held file was not touched.
    EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden("cosmos_poll.dat"));
    EXPECT_EQ(box.ReadFile(kParameters), "old");
    EXPECT_EQ(box.ui().Texts(), (std::vector<std::string>{"Cannot Open " + kParameters}));
    EXPECT_EQ(box.ui().Messages().at(0).style, MB_ICONHAND | MB_SYSTEMMODAL);
}

}  // namespace
