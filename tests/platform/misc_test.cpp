// DOS paths through the drive map, program launch and the local date and
// time. ("C"-locale formatting is checked through the toolbox's sprintf.)
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(Paths, DrivesFoldersAndCurrentDirectory) {
    testsupport::Sandbox box;
    const std::string c = box.DriveC();
    EXPECT_EQ(plat::NativePath("C:\\COSMOS\\VELMOR\\ZOR_GEO.DAT"), c + "/COSMOS/VELMOR/ZOR_GEO.DAT");
    EXPECT_EQ(plat::NativePath("c:/a//b\\"), c + "/a/b") << "letter case, both separators";
    EXPECT_EQ(plat::NativePath("C:\\A\\.\\B\\..\\..\\..\\X"), c + "/X") << "cannot climb above the drive";
    // An unmapped drive: Windows resolves it itself; posix names a folder that cannot exist.
    EXPECT_EQ(plat::NativePath("D:\\X.DAT"), testsupport::RunsOnWin32() ? "D:\\X.DAT" : "/dev/null/unmapped-drive-D/X.DAT");
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

TEST(Launch, RunsTheMappedProgramDetachedInItsFolder) {
    testsupport::Sandbox box;
    box.WriteFile("C:\\COSMOS\\EXE\\PMGRWIN.EXE", "not a program");
    // As the plug-in does: the program's folder current, so its bare name is found there.
    ASSERT_TRUE(plat::ChangeDir("C:\\COSMOS\\EXE\\"));
    EXPECT_FALSE(plat::ShellExecute("PMGRWIN.EXE", "", "C:\\COSMOS\\EXE\\", plat::kSwMinimize));
    testsupport::InstallRecordingProgram("C:\\COSMOS\\EXE\\PMGRWIN.EXE");
    EXPECT_TRUE(plat::ShellExecute("PMGRWIN.EXE", "C:\\COSMOS\\VELMOR\\PART VOL.MDF", "C:\\COSMOS\\EXE\\",
                                   plat::kSwMinimize));
    std::optional<testsupport::LaunchRecord> ran;
    ASSERT_TRUE(testsupport::Eventually([&] { return (ran = testsupport::ReadLaunchRecord("C:\\COSMOS\\EXE\\")).has_value(); }));
    EXPECT_TRUE(testsupport::SamePath(ran->folder, box.DriveC() + "/COSMOS/EXE")) << ran->folder;
    // Posix hands the parameters over as one argument; Windows as a command
    // line, which the program's runtime splits at blanks.
    EXPECT_EQ(ran->args, (testsupport::RunsOnWin32() ? std::vector<std::string>{"C:\\COSMOS\\VELMOR\\PART", "VOL.MDF"}
                                                     : std::vector<std::string>{"C:\\COSMOS\\VELMOR\\PART VOL.MDF"}));
    EXPECT_FALSE(plat::ShellExecute("MISSING.EXE", "", "C:\\COSMOS\\EXE\\", plat::kSwShow));
}

TEST(Formatting, LocalDateTimeNeedsRoom) {
    EXPECT_FALSE(plat::LocalDateTime("%x %X", 128).empty());
    EXPECT_EQ(plat::LocalDateTime("%x %X", 4), "");
    EXPECT_EQ(plat::LocalDateTime("%%", 2), "%");
}

}  // namespace
