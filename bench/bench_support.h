// What the benchmark's figures share: a table row with its model limit and
// ratio, a scratch drive C: with instantly answering vendor sides (threads
// woken by change notification), a cmmsim world in a temporary tree, and
// timing helpers. The protocols' own cadence sets every limit:
//   COSMOS exchange   20 ms   (10 ms event slice + 10 ms look for a message file, then the answer)
//   COSMOS recording  33.3/s  (10 ms idle slice + one exchange)
//   GEOPAK round trip 50 ms   (the first look for the answer, 50 ms after the command)
//   GEOPAK recording  20/s    (one round trip per point)
#pragma once

#include "platform/tools.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// One line of the table. A figure is within its target when
// ratio <= target (atMost) or ratio >= target (!atMost).
struct Row {
    std::string figure;
    std::string where;  // "in-process" or "cmmsim"
    double value = 0;
    std::string unit;
    double limit = 0;  // the model's value in the same unit
    double target = 0; // on the ratio value / limit
    bool atMost = true;
    std::string note;
    double Ratio() const { return limit != 0 ? value / limit : 0; }
    bool Within() const { return atMost ? Ratio() <= target : Ratio() >= target; }
};

double Ms(Clock::duration d);
double Percentile(std::vector<double> values, double q);
// Process CPU time in seconds (all threads).
double ProcessCpuSeconds();

// A private drive C: (and desktop) under the temporary folder, removed at the end.
class Scratch {
public:
    explicit Scratch(const std::string& tag);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

// An instant vendor side: waits for each command file, takes it once its
// writer has let go, and renames a finished answer into place.
class Responder {
public:
    Responder(std::string command, std::string answer, std::string bytes);
    ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

private:
    void Run();
    std::string m_command, m_answer, m_bytes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// cmmsim installed in a Scratch tree (environment set so that the programs
// the plug-in launches find it), shut down at the end.
class SimWorld {
public:
    explicit SimWorld(const std::vector<std::string>& installFlags);
    ~SimWorld();
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool Sim(const std::vector<std::string>& args);
    Scratch m_scratch;
    bool m_ok = false;
};

}  // namespace bench
