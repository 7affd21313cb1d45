// Texture export to BMP bytes in memory, against the bare libsquish decode loop and memcpy of the
// BMP bytes.
#include <benchmark/benchmark.h>

#include <squish.h>

#include <cstring>
#include <ostream>
#include <sstream>
#include <vector>

#include "BenchInputs.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace {

using namespace benchinputs;

struct Directory {
    std::vector<uint8_t> Bytes = BigModelBytes();
    int Count = 0;
    Texture* Textures = nullptr;
    size_t BmpBytes = 0;

    Directory() {
        unsigned char* Buff = Bytes.data();
        std::ostringstream Quiet;
        TexturesScan(Buff, static_cast<int>(Bytes.size()), Count, Textures, Quiet);
        for (int t = 0; t < Count; t++)
            BmpBytes += 54 + 4 * static_cast<size_t>(Textures[t].Width) *
                                 static_cast<size_t>(Textures[t].Height);
    }
};

const Directory& Dir() {
    static const Directory D;
    return D;
}

void BM_Texture_Export(benchmark::State& State) {
    const Directory& D = Dir();
    MemorySink Sink(D.BmpBytes + 4096);
    std::ostream Out(&Sink);
    const TextureSink ToMemory = [&Out](const std::string&, BMP& Image, std::string&) {
        return Image.WriteToStream(Out);
    };
    // One export before timing, so the sink's memory is touched as the floors' buffers are.
    ExportTextures("bench", D.Count, D.Textures, D.Bytes.data(), static_cast<int>(D.Bytes.size()),
                   ToMemory);
    for (auto _ : State) {
        Sink.Clear();
        ExportTextures("bench", D.Count, D.Textures, D.Bytes.data(),
                       static_cast<int>(D.Bytes.size()), ToMemory);
        benchmark::DoNotOptimize(Sink.Data().data());
    }
    if (Sink.Data().size() != D.BmpBytes) State.SkipWithError("unexpected BMP byte count");
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(D.BmpBytes));
    State.counters["Bytes"] = static_cast<double>(D.BmpBytes);
}

// The floor: libsquish decoding every block of the same textures, nothing else.
void BM_Texture_DecodeFloor(benchmark::State& State) {
    const Directory& D = Dir();
    squish::u8 Pixels[64];
    for (auto _ : State)
        for (int t = 0; t < D.Count; t++) {
            const Texture& T = D.Textures[t];
            const size_t Blocks =
                static_cast<size_t>((T.Width + 3) / 4) * static_cast<size_t>((T.Height + 3) / 4);
            const uint8_t* Data = D.Bytes.data() + T.StartLine;
            for (size_t b = 0; b < Blocks; b++) {
                squish::Decompress(Pixels, Data + 16 * b, squish::kDxt5);
                benchmark::DoNotOptimize(Pixels);
            }
        }
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(D.BmpBytes));
    State.counters["Bytes"] = static_cast<double>(D.BmpBytes);
}

// The floor for the written bytes: copying as many bytes as the BMP files hold.
void BM_Floor_MemcpyBmp(benchmark::State& State) { MemcpyFloor(State, Dir().BmpBytes); }

}  // namespace

BENCHMARK(BM_Texture_Export)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture_DecodeFloor)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_MemcpyBmp)->UseRealTime()->Unit(benchmark::kMillisecond);
