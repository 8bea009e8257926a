// Figures through real processes: the plug-in in this process, cmmsim's
// PartManager, GEOPAK-WIN and GEOPAK processes on a real folder, real time
// (time scale 1) unless a figure says otherwise. Each figure is printed next
// to the limit the protocol's own cadence implies:
//   COSMOS exchange  ~20 ms  (answer wait passes of 10 ms event + 10 ms file probes)
//   COSMOS recording ~33/s   (one poll exchange plus the 10 ms idle slice)
//   GEOPAK round trip ~50 ms (the 50 ms look for the answer file)
// Memory is compared after 100 and after CMM_BENCH_EXCHANGES (default 20000)
// exchanges, on a fast clock so the run stays short.
#include "framework/protocol.h"
#include "framework/regfile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Notifications reach the host on its own thread, while it pumps messages.
void PumpFor(std::chrono::milliseconds span) {
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
        plat::PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

const char kCosmos[] = "Mitutoyo - COSMOS1.3";
const char kGeopak[] = "Mitutoyo - GEOPAK3v5.3";

// A temporary drive C: and desktop with cmmsim installed, shut down at the end.
class World {
public:
    World(double timeScale, const std::vector<std::string>& flags) {
        m_root = fs::temp_directory_path() / ("bench_e2e_" + std::to_string(plat::CurrentProcessId()) + "_" +
                                              std::to_string(++s_count));
        fs::create_directories(m_root / "c");
        fs::create_directories(m_root / "desktop");
        char scale[32];
        std::snprintf(scale, sizeof scale, "%g", timeScale);
        plat::SetEnvironmentValue("CMM_DRIVE_MAP", "C=" + (m_root / "c").string());
        plat::SetEnvironmentValue("CMM_DESKTOP", (m_root / "desktop").string());
        plat::SetEnvironmentValue("CMM_TIME_SCALE", scale);
        plat::SetDriveMap({{'C', (m_root / "c").string()}});
        plat::SetDesktopFolder((m_root / "desktop").string());
        plat::SetTimeScale(timeScale);
        std::vector<std::string> args = {"install"};
        args.insert(args.end(), flags.begin(), flags.end());
        m_ok = Sim(args);
    }
    ~World() {
        Sim({"shutdown"});
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    bool ok() const { return m_ok; }
    bool Sim(const std::vector<std::string>& args) {
        plat::ChildProcess sim;
        std::string self = plat::CurrentExecutablePath();
        if (!sim.Start((fs::path(self).parent_path() / "cmmsim").string(), args)) return false;
        if (!sim.Wait(20000)) sim.Kill();
        return sim.ExitCode() == 0;
    }

private:
    static inline int s_count = 0;
    fs::path m_root;
    bool m_ok = false;
};

// A connected protocol with its worker, counting TYPE 2 positions.
class Connected {
public:
    explicit Connected(const char* name) : m_key("HKEY_CURRENT_USER\\Software\\bench") {
        m_protocol.reset(CreateProtocol(name));
        if (!m_protocol) return;
        m_protocol->ReadSettings(&m_key);
        m_protocol->SetClient([this](const ClientMessage& m) { m_positions += m.type == 2; });
        m_protocol->StartThread();
        m_ok = m_protocol->Connect() != FALSE;
    }
    ~Connected() {
        if (!m_protocol) return;
        if (m_protocol->IsTransactionStarted()) m_protocol->OnStopTransaction();
        if (m_protocol->IsConnected()) m_protocol->Disconnect();
        m_protocol->EndThread();
        m_protocol->SetClient(nullptr);
    }
    bool ok() const { return m_ok; }
    CMMProtocolWithThread& operator*() { return *m_protocol; }
    CMMProtocolWithThread* operator->() { return m_protocol.get(); }
    std::atomic<long> m_positions{0};

private:
    RegFileKey m_key;
    std::unique_ptr<CMMProtocolWithThread> m_protocol;
    bool m_ok = false;
};

double Percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One COSMOS command exchange (MoveTo: hand-over, parameter file, answer).
void BM_CosmosExchange(benchmark::State& state) {
    World world(1.0, {"--poll-position"});
    Connected cosmos(kCosmos);
    if (!world.ok() || !cosmos.ok()) return state.SkipWithError("no simulated COSMOS");
    std::vector<double> ms;
    for (auto _ : state) {
        auto t0 = Clock::now();
        cosmos->MoveTo(10.0 + static_cast<double>(ms.size() % 50), 20, 30);
        ms.push_back(Ms(Clock::now() - t0));
        state.SetIterationTime(ms.back() / 1000.0);
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
    state.counters["limit_ms"] = 20;
}
BENCHMARK(BM_CosmosExchange)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// Positions per second reaching the host from an open transaction's polls.
void RecordingRate(benchmark::State& state, const char* name, double limit, const char* limitName) {
    World world(1.0, {"--poll-position"});
    Connected protocol(name);
    if (!world.ok() || !protocol.ok()) return state.SkipWithError("no simulated software");
    double seconds = 0;
    long points = 0;
    for (auto _ : state) {
        protocol->OnStartTransaction();
        long before = protocol.m_positions;
        auto t0 = Clock::now();
        PumpFor(std::chrono::milliseconds(3000));
        points += protocol.m_positions - before;
        seconds += Ms(Clock::now() - t0) / 1000.0;
        protocol->OnStopTransaction();
    }
    state.counters["points_per_s"] = static_cast<double>(points) / seconds;
    state.counters["round_trip_ms"] = points ? seconds * 1000.0 / static_cast<double>(points) : 0;
    state.counters[limitName] = limit;
}
void BM_CosmosRecording(benchmark::State& s) { RecordingRate(s, kCosmos, 33, "limit_per_s"); }
void BM_GeopakRoundTrip(benchmark::State& s) { RecordingRate(s, kGeopak, 50, "limit_ms"); }
BENCHMARK(BM_CosmosRecording)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_GeopakRoundTrip)->Iterations(1)->Unit(benchmark::kSecond);

// CPU this process spends while a command waits one second for its answer.
void BM_CpuWhileWaiting(benchmark::State& state) {
    World world(1.0, {"--answer-delay", "1000"});
    Connected cosmos(kCosmos);
    if (!world.ok() || !cosmos.ok()) return state.SkipWithError("no simulated COSMOS");
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        std::clock_t c0 = std::clock();
        auto t0 = Clock::now();
        cosmos->MoveTo(1, 2, 3);
        cpu += static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
        wall += Ms(Clock::now() - t0) / 1000.0;
    }
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["wait_s"] = wall;
}
BENCHMARK(BM_CpuWhileWaiting)->Iterations(3)->Unit(benchmark::kSecond);

// Resident memory after 100 exchanges and after many more: a leak per
// exchange would show as growth.
void BM_MemoryOverExchanges(benchmark::State& state) {
    const char* env = std::getenv("CMM_BENCH_EXCHANGES");
    const long total = env ? std::max(200L, std::atol(env)) : 20000L;
    World world(50.0, {"--poll-position"});
    Connected cosmos(kCosmos);
    if (!world.ok() || !cosmos.ok()) return state.SkipWithError("no simulated COSMOS");
    double after100 = 0, afterAll = 0;
    for (auto _ : state) {
        for (long i = 1; i <= total; ++i) {
            cosmos->MoveTo(static_cast<double>(i % 100), 20, 30);
            if (i == 100) after100 = static_cast<double>(plat::ResidentMemoryBytes());
        }
        afterAll = static_cast<double>(plat::ResidentMemoryBytes());
    }
    state.counters["rss_after_100_kib"] = after100 / 1024;
    state.counters["rss_after_all_kib"] = afterAll / 1024;
    state.counters["exchanges"] = static_cast<double>(total);
}
BENCHMARK(BM_MemoryOverExchanges)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
