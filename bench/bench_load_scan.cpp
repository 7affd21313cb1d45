// Loading and scanning the big model, and one bulk read of its file as the floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ostream>
#include <vector>

#include "BenchInputs.h"
#include "app/LoadFile.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace {

using namespace benchinputs;

// Report lines go nowhere: a stream without a buffer drops what it is given.
std::ostream& Nowhere() {
    static std::ostream Null(nullptr);
    return Null;
}

void SetModelBytes(benchmark::State& State) {
    const auto Size = static_cast<int64_t>(BigModelBytes().size());
    State.SetBytesProcessed(State.iterations() * Size);
    State.counters["Bytes"] = static_cast<double>(Size);
}

// LoadFile and both scans, releasing everything each time.
void BM_LoadScan(benchmark::State& State) {
    const std::string& Path = BigModelPath();
    for (auto _ : State) {
        unsigned char* Buff = nullptr;
        const int Size = LoadFile(Path.c_str(), Buff);
        QMobject M = BufferScan(Buff, Size, Nowhere());
        int Count = 0;
        Texture* Textures = nullptr;
        TexturesScan(Buff, Size, Count, Textures, Nowhere());
        benchmark::DoNotOptimize(M.Vertices);
        benchmark::DoNotOptimize(Textures);
        ReleaseModel(M);
        ReleaseTextures(Textures);
        delete[] Buff;
    }
    SetModelBytes(State);
}

void BM_Load(benchmark::State& State) {
    const std::string& Path = BigModelPath();
    for (auto _ : State) {
        unsigned char* Buff = nullptr;
        benchmark::DoNotOptimize(LoadFile(Path.c_str(), Buff));
        delete[] Buff;
    }
    SetModelBytes(State);
}

// The floor: one fread of the whole file into memory that is already mapped.
void BM_Floor_BulkRead(benchmark::State& State) {
    const std::string& Path = BigModelPath();
    std::vector<unsigned char> Into(BigModelBytes().size(), 1);
    for (auto _ : State) {
        std::FILE* F = std::fopen(Path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(Into.data(), 1, Into.size(), F));
        std::fclose(F);
        benchmark::ClobberMemory();
    }
    SetModelBytes(State);
}

}  // namespace

BENCHMARK(BM_LoadScan)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_BulkRead)->UseRealTime()->Unit(benchmark::kMillisecond);
