// The simulator's shared state, kept under "C:\CMMSIM\" in the drive-mapped
// tree so that every cmmsim process of one tree (remote-start service, both
// macros, operator, status, fault, shutdown) sees the same machine: the
// installation settings, the virtual CMM, the queue of measured points, the
// counters and the fault flags. Every change is a read-modify-write under a
// lock file, and the file is replaced atomically.
#pragma once

#include "geometry.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cmmsim {

// Fixed DOS paths of the simulator's own folder.
constexpr const char* kSimRoot = "C:\\CMMSIM\\";
constexpr const char* kStateFile = "C:\\CMMSIM\\STATE.JSON";
constexpr const char* kLockFile = "C:\\CMMSIM\\STATE.LCK";
constexpr const char* kPidFolder = "C:\\CMMSIM\\PIDS\\";
constexpr const char* kShutdownFlag = "C:\\CMMSIM\\SHUTDOWN";
constexpr const char* kGeopakWinLauncher = "C:\\CMMSIM\\GEOPAKWIN.EXE";

struct Config {
    std::string cosmosPath = "C:\\COSMOS\\";
    std::string geopakApp = "C:\\GEOPAK\\";
    std::string exchange = "C:\\DATA\\";
    double noise = 0.002;
    uint64_t seed = 1;
    bool manual = false;
    bool pollPosition = false;
    std::string cancelKeys = "%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}";
    std::string restartKeys1 = "%R{DOWN}{ENTER}";
    std::string restartKeys2 = "1{ENTER}{ENTER}";
    std::string exitKeys = "%I{DOWN}{DOWN}{ENTER}";
    std::string sceneText;
};

struct Faults {
    uint32_t answerDelayMs = 0;
    std::vector<int> neverAnswer;  // command codes left unanswered
    int error = 0;                 // one-shot: 1 or 2
    bool garbage = false;          // one-shot
    bool shortAnswer = false;      // one-shot
    bool remoteMsg = false;        // one-shot
    uint32_t lockAnswerMs = 0;
    bool silentRemote = false;
    uint32_t slowHandshakeMs = 0;
    uint32_t crashAfter = 0;       // 0: never
};

struct MeasuredPoint {
    Vec3 point;
    Vec3 direction;  // unit probing direction: into the surface
};

struct Machine {
    Vec3 position{0, 0, 100};
    double headA = 0, headB = 0;
    double probeDiameter = 2.0;
    int machType = -1;  // as last announced by the plug-in; -1: never
    Vec3 lastDirection{0, 0, -1};
    Vec3 approach{0, 0, 0};
};

struct SimState {
    Config config;
    Faults faults;
    Machine machine;
    std::deque<MeasuredPoint> queue;
    uint64_t probes = 0;  // probing moves so far; also seeds each one's noise
    uint64_t pointsQueued = 0;
    uint64_t pointsAnswered = 0;
    std::map<std::string, uint64_t> counts;
    std::vector<std::string> startupCommands;
    std::string partVolume;
};

std::string ToJson(const SimState& state);
SimState FromJson(const std::string& text);  // throws std::runtime_error

// All functions throw std::runtime_error when the store cannot be used.
namespace store {
bool Installed();
void Create(const SimState& state);  // replaces any earlier state
SimState Read();
// Runs change on the current state under the lock and stores the result.
SimState Update(const std::function<void(SimState&)>& change);
void Count(const std::string& what);
}  // namespace store

}  // namespace cmmsim
