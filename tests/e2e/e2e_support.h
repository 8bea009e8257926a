// End-to-end test support: a sandboxed tree with cmmsim installed in it (the
// simulator's processes are always shut down again), and cmmhost runs as real
// processes whose JSON output lines are parsed. Every wait is bounded in real
// time, so a hang fails in seconds.
#pragma once

#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

using nlohmann::json;

inline const std::string kCosmos = "Mitutoyo - COSMOS1.3";
inline const std::string kGeopak = "Mitutoyo - GEOPAK3v5.3";
// Real ms a cmmhost or cmmsim run may take in a test: generous, since GEOPAK
// runs keep real time and the machine may be busy or under a sanitizer.
// cmmhost's own watchdog ends a run 10 s earlier, with its output.
constexpr uint32_t kRunLimitMs = 90000;
// Time scales of the worlds. The simulator's programs are separate processes
// that a busy machine may leave unscheduled for a while: COSMOS runs at
// twice real time, and GEOPAK, whose command files stand only 50-100 ms
// before the next overwrites them (code 11 follows code 9 at once), at a
// quarter of it, so that the macro still sees them when a loaded machine
// holds it up for a few hundred ms. Worlds are independent (a sandbox each,
// ports chosen by the system), so end-to-end tests run side by side.
constexpr double kCosmosTimeScale = 2.0;
constexpr double kGeopakTimeScale = 0.25;

struct HostResult {
    bool finished = false;
    int exitCode = -1;
    std::string out, err;
    std::vector<json> lines;  // stdout, one object per line

    std::vector<json> Of(const char* key) const;  // the lines that have key
    std::vector<json> OfType(int type) const;
    std::vector<json> Positions() const { return OfType(2); }
    std::vector<std::string> Messages() const;    // message box texts
    int Result(int line) const;                   // result of the script line; -1 if none
    std::string Describe() const;                 // for failure messages
};

class SimWorld {
public:
    explicit SimWorld(const std::vector<std::string>& installFlags = {}, double timeScale = kCosmosTimeScale);
    ~SimWorld();
    bool Installed() const { return m_installed; }
    const std::string& InstallOutput() const { return m_installOutput; }
    testsupport::Sandbox& sandbox() { return m_sandbox; }

    // cmmsim with args; output gets its standard output and, with errorsToo, its errors.
    int Sim(const std::vector<std::string>& args, std::string* output = nullptr, bool errorsToo = true);
    json Status();
    // cmmhost run with the script; answers is the --answers policy.
    HostResult Run(const std::string& protocol, const std::string& script, const std::string& answers = "no");
    // The same, started in the background. With typed, on a pseudo terminal
    // that types it (posix; nullptr where there is none), and with
    // backgroundJob as a shell's background job there (not the terminal's
    // foreground process group).
    std::unique_ptr<plat::ChildProcess> Start(const std::string& protocol, const std::string& script,
                                              const std::string& answers = "no", const std::string& typed = "",
                                              bool backgroundJob = false);
    static HostResult Finish(plat::ChildProcess& run);

private:
    std::string WriteScript(const std::string& script);
    testsupport::Sandbox m_sandbox;
    bool m_installed = false;
    std::string m_installOutput;
    int m_scripts = 0;
};

std::string Bin(const std::string& name);
double Distance(const json& a, double x, double y, double z);  // a: [x, y, z]

}  // namespace e2e
