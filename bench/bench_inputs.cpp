// Hostile input sizes, in this process: a COSMOS answer file of 300 000 names
// read through the plug-in's own answer path (target: under 1 s), and a .reg
// store of 100 000 values loaded and every value looked up, as `cmmhost
// settings show` does (target: under 1 s). Both must grow linearly.
#include "bench_support.h"
#include "cosmos/cosmos_exchange.h"
#include "framework/regfile.h"

#include <benchmark/benchmark.h>

#include <fstream>

namespace {

std::string AnswerOf(int64_t names) {
    std::string text = "Error=0\r\n";
    for (int64_t i = 0; i < names; ++i) text += "Parameter" + std::to_string(i) + "=      12.345\r\n";
    return text;
}

void BM_CosmosAnswerOfManyNames(benchmark::State& state) {
    const bench::Scratch scratch("inputs");
    const std::string answer = "C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT";
    const std::string text = AnswerOf(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(plat::NativePath(answer), std::ios::binary) << text;
        ParameterMap map;
        state.ResumeTiming();
        const int result = AwaitCosmosAnswer(map, answer, "C:\\COSMOS\\VELMOR\\REMOTE.MSG", nullptr, 0, 1000);
        benchmark::DoNotOptimize(result);
        if (map.GetCount() != static_cast<size_t>(state.range(0)) + 1) state.SkipWithError("names lost");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CosmosAnswerOfManyNames)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_RegStoreOfManyValues(benchmark::State& state) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Bench]\r\n";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "\"Value" + std::to_string(i) + "\"=dword:" + std::to_string(10000000 + i) + "\r\n";
    for (auto _ : state) {
        RegFileKey key("HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Bench");
        key.FromText(text, "bench.reg");
        uint32_t value = 0, sum = 0;
        for (int64_t i = 0; i < state.range(0); ++i) {
            key.GetDword("VALUE" + std::to_string(i), value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(key.ToText());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RegStoreOfManyValues)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
