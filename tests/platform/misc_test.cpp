// DOS paths through the drive map, program launch, "C"-locale formatting and
// the local date and time.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <filesystem>

namespace {

TEST(Paths, DrivesFoldersAndCurrentDirectory) {
    testsupport::Sandbox box;
    const std::string c = box.DriveC();
    EXPECT_EQ(plat::NativePath("C:\\COSMOS\\VELMOR\\ZOR_GEO.DAT"), c + "/COSMOS/VELMOR/ZOR_GEO.DAT");
    EXPECT_EQ(plat::NativePath("c:/a//b\\"), c + "/a/b") << "letter case, both separators";
    EXPECT_EQ(plat::NativePath("C:\\A\\.\\B\\..\\..\\..\\X"), c + "/X") << "cannot climb above the drive";
    // An unmapped drive: Windows resolves it itself; posix names a folder that cannot exist.
    EXPECT_EQ(plat::NativePath("D:\\X.DAT"), testsupport::RunsOnWin32() ? "D:\\X.DAT" : "/nonexistent-drive-D/X.DAT");
    EXPECT_FALSE(plat::PathExists("D:\\"));

    box.MakeDir("C:\\COSMOS\\EXE");
    EXPECT_TRUE(plat::ChangeDrive(3));
    EXPECT_FALSE(plat::ChangeDrive(4)) << "D: is not mapped";
    EXPECT_FALSE(plat::ChangeDir("C:\\NOWHERE"));
    EXPECT_TRUE(plat::ChangeDir("C:\\COSMOS\\EXE\\"));
    EXPECT_EQ(plat::NativePath("PMGRWIN.EXE"), c + "/COSMOS/EXE/PMGRWIN.EXE");
    EXPECT_EQ(plat::NativePath("..\\VELMOR"), c + "/COSMOS/VELMOR");
    EXPECT_EQ(plat::NativePath("\\ROOT.DAT"), c + "/ROOT.DAT");
    EXPECT_EQ(plat::NativePath("C:REL.DAT"), c + "/COSMOS/EXE/REL.DAT");
}

TEST(Launch, RunsTheMappedProgramDetachedWithOneArgument) {
    CMM_SKIP_ON_WIN32("the program is a shell script");
    testsupport::Sandbox box;
    // A program that records its argument count, argument and folder.
    box.WriteFile("C:\\COSMOS\\EXE\\PMGRWIN.EXE",
                  "#!/bin/sh\nprintf '%s|%s|%s' \"$#\" \"$1\" \"$(pwd)\" > ran.txt.part\n"
                  "mv ran.txt.part ran.txt\n");
    EXPECT_FALSE(plat::ShellExecute("PMGRWIN.EXE", "", "C:\\COSMOS\\EXE\\", plat::kSwMinimize))
        << "not executable yet";
    std::filesystem::permissions(box.DriveC() + "/COSMOS/EXE/PMGRWIN.EXE",
                                 std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    EXPECT_TRUE(plat::ShellExecute("PMGRWIN.EXE", "C:\\COSMOS\\VELMOR\\PART VOL.MDF", "C:\\COSMOS\\EXE\\",
                                   plat::kSwMinimize));
    ASSERT_TRUE(testsupport::Eventually([&] { return box.Exists("C:\\COSMOS\\EXE\\ran.txt"); }));
    EXPECT_EQ(box.ReadFile("C:\\COSMOS\\EXE\\ran.txt"),
              "1|C:\\COSMOS\\VELMOR\\PART VOL.MDF|" + box.DriveC() + "/COSMOS/EXE");
    EXPECT_FALSE(plat::ShellExecute("MISSING.EXE", "", "C:\\COSMOS\\EXE\\", plat::kSwShow));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = plat::FormatC(format, args);
    va_end(args);
    return text;
}

TEST(Formatting, PointDecimalInAnyLocaleAndNoTruncation) {
    const char* commaLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C.UTF-8"};
    std::string previous = std::setlocale(LC_ALL, nullptr);
    bool comma = false;
    for (const char* name : commaLocales) {
        char probe[16];
        if (std::setlocale(LC_ALL, name) != nullptr && std::snprintf(probe, sizeof probe, "%.1f", 0.5) > 0 &&
            std::string(probe) != "0.5") {
            comma = true;
            break;
        }
    }
    EXPECT_EQ(Format("%10.3f", 5.0), "     5.000");
    std::setlocale(LC_ALL, previous.c_str());
    if (!comma) std::printf("(no comma-decimal locale installed; formatted in the C locale only)\n");
    std::string wide(1000, 'x');
    EXPECT_EQ(Format("%s=%d", wide.c_str(), 7), wide + "=7");
}

TEST(Formatting, LocalDateTimeNeedsRoom) {
    EXPECT_FALSE(plat::LocalDateTime("%x %X", 128).empty());
    EXPECT_EQ(plat::LocalDateTime("%x %X", 4), "");
    EXPECT_EQ(plat::LocalDateTime("%%", 2), "%");
}

}  // namespace
