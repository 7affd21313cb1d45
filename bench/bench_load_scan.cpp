// Loading and scanning the big model: the product's paths, the literal ones, and one bulk read as the floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ostream>
#include <vector>

#include "BenchInputs.h"
#include "Literal.h"
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

// Load plus both scans with the given implementations, releasing everything each time.
template <class Load, class Scan, class ScanTextures>
void LoadScan(benchmark::State& State, Load LoadFn, Scan ScanFn, ScanTextures TexturesFn) {
    const std::string& Path = BigModelPath();
    for (auto _ : State) {
        unsigned char* Buff = nullptr;
        const int Size = LoadFn(Path.c_str(), Buff);
        QMobject M = ScanFn(Buff, Size, Nowhere());
        int Count = 0;
        Texture* Textures = nullptr;
        TexturesFn(Buff, Size, Count, Textures, Nowhere());
        benchmark::DoNotOptimize(M.Vertices);
        benchmark::DoNotOptimize(Textures);
        ReleaseModel(M);
        ReleaseTextures(Textures);
        delete[] Buff;
    }
    SetModelBytes(State);
}

void BM_LoadScan_Fast(benchmark::State& State) {
    LoadScan(
        State, [](const char* P, unsigned char*& B) { return LoadFile(P, B); },
        [](unsigned char*& B, int N, std::ostream& O) { return BufferScan(B, N, O); },
        [](unsigned char*& B, int N, int& C, Texture*& T, std::ostream& O) { TexturesScan(B, N, C, T, O); });
}

void BM_LoadScan_Literal(benchmark::State& State) {
    LoadScan(
        State, [](const char* P, unsigned char*& B) { return literal::LoadFile(P, B); },
        [](unsigned char*& B, int N, std::ostream& O) { return literal::BufferScan(B, N, O); },
        [](unsigned char*& B, int N, int& C, Texture*& T, std::ostream& O) {
            literal::TexturesScan(B, N, C, T, O);
        });
}

// The parts on their own, to show where the time goes.
void BM_Load_Fast(benchmark::State& State) {
    const std::string& Path = BigModelPath();
    for (auto _ : State) {
        unsigned char* Buff = nullptr;
        benchmark::DoNotOptimize(LoadFile(Path.c_str(), Buff));
        delete[] Buff;
    }
    SetModelBytes(State);
}

void BM_Load_Literal(benchmark::State& State) {
    const std::string& Path = BigModelPath();
    for (auto _ : State) {
        unsigned char* Buff = nullptr;
        benchmark::DoNotOptimize(literal::LoadFile(Path.c_str(), Buff));
        delete[] Buff;
    }
    SetModelBytes(State);
}

void BM_GeometryScan_Fast(benchmark::State& State) {
    std::vector<uint8_t> Bytes = BigModelBytes();
    unsigned char* Buff = Bytes.data();
    for (auto _ : State) {
        QMobject M = BufferScan(Buff, static_cast<int>(Bytes.size()), Nowhere());
        benchmark::DoNotOptimize(M.Vertices);
        ReleaseModel(M);
    }
    SetModelBytes(State);
}

void BM_GeometryScan_Literal(benchmark::State& State) {
    const std::vector<uint8_t>& Bytes = BigModelBytes();
    for (auto _ : State) {
        QMobject M = literal::BufferScan(Bytes.data(), static_cast<int>(Bytes.size()), Nowhere());
        benchmark::DoNotOptimize(M.Vertices);
        ReleaseModel(M);
    }
    SetModelBytes(State);
}

void BM_TextureScan_Fast(benchmark::State& State) {
    std::vector<uint8_t> Bytes = BigModelBytes();
    unsigned char* Buff = Bytes.data();
    for (auto _ : State) {
        int Count = 0;
        Texture* Textures = nullptr;
        TexturesScan(Buff, static_cast<int>(Bytes.size()), Count, Textures, Nowhere());
        benchmark::DoNotOptimize(Textures);
        ReleaseTextures(Textures);
    }
    SetModelBytes(State);
}

void BM_TextureScan_Literal(benchmark::State& State) {
    const std::vector<uint8_t>& Bytes = BigModelBytes();
    for (auto _ : State) {
        int Count = 0;
        Texture* Textures = nullptr;
        literal::TexturesScan(Bytes.data(), static_cast<int>(Bytes.size()), Count, Textures, Nowhere());
        benchmark::DoNotOptimize(Textures);
        ReleaseTextures(Textures);
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

BENCHMARK(BM_LoadScan_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadScan_Literal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Load_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_Literal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_GeometryScan_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeometryScan_Literal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TextureScan_Fast)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextureScan_Literal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Floor_BulkRead)->UseRealTime()->Unit(benchmark::kMillisecond);
