// The commands that look at or steer a running simulation from outside:
// `status` (one JSON object), `operator hit` (a manual probe hit),
// `fault` (change the fault flags) and `shutdown` (end every cmmsim process
// of this tree: ask through the shutdown flag, then kill what is left).
#include "commands.h"
#include "faults.h"
#include "geometry.h"
#include "machine.h"
#include "runtime.h"
#include "state.h"
#include "platform/tools.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace cmmsim {
namespace {

using nlohmann::json;

struct PidEntry {
    unsigned long pid;
    std::string role;
};

std::vector<PidEntry> RecordedProcesses() {
    std::vector<PidEntry> entries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(plat::NativePath(kPidFolder), error)) {
        std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path());
        std::string role;
        std::getline(in, role);
        entries.push_back({std::stoul(name), role});
    }
    return entries;
}

json VecJson(const Vec3& v) { return json::array({v.x, v.y, v.z}); }

json FeatureTruth(const Feature& f) {
    switch (f.kind) {
    case FeatureKind::kPlane: {
        json j = {{"kind", "plane"}, {"point", VecJson(f.origin)}, {"normal", VecJson(f.axis)}};
        if (f.width > 0) j["size"] = {f.width, f.height};
        return j;
    }
    case FeatureKind::kSphere:
        return {{"kind", "sphere"}, {"centre", VecJson(f.origin)}, {"diameter", 2 * f.radius}};
    case FeatureKind::kCylinder:
    case FeatureKind::kBore:
        return {{"kind", f.kind == FeatureKind::kBore ? "bore" : "cylinder"}, {"base", VecJson(f.origin)},
                {"axis", VecJson(f.axis)}, {"diameter", 2 * f.radius}, {"height", f.height}};
    case FeatureKind::kBox:
        return {{"kind", "box"}, {"min", VecJson(f.origin)}, {"max", VecJson(f.corner)}};
    }
    return json::object();
}

int Usage(const char* text) {
    std::fprintf(stderr, "%s", text);
    return 2;
}

}  // namespace

int RunStatus(const Args&) {
    SimState state = store::Read();
    json j = json::parse(ToJson(state));
    j["config"].erase("scene");
    j["points_pending"] = state.queue.size();
    json processes = json::array();
    for (const PidEntry& p : RecordedProcesses())
        processes.push_back({{"pid", p.pid}, {"role", p.role}, {"running", plat::IsProcessRunning(p.pid)}});
    j["processes"] = processes;
    json features = json::array();
    for (const Feature& f : InstalledScene(state.config).features) {
        json truth = FeatureTruth(f);
        truth["line"] = f.line;
        features.push_back(truth);
    }
    j["scene"] = features;
    std::printf("%s\n", j.dump().c_str());
    return 0;
}

int RunOperator(const Args& args) {
    if (args.size() != 7 || args[0] != "hit") return Usage("usage: cmmsim operator hit X Y Z I J K\n");
    double v[6];
    for (size_t i = 0; i < 6; ++i) {
        size_t used = 0;
        try {
            v[i] = std::stod(args[i + 1], &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != args[i + 1].size()) return Usage("cmmsim operator: bad number\n");
    }
    MeasuredPoint hit{Vec3{v[0], v[1], v[2]}, Normalized(Vec3{v[3], v[4], v[5]})};
    if (Length(hit.direction) == 0) return Usage("cmmsim operator: the direction must not be zero\n");
    store::Update([&](SimState& s) {
        s.machine.position = hit.point;
        s.machine.lastDirection = hit.direction;
        QueuePoint(s, hit);
        ++s.counts["operator.hits"];
    });
    return 0;
}

int RunFault(const Args& args) {
    if (args.empty()) return Usage(("usage: cmmsim fault [--clear] FLAG...\n" + FaultFlagsHelp()).c_str());
    Faults faults;
    bool clear = false;
    try {
        clear = args.front() == "--clear";
        for (size_t i = clear ? 1 : 0; i < args.size();) {
            size_t used = ParseFaultFlag(args, i, faults);
            if (used == 0) throw std::invalid_argument("unknown fault flag " + args[i]);
            i += used;
        }
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "cmmsim fault: %s\n", e.what());
        return 2;
    }
    store::Update([&](SimState& s) {
        if (clear) s.faults = Faults();
        for (size_t i = clear ? 1 : 0; i < args.size();) i += ParseFaultFlag(args, i, s.faults);
    });
    return 0;
}

int RunShutdown(const Args&) {
    if (!plat::PathExists(kSimRoot)) return 0;
    {
        plat::File flag;
        flag.Open(kShutdownFlag, plat::kFileWrite | plat::kFileCreate | plat::kShareDenyNone);
    }
    // Twice: a process that a dying one had just launched is caught too.
    for (int pass = 0; pass < 2; ++pass) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pass == 0 ? 3000 : 300);
        while (!RecordedProcesses().empty() && std::chrono::steady_clock::now() < deadline) SleepRealMs(10);
        for (const PidEntry& p : RecordedProcesses()) {
            if (p.pid != plat::CurrentProcessId() && plat::IsProcessRunning(p.pid)) plat::EndProcess(p.pid);
            plat::RemoveFile(PidRecord::PathOf(p.pid));
        }
    }
    plat::RemoveFile(kShutdownFlag);
    return 0;
}

}  // namespace cmmsim
