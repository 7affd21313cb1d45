// A prototype of the texture export with direct row access, to measure what a change to the image class buys.
//
// It does what ExportTextures and BMP do for a 32-bit image (allocate the
// pixels white with alpha 0, decode every block, write the 54-byte headers and
// the rows bottom-up), with two differences:
// - decoded pixels are stored through a pointer to the start of each image
//   row rather than through operator() once per pixel;
// - without Fill, the white start is skipped for images the blocks cover;
// - with RowsAsStored, each row is handed to the stream straight from the
//   pixel array (RGBApixel is Blue, Green, Red, Alpha: the file's byte order)
//   rather than encoded byte by byte into a row buffer first.
#include <benchmark/benchmark.h>

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

#include "BenchInputs.h"
#include "image/Bmp.h"
#include "model/TextureScan.h"

namespace {

using namespace benchinputs;

void PutDword(unsigned char* P, uint32_t V) {
    for (int b = 0; b < 4; b++) P[b] = static_cast<unsigned char>(V >> (8 * b));
}

void WriteHeaders(std::ostream& Out, int W, int H) {
    unsigned char Head[54] = {'B', 'M'};
    const uint32_t Image = 4u * static_cast<uint32_t>(W) * static_cast<uint32_t>(H);
    PutDword(Head + 2, 54 + Image);
    PutDword(Head + 10, 54);
    PutDword(Head + 14, 40);
    PutDword(Head + 18, static_cast<uint32_t>(W));
    PutDword(Head + 22, static_cast<uint32_t>(H));
    Head[26] = 1;
    Head[28] = 32;
    PutDword(Head + 34, Image);
    PutDword(Head + 38, 3780);
    PutDword(Head + 42, 3780);
    Out.write(reinterpret_cast<const char*>(Head), sizeof Head);
}

template <bool RowsAsStored, bool Fill>
void ExportProposed(const unsigned char* Buff, int Count, const Texture* Textures, std::ostream& Out) {
    for (int t = 0; t < Count; t++) {
        const int W = Textures[t].Width, H = Textures[t].Height;
        const int BlocksWide = (W + 3) / 4, BlocksHigh = (H + 3) / 4;
        const unsigned char* Data = Buff + Textures[t].StartLine;
        const size_t Pixels = static_cast<size_t>(W) * static_cast<size_t>(H);
        std::unique_ptr<RGBApixel[]> Image(new RGBApixel[Pixels]);
        // Without Fill, the white start is skipped when the blocks cover every pixel.
        if (Fill || W % 4 != 0 || H % 4 != 0)
            std::fill(Image.get(), Image.get() + Pixels, RGBApixel{255, 255, 255, 0});

        squish::u8 Rgba[64];
        for (int by = 0; by < BlocksHigh; by++)
            for (int bx = 0; bx < BlocksWide; bx++) {
                squish::Decompress(Rgba, Data + 16 * (static_cast<size_t>(by) * BlocksWide + bx),
                                   squish::kDxt5);
                const int Rows = std::min(4, H - 4 * by), Columns = std::min(4, W - 4 * bx);
                for (int r = 0; r < Rows; r++) {
                    RGBApixel* Row = Image.get() + static_cast<size_t>(4 * by + r) * W + 4 * bx;
                    // One block row: red and blue trade places in a local copy,
                    // which the compiler turns into one byte shuffle.
                    unsigned char In[16], Swapped[16];
                    std::memcpy(In, Rgba + 16 * r, 16);
                    for (int c = 0; c < 4; c++) {
                        Swapped[4 * c] = In[4 * c + 2];
                        Swapped[4 * c + 1] = In[4 * c + 1];
                        Swapped[4 * c + 2] = In[4 * c];
                        Swapped[4 * c + 3] = In[4 * c + 3];
                    }
                    std::memcpy(Row, Swapped, 4 * static_cast<size_t>(Columns));
                }
            }

        WriteHeaders(Out, W, H);
        std::vector<unsigned char> RowBuffer(RowsAsStored ? 0 : 4 * static_cast<size_t>(W));
        for (int j = H - 1; j >= 0; j--) {
            const RGBApixel* Row = Image.get() + static_cast<size_t>(j) * W;
            if (RowsAsStored) {
                Out.write(reinterpret_cast<const char*>(Row), 4 * static_cast<std::streamsize>(W));
            } else {
                for (int i = 0; i < W; i++) {
                    unsigned char* P = RowBuffer.data() + 4 * static_cast<size_t>(i);
                    P[0] = Row[i].Blue;
                    P[1] = Row[i].Green;
                    P[2] = Row[i].Red;
                    P[3] = Row[i].Alpha;
                }
                Out.write(reinterpret_cast<const char*>(RowBuffer.data()), static_cast<std::streamsize>(W) * 4);
            }
        }
    }
}

// The bottom-up stream: rows of blocks are decoded from the last one up
// into a strip of four image rows, which is written at once, bottom row
// first. No whole image is held, so the strip stays in the cache and the
// only large traffic is reading the blocks and writing the file's bytes.
void ExportStreamed(const unsigned char* Buff, int Count, const Texture* Textures, std::ostream& Out) {
    std::vector<RGBApixel> Strip;
    for (int t = 0; t < Count; t++) {
        const int W = Textures[t].Width, H = Textures[t].Height;
        const int BlocksWide = (W + 3) / 4, BlocksHigh = (H + 3) / 4;
        const unsigned char* Data = Buff + Textures[t].StartLine;
        Strip.assign(4 * static_cast<size_t>(BlocksWide) * 4, RGBApixel{255, 255, 255, 0});
        const size_t Stride = 4 * static_cast<size_t>(BlocksWide);
        WriteHeaders(Out, W, H);
        squish::u8 Rgba[64];
        for (int by = BlocksHigh - 1; by >= 0; by--) {
            for (int bx = 0; bx < BlocksWide; bx++) {
                squish::Decompress(Rgba, Data + 16 * (static_cast<size_t>(by) * BlocksWide + bx),
                                   squish::kDxt5);
                for (int r = 0; r < 4; r++) {
                    unsigned char In[16], Swapped[16];
                    std::memcpy(In, Rgba + 16 * r, 16);
                    for (int c = 0; c < 4; c++) {
                        Swapped[4 * c] = In[4 * c + 2];
                        Swapped[4 * c + 1] = In[4 * c + 1];
                        Swapped[4 * c + 2] = In[4 * c];
                        Swapped[4 * c + 3] = In[4 * c + 3];
                    }
                    std::memcpy(Strip.data() + r * Stride + 4 * bx, Swapped, 16);
                }
            }
            for (int r = std::min(3, H - 1 - 4 * by); r >= 0; r--)
                Out.write(reinterpret_cast<const char*>(Strip.data() + r * Stride),
                          4 * static_cast<std::streamsize>(W));
        }
    }
}

void BM_Texture_ExportStreamed(benchmark::State& State) {
    std::vector<uint8_t> Bytes = BigModelBytes();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Textures = nullptr;
    std::ostringstream Quiet;
    TexturesScan(Buff, static_cast<int>(Bytes.size()), Count, Textures, Quiet);
    size_t BmpBytes = 0;
    for (int t = 0; t < Count; t++)
        BmpBytes += 54 + 4 * static_cast<size_t>(Textures[t].Width) * static_cast<size_t>(Textures[t].Height);
    MemorySink Sink(BmpBytes + 4096);
    std::ostream Out(&Sink);
    for (auto _ : State) {
        Sink.Clear();
        ExportStreamed(Buff, Count, Textures, Out);
        benchmark::DoNotOptimize(Sink.Data().data());
    }
    if (Sink.Data().size() != BmpBytes) State.SkipWithError("unexpected BMP byte count");
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(BmpBytes));
    State.counters["Bytes"] = static_cast<double>(BmpBytes);
    ReleaseTextures(Textures);
}

template <bool RowsAsStored, bool Fill>
void BM_Texture_ExportProposed(benchmark::State& State) {
    std::vector<uint8_t> Bytes = BigModelBytes();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Textures = nullptr;
    std::ostringstream Quiet;
    TexturesScan(Buff, static_cast<int>(Bytes.size()), Count, Textures, Quiet);
    size_t BmpBytes = 0;
    for (int t = 0; t < Count; t++)
        BmpBytes += 54 + 4 * static_cast<size_t>(Textures[t].Width) * static_cast<size_t>(Textures[t].Height);

    MemorySink Sink(BmpBytes + 4096);
    std::ostream Out(&Sink);
    for (auto _ : State) {
        Sink.Clear();
        ExportProposed<RowsAsStored, Fill>(Buff, Count, Textures, Out);
        benchmark::DoNotOptimize(Sink.Data().data());
    }
    if (Sink.Data().size() != BmpBytes) State.SkipWithError("unexpected BMP byte count");
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(BmpBytes));
    State.counters["Bytes"] = static_cast<double>(BmpBytes);
    ReleaseTextures(Textures);
}

}  // namespace

BENCHMARK(BM_Texture_ExportProposed<false, true>)
    ->Name("BM_Texture_ExportRowPointers")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture_ExportProposed<true, true>)
    ->Name("BM_Texture_ExportRowPointersRowsAsStored")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture_ExportProposed<true, false>)
    ->Name("BM_Texture_ExportRowPointersRowsAsStoredNoFill")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture_ExportStreamed)->UseRealTime()->Unit(benchmark::kMillisecond);
