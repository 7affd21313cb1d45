// OBJ writing and texture export of the big model, each beside its floor: the least work it can
// do, timed in the same run.
#include <benchmark/benchmark.h>

#include <squish.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "BigModel.h"
#include "geometry/FloatFormat.h"
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

// The big model's OBJ text and the numbers it holds: the floats of its "v", "vt" and "vn" lines
// and the numbers of its faces.
struct ObjText {
    std::string Text;
    std::vector<float> Floats;
    std::vector<uint64_t> Integers;

    ObjText() {
        Sink S;
        std::ostream Out(&S);
        WriteOBJ(Out, Big().Model);
        Text = S.Data;
        const char* P = Text.data();
        const char* const End = P + Text.size();
        for (const char* Line = P; Line < End; Line = std::find(Line, End, '\n') + 1) {
            const bool Face = Line[0] == 'f';
            if (Line[0] != 'v' && !Face) continue;
            for (const char* T = std::find(Line, End, ' '); T < End && *T != '\n'; T++) {
                if (*T == ' ' || *T == '/') continue;
                if (Face)
                    T = std::from_chars(T, End, Integers.emplace_back()).ptr - 1;
                else
                    T = std::from_chars(T, End, Floats.emplace_back()).ptr - 1;
            }
        }
    }
};

const ObjText& BigObj() {
    static const ObjText T;
    return T;
}

// Runs Product and Floor in turns, each going first in every other iteration, so that both
// meet the same load on a shared machine. Sets the counter Name to the ratio of their CPU times
// (std::clock) and returns the product's CPU seconds.
template <class ProductRun, class FloorRun>
double InTurns(benchmark::State& State, const char* Name, ProductRun Product, FloorRun Floor) {
    double ProductTime = 0, FloorTime = 0;
    bool ProductFirst = false;
    for (auto _ : State) {
        for (int Turn = 0; Turn < 2; Turn++) {
            const bool Producing = (Turn == 0) == ProductFirst;
            const std::clock_t Start = std::clock();
            if (Producing)
                Product();
            else
                Floor();
            (Producing ? ProductTime : FloorTime) += static_cast<double>(std::clock() - Start);
        }
        ProductFirst = !ProductFirst;
    }
    State.counters[Name] = ProductTime / FloorTime;
    return ProductTime / CLOCKS_PER_SEC;
}

// Every number of the OBJ text printed by the writer's formatters, a blank after each, into the
// sink in the writer's 256 KiB pieces: the least work the writer can do.
void PrintNumbers(const ObjText& T, std::ostream& Out) {
    static char Buffer[(size_t{1} << 18) + FixedMaxChars + 1];
    char* P = Buffer;
    const auto Flush = [&](size_t Room) {
        if (P - Buffer < static_cast<ptrdiff_t>(sizeof Buffer - Room)) return;
        Out.write(Buffer, P - Buffer);
        P = Buffer;
    };
    for (const float F : T.Floats) {
        Flush(FixedMaxChars + 1);
        P = FormatFixed6(P, F);
        *P++ = ' ';
    }
    for (const uint64_t N : T.Integers) {
        Flush(FixedMaxChars + 1);
        P = FormatDecimal(P, N);
        *P++ = ' ';
    }
    Out.write(Buffer, P - Buffer);
}

// The OBJ text beside its floor, PrintNumbers. MBps, the writer's speed, is for the record: it
// depends on the machine.
void BM_Obj(benchmark::State& State) {
    const ObjText& T = BigObj();
    Sink S;
    std::ostream Out(&S);
    S.Data.reserve(T.Text.size());
    const double Seconds = InTurns(
        State, "ObjPerNumbers",
        [&] {
            S.Data.clear();
            WriteOBJ(Out, Big().Model);
        },
        [&] {
            S.Data.clear();
            PrintNumbers(T, Out);
        });
    State.counters["MBps"] = static_cast<double>(T.Text.size()) *
                             static_cast<double>(State.iterations()) / Seconds / 1e6;
    State.counters["Numbers"] = static_cast<double>(T.Floats.size() + T.Integers.size());
}

// Every eighth float of the OBJ text through snprintf("%f") beside FormatFixed6.
void BM_Format(benchmark::State& State) {
    const ObjText& T = BigObj();
    char Text[400];
    InTurns(
        State, "SnprintfPerFormat",
        [&] {
            for (size_t i = 0; i < T.Floats.size(); i += 8) {
                std::snprintf(Text, sizeof Text, "%f", static_cast<double>(T.Floats[i]));
                benchmark::DoNotOptimize(Text);
            }
        },
        [&] {
            for (size_t i = 0; i < T.Floats.size(); i += 8) {
                FormatFixed6(Text, T.Floats[i]);
                benchmark::DoNotOptimize(Text);
            }
        });
}

// Every texture to BMP bytes in memory.
void ExportAll(const Scanned& B, std::ostream& Out) {
    ExportTextures(
        "bench", B.Count, B.Textures, B.Buff, B.Size,
        [&Out](const std::string&, BMP& Image, std::string&) { return Image.WriteToStream(Out); });
}

// libsquish decoding every block of the same textures into one buffer, nothing else.
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

// The texture export beside its floor, the least work it can do: decoding every block
// (DecodeAll) and copying the same BMP bytes into the same sink. DecodeOnly is the export
// beside DecodeAll alone, the floor of earlier runs.
void BM_Texture(benchmark::State& State) {
    const Scanned& B = Big();
    Sink S;
    std::ostream Out(&S);
    ExportAll(B, Out);  // untimed: sizes the sink and keeps the bytes for the floor
    const std::string Bmp = S.Data;
    double Decode = 0, Copy = 0;
    InTurns(
        State, "ExportPerFloor",
        [&] {
            S.Data.clear();
            ExportAll(B, Out);
        },
        [&] {
            const std::clock_t Start = std::clock();
            DecodeAll(B);
            const std::clock_t Decoded = std::clock();
            S.Data.clear();
            Out.write(Bmp.data(), static_cast<std::streamsize>(Bmp.size()));
            Decode += static_cast<double>(Decoded - Start);
            Copy += static_cast<double>(std::clock() - Decoded);
        });
    State.counters["ExportPerDecode"] = State.counters["ExportPerFloor"] * (Decode + Copy) / Decode;
}

}  // namespace

BENCHMARK(BM_Obj)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Format)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture)->Unit(benchmark::kMillisecond);
