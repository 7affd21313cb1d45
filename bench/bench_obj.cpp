// OBJ writing of the big model, and memcpy of as many bytes as the floor.
#include <benchmark/benchmark.h>

#include <ostream>

#include "BenchInputs.h"
#include "geometry/ObjWriter.h"

namespace {

using namespace benchinputs;

size_t ObjSize(const QMobject& M) {
    MemorySink Sink(0);
    std::ostream Out(&Sink);
    WriteOBJ(Out, M);
    return Sink.Data().size();
}

void BM_Obj_Big(benchmark::State& State) {
    const QMobject& M = BigModel();
    const size_t Bytes = ObjSize(M);
    MemorySink Sink(Bytes + 4096);
    std::ostream Out(&Sink);
    for (auto _ : State) {
        Sink.Clear();
        WriteOBJ(Out, M);
        benchmark::DoNotOptimize(Sink.Data().data());
    }
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Bytes));
    State.counters["Bytes"] = static_cast<double>(Bytes);
}

// The floor: copying as many bytes as the big model's OBJ text holds.
void BM_Floor_MemcpyObj(benchmark::State& State) { MemcpyFloor(State, ObjSize(BigModel())); }

}  // namespace

BENCHMARK(BM_Obj_Big)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_MemcpyObj)->UseRealTime()->Unit(benchmark::kMillisecond);
