// OBJ writing: the product's hashed writer, the literal quadratic writer, and memcpy of the text as the floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "BenchInputs.h"
#include "Literal.h"
#include "geometry/ObjWriter.h"

namespace {

using namespace benchinputs;

size_t ObjSize(const QMobject& M) {
    MemorySink Sink(0);
    std::ostream Out(&Sink);
    WriteOBJ(Out, M);
    return Sink.Data().size();
}

void Fast(benchmark::State& State, const QMobject& M) {
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

void BM_Obj_Big_Fast(benchmark::State& State) { Fast(State, BigModel()); }
void BM_Obj_Strip_Fast(benchmark::State& State) { Fast(State, StripModel()); }

void BM_Obj_Strip_Literal(benchmark::State& State) {
    const QMobject& M = StripModel();
    size_t Bytes = 0;
    for (auto _ : State) {
        char* Text = nullptr;
        size_t Length = 0;
        std::FILE* Out = open_memstream(&Text, &Length);
        literal::WriteOBJ(Out, M);
        std::fclose(Out);
        Bytes = Length;
        std::free(Text);
    }
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Bytes));
    State.counters["Bytes"] = static_cast<double>(Bytes);
}

// The floor: copying as many bytes as the big model's OBJ text holds.
void BM_Floor_MemcpyObj(benchmark::State& State) { MemcpyFloor(State, ObjSize(BigModel())); }

}  // namespace

BENCHMARK(BM_Obj_Big_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obj_Strip_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obj_Strip_Literal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Floor_MemcpyObj)->UseRealTime()->Unit(benchmark::kMillisecond);
