// Demo part, plan and temporary world (see demo_support.h).
#include "demo_support.h"

#include "platform/tools.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kSimCommandMs = 20000;  // real ms for one cmmsim sub-command

std::string Fixed(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", std::fabs(v) < 5e-5 ? 0.0 : v);
    return buf;
}
}  // namespace

DemoPart DefaultPart() {
    DemoPart part{{100, 75, 25}, 40, 50, {}, {}, {}, {}};
    for (int i = 0; i < 8; ++i) {
        double a = i * kPi / 4;
        double c = std::cos(a), s = std::sin(a);
        part.bore.push_back({100 + 20 * c, 75 + 20 * s, 25});
        part.boreDirs.push_back({c, s, 0});
    }
    for (const auto& xy : {std::array<double, 2>{40, 30}, {160, 30}, {160, 120}, {40, 120}}) {
        part.top.push_back({xy[0], xy[1], 50});
        part.topDirs.push_back({0, 0, -1});
    }
    return part;
}

bool ApplySceneTruth(const std::string& statusJson, DemoPart& part) {
    using nlohmann::json;
    json status = json::parse(statusJson, nullptr, false);
    if (!status.is_object() || !status.contains("scene") || !status["scene"].is_array()) return false;
    bool bore = false, top = false;
    DemoPart truth = part;
    try {
        for (const json& f : status["scene"]) {
            std::string kind = f.value("kind", "");
            if (kind == "bore" && !bore) {
                auto base = f.at("base").get<std::vector<double>>(), axis = f.at("axis").get<std::vector<double>>();
                double half = f.at("height").get<double>() / 2;
                for (int i = 0; i < 3; ++i) truth.boreCentre[i] = base.at(i) + axis.at(i) * half;
                truth.boreDiameter = f.at("diameter").get<double>();
                bore = true;
            } else if (kind == "box" && !top) {
                truth.topZ = f.at("max").get<std::vector<double>>().at(2);
                top = true;
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    if (!bore || !top) return false;
    part = truth;
    return true;
}

std::string DemoScript(const DemoPart& part) {
    std::string s = "# written by cmmhost demo\nconnect\nmove " + Fixed(part.boreCentre[0]) + " " +
                    Fixed(part.boreCentre[1]) + " " + Fixed(part.topZ + 30) + "\ntransaction start\n";
    auto measure = [&s](const Vec3& p, const Vec3& d) {
        s += "measure " + Fixed(p[0]) + " " + Fixed(p[1]) + " " + Fixed(p[2]) + " " + Fixed(d[0]) + " " + Fixed(d[1]) +
             " " + Fixed(d[2]) + "\n";
    };
    // Each point is awaited before the next probe: the next command ends the
    // recording, and an answer that crosses that end is dropped (GEOPAK).
    size_t count = 0;
    auto awaitPoint = [&s, &count] { s += "wait-points " + std::to_string(++count) + " 20000\n"; };
    for (size_t i = 0; i < part.bore.size(); ++i) {
        measure(part.bore[i], part.boreDirs[i]);
        awaitPoint();
    }
    for (size_t i = 0; i < part.top.size(); ++i) {
        measure(part.top[i], part.topDirs[i]);
        awaitPoint();
    }
    s += "transaction stop\ndisconnect\n";
    return s;
}

std::vector<Vec3> MatchToNominal(const std::vector<Vec3>& measured, const std::vector<Vec3>& nominal,
                                 double tolerance) {
    std::vector<Vec3> out;
    for (const Vec3& n : nominal) {
        for (const Vec3& m : measured) {
            if (std::hypot(m[0] - n[0], m[1] - n[1], m[2] - n[2]) <= tolerance) {
                out.push_back(m);
                break;
            }
        }
    }
    return out;
}

bool DemoTree::Create(double timeScale, std::string& error) {
    std::random_device seed;
    std::error_code ec;
    fs::path root = fs::temp_directory_path(ec) /
                    ("cmmhost-demo-" + std::to_string(plat::CurrentProcessId()) + "-" + std::to_string(seed() % 100000));
    if (ec || !fs::create_directories(root / "c", ec) || !fs::create_directories(root / "desktop", ec)) {
        error = "cannot create a temporary folder under " + fs::temp_directory_path(ec).string();
        return false;
    }
    m_root = root.string();
    const std::string driveC = (root / "c").string(), desktop = (root / "desktop").string();
    char scale[32];
    std::snprintf(scale, sizeof scale, "%g", timeScale);
    plat::SetEnvironmentValue("CMM_DRIVE_MAP", "C=" + driveC);
    plat::SetEnvironmentValue("CMM_DESKTOP", desktop);
    plat::SetEnvironmentValue("CMM_TIME_SCALE", scale);
    plat::SetEnvironmentValue("CMM_SIM_OWNER", std::to_string(plat::CurrentProcessId()));
    plat::SetDriveMap({{'C', driveC}});
    plat::SetDesktopFolder(desktop);
    plat::SetTimeScale(timeScale);
    return true;
}

bool DemoTree::RunSim(const std::vector<std::string>& args, std::string& output) {
    plat::ChildProcess sim;
    if (!sim.Start(m_cmmsim, args)) {
        output = "cannot start " + m_cmmsim;
        return false;
    }
    bool ended = sim.Wait(kSimCommandMs);
    if (!ended) sim.Kill();
    output = sim.Output() + sim.Errors();
    return ended && sim.ExitCode() == 0;
}

bool DemoTree::InstallSimulator(std::string& error) {
    fs::path self = plat::CurrentExecutablePath();
    m_cmmsim = (self.parent_path() / ("cmmsim" + self.extension().string())).string();
    if (!fs::exists(m_cmmsim)) {
        error = "cmmsim not found next to cmmhost (" + m_cmmsim + ")";
        return false;
    }
    std::string output;
    if (RunSim({"install"}, output)) return true;
    error = "cmmsim install failed: " + output;
    return false;
}

std::string DemoTree::SimulatorStatus() {
    plat::ChildProcess sim;
    if (!sim.Start(m_cmmsim, {"status"}) || !sim.Wait(kSimCommandMs)) return {};
    return sim.Output();
}

void DemoTree::Cleanup() {
    std::call_once(m_cleaned, [this] {
        if (m_root.empty()) return;
        std::string output;
        if (!m_cmmsim.empty() && !RunSim({"shutdown"}, output))
            std::fprintf(stderr, "cmmhost demo: cmmsim shutdown: %s\n", output.c_str());
        std::error_code ec;
        if (m_keep) std::fprintf(stderr, "cmmhost demo: kept %s\n", m_root.c_str());
        else fs::remove_all(m_root, ec);
    });
}
