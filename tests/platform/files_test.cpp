// Files: text-mode line ends on disk and on reading, bounded lines, creation
// truncation and removal, share modes within one process and across processes,
// removal of a file in use, and waiting for a file to appear, alone or for
// several in turn.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace {

using plat::File;
using plat::FileError;

constexpr unsigned kWriteText = plat::kFileWrite | plat::kFileCreate | plat::kFileText;
constexpr unsigned kReadText = plat::kFileRead | plat::kFileText;

std::vector<std::string> ReadAllLines(const std::string& path, unsigned mode, size_t maxLength = 65536) {
    File file;
    std::vector<std::string> lines;
    if (!file.Open(path, mode)) return {"<open failed>"};
    for (std::string line; file.ReadLine(line, maxLength);) lines.push_back(line);
    return lines;
}

TEST(TextFiles, WriteCrLfAndReadLinesBack) {
    testsupport::Sandbox box;
    File file;
    ASSERT_TRUE(file.Open("C:\\T.DAT", kWriteText));
    EXPECT_TRUE(file.Write("Cmd=       5.000\n\nlast"));
    EXPECT_TRUE(file.Write(" part\r\n"));  // CR LF in the text gets its own CR, as the CRT does
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(box.ReadFile("C:\\T.DAT"), "Cmd=       5.000\r\n\r\nlast part\r\r\n");

    box.WriteFile("C:\\A.DAT", "one\r\ntwo\nthree\r\n\r\nfinal");
    EXPECT_EQ(ReadAllLines("C:\\A.DAT", kReadText),
              (std::vector<std::string>{"one", "two", "three", "", "final"}));
    EXPECT_EQ(ReadAllLines("C:\\A.DAT", plat::kFileRead),
              (std::vector<std::string>{"one\r", "two", "three\r", "\r", "final"}));
    // Long lines come in pieces, without phantom empty lines between them.
    box.WriteFile("C:\\L.DAT", "abcdefg\r\nabc\r\nab\n");
    EXPECT_EQ(ReadAllLines("C:\\L.DAT", kReadText, 3),
              (std::vector<std::string>{"abc", "def", "g", "abc", "ab"}));
    // A CR that is the last byte of the first read chunk still pairs with its LF.
    const std::string first(65535, 'x');
    box.WriteFile("C:\\B.DAT", first + "\r\nnext\r\n");
    EXPECT_EQ(ReadAllLines("C:\\B.DAT", kReadText), (std::vector<std::string>{first, "next"}));
}

TEST(Files, CreateTruncatesAppendAppendsPlainWriteNeedsTheFileRemoveNamesTheMissing) {
    testsupport::Sandbox box;
    box.WriteFile("C:\\F.DAT", "old contents");
    File file;
    ASSERT_TRUE(file.Open("C:\\F.DAT", plat::kFileWrite | plat::kFileCreate));
    file.Write("new");
    file.Close();
    EXPECT_EQ(box.ReadFile("C:\\F.DAT"), "new");

    ASSERT_TRUE(file.Open("C:\\F.DAT", plat::kFileWrite | plat::kFileAppend | plat::kFileText));
    file.Write("\nmore\n");
    file.Close();
    EXPECT_EQ(box.ReadFile("C:\\F.DAT"), "new\r\nmore\r\n");

    FileError error = FileError::kNone;
    EXPECT_FALSE(file.Open("C:\\MISSING.DAT", plat::kFileWrite, &error));
    EXPECT_EQ(error, FileError::kNotFound);
    EXPECT_FALSE(box.Exists("C:\\MISSING.DAT"));
    EXPECT_FALSE(file.Open("C:\\NO\\DIR.DAT", kWriteText, &error));
    EXPECT_EQ(error, FileError::kNotFound);
    box.MakeDir("C:\\SUB\\DEEP");
    EXPECT_FALSE(file.Open("C:\\SUB", plat::kFileRead, &error)) << "a folder is not a file";
    EXPECT_TRUE(box.Exists("C:\\SUB\\DEEP"));
    // Removal: a missing file is named as such, a free one goes.
    EXPECT_FALSE(plat::RemoveFile("C:\\MISSING.DAT", &error));
    EXPECT_EQ(error, FileError::kNotFound);
    EXPECT_TRUE(plat::RemoveFile("C:\\F.DAT", &error));
    EXPECT_EQ(error, FileError::kNone);
    EXPECT_FALSE(box.Exists("C:\\F.DAT"));
}

// Each pair is decided from both opens' access and sharing, as CreateFile
// and DeleteFile decide it; the last rows remove the file while it is held.
TEST(ShareModes, BetweenTwoFilesOfOneProcess) {
    testsupport::Sandbox box;
    constexpr unsigned R = plat::kFileRead, W = plat::kFileWrite, kRemove = ~0u;
    constexpr unsigned DW = plat::kShareDenyWrite, DN = plat::kShareDenyNone;
    const struct {
        unsigned held, second;
        bool allowed;
    } cases[] = {
        {R, R, false},         {R | DW, R | DW, true}, {R | DW, W, false},   {R | DW, R | DN, true},
        {R | DN, W, false},    {W, R | DN, false},     {W, R | DW, false},   {W | DN, W | DN, true},
        {R | DN, R, false},    {W | DW, R | DN, true}, {R | DN, W | DN, true}, {W | DW, W | DN, false},
        {R | DW, kRemove, false}, {W | DN, kRemove, true},
    };
    for (const auto& c : cases) {
        box.WriteFile("C:\\S.DAT", "keep");
        File first, second;
        ASSERT_TRUE(first.Open("C:\\S.DAT", c.held)) << c.held;
        FileError error = FileError::kOther;
        const bool allowed = c.second == kRemove ? plat::RemoveFile("C:\\S.DAT", &error)
                                                 : second.Open("C:\\S.DAT", c.second, &error);
        EXPECT_EQ(allowed, c.allowed) << c.held << " then " << c.second;
        EXPECT_EQ(error, c.allowed ? FileError::kNone : FileError::kSharingViolation) << c.held << " then " << c.second;
    }
    // A refused create must leave the holder's contents alone.
    box.WriteFile("C:\\S.DAT", "keep");
    File holder, creator;
    ASSERT_TRUE(holder.Open("C:\\S.DAT", R | DW));
    EXPECT_FALSE(creator.Open("C:\\S.DAT", kWriteText));
    EXPECT_EQ(box.ReadFile("C:\\S.DAT"), "keep");
}

// A reader polling for a file must never get in between its creation and its
// creator's lock: it would read nothing, and the creator would be refused.
TEST(ShareModes, ANewFileIsHeldFromItsFirstMoment) {
    testsupport::Sandbox box;
    std::atomic<bool> done{false};
    std::atomic<int> emptyReads{0};
    std::thread reader([&] {
        File file;
        while (!done) {
            if (!file.Open("C:\\N.DAT", plat::kFileRead | plat::kShareDenyWrite)) continue;
            std::string line;
            if (!file.ReadLine(line, 100)) ++emptyReads;
            file.Close();
        }
    });
    int refusedCreates = 0;
    for (int i = 0; i < 3000; ++i) {
        File creator;
        if (!creator.Open("C:\\N.DAT", kWriteText)) {
            ++refusedCreates;
            continue;
        }
        creator.Write("x\n");
        creator.Close();
        while (!plat::RemoveFile("C:\\N.DAT")) std::this_thread::yield();
    }
    done = true;
    reader.join();
    EXPECT_EQ(refusedCreates, 0);
    EXPECT_EQ(emptyReads, 0);
}

// The other side of each conflict is a separate process: the test binary
// re-run as a helper that holds the file until released.
TEST(ShareModes, AcrossProcesses) {
    testsupport::Sandbox box;
    box.WriteFile("C:\\X.DAT", "held elsewhere");

    ASSERT_TRUE(testsupport::HoldFileInChild("C:\\X.DAT", plat::kFileRead | plat::kShareDenyWrite));
    File file;
    FileError error = FileError::kNone;
    EXPECT_FALSE(file.Open("C:\\X.DAT", kWriteText, &error)) << "deny-write reader vs writer";
    EXPECT_EQ(error, FileError::kSharingViolation);
    EXPECT_TRUE(file.Open("C:\\X.DAT", plat::kFileRead | plat::kShareDenyWrite));
    file.Close();
    EXPECT_FALSE(plat::RemoveFile("C:\\X.DAT", &error)) << "remove while another process reads";
    EXPECT_EQ(error, FileError::kSharingViolation);
    testsupport::ReleaseHeldFile("C:\\X.DAT");
    EXPECT_TRUE(testsupport::Eventually([] { return plat::RemoveFile("C:\\X.DAT"); }));

    box.WriteFile("C:\\Y.DAT", "");
    ASSERT_TRUE(testsupport::HoldFileInChild("C:\\Y.DAT", plat::kFileWrite));
    EXPECT_FALSE(file.Open("C:\\Y.DAT", plat::kFileRead | plat::kShareDenyWrite, &error))
        << "exclusive writer vs reader";
    EXPECT_EQ(error, FileError::kSharingViolation);
    EXPECT_FALSE(testsupport::HoldFileInChild("C:\\Y.DAT", plat::kFileRead | plat::kShareDenyNone))
        << "a second helper is refused too";
    testsupport::ReleaseHeldFile("C:\\Y.DAT");
    EXPECT_TRUE(testsupport::Eventually(
        [&] { return file.Open("C:\\Y.DAT", plat::kFileRead | plat::kShareDenyWrite); }));
}

TEST(WaitForPath, SeesAFileAndItsFolderAppearTimesOutOtherwise) {
    testsupport::Sandbox box;
    EXPECT_FALSE(plat::WaitForPath("C:\\NOPE.DAT", 200));
    plat::Thread maker;
    ASSERT_TRUE(maker.Start([&] {
        plat::Sleep(300);
        box.WriteFile("C:\\LATER\\FILE.DAT", "x");  // folder and file appear together
    }));
    EXPECT_TRUE(plat::WaitForPath("C:\\LATER\\FILE.DAT", 500000));
    EXPECT_TRUE(maker.Join(500000));
    EXPECT_TRUE(plat::WaitForPath("C:\\LATER\\FILE.DAT", 0)) << "already there";
}

// A wait loop looks for the same names again and again; each look must still
// go where the drive map and the current folder point now.
TEST(WaitForPath, LooksWhereTheDriveMapAndCurrentFolderPointNow) {
    testsupport::Sandbox box;
    box.WriteFile("C:\\A\\ONLY.DAT", "x");
    box.MakeDir("C:\\B");
    ASSERT_TRUE(plat::ChangeDrive(3));
    ASSERT_TRUE(plat::ChangeDir("C:\\A"));
    EXPECT_TRUE(plat::WaitForPath("ONLY.DAT", 0));
    ASSERT_TRUE(plat::ChangeDir("C:\\B"));
    EXPECT_FALSE(plat::WaitForPath("ONLY.DAT", 0)) << "the current folder moved";
    EXPECT_TRUE(plat::WaitForPath("C:\\A\\ONLY.DAT", 0));
    {
        testsupport::Sandbox other;
        EXPECT_FALSE(plat::WaitForPath("C:\\A\\ONLY.DAT", 0)) << "C: maps elsewhere";
    }
    EXPECT_TRUE(plat::WaitForPath("C:\\A\\ONLY.DAT", 0)) << "and back";
}

// Virtual milliseconds that body took.
uint32_t TicksOf(const std::function<void()>& body) {
    const uint32_t start = plat::TickCount();
    body();
    return plat::TickCount() - start;
}

// Each path counts in its own turn only, as waits one after another would
// have it: one already there is taken when its turn begins, not before.
TEST(WaitForPathsInTurn, TakesEachPathInItsOwnTurnOnly) {
    testsupport::Sandbox box;
    const std::string files[] = {"C:\\V\\REMOTE.MSG", "C:\\V\\GEO_ZOR.DAT"};
    const uint32_t slice = 1000;
    int found = 0;
    EXPECT_GE(TicksOf([&] { found = plat::WaitForPathsInTurn(files, slice); }), 2 * slice - 1);
    EXPECT_EQ(found, -1) << "neither there";

    box.WriteFile(files[1], "Error=0\n");
    EXPECT_GE(TicksOf([&] { found = plat::WaitForPathsInTurn(files, slice); }), slice - 1);
    EXPECT_EQ(found, 1) << "the second is there from the start";
    box.WriteFile(files[0], "");
    EXPECT_EQ(plat::WaitForPathsInTurn(files, slice), 0) << "the first comes first";

    const std::string apart[] = {"C:\\V\\NONE.DAT", "C:\\W\\GEO_ZOR.DAT"};
    box.WriteFile(apart[1], "");
    EXPECT_GE(TicksOf([&] { found = plat::WaitForPathsInTurn(apart, slice); }), slice - 1);
    EXPECT_EQ(found, 1) << "folders apart wait one after the other";
}

TEST(WaitForPathsInTurn, WakesForAPathThatComesInItsTurnAndKeepsOneThatComesEarly) {
    testsupport::Sandbox box;
    const std::string files[] = {"C:\\V\\REMOTE.MSG", "C:\\V\\GEO_ZOR.DAT"};
    box.MakeDir("C:\\V");
    plat::Thread writer, maker;
    ASSERT_TRUE(writer.Start([&] { box.WriteFile(files[1], "Error=0\n"); }));
    int found = 0;
    EXPECT_GE(TicksOf([&] { found = plat::WaitForPathsInTurn(files, 25000); }), 25000 - 1);
    EXPECT_EQ(found, 1) << "written while the first path had its turn";
    ASSERT_TRUE(writer.Join(500000));

    plat::RemoveFile(files[1]);
    ASSERT_TRUE(maker.Start([&] {
        plat::Sleep(300);
        box.WriteFile(files[0], "");
    }));
    EXPECT_EQ(plat::WaitForPathsInTurn(files, 500000), 0) << "a turn of 500 s ends when its path comes";
    EXPECT_TRUE(maker.Join(500000));
}

}  // namespace
