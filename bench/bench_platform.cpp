// Benchmarks of the posix platform seam on the paths the protocols lean on:
// how late WaitForPath notices a new file, how fast events hand over between
// threads, and what a keystroke costs through the desktop log.
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A private drive C: and desktop for the whole run.
struct Scratch {
    fs::path root;
    Scratch() {
        root = fs::temp_directory_path() / ("cmm-bench-" + std::to_string(std::random_device{}()));
        fs::create_directories(root / "c");
        fs::create_directories(root / "desktop");
        plat::SetDriveMap({{'C', (root / "c").string()}});
        plat::SetDesktopFolder((root / "desktop").string());
        plat::SetTimeScale(1.0);
    }
    ~Scratch() {
        std::error_code error;
        fs::remove_all(root, error);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

// Time from the file's creation by another thread to WaitForPath returning.
void BM_WaitForPathLatency(benchmark::State& state) {
    TheScratch();
    const std::string dos = "C:\\GEO_ZOR.DAT";
    const std::string native = plat::NativePath(dos);
    for (auto _ : state) {
        plat::RemoveFile(dos);
        std::atomic<Clock::rep> createdAt{0};
        plat::Thread writer;
        writer.Start([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            createdAt = Clock::now().time_since_epoch().count();
            std::ofstream(native) << "Error=0\n";
        });
        bool seen = plat::WaitForPath(dos, 5000);
        auto returnedAt = Clock::now().time_since_epoch().count();
        writer.Join(plat::kInfinite);
        if (!seen) {
            state.SkipWithError("file not seen");
            break;
        }
        Clock::duration late(returnedAt - createdAt.load());
        state.SetIterationTime(std::chrono::duration<double>(late).count());
    }
}
BENCHMARK(BM_WaitForPathLatency)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

// One round trip between two threads through two auto-reset events.
void BM_EventPingPong(benchmark::State& state) {
    plat::Event ping(false), pong(false);
    std::atomic<bool> stop{false};
    plat::Thread partner;
    partner.Start([&] {
        while (ping.Wait(plat::kInfinite) && !stop) pong.Set();
    });
    for (auto _ : state) {
        ping.Set();
        pong.Wait(plat::kInfinite);
    }
    stop = true;
    ping.Set();
    partner.Join(plat::kInfinite);
}
BENCHMARK(BM_EventPingPong)->Unit(benchmark::kMicrosecond);

// A typical cancel sequence typed into a window and taken back by its owner.
void BM_KeySequenceRoundTrip(benchmark::State& state) {
    TheScratch();
    plat::WindowHandle window = plat::CreateTopLevelWindow("GEOPAK-WIN", "bench");
    plat::SetForegroundWindow(window);
    std::vector<plat::KeyStroke> keys(9, plat::KeyStroke{0x09, 0});
    for (auto _ : state) {
        plat::SendKeyStrokes(keys);
        benchmark::DoNotOptimize(plat::TakeKeyStrokes(window, 0));
    }
    plat::DestroyTopLevelWindow(window);
}
BENCHMARK(BM_KeySequenceRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
