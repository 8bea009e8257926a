// cmmhost configure as a real process on a real .reg store: the form shows
// every text of the template, OK stores the mended settings byte for byte,
// --set edits as if typed, and bad input writes nothing.
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr uint32_t kRealWaitMs = 20000;
const char* const kCosmos = "Mitutoyo - COSMOS1.3";
const char* const kGeopak = "Mitutoyo - GEOPAK3v5.3";

struct HostRun {
    int exitCode;
    std::string output, errors;
};

class CmmhostConfigure : public testing::Test {
protected:
    std::string StorePath() const { return sandbox.Root() + "/settings.reg"; }

    void WriteStore(const std::string& bytes) {
        std::ofstream out(StorePath(), std::ios::binary);
        out << bytes;
    }
    std::string ReadStore() const {
        std::ifstream in(StorePath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Runs cmmhost configure with standard input from a pipe (no terminal).
    HostRun Configure(const std::string& protocol, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"configure", protocol, "--store", StorePath(), "--plugin",
                                      std::string(CMM_BIN_DIR) + "/Mitutoyo.cmm"};
        args.insert(args.end(), extra.begin(), extra.end());
        plat::ChildProcess host;
        EXPECT_TRUE(host.Start(std::string(CMM_BIN_DIR) + "/cmmhost", args));
        if (!host.Wait(kRealWaitMs)) {
            host.Kill();
            ADD_FAILURE() << "cmmhost configure did not end";
        }
        return {host.ExitCode(), host.Output(), host.Errors()};
    }

    // Runs cmmhost configure on a pseudo terminal (util-linux script), typing
    // input, so the form is interactive.
    HostRun ConfigureOnTerminal(const std::string& protocol, const std::string& typed) {
        const std::string command = "'" + std::string(CMM_BIN_DIR) + "/cmmhost' configure '" + protocol +
                                    "' --store '" + StorePath() + "' --plugin '" + CMM_BIN_DIR + "/Mitutoyo.cmm'";
        plat::ChildProcess script;
        EXPECT_TRUE(script.Start(kScript, {"-qec", command, "/dev/null"}, typed));
        if (!script.Wait(kRealWaitMs)) {
            script.Kill();
            ADD_FAILURE() << "interactive cmmhost configure did not end";
        }
        return {script.ExitCode(), script.Output(), script.Errors()};
    }

    static constexpr const char* kScript = "/usr/bin/script";
    testsupport::Sandbox sandbox;
};

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const plat::DialogTemplate& Template(int id) {
    for (const auto& dialog : PluginDialogTemplates())
        if (dialog.id == id) return dialog;
    throw std::runtime_error("no template " + std::to_string(id));
}

void ExpectEveryTextShown(const plat::DialogTemplate& dialog, const std::string& output) {
    EXPECT_NE(output.find("[dialog] " + dialog.caption + "\n"), std::string::npos) << dialog.caption;
    for (const auto& control : dialog.controls) {
        if (control.kind != plat::ControlKind::kStatic && control.kind != plat::ControlKind::kCheckBox) continue;
        std::istringstream lines(control.text);
        std::string line;
        while (std::getline(lines, line)) EXPECT_NE(output.find(line), std::string::npos) << "not shown: " << line;
    }
}

const std::string kOtherSection = "[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=\"me\"\n\n";

TEST_F(CmmhostConfigure, CosmosRoundTripMendsTheFolderAndKeepsWhatTheDialogDoesNotEdit) {
    WriteStore(Crlf("REGEDIT4\n\n" + kOtherSection +
                    "[HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Mitutoyo - COSMOS1.3]\n"
                    "\"CosmosPath\"=\"E:\\\\VENDOR\"\n"
                    "\"DEBUG\"=dword:00000001\n"
                    "\"MachineType\"=dword:00000007\n"
                    "\"REMOTESTARTTIMEOUT\"=dword:00001388\n"
                    "\"GeoPak Local\"=dword:00000000\n\n"));
    const HostRun run = Configure(kCosmos);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ExpectEveryTextShown(Template(IDD_CONFIG_COSMOS), run.output);
    EXPECT_NE(run.output.find(": \"E:\\VENDOR\"\n"), std::string::npos) << "current value not shown";
    EXPECT_NE(run.output.find("COSMOS is running on the same computer.: no\n"), std::string::npos);
    EXPECT_NE(run.output.find("[answer] OK"), std::string::npos);
    EXPECT_EQ(ReadStore(), testsupport::Golden("configure_cosmos_roundtrip.reg"));

    // A second OK changes nothing more: the folder is mended once.
    const std::string once = ReadStore();
    ASSERT_EQ(Configure(kCosmos).exitCode, 0);
    EXPECT_EQ(ReadStore(), once);
}

TEST_F(CmmhostConfigure, GeopakSetAppliesValuesAsTypedWithoutTouchingDebug) {
    WriteStore(Crlf("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Mitutoyo - GEOPAK3v5.3]\n"
                    "\"DEBUG\"=dword:00000001\n\n"));
    const HostRun run = Configure(kGeopak, {"--set", "GeoPak Exchange Directory=E:\\X", "--set", "use send key=no",
                                        "--set", "Startup Command 2=", "--set", "Has PH9/PH10 Head=yes"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ExpectEveryTextShown(Template(IDD_CONFIG_GEOPAK), run.output);
    EXPECT_NE(run.output.find("[set] GEOPAK Exchange Directory: \"E:\\X\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[set] Send KEY to GEOPAK: no"), std::string::npos);
    EXPECT_EQ(ReadStore(), testsupport::Golden("configure_geopak_set.reg"));
}

TEST_F(CmmhostConfigure, InteractiveFormEditsByNumberAndCancelOrEndOfInputWritesNothing) {
    if (!std::filesystem::exists(kScript)) GTEST_SKIP() << "no pseudo-terminal helper";
    // 3: the folder edit, 1: the first check box; 99 is no field.
    const HostRun edited = ConfigureOnTerminal(kCosmos, "3\nE:\\NEW\n1\nno\n99\nok\n");
    ASSERT_EQ(edited.exitCode, 0) << edited.output;
    EXPECT_NE(edited.output.find("no field \"99\""), std::string::npos);
    EXPECT_NE(edited.output.find("COSMOS is running on the same computer.: no"), std::string::npos);
    const std::string stored = ReadStore();
    EXPECT_NE(stored.find("\"CosmosPath\"=\"E:\\\\NEW\\\\\"\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"GeoPak Local\"=dword:00000000\r\n"), std::string::npos) << stored;

    const HostRun cancelled = ConfigureOnTerminal(kCosmos, "3\nX:\\\ncancel\n");
    EXPECT_EQ(cancelled.exitCode, 3) << cancelled.output;
    EXPECT_EQ(ReadStore(), stored);
    const HostRun ended = ConfigureOnTerminal(kCosmos, "3\nX:\\\n");
    EXPECT_EQ(ended.exitCode, 3) << ended.output;
    EXPECT_EQ(ReadStore(), stored);
}

TEST_F(CmmhostConfigure, BadInputWritesNothing) {
    const std::string before = Crlf("REGEDIT4\n\n" + kOtherSection);
    WriteStore(before);
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
        EXPECT_EQ(ReadStore(), before) << c.complaint;
    }
    const std::string malformed = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=what\r\n";
    WriteStore(malformed);
    const HostRun run = Configure(kCosmos);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadStore(), malformed);
}

}  // namespace
