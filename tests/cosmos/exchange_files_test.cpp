// The COSMOS exchange files: byte-exact parameter files (golden), answer
// parsing and merging with hostile input, and the answer wait's order of
// precedence, retries and failure paths on real files.
#include "cosmos/cosmos_exchange.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <thread>

namespace {

using testsupport::Golden;
using testsupport::Sandbox;

const std::string kFolder = "C:\\COSMOS\\VELMOR\\";
const std::string kAnswer = kFolder + "GEO_ZOR.DAT";
const std::string kMessage = kFolder + "REMOTE.MSG";
const std::string kParameters = kFolder + "ZOR_GEO.DAT";

class ExchangeFiles : public ::testing::Test {
protected:
    void SetUp() override { box.MakeDir(kFolder); }
    Sandbox box{100.0};
};

TEST_F(ExchangeFiles, ParameterFilesAreByteExactWithCrLf) {
    ParameterMap poll;
    poll["Cmd"] = 5.0;
    ASSERT_TRUE(WriteParameterFile(poll, kParameters));
    EXPECT_EQ(box.ReadFile(kParameters), Golden("cosmos_poll.dat"));

    ParameterMap move;
    move["Cmd"] = 9.0;
    move["XGoto"] = 1.0;
    move["YGoto"] = 2.0;
    move["ZGoto"] = 3.0;
    ASSERT_TRUE(WriteParameterFileWithBackup(move, kParameters));
    EXPECT_EQ(box.ReadFile(kParameters), Golden("cosmos_move.dat"));
    EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden("cosmos_move.dat"));

    ParameterMap connect;
    connect["SkipInit"] = 0.0;
    connect["MachType"] = 1.0;
    ASSERT_TRUE(WriteParameterFile(connect, kParameters));
    EXPECT_EQ(box.ReadFile(kParameters), Golden("cosmos_connect.dat"));
}

TEST_F(ExchangeFiles, WideValuesWidenTheFieldAndAreNeverCut) {
    ParameterMap map;
    map["XGoto"] = -123456789012.3456;
    map["YGoto"] = 1e21;
    map["ZGoto"] = 0.0006;
    ASSERT_TRUE(WriteParameterFile(map, kParameters));
    EXPECT_EQ(box.ReadFile(kParameters), Golden("cosmos_wide.dat"));
}

TEST(ParameterLines, LongLinesAreWrittenWholeInAnyLocale) {
    const std::string name(400, 'N');
    const std::string line = FormatParameterLine(name, 1e300);
    EXPECT_EQ(line.size(), 400u + 1u + 301u + 4u + 1u);
    EXPECT_EQ(line.substr(0, 402), name + "=1");
    EXPECT_EQ(line.substr(line.size() - 5), ".000\n");
    // A comma locale does not reach the file.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr) {
        EXPECT_EQ(FormatParameterLine("XGoto", -12.5), "XGoto=     -12.500\n");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    // A name holding a NUL still goes out whole.
    EXPECT_EQ(FormatParameterLine(std::string("A\0B", 3), 1.0), std::string("A\0B=       1.000\n", 17));
}

TEST(AnswerParsing, EntriesNamesAndValues) {
    ParameterMap map;
    MergeAnswerText(map,
                    "Error=1\r\nActualX =12\n=5\n\nno equals here\nActualY=  3.5mm\nActualZ=abc\nActualA=-1e3"
                    "\nTree==4\nActualB=1,5\nActualC=0x10\nPh9A=inf\nPh9B=nan\nProbeD=1e999\nXGoto=   \t-7");
    EXPECT_EQ(AnswerResult(map), 1);
    double value = -1.0;
    EXPECT_FALSE(map.Lookup("ActualX", value));
    ASSERT_TRUE(map.Lookup("ActualX ", value));
    EXPECT_EQ(value, 12.0);
    EXPECT_FALSE(map.Lookup("", value));
    EXPECT_EQ(map["ActualY"], 3.5);   // stops at the first character that is no number
    EXPECT_EQ(map["ActualZ"], 0.0);   // no number at all: 0.0, still stored
    EXPECT_EQ(map["ActualA"], -1000.0);
    EXPECT_EQ(map["Tree"], 0.0);      // name is up to the first "="
    EXPECT_EQ(map["ActualB"], 1.0);   // "%lf" in the C locale stops at the comma
    EXPECT_EQ(map["ActualC"], 16.0);  // what "%lf" accepts, hexadecimal included
    EXPECT_EQ(map["Ph9A"], 0.0);      // nothing that is not finite gets in
    EXPECT_EQ(map["Ph9B"], 0.0);
    EXPECT_EQ(map["ProbeD"], 0.0);
    EXPECT_EQ(map["XGoto"], -7.0);    // last line without a line end
}

TEST(AnswerParsing, ErrorDecidesResultAndStaysInTheMap) {
    ParameterMap map;
    MergeAnswerText(map, "Error=2.0\n");
    EXPECT_EQ(AnswerResult(map), 2);
    MergeAnswerText(map, "ActualX=1\n");  // no "Error": the old one still decides
    EXPECT_EQ(AnswerResult(map), 2);
    MergeAnswerText(map, "Error=1.5\n");
    EXPECT_EQ(AnswerResult(map), 0);
    ParameterMap fresh;
    EXPECT_EQ(AnswerResult(fresh), 0);
    EXPECT_EQ(fresh.GetCount(), 1u);  // reading "Error" inserted it
}

TEST(AnswerParsing, VeryLongLinesAreSkippedWithoutHarm) {
    ParameterMap map;
    std::string text = "Error=1\n" + std::string(kMaxAnswerLine, 'x') + "=5\nActualX=" +
                       std::string(kMaxAnswerLine - 20, '9') + "\nActualY=2\n";
    MergeAnswerText(map, text);
    EXPECT_EQ(map.GetCount(), 3u);
    EXPECT_EQ(map["ActualX"], 0.0);  // 65000 nines overflow: not finite, 0.0
    EXPECT_EQ(map["ActualY"], 2.0);
}

TEST_F(ExchangeFiles, AnswerIsMergedCopiedAndDeleted) {
    box.WriteFile(kAnswer, "Error=0\r\nActualX =12\r\n=5\r\n\r\njunk\r\nActualY=3.25xyz");
    ParameterMap map;
    map["Cmd"] = 5.0;
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 0);
    EXPECT_FALSE(box.Exists(kAnswer));
    EXPECT_EQ(box.ReadFile(kAnswer + ".bck"), "Error=0\r\nActualX =12\r\n=5\r\n\r\njunk\r\nActualY=3.25xyz\r\n");
    EXPECT_EQ(map["ActualY"], 3.25);
    EXPECT_EQ(map["ActualX "], 12.0);
    EXPECT_EQ(map.GetCount(), 4u);  // Cmd, Error, "ActualX ", ActualY
}

TEST_F(ExchangeFiles, OverlongAnswerLineIsCopiedWholeAndSkipped) {
    const std::string longLine = "ActualZ=" + std::string(kMaxAnswerLine * 2, '1');
    box.WriteFile(kAnswer, "Error=2\r\n" + longLine + "\r\nActualX=4\r\n");
    ParameterMap map;
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 2);
    double value = 0.0;
    EXPECT_FALSE(map.Lookup("ActualZ", value));
    EXPECT_EQ(map["ActualX"], 4.0);
    EXPECT_EQ(box.ReadFile(kAnswer + ".bck"), "Error=2\r\n" + longLine + "\r\nActualX=4\r\n");
}

TEST_F(ExchangeFiles, MessageFileWinsOverAnswerAndLeavesTheAnswer) {
    box.WriteFile(kAnswer, "Error=1\r\n");
    box.WriteFile(kMessage, "whatever");
    ParameterMap map;
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 100);
    EXPECT_FALSE(box.Exists(kMessage));
    EXPECT_TRUE(box.Exists(kAnswer));
    EXPECT_TRUE(map.IsEmpty());
}

TEST_F(ExchangeFiles, EventsComeFirstLowestIndexWins) {
    box.WriteFile(kAnswer, "Error=1\r\n");
    box.WriteFile(kMessage, "");
    plat::Event a(true), b(false), c(false);
    plat::Event* events[] = {&a, &b, &c};
    ParameterMap map;
    c.Set();
    b.Set();
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, events, 3, 0), 201);
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, events, 3, 0), 202);
    a.Set();
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, events, 3, 0), 200);
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, events, 3, 0), 200);  // manual reset stays set
    EXPECT_TRUE(box.Exists(kMessage));
    EXPECT_TRUE(map.IsEmpty());
}

TEST_F(ExchangeFiles, TimeoutGives101AndALateAnswerIsStillTaken) {
    ParameterMap map;
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 200), 101);
    std::thread writer([&] {
        plat::Sleep(300);
        box.WriteFile(kAnswer, "ActualX=9\r\n");
    });
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 0);
    writer.join();
    EXPECT_EQ(map["ActualX"], 9.0);
}

TEST_F(ExchangeFiles, LockedAnswerIsRetriedUntilTheWriterLetsGo) {
    box.WriteFile(kAnswer, "Error=1\r\n");
    auto holder = std::make_unique<plat::File>();
    ASSERT_TRUE(holder->Open(kAnswer, plat::kFileWrite | plat::kFileAppend));
    std::thread release([&] {
        plat::Sleep(500);
        holder->Close();
    });
    ParameterMap map;
    const uint32_t start = plat::TickCount();
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 1);
    EXPECT_GE(plat::TickCount() - start, 400u);
    release.join();
}

TEST_F(ExchangeFiles, AnswerIsReadEvenWhenItsBackupCannotBeMade) {
    box.MakeDir(kAnswer + ".bck");  // a folder where the backup would go
    box.WriteFile(kAnswer, "Error=2\r\nActualX=3\r\n");
    ParameterMap map;
    EXPECT_EQ(AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0), 2);
    EXPECT_EQ(map["ActualX"], 3.0);
    EXPECT_FALSE(box.Exists(kAnswer));
}

TEST_F(ExchangeFiles, HeldParameterFileIsRefusedAfterThreeAttempts) {
    box.WriteFile(kParameters, "old");
    plat::File holder;
    ASSERT_TRUE(holder.Open(kParameters, plat::kFileRead | plat::kShareDenyWrite));
    ParameterMap map;
    map["Cmd"] = 5.0;
    const uint32_t start = plat::TickCount();
    EXPECT_FALSE(WriteParameterFileWithBackup(map, kParameters));
    EXPECT_GE(plat::TickCount() - start, 60u);  // three attempts, each followed by 20 ms
    // The backup went first and was written; the held file was not touched.
    EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden("cosmos_poll.dat"));
    EXPECT_EQ(box.ReadFile(kParameters), "old");
    const auto messages = box.ui().Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Cannot Open " + kParameters);
    EXPECT_EQ(messages[0].style, MB_ICONHAND | MB_SYSTEMMODAL);
}

TEST_F(ExchangeFiles, BackupThatCannotBeOpenedStopsBeforeTheFile) {
    box.MakeDir(kParameters + ".bck");
    ParameterMap map;
    map["Cmd"] = 5.0;
    EXPECT_FALSE(WriteParameterFileWithBackup(map, kParameters));
    EXPECT_FALSE(box.Exists(kParameters));
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text, "Cannot Open " + kParameters + ".bck");
}

TEST_F(ExchangeFiles, DeleteFileIfPresent) {
    EXPECT_TRUE(DeleteFileIfPresent(kAnswer));
    box.WriteFile(kAnswer, "x");
    EXPECT_TRUE(DeleteFileIfPresent(kAnswer));
    EXPECT_FALSE(box.Exists(kAnswer));
    box.WriteFile(kAnswer, "x");
    plat::File holder;
    ASSERT_TRUE(holder.Open(kAnswer, plat::kFileRead));  // exclusive: no delete sharing
    EXPECT_FALSE(DeleteFileIfPresent(kAnswer));
}

}  // namespace
