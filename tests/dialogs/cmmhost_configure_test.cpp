// cmmhost configure as a real process on a real .reg store: the form shows
// every text of the template, OK stores the mended settings byte for byte,
// --set edits as if typed, and bad input writes nothing. With --registry the
// settings go through the system registry, which the test reads back itself
// (same Wine server, same registry); posix refuses it plainly.
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const char* const kCosmos = "Mitutoyo - COSMOS1.3";
const char* const kGeopak = "Mitutoyo - GEOPAK3v5.3";
const char* const kStore = "C:\\settings.reg";

using HostRun = testsupport::ProgramRun;

// Windows programs write text with CR LF line ends.
std::string LfOnly(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
}

class CmmhostConfigure : public testing::Test {
protected:
    // Runs cmmhost configure; with typed input it runs on a pseudo terminal,
    // so the form is interactive, otherwise standard input is a pipe.
    HostRun Configure(const std::string& protocol, std::vector<std::string> extra = {},
                      const std::string& typed = "") {
        std::string program = testsupport::ProgramPath("cmmhost");
        std::vector<std::string> args{"configure", protocol, "--store", sandbox.DriveC() + "/settings.reg"};
        args.insert(args.end(), extra.begin(), extra.end());
        if (typed.empty()) return Host(args);
        args.insert(args.end(), {"--plugin", testsupport::ProgramPath("Mitutoyo.cmm")});
        const testsupport::Command onTerminal = testsupport::OnPseudoTerminal(program, args);
        return Run(onTerminal.program, onTerminal.args, typed);
    }
    // cmmhost with these arguments and the plug-in beside it; input on a pipe.
    HostRun Host(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.end(), {"--plugin", testsupport::ProgramPath("Mitutoyo.cmm")});
        return Run(testsupport::ProgramPath("cmmhost"), args, input);
    }
    HostRun Run(const std::string& program, const std::vector<std::string>& args, const std::string& input) {
        HostRun run = testsupport::RunProgram({program, args}, input);
        run.output = LfOnly(run.output);
        run.errors = LfOnly(run.errors);
        return run;
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

TEST_F(CmmhostConfigure, CosmosRoundTripMendsTheFolderAndKeepsWhatTheDialogDoesNotEdit) {
    sandbox.WriteFile(kStore, "REGEDIT4\r\n\r\n" + kOtherSection + kSection +
                                  "Mitutoyo - COSMOS1.3]\r\n\"CosmosPath\"=\"E:\\\\VENDOR\"\r\n"
                                  "\"DEBUG\"=dword:00000001\r\n\"MachineType\"=dword:00000007\r\n"
                                  "\"REMOTESTARTTIMEOUT\"=dword:00001388\r\n\"GeoPak Local\"=dword:00000000\r\n\r\n");
    const HostRun run = Configure(kCosmos);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ExpectEveryTextShown(IDD_CONFIG_COSMOS, run.output);
    EXPECT_NE(run.output.find(": \"E:\\VENDOR\"\n"), std::string::npos) << "current value not shown";
    EXPECT_NE(run.output.find("COSMOS is running on the same computer.: no\n"), std::string::npos);
    EXPECT_NE(run.output.find("[answer] OK"), std::string::npos);
    EXPECT_EQ(sandbox.ReadFile(kStore), testsupport::Golden("configure_cosmos_roundtrip.reg"));
}

TEST_F(CmmhostConfigure, GeopakSetAppliesValuesAsTypedWithoutTouchingDebug) {
    sandbox.WriteFile(kStore, "REGEDIT4\r\n\r\n" + kSection + "Mitutoyo - GEOPAK3v5.3]\r\n\"DEBUG\"=dword:00000001\r\n\r\n");
    const HostRun run = Configure(kGeopak, {"--set", "GeoPak Exchange Directory=E:\\X", "--set", "use send key=no",
                                            "--set", "Startup Command 2=", "--set", "Has PH9/PH10 Head=yes"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ExpectEveryTextShown(IDD_CONFIG_GEOPAK, run.output);
    EXPECT_NE(run.output.find("[set] GEOPAK Exchange Directory: \"E:\\X\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[set] Send KEY to GEOPAK: no"), std::string::npos);
    EXPECT_EQ(sandbox.ReadFile(kStore), testsupport::Golden("configure_geopak_set.reg"));
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
    struct Case {
        const char* protocol;
        std::vector<std::string> extra;
        int exitCode;
        const char* complaint;
    };
    const Case cases[] = {
        {kCosmos, {"--set", "Nonsense=1"}, 2, "\"Nonsense\" is not a setting"},
        {kCosmos, {"--set", "DEBUG=1"}, 2, "\"DEBUG\" is not a setting"},  // no control edits it
        {kGeopak, {"--set", "CosmosPath=C:\\"}, 2, "\"CosmosPath\" is not a setting"},
        {kCosmos, {"--set", "CosmosPath"}, 2, "is not a setting"},
        {kCosmos, {"--set", "MachineType=maybe"}, 2, "give yes or no"},
        {"Mitutoyo - NOTHING", {}, 1, "no protocol named"},
        {kCosmos, {"--bogus"}, 2, "usage"},
    };
    for (const Case& c : cases) {
        const HostRun run = Configure(c.protocol, c.extra);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.complaint;
        EXPECT_NE(run.errors.find(c.complaint), std::string::npos) << run.errors;
        EXPECT_EQ(sandbox.ReadFile(kStore), before) << c.complaint;
    }
    const std::string malformed = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=what\r\n";
    sandbox.WriteFile(kStore, malformed);
    EXPECT_EQ(Configure(kCosmos).exitCode, 1);
    EXPECT_EQ(sandbox.ReadFile(kStore), malformed);
}

// ---------------------------------------------------------------- the registry

// A key of this test run's own, removed with everything under it.
class ScratchRegistryKey {
public:
    ScratchRegistryKey()
        : m_root("Software\\CmmTests-" + std::to_string(plat::CurrentProcessId())), m_key(m_root + "\\Cosmos") {}
    ~ScratchRegistryKey() { testsupport::DeleteRegistryKey(m_root); }
    const std::string& Subkey() const { return m_key; }
    std::string FullName() const { return "HKEY_CURRENT_USER\\" + m_key; }

private:
    std::string m_root, m_key;
};

TEST_F(CmmhostConfigure, RegistryRoundTripThroughTheSystemRegistryKeepsWhatTheDialogDoesNotEdit) {
    if (!testsupport::RunsOnWin32()) GTEST_SKIP() << "win32 only: posix has no registry (see the refusal test)";
    ScratchRegistryKey scratch;
    {
        std::unique_ptr<plat::RegistryKey> seeded = plat::OpenSystemRegistryKey(scratch.Subkey());
        ASSERT_TRUE(seeded);
        ASSERT_TRUE(seeded->SetDword("DEBUG", 1));
        ASSERT_TRUE(seeded->SetDword("MachineType", 1));
        ASSERT_TRUE(seeded->SetString("Keep", "me"));
    }
    const std::vector<std::string> store{"--registry", "--key", scratch.FullName()};
    std::vector<std::string> configure{"configure", kCosmos, "--set", "CosmosPath=E:\\REG", "--set",
                                       "MachineType=no", "--set", "GeoPak Local=yes"};
    configure.insert(configure.end(), store.begin(), store.end());
    const HostRun configured = Host(configure);
    ASSERT_EQ(configured.exitCode, 0) << configured.errors;
    EXPECT_NE(configured.output.find("wrote the settings to " + scratch.FullName()), std::string::npos)
        << configured.output;

    std::vector<std::string> show{"settings", "show", kCosmos};
    show.insert(show.end(), store.begin(), store.end());
    const HostRun shown = Host(show);
    ASSERT_EQ(shown.exitCode, 0) << shown.errors;
    for (const char* line : {"CosmosPath = \"E:\\REG\\\"\n", "MachineType = dword:00000000 (0)\n",
                             "GeoPak Local = dword:00000001 (1)\n", "DEBUG = dword:00000001 (1)\n"})
        EXPECT_NE(shown.output.find(line), std::string::npos) << "not shown: " << line << shown.output;

    // A script's configure line holds for its run only.
    std::vector<std::string> run{"run", kCosmos, "-"};
    run.insert(run.end(), store.begin(), store.end());
    const HostRun ran = Host(run, "configure DEBUG=0 CosmosPath=X:\\\n");
    EXPECT_EQ(ran.exitCode, 0) << ran.output << ran.errors;

    std::unique_ptr<plat::RegistryKey> key = plat::OpenSystemRegistryKey(scratch.Subkey());
    ASSERT_TRUE(key);
    std::string path, keep;
    uint32_t machineType = 9, debug = 9;
    EXPECT_TRUE(key->GetString("CosmosPath", path) && path == "E:\\REG\\") << path;
    EXPECT_TRUE(key->GetDword("MachineType", machineType) && machineType == 0) << machineType;
    EXPECT_TRUE(key->GetDword("DEBUG", debug) && debug == 1) << debug;
    EXPECT_TRUE(key->GetString("Keep", keep) && keep == "me") << keep;
}

TEST_F(CmmhostConfigure, RegistryIsRefusedPlainlyWhereThereIsNone) {
    CMM_SKIP_ON_WIN32("win32 has a registry (see the round trip)");
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"configure", kCosmos, "--registry", "--set", "CosmosPath=E:\\"}, 1},
        {{"settings", "write", kGeopak, "--registry"}, 1},
        {{"run", kCosmos, "--registry", "-"}, 3},
    };
    for (const auto& c : cases) {
        const HostRun run = Host(c.args, "configure DEBUG=0\n");
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0];
        EXPECT_NE(run.errors.find("this system has no registry"), std::string::npos) << run.errors;
    }
    // Both stores at once is a usage error, before anything is opened.
    EXPECT_EQ(Host({"settings", "show", kCosmos, "--registry", "--store", sandbox.DriveC() + "/s.reg"}).exitCode, 2);
}

}  // namespace
