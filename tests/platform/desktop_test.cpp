// The virtual desktop: look-up by class and title, liveness, the foreground
// window, and the keystroke log round trip. (The window files' layout is met
// across processes in every end-to-end run.)
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

namespace {

using plat::KeyStroke;

// What both halves share: exact class names, whole titles, gone once destroyed.
TEST(Desktop, WindowsAreFoundByClassAndByTitle) {
    testsupport::Sandbox box;
    plat::WindowHandle geopak = plat::CreateTopLevelWindow("xmeas_res4500drawtask9012", "GEOPAK-WIN");
    plat::WindowHandle other = plat::CreateTopLevelWindow("CMM-OTHER", "GEOPAK");
    ASSERT_NE(geopak, plat::kNoWindow);
    ASSERT_NE(other, plat::kNoWindow);
    EXPECT_EQ(plat::FindWindowByClass("xmeas_res4500drawtask9012"), geopak);
    EXPECT_EQ(plat::FindWindowByClass("CMM-OTHER"), other);
    EXPECT_EQ(plat::FindWindowByClass("xmeas_res4500"), plat::kNoWindow) << "no prefix match";
    EXPECT_EQ(plat::FindWindowByTitle("GEOPAK"), other);
    EXPECT_EQ(plat::FindWindowByTitle("GEOPAK-WIN"), geopak);
    EXPECT_EQ(plat::FindWindowByTitle("GEOPAK-W"), plat::kNoWindow) << "whole titles only";
    plat::DestroyTopLevelWindow(other);
    EXPECT_EQ(plat::FindWindowByTitle("GEOPAK"), plat::kNoWindow);
    EXPECT_EQ(plat::FindWindowByClass("CMM-OTHER"), plat::kNoWindow);
    plat::DestroyTopLevelWindow(geopak);
}

TEST(Desktop, OfTwoLikeWindowsTheOlderIsFoundAndCaseCounts) {
    CMM_SKIP_ON_WIN32("FindWindowEx finds the topmost window first and compares titles without case");
    testsupport::Sandbox box;
    plat::WindowHandle first = plat::CreateTopLevelWindow("GEOPAK-WIN", "Result");
    plat::WindowHandle second = plat::CreateTopLevelWindow("GEOPAK-WIN", "Other");
    EXPECT_EQ(plat::FindWindowByClass("GEOPAK-WIN"), first);
    EXPECT_EQ(plat::FindWindowByTitle("result"), plat::kNoWindow) << "titles match exactly";
    plat::DestroyTopLevelWindow(first);
    EXPECT_EQ(plat::FindWindowByClass("GEOPAK-WIN"), second);
}

// A show command racing with the window's destruction must not bring the
// window back.
TEST(Desktop, ShowingADyingWindowDoesNotResurrectIt) {
    testsupport::Sandbox box;
    for (int round = 0; round < 40; ++round) {
        plat::WindowHandle window = plat::CreateTopLevelWindow("GEOPAK-WIN", "Result");
        std::atomic<bool> stop{false};
        std::atomic<int> shown{0};
        plat::Thread shower;
        ASSERT_TRUE(shower.Start([&] {
            for (; !stop; ++shown) plat::ShowWindow(window, plat::kSwRestore);
        }));
        ASSERT_TRUE(testsupport::Eventually([&] { return shown > 2; }));
        plat::DestroyTopLevelWindow(window);
        stop = true;
        ASSERT_TRUE(shower.Join(500000));
        ASSERT_FALSE(plat::IsWindow(window)) << "round " << round;
    }
}

TEST(Desktop, AWindowOfADeadProcessIsNotAlive) {
    CMM_SKIP_ON_WIN32("forges a window file of the virtual desktop folder");
    testsupport::Sandbox box;
    plat::WindowHandle window = plat::CreateTopLevelWindow("GEOPAK-WIN", "Result");
    std::ofstream(box.Desktop() + "/windows/" + std::to_string(window), std::ios::trunc)
        << "class=GEOPAK-WIN\ntitle=Result\npid=2147483646\nshow=1\n";
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_EQ(plat::FindWindowByClass("GEOPAK-WIN"), plat::kNoWindow);
    // Its id stays taken: a new window gets another one.
    EXPECT_NE(plat::CreateTopLevelWindow("GEOPAK-WIN", "Result"), window);
}

TEST(Desktop, ForegroundFollowsActivationAndDies) {
    CMM_SKIP_ON_WIN32("each sandbox starts an empty virtual desktop; Windows hands activation on when a window dies");
    testsupport::Sandbox box;
    EXPECT_EQ(plat::ForegroundWindow(), plat::kNoWindow);
    EXPECT_FALSE(plat::SendKeyStrokes({KeyStroke{'A', 'A'}})) << "no foreground window";
    plat::WindowHandle a = plat::CreateTopLevelWindow("A", "a");
    plat::WindowHandle b = plat::CreateTopLevelWindow("B", "b");
    plat::SetForegroundWindow(a);
    EXPECT_EQ(plat::ForegroundWindow(), a);
    plat::SetFocus(b);
    EXPECT_EQ(plat::ForegroundWindow(), b);
    plat::SetActiveWindow(a);
    EXPECT_EQ(plat::ForegroundWindow(), a);
    plat::SetForegroundWindow(9999);  // no such window: nothing changes
    EXPECT_EQ(plat::ForegroundWindow(), a);
    plat::DestroyTopLevelWindow(a);
    EXPECT_EQ(plat::ForegroundWindow(), plat::kNoWindow);
}

TEST(Keys, LogRoundTripInOrderAndOnlyNewLines) {
    testsupport::Sandbox box;
    plat::WindowHandle geopak = plat::CreateTopLevelWindow("GEOPAK-WIN", "Result");
    plat::WindowHandle other = plat::CreateTopLevelWindow("OTHER", "x");
    plat::SetForegroundWindow(geopak);
    ASSERT_TRUE(plat::SendKeyStrokes({{'R', 'R', true}, {'I', 'I'}, {0x09, 0}, {0x28, 0}, {0x0D, 0}}));
    EXPECT_EQ(box.KeyLog(geopak), (std::vector<std::string>{"%R", "I", "{TAB}", "{DOWN}", "{ENTER}"}));
    EXPECT_EQ(plat::TakeKeyStrokes(geopak, 0), box.KeyLog(geopak));
    EXPECT_TRUE(plat::TakeKeyStrokes(geopak, 50).empty()) << "taken once only";
    EXPECT_TRUE(plat::TakeKeyStrokes(other, 0).empty()) << "keys go to the foreground window only";
    plat::SendKeyStrokes({{'1', '1'}});
    EXPECT_EQ(plat::TakeKeyStrokes(geopak, 0), (std::vector<std::string>{"1"}));
}

TEST(Keys, AReusedWindowIdStartsWithAnEmptyLog) {
    CMM_SKIP_ON_WIN32("the virtual desktop reuses a dead window's id; Windows handles are not reused this way");
    testsupport::Sandbox box;
    plat::WindowHandle old = plat::CreateTopLevelWindow("SIM", "sim");
    plat::SetForegroundWindow(old);
    plat::SendKeyStrokes({{'A', 'A'}, {'B', 'B'}});
    plat::DestroyTopLevelWindow(old);
    plat::WindowHandle fresh = plat::CreateTopLevelWindow("SIM", "again");
    ASSERT_EQ(fresh, old);
    EXPECT_TRUE(box.KeyLog(fresh).empty());
    EXPECT_TRUE(plat::TakeKeyStrokes(fresh, 0).empty());
    plat::SetForegroundWindow(fresh);
    plat::SendKeyStrokes({{'C', 'C'}});
    EXPECT_EQ(plat::TakeKeyStrokes(fresh, 0), (std::vector<std::string>{"C"}));
}

}  // namespace
