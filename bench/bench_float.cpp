// "%f" on the big model's coordinates: numbers per second of FormatFixed6.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK(BM_Fixed6)->UseRealTime()->Unit(benchmark::kMillisecond);
