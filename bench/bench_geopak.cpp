// One GEOPAK round trip in real time against a macro thread that answers the
// moment the command file appears: the figure to watch is how far the median
// lies above the 50 ms that the first look for the answer implies.
#include "geopak/geopak_protocol.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

const char kAnswer[] = "0\r\n1\r\n2\r\n3\r\n90\r\n90\r\n0\r\n";

// Waits for each command file through change notification, takes it and puts
// the answer in place by renaming a finished file.
void Macro(const fs::path& folder, const std::atomic<bool>& stop) {
    while (!stop) {
        if (!plat::WaitForPath("C:\\DATA\\GEO_IN.DAT", 100)) continue;
        std::error_code error;
        fs::rename(folder / "GEO_IN.DAT", folder / "GEO_IN.TAKEN", error);
        if (error) continue;
        { std::ofstream(folder / "GEO_OUT.TMP", std::ios::binary) << kAnswer; }
        fs::rename(folder / "GEO_OUT.TMP", folder / "GEO_OUT.DAT", error);
    }
}

void BM_GeopakRoundTrip(benchmark::State& state) {
    const fs::path root = fs::temp_directory_path() / ("cmm-bench-geopak-" + std::to_string(plat::CurrentProcessId()));
    fs::create_directories(root / "DATA");
    plat::SetDriveMap({{'C', root.string()}});
    plat::SetTimeScale(1.0);
    std::atomic<bool> stop{false};
    std::thread macro(Macro, root / "DATA", std::cref(stop));

    MitutoyoProtocol protocol;
    size_t failures = 0;
    for (auto _ : state) {
        GeopakCommand command(5);
        if (!protocol.SendGEOPAKCommand(command)) ++failures;
    }
    state.counters["failures"] = static_cast<double>(failures);
    stop = true;
    macro.join();
    fs::remove_all(root);
}
BENCHMARK(BM_GeopakRoundTrip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
