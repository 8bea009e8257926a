// The simulator's shared state and exchange files on a real folder: updates
// from many threads under the lock file, a state left by a writer that died,
// and command files claimed only once their writer has let go, answered in
// CR LF. (A held answer lock shows end to end.)
#include "exchange_files.h"
#include "state.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace cmmsim {
namespace {

TEST(SimStore, ConcurrentUpdatesAreNeverLostNorIsAStateLeftUnderItsNextName) {
    testsupport::Sandbox sandbox;
    SimState state;
    state.counts["race"] = 100;
    store::Create(state);
    // A writer that died between removing the old state and renaming the new one in.
    const std::string next = std::string(kStateFile) + ".next";
    ASSERT_EQ(std::rename(plat::NativePath(kStateFile).c_str(), plat::NativePath(next).c_str()), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back([] { for (int i = 0; i < 25; ++i) store::Count("race"); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(store::Read().counts.at("race"), 200u);
    EXPECT_FALSE(sandbox.Exists(next));
}

TEST(SimExchangeFiles, CommandIsClaimedOnlyAfterItsWriterClosedItAndAnswersGoOutInCrLf) {
    testsupport::Sandbox sandbox;
    EXPECT_FALSE(ClaimCommandFile("C:\\GEO_IN.DAT"));  // none there
    plat::File writer;
    ASSERT_TRUE(writer.Open("C:\\GEO_IN.DAT", plat::kFileWrite | plat::kFileCreate | plat::kFileText));
    writer.Write("9\n");
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        writer.Write("   10.000000\n");
        writer.Close();
    });
    const auto lines = ClaimCommandFile("C:\\GEO_IN.DAT");
    closer.join();
    EXPECT_EQ(lines, std::optional<std::vector<std::string>>({"9", "   10.000000"}));
    EXPECT_FALSE(sandbox.Exists("C:\\GEO_IN.DAT"));
    ASSERT_TRUE(PublishAnswerFile("C:\\GEO_ZOR.DAT", "Error=0\nActualX=" + Number(-12.5) + "\n"));
    EXPECT_EQ(sandbox.ReadFile("C:\\GEO_ZOR.DAT"), "Error=0\r\nActualX=  -12.500000\r\n");
}

}  // namespace
}  // namespace cmmsim
