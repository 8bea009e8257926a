// The COSMOS exchange files: byte-exact parameter files (golden), answer
// parsing and merging with hostile input, and the answer wait's order of
// precedence, retries and failure paths on real files.
#include "cosmos/cosmos_exchange.h"
#include "cosmos_fixture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <thread>

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
    testsupport::Sandbox box{100.0};
};

ParameterMap Map(std::initializer_list<std::pair<const char*, double>> entries) {
    ParameterMap map;
    for (const auto& [name, value] : entries) map[name] = value;
    return map;
}

TEST_F(ExchangeFiles, ParameterFilesAreByteExactWithCrLf) {
    const struct {
        ParameterMap map;
        const char* golden;
    } cases[] = {
        {Map({{"Cmd", 5.0}}), "cosmos_poll.dat"},
        {Map({{"Cmd", 9.0}, {"XGoto", 1.0}, {"YGoto", 2.0}, {"ZGoto", 3.0}}), "cosmos_move.dat"},
        {Map({{"SkipInit", 0.0}, {"MachType", 1.0}}), "cosmos_connect.dat"},
        {Map({{"XGoto", -123456789012.3456}, {"YGoto", 1e21}, {"ZGoto", 0.0006}}), "cosmos_wide.dat"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteParameterFileWithBackup(c.map, kParameters));
        EXPECT_EQ(box.ReadFile(kParameters), Golden(c.golden));
        EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden(c.golden));
    }
}

TEST(ParameterLines, LongLinesAreWrittenWholeInAnyLocale) {
    const std::string line = FormatParameterLine(std::string(400, 'N'), 1e300);
    EXPECT_EQ(line.size(), 400u + 1u + 301u + 4u + 1u);
    EXPECT_EQ(line.substr(0, 402), std::string(400, 'N') + "=1");
    EXPECT_EQ(line.substr(line.size() - 5), ".000\n");
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr) {
        EXPECT_EQ(FormatParameterLine("XGoto", -12.5), "XGoto=     -12.500\n");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(FormatParameterLine(std::string("A\0B", 3), 1.0), std::string("A\0B=       1.000\n", 17));
}

TEST(AnswerParsing, EntriesNamesAndValues) {
    ParameterMap map;
    MergeAnswerText(map, "Error=1\r\nActualX =12\n=5\n\nno equals here\nActualY=  3.5mm\nActualZ=abc\nActualA=-1e3"
                         "\nTree==4\nActualB=1,5\nActualC=0x10\nPh9A=inf\nPh9B=nan\nProbeD=1e999\n" +
                             std::string(kMaxAnswerLine, 'x') + "=5\nYStart=" + std::string(kMaxAnswerLine - 20, '9') +
                             "\nXGoto=   \t-7");
    EXPECT_EQ(AnswerResult(map), 1);
    double value = -1.0;
    EXPECT_FALSE(map.Lookup("ActualX", value));
    EXPECT_FALSE(map.Lookup("", value));
    EXPECT_EQ(map.GetCount(), 13u);
    const std::pair<const char*, double> expected[] = {
        {"ActualX ", 12.0}, {"ActualY", 3.5}, {"ActualZ", 0.0}, {"ActualA", -1000.0}, {"Tree", 0.0},
        {"ActualB", 1.0},   {"ActualC", 16.0}, {"Ph9A", 0.0},   {"Ph9B", 0.0},       {"ProbeD", 0.0},
        {"YStart", 0.0},    {"XGoto", -7.0}};
    for (const auto& [name, number] : expected) {
        ASSERT_TRUE(map.Lookup(name, value)) << name;
        EXPECT_EQ(value, number) << name;
    }
}

TEST(AnswerParsing, ErrorDecidesResultAndStaysInTheMap) {
    ParameterMap map;
    for (const auto& [text, result] : {std::pair{"Error=2.0\n", 2}, {"ActualX=1\n", 2}, {"Error=1.5\n", 0}}) {
        MergeAnswerText(map, text);
        EXPECT_EQ(AnswerResult(map), result) << text;
    }
    ParameterMap fresh;
    EXPECT_EQ(AnswerResult(fresh), 0);
    EXPECT_EQ(fresh.GetCount(), 1u);  // reading "Error" inserted it
}

TEST_F(ExchangeFiles, AnswerIsReadWithOrWithoutItsBackupAndDeleted) {
    box.MakeDir(kAnswer + ".bck");  // a folder where the backup would go
    box.WriteFile(kAnswer, "Error=2\r\nActualX=3\r\n");
    ParameterMap map = Map({{"Cmd", 5.0}});
    EXPECT_EQ(Await(map), 2);
    EXPECT_EQ(map["ActualX"], 3.0);
    EXPECT_FALSE(box.Exists(kAnswer));
    // A line longer than any read buffer is dropped whole; the last one needs no line end.
    std::filesystem::remove(plat::NativePath(kAnswer + ".bck"));
    const std::string text = "Error=1\r\nActualZ=" + std::string(kMaxAnswerLine * 2, '1') + "\r\nActualY=3.25xyz";
    box.WriteFile(kAnswer, text);
    EXPECT_EQ(Await(map), 1);
    EXPECT_FALSE(box.Exists(kAnswer));
    EXPECT_EQ(box.ReadFile(kAnswer + ".bck"), text + "\r\n");
    EXPECT_EQ(map["ActualY"], 3.25);
    EXPECT_EQ(map.GetCount(), 4u);  // Cmd, Error, ActualX, ActualY
}

TEST_F(ExchangeFiles, MessageFileWinsOverAnswerAndEventsOverBoth) {
    box.WriteFile(kAnswer, "Error=1\r\n");
    box.WriteFile(kMessage, "");
    plat::Event a(true), b(false), c(false);
    plat::Event* events[] = {&a, &b, &c};
    ParameterMap map;
    c.Set();
    b.Set();
    EXPECT_EQ(Await(map, events, 3), 201);  // lowest index first
    EXPECT_EQ(Await(map, events, 3), 202);
    a.Set();
    EXPECT_EQ(Await(map, events, 3), 200);
    EXPECT_EQ(Await(map, events, 3), 200);  // manual reset stays set
    EXPECT_TRUE(box.Exists(kMessage));
    EXPECT_EQ(Await(map), 100);
    EXPECT_FALSE(box.Exists(kMessage));
    EXPECT_TRUE(box.Exists(kAnswer));
    EXPECT_TRUE(map.IsEmpty());
}

TEST_F(ExchangeFiles, TimeoutGives101AndALateAnswerIsStillTaken) {
    ParameterMap map;
    EXPECT_EQ(Await(map, nullptr, 0, 200), 101);
    std::thread writer([&] {
        plat::Sleep(300);
        box.WriteFile(kFolder + "NEW.DAT", "ActualX=9\r\n");  // appears whole, as the macro's does
        std::filesystem::rename(plat::NativePath(kFolder + "NEW.DAT"), plat::NativePath(kAnswer));
    });
    EXPECT_EQ(Await(map), 0);
    writer.join();
    EXPECT_EQ(map["ActualX"], 9.0);
}

TEST_F(ExchangeFiles, HeldParameterFileIsRefusedAfterThreeAttempts) {
    box.WriteFile(kParameters, "old");
    plat::File holder;
    ASSERT_TRUE(holder.Open(kParameters, plat::kFileRead | plat::kShareDenyWrite));
    const uint32_t start = plat::TickCount();
    EXPECT_FALSE(WriteParameterFileWithBackup(Map({{"Cmd", 5.0}}), kParameters));
    EXPECT_GE(plat::TickCount() - start, 60u);  // three attempts, each followed by 20 ms
    // The backup went first and was written; the held file was not touched.
    EXPECT_EQ(box.ReadFile(kParameters + ".bck"), Golden("cosmos_poll.dat"));
    EXPECT_EQ(box.ReadFile(kParameters), "old");
    holder.Close();
    box.MakeDir(kFolder + "X.bck");  // an unopenable backup stops before the file
    EXPECT_FALSE(WriteParameterFileWithBackup(Map({{"Cmd", 5.0}}), kFolder + "X"));
    EXPECT_FALSE(box.Exists(kFolder + "X"));
    const auto messages = box.ui().Messages();
    EXPECT_EQ(Texts(messages), (std::vector<std::string>{"Cannot Open " + kParameters, "Cannot Open " + kFolder + "X.bck"}));
    EXPECT_EQ(messages[0].style, MB_ICONHAND | MB_SYSTEMMODAL);
}

}  // namespace
