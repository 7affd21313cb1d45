// OBJ writing and texture export of the big model, beside the bare libsquish decode loop.
#include <benchmark/benchmark.h>

#include <squish.h>

#include <ctime>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "BigModel.h"
#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace {

// The big model's bytes, scanned once for the whole process.
struct Scanned {
    std::vector<uint8_t> Bytes = BigModel().Build();
    unsigned char* Buff = Bytes.data();
    int Size = static_cast<int>(Bytes.size());
    std::ostringstream Report;
    QMobject Model = BufferScan(Buff, Size, Report);
    int Count = 0;
    Texture* Textures = nullptr;
    Scanned() { TexturesScan(Buff, Size, Count, Textures, Report); }
};

const Scanned& Big() {
    static const Scanned S;
    return S;
}

// Appends into memory kept between iterations, so growing it is not timed.
class Sink : public std::streambuf {
public:
    std::string Data;

protected:
    std::streamsize xsputn(const char* S, std::streamsize N) override {
        Data.append(S, static_cast<size_t>(N));
        return N;
    }
    int_type overflow(int_type C) override {
        if (C != traits_type::eof()) Data.push_back(static_cast<char>(C));
        return traits_type::not_eof(C);
    }
};

void BM_Obj(benchmark::State& State) {
    Sink S;
    std::ostream Out(&S);
    WriteOBJ(Out, Big().Model);  // untimed: sizes the sink and gives the byte count
    const auto Bytes = static_cast<int64_t>(S.Data.size());
    for (auto _ : State) {
        S.Data.clear();
        WriteOBJ(Out, Big().Model);
    }
    State.SetBytesProcessed(State.iterations() * Bytes);
    State.counters["Bytes"] = static_cast<double>(Bytes);
}

// Every texture to BMP bytes in memory.
void ExportAll(const Scanned& B, std::ostream& Out) {
    ExportTextures(
        "bench", B.Count, B.Textures, B.Buff, B.Size,
        [&Out](const std::string&, BMP& Image, std::string&) { return Image.WriteToStream(Out); });
}

// The floor: libsquish decoding every block of the same textures into one buffer, nothing else.
void DecodeAll(const Scanned& B) {
    squish::u8 Pixels[64];
    for (int t = 0; t < B.Count; t++) {
        const Texture& T = B.Textures[t];
        const int Blocks = (T.Width + 3) / 4 * ((T.Height + 3) / 4);
        for (int b = 0; b < Blocks; b++) {
            squish::Decompress(Pixels, B.Buff + T.StartLine + 16 * b, squish::kDxt5);
            benchmark::DoNotOptimize(Pixels);
        }
    }
}

// The texture export and its floor in turns, so that both meet the same load on a shared
// machine; ExportPerDecode is the ratio of their CPU times (std::clock).
void BM_Texture(benchmark::State& State) {
    const Scanned& B = Big();
    Sink S;
    std::ostream Out(&S);
    ExportAll(B, Out);  // untimed: sizes the sink
    double Export = 0, Decode = 0;
    bool ExportFirst = false;  // each goes first in every other iteration
    for (auto _ : State) {
        for (int Turn = 0; Turn < 2; Turn++) {
            const bool Exporting = (Turn == 0) == ExportFirst;
            const std::clock_t Start = std::clock();
            if (Exporting) {
                S.Data.clear();
                ExportAll(B, Out);
            } else {
                DecodeAll(B);
            }
            (Exporting ? Export : Decode) += static_cast<double>(std::clock() - Start);
        }
        ExportFirst = !ExportFirst;
    }
    State.counters["ExportPerDecode"] = Export / Decode;
}

}  // namespace

BENCHMARK(BM_Obj)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture)->Unit(benchmark::kMillisecond);
