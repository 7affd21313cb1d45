// "%f" on the big model's coordinates: FormatFixed6 against snprintf.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "BenchInputs.h"
#include "geometry/FloatFormat.h"

namespace {

using namespace benchinputs;

void BM_Fixed6(benchmark::State& State) {
    const std::vector<float>& Numbers = Coordinates();
    char Text[FixedMaxChars];
    for (auto _ : State)
        for (float F : Numbers) {
            benchmark::DoNotOptimize(FormatFixed6(Text, F));
            benchmark::ClobberMemory();
        }
    State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Numbers.size()));
}

void BM_Snprintf(benchmark::State& State) {
    const std::vector<float>& Numbers = Coordinates();
    char Text[64];
    for (auto _ : State)
        for (float F : Numbers) {
            benchmark::DoNotOptimize(std::snprintf(Text, sizeof Text, "%f", static_cast<double>(F)));
            benchmark::ClobberMemory();
        }
    State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Numbers.size()));
}

}  // namespace

BENCHMARK(BM_Fixed6)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Snprintf)->UseRealTime()->Unit(benchmark::kMillisecond);
