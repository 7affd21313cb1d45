// OBJ writer: one pass per list over each object's stretch, values de-duplicated by hashing.
#include "geometry/ObjWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <ostream>
#include <random>

#include "geometry/FloatFormat.h"

namespace {

// Index entries are signed 16-bit, so no stretch can refer to more vertices.
constexpr int MaxVertexNumber = 32768;

// Collects output text and hands it to the stream in large pieces.
class TextSink {
public:
    explicit TextSink(std::ostream& Out) : Out_(Out) {}
    ~TextSink() { Flush(); }

    void Literal(const char* S, size_t N) {
        Text_.append(S, N);
        if (Text_.size() >= Chunk) Flush();
    }
    template <size_t N>
    void Literal(const char (&S)[N]) { Literal(S, N - 1); }

    void Int(int64_t V) {
        char B[24];
        Literal(B, static_cast<size_t>(std::to_chars(B, B + sizeof B, V).ptr - B));
    }

    // A count comment: "# ", the number, then Rest (its label and line ends).
    void Count(int64_t N, const char* Rest) {
        Literal("# ", 2);
        Int(N);
        Literal(Rest, std::strlen(Rest));
    }

    // Keyword, then "%f %f %f\n"; the keyword carries its own blanks.
    void FloatLine(const char* Keyword, size_t KeywordLength, float A, float B, float C) {
        char Line[8 + 3 * (FixedMaxChars + 1)];
        std::memcpy(Line, Keyword, KeywordLength);
        char* P = FormatFixed6(Line + KeywordLength, A);
        *P++ = ' ';
        P = FormatFixed6(P, B);
        *P++ = ' ';
        P = FormatFixed6(P, C);
        *P++ = '\n';
        Literal(Line, static_cast<size_t>(P - Line));
    }

    void Flush() {
        Out_.write(Text_.data(), static_cast<std::streamsize>(Text_.size()));
        Text_.clear();
    }

private:
    static constexpr size_t Chunk = size_t{1} << 20;
    std::ostream& Out_;
    std::string Text_;
};

// Float bits with -0 folded onto +0, so equal non-NaN values have equal keys.
uint32_t KeyBits(float F) {
    const uint32_t B = std::bit_cast<uint32_t>(F);
    return B == 0x80000000u ? 0u : B;
}

// Open-addressing map from a value's key to its list index. The hash is keyed
// with a secret drawn per writer, so a file cannot be crafted to pile its
// values onto one probe chain; list numbers do not depend on the hash.
template <size_t N>
class ValueIndex {
public:
    using Key = std::array<uint32_t, N>;

    explicit ValueIndex(uint64_t Seed) : Seed_(Seed) {}

    void Reset(size_t MaxEntries) {
        size_t Capacity = 16;
        while (Capacity < 2 * MaxEntries) Capacity *= 2;
        Slots_.assign(Capacity, Slot{{}, -1});
        Mask_ = Capacity - 1;
    }

    // The index of the entry with this key, or NewIndex after inserting it.
    int FindOrInsert(const Key& K, int NewIndex) {
        uint64_t H = Seed_;
        for (uint32_t Word : K) H = Mix(H ^ Word);
        for (size_t s = H & Mask_;; s = (s + 1) & Mask_) {
            if (Slots_[s].Index < 0) {
                Slots_[s] = {K, NewIndex};
                return NewIndex;
            }
            if (Slots_[s].K == K) return Slots_[s].Index;
        }
    }

private:
    struct Slot {
        Key K;
        int Index;
    };
    // A bijective 64-bit finaliser: every input bit affects every output bit.
    static uint64_t Mix(uint64_t X) {
        X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ull;
        X = (X ^ (X >> 27)) * 0x94D049BB133111EBull;
        return X ^ (X >> 31);
    }

    uint64_t Seed_;
    std::vector<Slot> Slots_;
    size_t Mask_ = 0;
};

uint64_t HashSeed() {
    std::random_device Device;
    return (static_cast<uint64_t>(Device()) << 32) ^ Device();
}

// One vertex's values for the object being written, computed once.
struct VertexValues {
    uint32_t Stamp = 0;  // object number + 1 that these values belong to
    Vector3f P, N;
    Vector2f T;
    bool PNaN, TNaN, NNaN;
    int PIndex, TIndex, NIndex;  // list indices; unused for NaN values
};

ValueIndex<3>::Key Key3(const Vector3f& V) { return {KeyBits(V.X), KeyBits(V.Y), KeyBits(V.Z)}; }

bool HasNaN(float A, float B, float C = 0.0f) {
    return std::isnan(A) || std::isnan(B) || std::isnan(C);
}

class ObjectWriter {
public:
    ObjectWriter(TextSink& Sink, const QMobject& M)
        : Sink_(Sink), M_(M),
          Cache_(static_cast<size_t>(std::clamp(M.RVNumber, 0, MaxVertexNumber))),
          PIndex_(HashSeed()), NIndex_(HashSeed()), TIndex_(HashSeed()) {}

    void Write() {
        Sink_.Literal("# Max2Obj Version 4.0 Mar 10th, 2001\n#\n");
        int64_t Start = 0;
        const int64_t VNumber = std::max(M_.VNumber, 0);
        for (int o = 0; o < M_.Objects; o++) {
            const int64_t Length = std::max(M_.ObjectsVNumber[o + 1], 0);
            From_ = static_cast<int>(std::min(Start, VNumber));
            To_ = static_cast<int>(std::min(Start + Length, VNumber));
            Start += Length;
            WriteObject(o);
        }
    }

private:
    // The vertex number of entry i, or -1 when it names no vertex record.
    int VertexOf(int i) const {
        const int v = M_.VerticesRange[i];
        return v >= 0 && v < static_cast<int>(Cache_.size()) ? v : -1;
    }

    const Mat4x4& MatrixOf(int o, int v) const {
        static const Mat4x4 Identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
        const int Slot = M_.UsedMatrix[v];
        if (Slot < 0 || Slot >= M_.PerObjectMatCol[o]) return Identity;
        const int Entry = M_.ObjectsUsedMat[o][Slot];
        if (Entry < 0 || Entry >= M_.Parts1) return Identity;
        return M_.Mats1[Entry];
    }

    VertexValues& ValuesOf(int o, int v) {
        VertexValues& C = Cache_[static_cast<size_t>(v)];
        if (C.Stamp == static_cast<uint32_t>(o) + 1) return C;
        const Mat4x4& Mat = MatrixOf(o, v);
        const Vector4f P = VMulMat(Mat, M_.Vertices[v]);
        const Vector3f N = Normalize(NMulMat(Mat, M_.Normals[v]));
        C.Stamp = static_cast<uint32_t>(o) + 1;
        C.P = {P.X, P.Y, P.Z};
        C.T = M_.TexCoords[v];
        C.N = {-N.X, -N.Y, -N.Z};
        C.PNaN = HasNaN(C.P.X, C.P.Y, C.P.Z);
        C.TNaN = HasNaN(C.T.X, C.T.Y);
        C.NNaN = HasNaN(C.N.X, C.N.Y, C.N.Z);
        C.PIndex = C.TIndex = C.NIndex = -1;
        return C;
    }

    void WriteObject(int o) {
        Sink_.Literal("# object Obj");
        Sink_.Int(o + 1);
        Sink_.Literal(" to come ...\n#\n");

        const size_t Distinct = std::min<size_t>(static_cast<size_t>(To_ - From_), Cache_.size());
        PIndex_.Reset(Distinct);
        TIndex_.Reset(Distinct);
        NIndex_.Reset(Distinct);

        const int VN = ListPass(o, PIndex_, &VertexValues::PNaN, &VertexValues::PIndex,
                                [](const VertexValues& C) { return Key3(C.P); },
                                [this](const VertexValues& C) {
                                    Sink_.FloatLine("v  ", 3, C.P.X, C.P.Y, C.P.Z);
                                });
        Sink_.Count(VN, " vertices\n\n");

        const int TN = ListPass(o, TIndex_, &VertexValues::TNaN, &VertexValues::TIndex,
                                [](const VertexValues& C) {
                                    return ValueIndex<2>::Key{KeyBits(C.T.X), KeyBits(C.T.Y)};
                                },
                                [this](const VertexValues& C) {
                                    Sink_.FloatLine("vt  ", 4, C.T.X, C.T.Y, 0.0f);
                                });
        Sink_.Count(TN, " texture vertices\n\n");

        const int NN = ListPass(o, NIndex_, &VertexValues::NNaN, &VertexValues::NIndex,
                                [](const VertexValues& C) { return Key3(C.N); },
                                [this](const VertexValues& C) {
                                    Sink_.FloatLine("vn  ", 4, C.N.X, C.N.Y, C.N.Z);
                                });
        Sink_.Count(NN, " vertex normals\n\n");

        Sink_.Literal("g Obj");
        Sink_.Int(o + 1);
        Sink_.Literal("\ns 1\n");
        const int F = WriteFaces();
        Sink_.Count(F, " faces\n\ng\n");

        RealV_ += VN;
        RealT_ += TN;
        RealN_ += NN;
    }

    // One list pass over the stretch: an entry's value gets the number of an
    // equal earlier value, or a new number and its line (always, for NaN).
    template <size_t N, class KeyOf, class WriteLine>
    int ListPass(int o, ValueIndex<N>& Index, bool VertexValues::*IsNaN, int VertexValues::*Number,
                 KeyOf Key, WriteLine Line) {
        int Count = 0;
        for (int i = From_; i < To_; i++) {
            const int v = VertexOf(i);
            if (v < 0) continue;
            VertexValues& C = ValuesOf(o, v);
            if (!(C.*IsNaN) && C.*Number < 0) C.*Number = Index.FindOrInsert(Key(C), Count);
            if (C.*IsNaN || C.*Number == Count) {
                Line(C);
                Count++;
            }
        }
        return Count;
    }

    // One face per three consecutive entries, corners in entry order, dropped
    // when two corners share a position number or a corner names no vertex.
    // The list numbers of each entry are replayed in order: an entry creates a
    // new number exactly when the list passes above created one for it, which
    // also gives a NaN value the number written for that very occurrence.
    int WriteFaces() {
        struct Corner {
            int64_t P, T, N;
            bool Valid;
        };
        Corner Window[3] = {};
        int Created[3] = {0, 0, 0};
        int F = 0;
        auto Number = [](bool IsNaN, int Index, int& Count) {
            if (IsNaN || Index == Count) return Count++;
            return Index;
        };
        for (int i = From_; i < To_; i++) {
            Corner C{0, 0, 0, false};
            const int v = VertexOf(i);
            if (v >= 0) {
                const VertexValues& X = Cache_[static_cast<size_t>(v)];
                C = {RealV_ + Number(X.PNaN, X.PIndex, Created[0]),
                     RealT_ + Number(X.TNaN, X.TIndex, Created[1]),
                     RealN_ + Number(X.NNaN, X.NIndex, Created[2]), true};
            }
            Window[0] = Window[1];
            Window[1] = Window[2];
            Window[2] = C;
            if (i - From_ < 2) continue;
            const Corner& A = Window[0];
            const Corner& B = Window[1];
            if (!A.Valid || !B.Valid || !C.Valid) continue;
            if (A.P == B.P || A.P == C.P || B.P == C.P) continue;
            Sink_.Literal("f ");
            for (int h = 0; h < 3; h++) {
                const Corner& K = Window[h];
                if (h > 0) Sink_.Literal(" ");
                Sink_.Int(K.P);
                Sink_.Literal("/");
                Sink_.Int(K.T);
                Sink_.Literal("/");
                Sink_.Int(K.N);
            }
            Sink_.Literal("\n");
            F++;
        }
        return F;
    }

    TextSink& Sink_;
    const QMobject& M_;
    std::vector<VertexValues> Cache_;
    ValueIndex<3> PIndex_, NIndex_;
    ValueIndex<2> TIndex_;
    int From_ = 0, To_ = 0;
    int64_t RealV_ = 1, RealT_ = 1, RealN_ = 1;
};

}  // namespace

bool WriteOBJ(std::ostream& Out, const QMobject& QMModel) {
    {
        TextSink Sink(Out);
        ObjectWriter(Sink, QMModel).Write();
    }
    Out.flush();
    return static_cast<bool>(Out);
}

bool SaveOBJ(char* Path, QMobject QMModel, std::vector<std::string>* Failed) {
    // The name is built apart from the caller's array, so no path length can overrun it.
    const std::string Name = std::string(Path, std::find(Path, Path + 255, '\0')) + ".obj";
    // Binary: LF line ends on every platform, so every build writes the same bytes.
    std::ofstream File(Name, std::ios::out | std::ios::binary | std::ios::trunc);
    bool Written = File.is_open() && WriteOBJ(File, QMModel);
    File.close();
    Written = Written && !File.fail();
    if (!Written && Failed != nullptr) Failed->push_back(Name);
    return Written;
}
