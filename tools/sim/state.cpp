// JSON form of the simulator's state and the locked store behind it. The lock
// is an exclusive open of "STATE.LCK" (a share-mode lock that the platform
// honours between processes); the state file itself is written to a
// temporary name and renamed over the old one, so a reader never sees half.
#include "state.h"

#include "platform/platform.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace cmmsim {

using nlohmann::json;

namespace {

json VecJson(const Vec3& v) { return json::array({v.x, v.y, v.z}); }
Vec3 JsonVec(const json& j) { return Vec3{j.at(0).get<double>(), j.at(1).get<double>(), j.at(2).get<double>()}; }

json ConfigJson(const Config& c) {
    return {{"cosmos", c.cosmosPath}, {"geopak_app", c.geopakApp}, {"exchange", c.exchange},
            {"noise", c.noise}, {"seed", c.seed}, {"manual", c.manual},
            {"poll_position", c.pollPosition}, {"cancel_keys", c.cancelKeys},
            {"restart_keys1", c.restartKeys1}, {"restart_keys2", c.restartKeys2},
            {"exit_keys", c.exitKeys}, {"scene", c.sceneText}};
}

Config JsonConfig(const json& j) {
    Config c;
    c.cosmosPath = j.at("cosmos");
    c.geopakApp = j.at("geopak_app");
    c.exchange = j.at("exchange");
    c.noise = j.at("noise");
    c.seed = j.at("seed");
    c.manual = j.at("manual");
    c.pollPosition = j.at("poll_position");
    c.cancelKeys = j.at("cancel_keys");
    c.restartKeys1 = j.at("restart_keys1");
    c.restartKeys2 = j.at("restart_keys2");
    c.exitKeys = j.at("exit_keys");
    c.sceneText = j.at("scene");
    return c;
}

json FaultsJson(const Faults& f) {
    return {{"answer_delay_ms", f.answerDelayMs}, {"never_answer_cmd", f.neverAnswer},
            {"error", f.error}, {"garbage", f.garbage}, {"short_answer", f.shortAnswer},
            {"remote_msg", f.remoteMsg}, {"lock_answer_ms", f.lockAnswerMs},
            {"silent_remote", f.silentRemote}, {"slow_handshake_ms", f.slowHandshakeMs},
            {"crash_after", f.crashAfter}};
}

Faults JsonFaults(const json& j) {
    Faults f;
    f.answerDelayMs = j.at("answer_delay_ms");
    f.neverAnswer = j.at("never_answer_cmd").get<std::vector<int>>();
    f.error = j.at("error");
    f.garbage = j.at("garbage");
    f.shortAnswer = j.at("short_answer");
    f.remoteMsg = j.at("remote_msg");
    f.lockAnswerMs = j.at("lock_answer_ms");
    f.silentRemote = j.at("silent_remote");
    f.slowHandshakeMs = j.at("slow_handshake_ms");
    f.crashAfter = j.at("crash_after");
    return f;
}

json MachineJson(const Machine& m) {
    return {{"position", VecJson(m.position)}, {"head_a", m.headA}, {"head_b", m.headB},
            {"probe_diameter", m.probeDiameter}, {"mach_type", m.machType},
            {"last_direction", VecJson(m.lastDirection)}, {"approach", VecJson(m.approach)}};
}

Machine JsonMachine(const json& j) {
    Machine m;
    m.position = JsonVec(j.at("position"));
    m.headA = j.at("head_a");
    m.headB = j.at("head_b");
    m.probeDiameter = j.at("probe_diameter");
    m.machType = j.at("mach_type");
    m.lastDirection = JsonVec(j.at("last_direction"));
    m.approach = JsonVec(j.at("approach"));
    return m;
}

// The exclusive open of the lock file, retried for a bounded real time.
class StoreLock {
public:
    StoreLock() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        plat::FileError error = plat::FileError::kNone;
        while (!m_file.Open(kLockFile, plat::kFileWrite | plat::kFileAppend, &error)) {
            if (error != plat::FileError::kSharingViolation)
                throw std::runtime_error("no simulator installed here (run: cmmsim install)");
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("the simulator's state stays locked");
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }

private:
    plat::File m_file;
};

// The next state is written beside the current one first. Should a writer
// die between removing the old file and renaming the new one in, the next
// reader finds the state under the new name.
std::string NextStatePath() { return plat::NativePath(kStateFile) + ".next"; }

SimState ReadUnlocked() {
    std::ifstream in(plat::NativePath(kStateFile), std::ios::binary);
    if (!in) in.open(NextStatePath(), std::ios::binary);
    if (!in) throw std::runtime_error("no simulator installed here (run: cmmsim install)");
    std::stringstream text;
    text << in.rdbuf();
    return FromJson(text.str());
}

void WriteUnlocked(const SimState& state) {
    std::string target = plat::NativePath(kStateFile);
    std::string next = NextStatePath();
    {
        std::ofstream out(next, std::ios::binary | std::ios::trunc);
        out << ToJson(state);
        if (!out.flush()) throw std::runtime_error("cannot write the simulator's state");
    }
    // Renaming over an existing file makes ext4 flush the new one first,
    // which costs 10 ms and more while other work writes to the disk; every
    // command the simulator answers changes the state. The lock keeps
    // readers away while no file carries the name.
    std::error_code error;
    std::filesystem::remove(target, error);
    std::filesystem::rename(next, target, error);
    if (error) throw std::runtime_error("cannot replace the simulator's state: " + error.message());
}

}  // namespace

std::string ToJson(const SimState& s) {
    json queue = json::array();
    for (const MeasuredPoint& p : s.queue)
        queue.push_back({{"point", VecJson(p.point)}, {"direction", VecJson(p.direction)}});
    json j = {{"config", ConfigJson(s.config)}, {"faults", FaultsJson(s.faults)},
              {"machine", MachineJson(s.machine)}, {"queue", queue}, {"probes", s.probes},
              {"points_queued", s.pointsQueued}, {"points_answered", s.pointsAnswered},
              {"counts", s.counts}, {"startup_commands", s.startupCommands},
              {"part_volume", s.partVolume}};
    return j.dump(1);
}

SimState FromJson(const std::string& text) {
    try {
        json j = json::parse(text);
        SimState s;
        s.config = JsonConfig(j.at("config"));
        s.faults = JsonFaults(j.at("faults"));
        s.machine = JsonMachine(j.at("machine"));
        for (const json& p : j.at("queue"))
            s.queue.push_back({JsonVec(p.at("point")), JsonVec(p.at("direction"))});
        s.probes = j.at("probes");
        s.pointsQueued = j.at("points_queued");
        s.pointsAnswered = j.at("points_answered");
        s.counts = j.at("counts").get<std::map<std::string, uint64_t>>();
        s.startupCommands = j.at("startup_commands").get<std::vector<std::string>>();
        s.partVolume = j.at("part_volume");
        return s;
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("damaged simulator state: ") + e.what());
    }
}

namespace store {

bool Installed() { return plat::PathExists(kStateFile) || plat::PathExists(std::string(kStateFile) + ".next"); }

void Create(const SimState& state) {
    if (!plat::MakeDirectory(kPidFolder)) throw std::runtime_error("cannot create C:\\CMMSIM\\");
    StoreLock lock;
    WriteUnlocked(state);
}

SimState Read() {
    StoreLock lock;
    return ReadUnlocked();
}

SimState Update(const std::function<void(SimState&)>& change) {
    StoreLock lock;
    SimState state = ReadUnlocked();
    change(state);
    WriteUnlocked(state);
    return state;
}

void Count(const std::string& what) {
    Update([&](SimState& s) { ++s.counts[what]; });
}

}  // namespace store
}  // namespace cmmsim
