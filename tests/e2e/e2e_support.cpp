// End-to-end test support (see e2e_support.h).
#include "e2e_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace e2e {

std::string Bin(const std::string& name) { return testsupport::ProgramPath(name); }

double Distance(const json& a, double x, double y, double z) {
    return std::hypot(a[0].get<double>() - x, a[1].get<double>() - y, a[2].get<double>() - z);
}

namespace {

HostResult Parse(bool finished, int exitCode, const std::string& out, const std::string& err) {
    HostResult r{finished, exitCode, out, err, {}};
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        // On a terminal the status line (standard error) may stand before an object.
        const size_t object = line.find('{');
        if (object != std::string::npos) line.erase(0, object);
        json j = json::parse(line, nullptr, false);
        if (!j.is_discarded() && j.is_object()) r.lines.push_back(j);
    }
    return r;
}

}  // namespace

std::vector<json> HostResult::Of(const char* key) const {
    std::vector<json> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out), [&](const json& j) { return j.contains(key); });
    return out;
}

std::vector<json> HostResult::OfType(int type) const {
    std::vector<json> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [&](const json& j) { return j.value("type", 0) == type; });
    return out;
}

std::vector<std::string> HostResult::Messages() const {
    std::vector<std::string> out;
    for (const json& j : Of("message")) out.push_back(j["message"].get<std::string>());
    return out;
}

int HostResult::Result(int line) const {
    for (const json& j : Of("command"))
        if (j.value("line", 0) == line) return j.value("result", -1);
    return -1;
}

std::string HostResult::Describe() const {
    return "exit " + std::to_string(exitCode) + (finished ? "" : " (did not finish)") + "\n--- stdout\n" + out +
           "--- stderr\n" + err.substr(err.size() > 4000 ? err.size() - 4000 : 0);
}

SimWorld::SimWorld(const std::vector<std::string>& installFlags, double timeScale) : m_sandbox(timeScale) {
    std::vector<std::string> args = {"install"};
    args.insert(args.end(), installFlags.begin(), installFlags.end());
    m_installed = Sim(args, &m_installOutput) == 0;
    // Connecting starts PartManager, which starts the Remote Manager: two
    // program starts, which under Wine on a busy machine take seconds, far
    // beyond the default wait at this time scale. COSMOS waits 60 s here.
    std::ofstream(m_sandbox.Root() + "/store.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\" << kCosmos
        << "]\r\n\"REMOTESTARTTIMEOUT\"=dword:0000ea60\r\n\r\n";
}

SimWorld::~SimWorld() { Sim({"shutdown"}); }

int SimWorld::Sim(const std::vector<std::string>& args, std::string* output, bool errorsToo) {
    const testsupport::ProgramRun sim = testsupport::RunProgram({Bin("cmmsim"), args}, "", kRunLimitMs);
    if (output) *output = sim.output + (errorsToo ? sim.errors : "");
    return sim.finished ? sim.exitCode : -1;
}

json SimWorld::Status() {
    std::string out;
    return Sim({"status"}, &out, false) == 0 ? json::parse(out, nullptr, false) : json();
}

std::string SimWorld::WriteScript(const std::string& script) {
    std::string path = m_sandbox.Root() + "/script" + std::to_string(++m_scripts) + ".txt";
    std::ofstream(path, std::ios::binary) << script;
    return path;
}

std::unique_ptr<plat::ChildProcess> SimWorld::Start(const std::string& protocol, const std::string& script,
                                                    const std::string& answers, const std::string& typed,
                                                    bool backgroundJob) {
    auto run = std::make_unique<plat::ChildProcess>();
    testsupport::Command host{Bin("cmmhost"),
                              {"run", protocol, "--store", m_sandbox.Root() + "/store.reg", "--plugin",
                               Bin("Mitutoyo.cmm"), "--answers", answers, "--timeout", std::to_string(kRunLimitMs / 1000 - 10), WriteScript(script)}};
    if (backgroundJob) {
        // sh -m: job control, so the job gets a process group of its own.
        host.args.insert(host.args.begin(), {"-mc", "\"$0\" \"$@\" & wait $!", host.program});
        host.program = "/bin/sh";
    }
    if (!typed.empty()) host = testsupport::OnPseudoTerminal(host.program, host.args);
    if (host.program.empty() || !run->Start(host.program, host.args, typed)) return nullptr;
    return run;
}

HostResult SimWorld::Finish(plat::ChildProcess& run) {
    const bool finished = run.Wait(kRunLimitMs);
    if (!finished) run.Kill();
    return Parse(finished, run.ExitCode(), run.Output(), run.Errors());
}

HostResult SimWorld::Run(const std::string& protocol, const std::string& script, const std::string& answers) {
    const auto run = Start(protocol, script, answers);
    return run ? Finish(*run) : HostResult{};
}

}  // namespace e2e
