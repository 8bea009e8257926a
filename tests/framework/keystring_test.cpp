// The key-string notation: what each form turns into, what is refused and
// where, and that a refused string types nothing at all.
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <mutex>
#include <tuple>

namespace {

TEST(KeyString, CodesModifiersGroupsAndLiterals) {
    KeyParseResult r = ParseKeyString("%r+(ab)^{DEL}{%}{{}{}}{~ 2} 9{tab 2}~{esc}{F16}");
    ASSERT_TRUE(r.ok) << r.error;
    // {vk, ch, alt, ctrl, shift}: a letter keeps the case it was written in
    // but has the letter's key code; shift holds for the whole group and for
    // nothing after it; braced specials type themselves, without modifiers;
    // key names in any case, a count repeats, a tilde is Enter.
    const std::vector<std::tuple<int, int, bool, bool, bool>> expected{
        {'R', 'r', true, false, false}, {'A', 'a', false, false, true}, {'B', 'b', false, false, true},
        {0x2E, 0, false, true, false},  {0, '%', false, false, false},  {0, '{', false, false, false},
        {0, '}', false, false, false},  {0, '~', false, false, false},  {0, '~', false, false, false},
        {0, ' ', false, false, false},  {'9', '9', false, false, false}, {0x09, 0, false, false, false},
        {0x09, 0, false, false, false}, {0x0D, 0, false, false, false}, {0x1B, 0, false, false, false},
        {0x7F, 0, false, false, false}};
    std::vector<std::tuple<int, int, bool, bool, bool>> actual;
    for (const plat::KeyStroke& k : r.keys) actual.emplace_back(k.vk, k.ch, k.alt, k.ctrl, k.shift);
    EXPECT_EQ(actual, expected);
    EXPECT_TRUE(ParseKeyString("").ok);
    EXPECT_EQ(ParseKeyString("{TAB 0}").keys.size(), 0u);
    EXPECT_EQ(ParseKeyString("{DOWN 255}").keys.size(), 255u);
}

TEST(KeyString, MalformedTextIsRefusedWithTheOffsetOfTheFault) {
    for (const std::vector<std::string>& row : testsupport::GoldenRows("keystring_refusals.txt")) {
        ASSERT_EQ(row.size(), 3u) << row[0];
        KeyParseResult r = ParseKeyString(row[0]);
        EXPECT_FALSE(r.ok) << row[0];
        EXPECT_TRUE(r.keys.empty()) << row[0];
        EXPECT_EQ(r.errorOffset, std::stoul(row[1])) << row[0] << ": " << r.error;
        EXPECT_NE(r.error.find(row[2]), std::string::npos) << row[0] << ": " << r.error;
    }
    // Repeats cannot blow up memory: the expansion is capped.
    std::string huge;
    for (int i = 0; i < 300; ++i) huge += "{TAB 255}";
    EXPECT_FALSE(ParseKeyString(huge).ok);
}

TEST(KeyString, SendKeyStringTypesAllOrNothing) {
    testsupport::Sandbox sandbox;
    plat::WindowHandle window = plat::CreateTopLevelWindow("xmeas_res4500drawtask9012", "GEOPAK-WIN");
    ASSERT_NE(window, plat::kNoWindow);
    plat::SetForegroundWindow(window);
    std::mutex lock;
    std::vector<std::string> debugLines;
    plat::SetDebugOutputHook(
        [&](const std::string& line) { testsupport::Locked(lock, [&] { debugLines.push_back(line); }); });

    EXPECT_EQ(SendKeyString("%R{DOWN}{TABB}"), FALSE);
    EXPECT_TRUE(sandbox.KeyLog(window).empty()) << "a refused string typed something";
    EXPECT_EQ(SendKeyString("%R{DOWN}{ENTER}"), TRUE);
    // SendKey is one bare key: Shift would make "a" an "A", and any modifier
    // shows as "+", "^" or "%".
    EXPECT_EQ(SendKey(VK_F8), TRUE);
    EXPECT_EQ(SendKey(0x41), TRUE);
    EXPECT_EQ(sandbox.KeyLog(window), (std::vector<std::string>{"%R", "{DOWN}", "{ENTER}", "{F8}", "a"}));

    plat::SetDebugOutputHook(nullptr);
    ASSERT_EQ(debugLines.size(), 1u);
    EXPECT_NE(debugLines[0].find("TABB"), std::string::npos) << debugLines[0];
    EXPECT_NE(debugLines[0].find("offset 9"), std::string::npos) << debugLines[0];
    plat::DestroyTopLevelWindow(window);
}

}  // namespace
