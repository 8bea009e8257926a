// COSMOS exchange figures against an instantly answering COSMOS side (a
// thread woken by change notification): the time of one exchange and the
// CPU it costs while the answer is awaited, and the rate at which an open
// transaction's position polls reach the host.
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";

// A scratch drive C: with the COSMOS exchange folder, real time.
class Scratch {
public:
    Scratch() : m_root(fs::temp_directory_path() / ("bench_cosmos_" + std::to_string(plat::CurrentProcessId()))) {
        fs::create_directories(m_root / "COSMOS" / "VELMOR");
        plat::SetDriveMap({{'C', m_root.string()}});
        plat::SetTimeScale(1.0);
    }
    ~Scratch() {
        std::error_code error;
        fs::remove_all(m_root, error);
    }

private:
    fs::path m_root;
};

// Answers every parameter file at once with a fixed point.
class Responder {
public:
    Responder() : m_thread([this] { Run(); }) {}
    ~Responder() {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run() {
        const std::string command = kVelmor + "ZOR_GEO.DAT";
        const std::string answer = plat::NativePath(kVelmor + "GEO_ZOR.DAT");
        while (!m_stop) {
            if (!plat::WaitForPath(command, 50)) continue;
            {
                plat::File file;  // held deny-write: the writer has finished
                if (!file.Open(command, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) continue;
                std::string line;
                if (!file.ReadLine(line)) continue;
            }
            if (!plat::RemoveFile(command)) continue;
            {
                std::ofstream out(answer + ".part", std::ios::binary | std::ios::trunc);
                out << "Error=0\r\nActualX=1\r\nActualY=2\r\nActualZ=3\r\nActualA=0\r\nActualB=90\r\nActualC=90\r\n";
            }
            fs::rename(answer + ".part", answer);
        }
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_CosmosExchange(benchmark::State& state) {
    Scratch scratch;
    Responder responder;
    MitutoyoCosmosProtocol protocol;
    std::vector<double> times;
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ParameterMap poll;
        poll["Cmd"] = 5.0;
        const auto start = std::chrono::steady_clock::now();
        const int result = protocol.RunCommandExchange(poll);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (result != 0) state.SkipWithError("exchange failed");
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times.empty() ? 0.0 : times[times.size() / 2];
    // Both threads together, as a share of one core.
    state.counters["process_cpu_pct"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
}
BENCHMARK(BM_CosmosExchange)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);

// Nothing arrives: what the answer wait itself costs, and how long its
// 10 ms slices really take (events, then message file, then answer file).
void BM_CosmosAnswerWaitIdle(benchmark::State& state) {
    Scratch scratch;
    plat::Event interrupt(true), request(true), pause(false);
    plat::Event* const events[] = {&interrupt, &request, &pause};
    ParameterMap map;
    for (auto _ : state) {
        const int result = AwaitCosmosAnswer(map, kVelmor + "GEO_ZOR.DAT", kVelmor + "REMOTE.MSG", events, 3, 300);
        if (result != 101) state.SkipWithError("wait ended early");
    }
}
BENCHMARK(BM_CosmosAnswerWaitIdle)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_WriteParameterFiles(benchmark::State& state) {
    Scratch scratch;
    ParameterMap map;
    map["Cmd"] = 5.0;
    for (auto _ : state) WriteParameterFileWithBackup(map, kVelmor + "ZOR_GEO.DAT");
}
BENCHMARK(BM_WriteParameterFiles)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_WaitSlice(benchmark::State& state) {
    Scratch scratch;
    plat::Event event(false);
    plat::Event* const events[] = {&event};
    const bool fileWait = state.range(0) != 0;
    for (auto _ : state) {
        if (fileWait) {
            WaitForFile(kVelmor + "REMOTE.MSG", 10);
        } else {
            plat::WaitAny(events, 1, 10);
        }
    }
}
BENCHMARK(BM_WaitSlice)->Arg(0)->Arg(1)->Iterations(100)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CosmosPolling(benchmark::State& state) {
    Scratch scratch;
    Responder responder;
    MitutoyoCosmosProtocol protocol;
    std::atomic<int> points{0};
    protocol.SetClient([&](const ClientMessage& message) {
        if (message.type == 1) ++points;
    });
    protocol.CMMProtocolWithThread::Connect();
    protocol.StartThread();
    double seconds = 0.0;
    int total = 0;
    for (auto _ : state) {
        const int before = points.load();
        protocol.CMMProtocolWithThread::OnStartTransaction();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        protocol.CMMProtocolWithThread::OnStopTransaction();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total += points.load() - before;
    }
    protocol.CMMProtocolWithThread::Disconnect();
    protocol.EndThread();
    state.counters["points_per_s"] = seconds > 0 ? total / seconds : 0.0;
}
BENCHMARK(BM_CosmosPolling)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
