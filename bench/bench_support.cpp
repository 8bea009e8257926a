// Scratch trees, instant vendor sides and cmmsim worlds (see bench_support.h).
#include "bench_support.h"

#include <algorithm>
#include <ctime>
#include <fstream>

namespace fs = std::filesystem;

namespace bench {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(q * static_cast<double>(values.size()));
    return values[std::min(values.size() - 1, at)];
}

double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Scratch::Scratch(const std::string& tag) {
    static int count = 0;
    m_root = fs::temp_directory_path() /
             ("cmm-bench-" + std::to_string(plat::CurrentProcessId()) + "-" + tag + "-" + std::to_string(++count));
    fs::create_directories(m_root / "c" / "COSMOS" / "VELMOR");
    fs::create_directories(m_root / "c" / "DATA");
    fs::create_directories(m_root / "desktop");
    plat::SetDriveMap({{'C', (m_root / "c").string()}});
    plat::SetDesktopFolder((m_root / "desktop").string());
    plat::SetEnvironmentValue("CMM_DRIVE_MAP", "C=" + (m_root / "c").string());
    plat::SetEnvironmentValue("CMM_DESKTOP", (m_root / "desktop").string());
    plat::SetEnvironmentValue("CMM_TIME_SCALE", "1");
    plat::SetTimeScale(1.0);
}

Scratch::~Scratch() {
    std::error_code error;
    fs::remove_all(m_root, error);
}

Responder::Responder(std::string command, std::string answer, std::string bytes)
    : m_command(std::move(command)), m_answer(std::move(answer)), m_bytes(std::move(bytes)),
      m_thread([this] { Run(); }) {}

Responder::~Responder() {
    m_stop = true;
    m_thread.join();
}

void Responder::Run() {
    const std::string native = plat::NativePath(m_answer);
    while (!m_stop) {
        if (!plat::WaitForPath(m_command, 50)) continue;
        {
            plat::File file;  // held deny-write: the writer has finished
            if (!file.Open(m_command, plat::kFileRead | plat::kShareDenyWrite)) {
                // The writer holds it for a fraction of a millisecond, and
                // the plug-in looks for the answer 20 ms (GEOPAK: 50 ms)
                // later. Trying again at once took ~130 opens a command,
                // a core that a loaded machine takes from the writer.
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
        }
        if (!plat::RemoveFile(m_command)) continue;
        std::ofstream(native + ".part", std::ios::binary) << m_bytes;
        std::error_code error;
        fs::rename(native + ".part", native, error);
    }
}

SimWorld::SimWorld(const std::vector<std::string>& installFlags) : m_scratch("sim") {
    std::vector<std::string> args = {"install"};
    args.insert(args.end(), installFlags.begin(), installFlags.end());
    m_ok = Sim(args);
}

SimWorld::~SimWorld() { Sim({"shutdown"}); }

bool SimWorld::Sim(const std::vector<std::string>& args) {
    plat::ChildProcess sim;
    const fs::path self = plat::CurrentExecutablePath();
    if (!sim.Start((self.parent_path() / "cmmsim").string(), args)) return false;
    if (!sim.Wait(20000)) sim.Kill();
    return sim.ExitCode() == 0;
}

}  // namespace bench
