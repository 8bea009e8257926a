// cmmhost configure as a real process on a real .reg store: the form shows
// every text of the template, OK stores the mended settings byte for byte,
// --set edits as if typed, and bad input writes nothing. With --registry the
// settings go through the system registry (the test seeds it itself: same
// Wine server, same registry); posix refuses it plainly.
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

const char* const kCosmos = "Mitutoyo - COSMOS1.3";
const char* const kGeopak = "Mitutoyo - GEOPAK3v5.3";
const char* const kStore = "C:\\settings.reg";

using HostRun = testsupport::ProgramRun;

class CmmhostConfigure : public testing::Test {
protected:
    // cmmhost with these arguments and the plug-in beside it; input on a
    // pipe, or typed on a pseudo terminal, where the form is interactive.
    // Line ends as Windows programs write them are folded to LF.
    HostRun Host(std::vector<std::string> args, const std::string& input = "", bool terminal = false) {
        args.insert(args.end(), {"--plugin", testsupport::ProgramPath("Mitutoyo.cmm")});
        testsupport::Command command{testsupport::ProgramPath("cmmhost"), args};
        HostRun run = testsupport::RunProgram(terminal ? testsupport::OnPseudoTerminal(command.program, args) : command,
                                              input);
        std::erase(run.output, '\r');
        std::erase(run.errors, '\r');
        return run;
    }
    HostRun Configure(const std::string& protocol, std::vector<std::string> extra = {}, const std::string& typed = "") {
        extra.insert(extra.begin(), {"configure", protocol, "--store", sandbox.DriveC() + "/settings.reg"});
        return Host(extra, typed, !typed.empty());
    }

    testsupport::Sandbox sandbox;
};

void ExpectEveryTextShown(int templateId, const std::string& output) {
    for (const auto& dialog : PluginDialogTemplates()) {
        if (dialog.id != templateId) continue;
        EXPECT_NE(output.find("[dialog] " + dialog.caption + "\n"), std::string::npos) << dialog.caption;
        for (const auto& control : dialog.controls) {
            if (control.kind != plat::ControlKind::kStatic && control.kind != plat::ControlKind::kCheckBox) continue;
            std::istringstream lines(control.text);
            for (std::string line; std::getline(lines, line);)
                EXPECT_NE(output.find(line), std::string::npos) << "not shown: " << line;
        }
    }
}

const std::string kOtherSection = "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\"\r\n\r\n";
const std::string kSection = "[HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\";

// COSMOS: OK as shown mends the folder and keeps what the dialog does not
// edit; GEOPAK: --set applies values as typed without touching "DEBUG".
TEST_F(CmmhostConfigure, StoresTheDialogsResultByteForByte) {
    const std::tuple<const char*, std::string, std::vector<std::string>, int, std::vector<std::string>, const char*>
        cases[] = {
            {kCosmos,
             kOtherSection + kSection + "Mitutoyo - COSMOS1.3]\r\n\"CosmosPath\"=\"E:\\\\VENDOR\"\r\n"
                 "\"DEBUG\"=dword:00000001\r\n\"MachineType\"=dword:00000007\r\n"
                 "\"REMOTESTARTTIMEOUT\"=dword:00001388\r\n\"GeoPak Local\"=dword:00000000\r\n",
             {}, IDD_CONFIG_COSMOS,
             {": \"E:\\VENDOR\"\n", "COSMOS is running on the same computer.: no\n", "[answer] OK"},
             "configure_cosmos_roundtrip.reg"},
            {kGeopak, kSection + "Mitutoyo - GEOPAK3v5.3]\r\n\"DEBUG\"=dword:00000001\r\n",
             {"--set", "GeoPak Exchange Directory=E:\\X", "--set", "use send key=no", "--set", "Startup Command 2=",
              "--set", "Has PH9/PH10 Head=yes"},
             IDD_CONFIG_GEOPAK, {"[set] GEOPAK Exchange Directory: \"E:\\X\"", "[set] Send KEY to GEOPAK: no"},
             "configure_geopak_set.reg"}};
    for (const auto& [protocol, seed, sets, templateId, shown, golden] : cases) {
        sandbox.WriteFile(kStore, "REGEDIT4\r\n\r\n" + seed + "\r\n");
        const HostRun run = Configure(protocol, sets);
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        ExpectEveryTextShown(templateId, run.output);
        for (const std::string& text : shown) EXPECT_NE(run.output.find(text), std::string::npos) << text;
        EXPECT_EQ(sandbox.ReadFile(kStore), testsupport::Golden(golden)) << protocol;
    }
}

TEST_F(CmmhostConfigure, InteractiveFormEditsByNumberAndCancelOrEndOfInputWritesNothing) {
    CMM_SKIP_ON_WIN32("the form needs a pseudo terminal, which util-linux script gives only on posix");
    if (testsupport::OnPseudoTerminal("", {}).program.empty()) GTEST_SKIP() << "no pseudo-terminal helper";
    // 3: the folder edit, 1: the first check box; 99 is no field.
    const HostRun edited = Configure(kCosmos, {}, "3\nE:\\NEW\n1\nno\n99\nok\n");
    ASSERT_EQ(edited.exitCode, 0) << edited.output;
    EXPECT_NE(edited.output.find("no field \"99\""), std::string::npos);
    EXPECT_NE(edited.output.find("COSMOS is running on the same computer.: no"), std::string::npos);
    const std::string stored = sandbox.ReadFile(kStore);
    EXPECT_NE(stored.find("\"CosmosPath\"=\"E:\\\\NEW\\\\\"\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"GeoPak Local\"=dword:00000000\r\n"), std::string::npos) << stored;
    for (const char* typed : {"3\nX:\\\ncancel\n", "3\nX:\\\n"}) {
        const HostRun run = Configure(kCosmos, {}, typed);
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_EQ(sandbox.ReadFile(kStore), stored);
    }
}

TEST_F(CmmhostConfigure, BadInputWritesNothing) {
    const std::string before = "REGEDIT4\r\n\r\n" + kOtherSection;
    sandbox.WriteFile(kStore, before);
    for (const std::vector<std::string>& row : testsupport::GoldenRows("configure_refusals.txt")) {
        const HostRun run = Configure(row.at(0), {row.begin() + 3, row.end()});
        EXPECT_EQ(run.exitCode, std::stoi(row.at(1))) << row[2];
        EXPECT_NE(run.errors.find(row[2]), std::string::npos) << run.errors;
        EXPECT_EQ(sandbox.ReadFile(kStore), before) << row[2];
    }
    const std::string malformed = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=what\r\n";
    sandbox.WriteFile(kStore, malformed);
    EXPECT_EQ(Configure(kCosmos).exitCode, 1);
    EXPECT_EQ(sandbox.ReadFile(kStore), malformed);
}

// ---------------------------------------------------------------- the registry

TEST_F(CmmhostConfigure, RegistryRoundTripThroughTheSystemRegistryKeepsWhatTheDialogDoesNotEdit) {
    if (!testsupport::RunsOnWin32()) GTEST_SKIP() << "win32 only: posix has no registry (see the refusal test)";
    // A key of this test run's own, removed with everything under it.
    const std::string root = "Software\\CmmTests-" + std::to_string(plat::CurrentProcessId());
    const std::string subkey = root + "\\Cosmos", full = "HKEY_CURRENT_USER\\" + subkey;
    const struct Removal { std::string key; ~Removal() { testsupport::DeleteRegistryKey(key); } } removal{root};
    {
        std::unique_ptr<plat::RegistryKey> seeded = plat::OpenSystemRegistryKey(subkey);
        ASSERT_TRUE(seeded);
        ASSERT_TRUE(seeded->SetDword("DEBUG", 1));
        ASSERT_TRUE(seeded->SetDword("MachineType", 1));
    }
    const auto onRegistry = [&](std::vector<std::string> args) {
        return args.insert(args.end(), {"--registry", "--key", full}), args;
    };
    const HostRun configured = Host(onRegistry({"configure", kCosmos, "--set", "CosmosPath=E:\\REG", "--set",
                                                "MachineType=no", "--set", "GeoPak Local=yes"}));
    ASSERT_EQ(configured.exitCode, 0) << configured.errors;
    EXPECT_NE(configured.output.find("wrote the settings to " + full), std::string::npos)
        << configured.output;
    const HostRun shown = Host(onRegistry({"settings", "show", kCosmos}));
    ASSERT_EQ(shown.exitCode, 0) << shown.errors;
    for (const char* line : {"CosmosPath = \"E:\\REG\\\"\n", "MachineType = dword:00000000 (0)\n",
                             "GeoPak Local = dword:00000001 (1)\n", "DEBUG = dword:00000001 (1)\n"})
        EXPECT_NE(shown.output.find(line), std::string::npos) << "not shown: " << line << shown.output;

    // A script's configure line holds for its run only.
    const HostRun ran = Host(onRegistry({"run", kCosmos, "-"}), "configure DEBUG=0 CosmosPath=X:\\\n");
    EXPECT_EQ(ran.exitCode, 0) << ran.output << ran.errors;
    EXPECT_EQ(Host(onRegistry({"settings", "show", kCosmos})).output, shown.output);
}

TEST_F(CmmhostConfigure, RegistryIsRefusedPlainlyWhereThereIsNone) {
    CMM_SKIP_ON_WIN32("win32 has a registry (see the round trip)");
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"configure", kCosmos, "--registry", "--set", "CosmosPath=E:\\"}, 1},
        {{"settings", "write", kGeopak, "--registry"}, 1},
        {{"run", kCosmos, "--registry", "-"}, 3},
    };
    for (const auto& [args, exitCode] : cases) {
        const HostRun run = Host(args, "configure DEBUG=0\n");
        EXPECT_EQ(run.exitCode, exitCode) << args[0];
        EXPECT_NE(run.errors.find("this system has no registry"), std::string::npos) << run.errors;
    }
    // Both stores at once is a usage error, before anything is opened.
    EXPECT_EQ(Host({"settings", "show", kCosmos, "--registry", "--store", sandbox.DriveC() + "/s.reg"}).exitCode, 2);
}

}  // namespace
