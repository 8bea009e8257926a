// The simulator's shared state and exchange files on a real folder: the JSON
// round trip, damaged state, updates from many threads under the lock file,
// answers that appear whole in CR LF with an optional held lock, and command
// files claimed only once their writer has let go.
#include "exchange_files.h"
#include "state.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

namespace cmmsim {
namespace {

SimState Sample() {
    SimState s;
    s.config.sceneText = "sphere 0 0 0 1\n";
    s.config.exchange = "D:\\X\\";
    s.faults.neverAnswer = {5, 9};
    s.faults.lockAnswerMs = 30;
    s.machine.position = {1.5, -2, 3e-7};
    s.queue.push_back({{1, 2, 3}, {0, 0, -1}});
    s.counts["cosmos.cmd8"] = 4;
    s.startupCommands = {"CMD05(C:\\GEOPAK\\MELDAX\\)"};
    s.pointsQueued = 9;
    return s;
}

TEST(SimStore, StateSurvivesItsJsonForm) {
    SimState s = Sample();
    EXPECT_EQ(ToJson(FromJson(ToJson(s))), ToJson(s));
    EXPECT_THROW(FromJson("{\"config\": 1}"), std::runtime_error);
    EXPECT_THROW(FromJson("not json"), std::runtime_error);
}

TEST(SimStore, ConcurrentUpdatesAreNeverLost) {
    testsupport::Sandbox sandbox;
    EXPECT_THROW(store::Read(), std::runtime_error);  // nothing installed yet
    store::Create(Sample());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 25; ++i) store::Count("race");
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(store::Read().counts.at("race"), 100u);
    EXPECT_EQ(store::Read().queue.size(), 1u);
}

// A writer that died between removing the old state and renaming the new
// one in leaves the state under its next name; nothing is lost.
TEST(SimStore, StateLeftUnderItsNextNameIsReadAndReplaced) {
    testsupport::Sandbox sandbox;
    store::Create(Sample());
    const std::string next = std::string(kStateFile) + ".next";
    ASSERT_TRUE(std::rename(plat::NativePath(kStateFile).c_str(), plat::NativePath(next).c_str()) == 0);
    EXPECT_EQ(store::Read().pointsQueued, 9u);
    store::Count("after");
    EXPECT_TRUE(sandbox.Exists(kStateFile));
    EXPECT_FALSE(sandbox.Exists(next));
    EXPECT_EQ(store::Read().counts.at("cosmos.cmd8"), 4u);
}

TEST(SimExchangeFiles, HeldAnswerRefusesReadersUntilReleased) {
    CMM_SKIP_ON_WIN32("Windows cannot rename a file while its writer holds it open without delete sharing");
    // Held for 300 virtual ms, 3 s of real time: the test's look falls inside on a busy machine.
    testsupport::Sandbox sandbox(0.1);
    std::thread writer([] { PublishAnswerFile("C:\\GEO_OUT.DAT", "x\n", 300); });
    ASSERT_TRUE(testsupport::Eventually([&] { return sandbox.Exists("C:\\GEO_OUT.DAT"); }));
    plat::File reader;
    plat::FileError error = plat::FileError::kNone;
    EXPECT_FALSE(reader.Open("C:\\GEO_OUT.DAT", plat::kFileRead | plat::kShareDenyWrite, &error));
    EXPECT_EQ(error, plat::FileError::kSharingViolation);
    writer.join();
    EXPECT_TRUE(reader.Open("C:\\GEO_OUT.DAT", plat::kFileRead | plat::kShareDenyWrite));
}

TEST(SimExchangeFiles, CommandIsClaimedOnlyAfterItsWriterClosedItAndAnswersGoOutInCrLf) {
    testsupport::Sandbox sandbox;
    EXPECT_FALSE(ClaimCommandFile("C:\\GEO_IN.DAT"));  // none there
    auto writer = std::make_unique<plat::File>();
    ASSERT_TRUE(writer->Open("C:\\GEO_IN.DAT", plat::kFileWrite | plat::kFileCreate | plat::kFileText));
    writer->Write("9\n");
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        writer->Write("   10.000000\n");
        writer->Close();
    });
    auto lines = ClaimCommandFile("C:\\GEO_IN.DAT");
    closer.join();
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"9", "   10.000000"}));
    EXPECT_FALSE(sandbox.Exists("C:\\GEO_IN.DAT"));
    // Answers go out in CR LF.
    ASSERT_TRUE(PublishAnswerFile("C:\\GEO_ZOR.DAT", "Error=0\nActualX=" + Number(-12.5) + "\n"));
    EXPECT_EQ(sandbox.ReadFile("C:\\GEO_ZOR.DAT"), "Error=0\r\nActualX=  -12.500000\r\n");
}

}  // namespace
}  // namespace cmmsim
