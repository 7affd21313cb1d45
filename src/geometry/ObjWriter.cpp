// OBJ writer: one pass per list over each object's stretch, values de-duplicated by hashing.
#include "geometry/ObjWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>

#include "geometry/FloatFormat.h"
#include "geometry/Transforms.h"
#include "io/OutputFile.h"
#include "io/Paths.h"
#include "io/Random.h"

namespace {

// Index entries are signed 16-bit, so no stretch can refer to more vertices.
constexpr int MaxVertexNumber = 32768;

// Room for one face corner's text: three numbers of up to 20 digits and two slashes.
constexpr size_t CornerText = 64;

template <size_t N>
char* PutLiteral(char* Out, const char (&S)[N]) {
    std::memcpy(Out, S, N - 1);
    return Out + (N - 1);
}

// The output text, assembled line by line in place in one buffer that goes to
// the stream in large chunks. A writer asks for Line(), writes at most MaxLine
// characters from the pointer it gets, and hands the new end to Done().
class TextSink {
public:
    // Longer than any line the writer makes: a face line with three corners of
    // three 20-digit numbers is under 200 characters.
    static constexpr size_t MaxLine = 256;

    explicit TextSink(std::ostream& Out)
        : Out_(Out), Buffer_(new char[Chunk + MaxLine]), End_(Buffer_.get()) {}
    ~TextSink() { Flush(); }
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    char* Line() {
        if (End_ >= Buffer_.get() + Chunk) Flush();
        return End_;
    }
    void Done(char* End) { End_ = End; }

    // "# ", the number, then Rest (its label and line ends).
    template <size_t N>
    void Count(int64_t Number, const char (&Rest)[N]) {
        char* P = PutLiteral(Line(), "# ");
        P = FormatDecimal(P, static_cast<uint64_t>(Number));
        Done(PutLiteral(P, Rest));
    }

    void Flush() {
        Out_.write(Buffer_.get(), static_cast<std::streamsize>(End_ - Buffer_.get()));
        End_ = Buffer_.get();
    }

private:
    static constexpr size_t Chunk = size_t{1} << 18;
    std::ostream& Out_;
    std::unique_ptr<char[]> Buffer_;
    char* End_;
};

// "%f %f %f\n" for three values, at Out; returns the end.
char* PutFloats(char* Out, float A, float B, float C) {
    Out = FormatFixed6(Out, A);
    *Out++ = ' ';
    Out = FormatFixed6(Out, B);
    *Out++ = ' ';
    Out = FormatFixed6(Out, C);
    *Out++ = '\n';
    return Out;
}

// Float bits with -0 folded onto +0, so equal non-NaN values have equal keys.
uint32_t KeyBits(float F) {
    const uint32_t B = std::bit_cast<uint32_t>(F);
    return B == 0x80000000u ? 0u : B;
}

// Open-addressing map from a value's key to its list index. The hash is keyed
// with a secret drawn per writer, so a file cannot be crafted to pile its
// values onto one probe chain; list numbers do not depend on the hash.
//
// A slot is four bytes, a 16-bit tag of the hash and the position of its entry
// in a dense array, so the table a lookup lands in at random stays small
// enough for the processor's caches; the key is compared only when the tag
// matches. A value is inserted at most once per vertex and object, so no
// object has more entries than MaxVertexNumber. The table keeps its size from
// object to object (at four bytes a slot, emptying it is cheap).
template <size_t N>
class ValueIndex {
public:
    using Key = std::array<uint32_t, N>;

    explicit ValueIndex(uint64_t Seed) : Seed_(Seed) { Resize(1024); }

    // Empties the map for an object that inserts at most MaxEntries values,
    // reserving their room at once: growing step by step would take fresh
    // memory for each step.
    void Reset(size_t MaxEntries) {
        if (!Entries_.empty()) std::fill(Slots_.begin(), Slots_.end(), Slot{0, Empty});
        Entries_.clear();
        Entries_.reserve(MaxEntries);
    }

    // The index of the entry with this key, or NewIndex after inserting it.
    int FindOrInsert(const Key& K, int NewIndex) {
        const uint64_t H = Hash(K);
        const auto Tag = static_cast<uint16_t>(H >> 48);
        for (size_t s = H & Mask_;; s = (s + 1) & Mask_) {
            const Slot X = Slots_[s];
            if (X.Entry == Empty) {
                Slots_[s] = Slot{Tag, static_cast<uint16_t>(Entries_.size())};
                Entries_.push_back(Entry{K, NewIndex});
                // At most half full, so probe chains stay short.
                if (2 * Entries_.size() > Slots_.size()) Resize(2 * Slots_.size());
                return NewIndex;
            }
            if (X.Tag == Tag && Entries_[X.Entry].K == K) return Entries_[X.Entry].Index;
        }
    }

private:
    static constexpr uint16_t Empty = 0xFFFF;
    static_assert(MaxVertexNumber <= Empty, "entry positions must fit in a slot");
    struct Slot {
        uint16_t Tag;
        uint16_t Entry;  // position in Entries_, or Empty
    };
    struct Entry {
        Key K;
        int Index;
    };

    // A bijective 64-bit finaliser: every input bit affects every output bit.
    static uint64_t Mix(uint64_t X) {
        X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ull;
        X = (X ^ (X >> 27)) * 0x94D049BB133111EBull;
        return X ^ (X >> 31);
    }

    // Two key words per round of the finaliser.
    uint64_t Hash(const Key& K) const {
        uint64_t H = Seed_;
        for (size_t w = 0; w < N; w += 2)
            H = Mix(H ^ (K[w] | (w + 1 < N ? static_cast<uint64_t>(K[w + 1]) << 32 : 0)));
        return H;
    }

    // A table of Capacity slots (a power of two) holding every entry.
    void Resize(size_t Capacity) {
        Slots_.assign(Capacity, Slot{0, Empty});
        Mask_ = Capacity - 1;
        for (size_t e = 0; e < Entries_.size(); e++) {
            const uint64_t H = Hash(Entries_[e].K);
            size_t s = H & Mask_;
            while (Slots_[s].Entry != Empty) s = (s + 1) & Mask_;
            Slots_[s] = Slot{static_cast<uint16_t>(H >> 48), static_cast<uint16_t>(e)};
        }
    }

    uint64_t Seed_;
    std::vector<Slot> Slots_;
    std::vector<Entry> Entries_;
    size_t Mask_ = 0;
};

uint64_t HashSeed() { return ThreadRandom(); }

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
        : Sink_(Sink),
          M_(M),
          Cache_(static_cast<size_t>(std::clamp(M.RVNumber, 0, MaxVertexNumber))),
          PIndex_(HashSeed()),
          NIndex_(HashSeed()),
          TIndex_(HashSeed()) {}

    void Write() {
        Sink_.Done(PutLiteral(Sink_.Line(), "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n"));
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
        char* P = PutLiteral(Sink_.Line(), "# object Obj");
        P = FormatDecimal(P, static_cast<uint64_t>(o) + 1);
        Sink_.Done(PutLiteral(P, " to come ...\n#\n"));

        // A value is inserted once per vertex: no more than the stretch or the vertices hold.
        const size_t Distinct = std::min<size_t>(static_cast<size_t>(To_ - From_), Cache_.size());
        PIndex_.Reset(Distinct);
        TIndex_.Reset(Distinct);
        NIndex_.Reset(Distinct);

        const int VN = ListPass(
            o, PIndex_, &VertexValues::PNaN, &VertexValues::PIndex,
            [](const VertexValues& C) { return Key3(C.P); },
            [](char* Out, const VertexValues& C) {
                return PutFloats(PutLiteral(Out, "v  "), C.P.X, C.P.Y, C.P.Z);
            });
        Sink_.Count(VN, " vertices\n\n");

        const int TN = ListPass(
            o, TIndex_, &VertexValues::TNaN, &VertexValues::TIndex,
            [](const VertexValues& C) {
                return ValueIndex<2>::Key{KeyBits(C.T.X), KeyBits(C.T.Y)};
            },
            [](char* Out, const VertexValues& C) {
                Out = FormatFixed6(PutLiteral(Out, "vt  "), C.T.X);
                *Out++ = ' ';
                Out = FormatFixed6(Out, C.T.Y);
                return PutLiteral(Out, " 0.000000\n");
            });
        Sink_.Count(TN, " texture vertices\n\n");

        const int NN = ListPass(
            o, NIndex_, &VertexValues::NNaN, &VertexValues::NIndex,
            [](const VertexValues& C) { return Key3(C.N); },
            [](char* Out, const VertexValues& C) {
                return PutFloats(PutLiteral(Out, "vn  "), C.N.X, C.N.Y, C.N.Z);
            });
        Sink_.Count(NN, " vertex normals\n\n");

        P = PutLiteral(Sink_.Line(), "g Obj");
        P = FormatDecimal(P, static_cast<uint64_t>(o) + 1);
        Sink_.Done(PutLiteral(P, "\ns 1\n"));
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
                Sink_.Done(Line(Sink_.Line(), C));
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
        // Each entry's corner text "p/t/n" is made once; a face copies three.
        // Slots are wider than any corner text (three 20-digit numbers), so
        // each copy moves a fixed CornerText bytes and the end is set after it.
        struct Corner {
            int64_t P = 0;
            bool Valid = false;
            uint8_t Length = 0;
            char Text[CornerText] = {};
        };
        Corner Window[3];
        int Created[3] = {0, 0, 0};
        int F = 0;
        auto Number = [](bool IsNaN, int Index, int& Count) {
            if (IsNaN || Index == Count) return Count++;
            return Index;
        };
        for (int i = From_; i < To_; i++) {
            Corner& C = Window[(i - From_) % 3];
            const int v = VertexOf(i);
            C.Valid = v >= 0;
            if (C.Valid) {
                const VertexValues& X = Cache_[static_cast<size_t>(v)];
                C.P = RealV_ + Number(X.PNaN, X.PIndex, Created[0]);
                char* T = FormatDecimal(C.Text, static_cast<uint64_t>(C.P));
                *T++ = '/';
                T = FormatDecimal(
                    T, static_cast<uint64_t>(RealT_ + Number(X.TNaN, X.TIndex, Created[1])));
                *T++ = '/';
                T = FormatDecimal(
                    T, static_cast<uint64_t>(RealN_ + Number(X.NNaN, X.NIndex, Created[2])));
                C.Length = static_cast<uint8_t>(T - C.Text);
            }
            if (i - From_ < 2) continue;
            const Corner& A = Window[(i - From_ + 1) % 3];
            const Corner& B = Window[(i - From_ + 2) % 3];
            if (!A.Valid || !B.Valid || !C.Valid) continue;
            if (A.P == B.P || A.P == C.P || B.P == C.P) continue;
            char* P = PutLiteral(Sink_.Line(), "f ");
            std::memcpy(P, A.Text, CornerText);
            P += A.Length;
            *P++ = ' ';
            std::memcpy(P, B.Text, CornerText);
            P += B.Length;
            *P++ = ' ';
            std::memcpy(P, C.Text, CornerText);
            P += C.Length;
            *P++ = '\n';
            Sink_.Done(P);
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

bool SaveOBJ(char* Path, QMobject QMModel, std::vector<std::string>* Failed,
             const OutputPolicy& Policy) {
    // The name is built apart from the caller's array, so no path length can overrun it.
    const std::string Name =
        std::string(Path, std::find(Path, Path + PathCapacity - 1, '\0')) + ".obj";
    OutputFile File(Name, Policy);
    std::string Reason;
    try {
        if (File.IsOpen()) WriteOBJ(File.Stream(), QMModel);
        if (File.Commit()) return true;
        Reason = File.Reason();
    } catch (const std::bad_alloc&) {
        Reason = "not enough memory to write it";
    }
    if (Failed != nullptr) Failed->push_back(Name + ": " + Reason);
    return false;
}
