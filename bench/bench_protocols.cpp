// Protocol figures in this process against instantly answering vendor sides
// (threads woken by change notification), in real time: how late WaitForFile
// notices a new file, one COSMOS exchange and the CPU it costs while the
// answer is awaited, the rate at which an open transaction's position polls
// reach the host, and one GEOPAK round trip.
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"
#include "geopak/geopak_protocol.h"

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

// A scratch drive C: with the exchange folders, real time.
struct Scratch {
    fs::path root = fs::temp_directory_path() / ("cmm-bench-" + std::to_string(plat::CurrentProcessId()));
    Scratch() {
        fs::create_directories(root / "COSMOS" / "VELMOR");
        fs::create_directories(root / "DATA");
        plat::SetDriveMap({{'C', root.string()}});
        plat::SetTimeScale(1.0);
    }
    ~Scratch() {
        std::error_code error;
        fs::remove_all(root, error);
    }
};

// A vendor side: waits for each command file, takes it once its writer has
// let go, and puts the answer in place by renaming a finished file.
class Responder {
public:
    Responder(std::string command, std::string answer, std::string bytes)
        : m_thread([=, this] { Run(command, answer, bytes); }) {}
    ~Responder() {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run(const std::string& command, const std::string& answer, const std::string& bytes) {
        while (!m_stop) {
            if (!plat::WaitForPath(command, 50)) continue;
            {
                plat::File file;  // held deny-write: the writer has finished
                if (!file.Open(command, plat::kFileRead | plat::kShareDenyWrite)) continue;
            }
            if (!plat::RemoveFile(command)) continue;
            const std::string native = plat::NativePath(answer);
            std::ofstream(native + ".part", std::ios::binary) << bytes;
            fs::rename(native + ".part", native);
        }
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";

Responder CosmosSide() {
    return {kVelmor + "ZOR_GEO.DAT", kVelmor + "GEO_ZOR.DAT",
            "Error=0\r\nActualX=1\r\nActualY=2\r\nActualZ=3\r\nActualA=0\r\nActualB=90\r\nActualC=90\r\n"};
}

// Time from the file's creation by another thread to WaitForFile returning.
void BM_WaitForFileLatency(benchmark::State& state) {
    Scratch scratch;
    const std::string dos = "C:\\GEO_ZOR.DAT";
    for (auto _ : state) {
        plat::RemoveFile(dos);
        std::atomic<Clock::rep> createdAt{0};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            createdAt = Clock::now().time_since_epoch().count();
            std::ofstream(plat::NativePath(dos)) << "Error=0\n";
        });
        const bool seen = WaitForFile(dos, 5000);
        const auto returnedAt = Clock::now().time_since_epoch().count();
        writer.join();
        if (!seen) return state.SkipWithError("file not seen");
        state.SetIterationTime(std::chrono::duration<double>(Clock::duration(returnedAt - createdAt)).count());
    }
}
BENCHMARK(BM_WaitForFileLatency)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

void BM_CosmosExchange(benchmark::State& state) {
    Scratch scratch;
    Responder cosmos = CosmosSide();
    MitutoyoCosmosProtocol protocol;
    std::vector<double> times;
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = Clock::now();
    for (auto _ : state) {
        ParameterMap poll;
        poll["Cmd"] = 5.0;
        const auto start = Clock::now();
        if (protocol.RunCommandExchange(poll) != 0) state.SkipWithError("exchange failed");
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times.empty() ? 0.0 : times[times.size() / 2];
    // Both threads together, as a share of one core.
    state.counters["process_cpu_pct"] = 100.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / wall;
}
BENCHMARK(BM_CosmosExchange)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CosmosPolling(benchmark::State& state) {
    Scratch scratch;
    Responder cosmos = CosmosSide();
    MitutoyoCosmosProtocol protocol;
    std::atomic<int> points{0};
    protocol.SetClient([&](const ClientMessage& message) { points += message.type == 1; });
    protocol.CMMProtocolWithThread::Connect();
    protocol.StartThread();
    double seconds = 0.0;
    int total = 0;
    for (auto _ : state) {
        const int before = points.load();
        protocol.CMMProtocolWithThread::OnStartTransaction();
        const auto start = Clock::now();
        PumpFor(std::chrono::seconds(3));
        protocol.CMMProtocolWithThread::OnStopTransaction();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        total += points.load() - before;
    }
    protocol.CMMProtocolWithThread::Disconnect();
    protocol.EndThread();
    state.counters["points_per_s"] = total / seconds;
}
BENCHMARK(BM_CosmosPolling)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The figure to watch is how far the median lies above the 50 ms that the
// first look for the answer implies.
void BM_GeopakRoundTrip(benchmark::State& state) {
    Scratch scratch;
    Responder macro("C:\\DATA\\GEO_IN.DAT", "C:\\DATA\\GEO_OUT.DAT", "0\r\n1\r\n2\r\n3\r\n90\r\n90\r\n0\r\n");
    MitutoyoProtocol protocol;
    size_t failures = 0;
    for (auto _ : state) {
        GeopakCommand command(5);
        failures += !protocol.SendGEOPAKCommand(command);
    }
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_GeopakRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
