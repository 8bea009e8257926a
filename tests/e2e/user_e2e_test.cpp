// cmmhost as a user meets it, pushed with faults: a way out of every hang,
// standard output a program can read, the vendor programs cut off from the
// host's handles, nothing written outside the drive map, .reg files of a
// current regedit, one host per installation. (No point lost while the script
// goes on: the GEOPAK end-to-end run's.)
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A program run to its end: exit code, output and errors.
using Ran = testsupport::ProgramRun;
using testsupport::RunProgram;

// ---------------------------------------------------------------- ways out

// COSMOS never answers the move: the run hangs in the command, its dialog
// showing. The first Ctrl-C is the dialog's Cancel (the restart path re-sends
// the move, which again gets no answer); a second one, or SIGTERM, ends
// cmmhost at once with its own exit code and says so.
TEST(UserWaysOut, ASecondCtrlCOrATerminateEndsAHungRunWithinSeconds) {
    for (const bool terminate : {false, true}) {
        if (terminate && testsupport::RunsOnWin32()) continue;  // no SIGTERM to send there
        SimWorld world;
        ASSERT_TRUE(world.Installed()) << world.InstallOutput();
        ASSERT_EQ(world.Sim({"fault", "--never-answer-cmd", "9"}), 0);
        auto run = world.Start(kCosmos, "connect\nmove 1 2 3\ndisconnect\n");
        ASSERT_TRUE(run);
        ASSERT_TRUE(testsupport::Eventually([&] { return Has(run->Errors(), "Cosmos Command In Progress"); }, 20000))
            << "the status line does not say what is awaited\n" << run->Errors();
        if (terminate) {
            ASSERT_EQ(RunProgram({"/bin/kill", {"-TERM", std::to_string(run->Pid())}}).exitCode, 0);
        } else {
            run->Interrupt();
            // Signals sent back to back may arrive as one: the second goes once the first is seen.
            ASSERT_TRUE(testsupport::Eventually([&] { return Has(run->Errors(), "[cancelled]"); }, 10000))
                << run->Errors();
            run->Interrupt();
        }
        ASSERT_TRUE(run->Wait(5000)) << "cmmhost did not end after " << (terminate ? "SIGTERM" : "a second Ctrl-C");
        const HostResult r = SimWorld::Finish(*run);
        EXPECT_EQ(r.exitCode, 6) << r.Describe();
        EXPECT_TRUE(Has(r.err, "ending now")) << r.Describe();
        ASSERT_FALSE(r.Of("event").empty()) << r.Describe();
        EXPECT_EQ(r.Of("event").back()["event"], "ended");
        // Every line of standard output is a JSON object: nothing for a human mixed in.
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(json::parse(line, nullptr, false).is_object()) << "not a JSON line: " << line;
    }
}

// Launched vendor programs hold none of cmmhost's handles: a pipeline reading
// cmmhost's output ends with cmmhost, not with the simulator.
TEST(UserWaysOut, LaunchedProgramsHoldNoneOfTheHostsHandles) {
    CMM_SKIP_ON_WIN32("reads the handles of processes under /proc");
    SimWorld world;
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    const HostResult r = world.Run(kCosmos, "connect\n");
    ASSERT_EQ(r.exitCode, 0) << r.Describe();
    int programs = 0;
    for (const auto& entry : fs::directory_iterator(world.sandbox().DriveC() + "/CMMSIM/PIDS")) {
        const std::string pid = entry.path().filename().string();
        std::error_code gone;
        for (const char* fd : {"0", "1", "2"}) {
            const fs::path handle = "/proc/" + pid + "/fd/" + fd;
            const fs::path target = fs::read_symlink(handle, gone);
            EXPECT_TRUE(gone || target == "/dev/null") << target << ": " << ReadBytes(entry.path().string()) << " fd " << fd;
        }
        programs += gone ? 0 : 1;
    }
    EXPECT_GE(programs, 2) << "PartManager and GEOPAK-WIN should still run";
}

// ---------------------------------------------------------------- output

// With --csv standard output holds the header and rows only; a message box's
// human text goes to standard error. (Standard output's JSON lines are the
// ways-out test's; message box texts the protocols' end-to-end tests'.)
TEST(UserOutput, CsvOutputStaysCleanAndMessagesGoToStandardError) {
    SimWorld world({}, kGeopakTimeScale);
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    const std::string store = world.sandbox().Root() + "/store.reg", file = world.sandbox().Root() + "/csv.txt";
    std::ofstream(file, std::ios::binary) << "configure Automatic Startup=0\nconnect\ndisconnect\n";
    const Ran csv = RunProgram({Bin("cmmhost"), {"run", kGeopak, "--store", store, "--plugin",
                                                             Bin("Mitutoyo.cmm"), "--answers", "ok", "--csv",
                                                             "--timeout", "20", file}});
    EXPECT_EQ(csv.exitCode, 0) << csv.errors;
    EXPECT_TRUE(Has(csv.errors, "[message] Start the MELDAX Macro in GEOPAK and press OK")) << csv.errors;
    std::string rows = csv.output;  // Windows writes its text output with CR LF
    rows.erase(std::remove(rows.begin(), rows.end(), '\r'), rows.end());
    EXPECT_EQ(rows, "type,x,y,z,x2,y2,z2\n") << "nothing but the header: the run reports no point";
}

// ---------------------------------------------------------------- installation

// The drive map: no map means no drive at all (nothing is created, as root
// neither), a malformed entry is refused by name, and a relative folder still
// holds after the programs change their folder.
TEST(UserInstallation, DrivesOutsideTheMapAreNeverWrittenAndRelativeMapsHold) {
    CMM_SKIP_ON_WIN32("the drive map is posix's");
    SimWorld world;
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    const std::string root = world.sandbox().Root();
    const Ran unmapped = RunProgram({"/usr/bin/env", {"-u", "CMM_DRIVE_MAP", Bin("cmmsim"), "install", "--noise", "0"}});
    EXPECT_NE(unmapped.exitCode, 0) << unmapped.output << unmapped.errors;
    EXPECT_FALSE(fs::exists("/nonexistent-drive-C"));
    for (const char* program : {"cmmsim", "cmmhost"}) {
        const Ran malformed = RunProgram({
            "/usr/bin/env", {"CMM_DRIVE_MAP=C:/path", Bin(program), program == std::string("cmmsim") ? "status" : "protocols"}});
        EXPECT_EQ(malformed.exitCode, 2) << program;
        EXPECT_TRUE(Has(malformed.errors, "\"C:/path\"")) << program << ": " << malformed.errors;
    }
    // A second installation on a relative map, driven from its parent folder.
    fs::create_directories(root + "/rel/c");
    const std::string script = root + "/rel.txt";
    std::ofstream(script, std::ios::binary) << "connect\nmove 100 75 80\ndisconnect\n";
    const std::string inRoot = "cd \"$0\" && export CMM_DRIVE_MAP=C=rel/c && ";
    const Ran install = RunProgram({"/bin/sh", {"-c", inRoot + "exec \"$1\" install --noise 0", root, Bin("cmmsim")}});
    ASSERT_EQ(install.exitCode, 0) << install.errors;
    const Ran run = RunProgram({"/bin/sh", {"-c", inRoot + "exec \"$1\" run \"$2\" --store s.reg --plugin \"$3\" "
                                                    "--answers no --timeout 20 \"$4\"",
                                           root, Bin("cmmhost"), kCosmos, Bin("Mitutoyo.cmm"), script}});
    RunProgram({"/bin/sh", {"-c", inRoot + "exec \"$1\" shutdown", root, Bin("cmmsim")}});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(Has(run.output, "\"type\":2")) << run.output;
}

// A second host on the same drive map and desktop is refused up front, so
// the first one's vendor programs are left alone.
TEST(UserInstallation, ASecondHostOnTheSameInstallationIsRefused) {
    SimWorld world;
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    auto first = world.Start(kCosmos, "wait 60000\n");
    ASSERT_TRUE(first);
    const std::string lock = world.sandbox().Desktop() + "/cmmhost.lock";
    const std::string pid = std::to_string(first->Pid());
    ASSERT_TRUE(testsupport::Eventually([&] {
        return testsupport::RunsOnWin32() ? Has(first->Errors(), "still waiting") : ReadBytes(lock) == pid + "\n";
    }, 20000));
    const HostResult second = world.Run(kCosmos, "connect\ndisconnect\n");
    EXPECT_EQ(second.exitCode, 4) << second.Describe();
    EXPECT_TRUE(Has(second.err, "another cmmhost (pid " + pid + ")")) << second.Describe();
    EXPECT_TRUE(first->Running()) << "the first host must not be disturbed";
    first->Interrupt();
    EXPECT_EQ(SimWorld::Finish(*first).exitCode, 1);
}

}  // namespace
}  // namespace e2e
