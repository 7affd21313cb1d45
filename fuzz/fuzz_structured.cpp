// Fuzz target: the model pipeline on mutants of valid models that keep the header, marker and section structure.
//
// The mutator finds the structure the scans will see (header fields, object
// markers, index list, vertex records, matrix tables, texture markers) and
// sets one of its values to an edge value, moves a marker to an edge, or cuts
// the file at a structural boundary; one time in four, and whenever the input
// has no header yet, it leaves the work to libFuzzer's byte-level mutator.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "FuzzSupport.h"
#include "model/GeometryScan.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* Data, size_t Size, size_t MaxSize);

namespace {

constexpr int HeaderSize = 212;
constexpr int HeaderFields[] = {8, 12, 72, 76, 84, 92, 96, 108, 192, 196, 208};
constexpr int GeometryBase = 64;

constexpr uint32_t Edge32[] = {0, 0xFFFFFFFFu, 1, 2, 0x7FFFFFFFu, 0x80000000u, 0x7FFFFFFEu,
                               0x80000001u, 0x7FC00000u, 0x7F800000u, 0xFF800000u, 0x00010000u};
constexpr uint16_t Edge16[] = {0, 0xFFFF, 1, 2, 3, 4, 5, 7, 0x7FFF, 0x8000, 0x0100, 0x1000};
// Float bit patterns: NaNs, infinities, extremes, signed zero, the smallest
// denormal, and the floats on either side of the marker range (0.2, 1.0).
constexpr uint32_t EdgeFloat[] = {0x7FC00000u, 0xFFC00000u, 0x7F800001u, 0x7F800000u,
                                  0xFF800000u, 0x7F7FFFFFu, 0xFF7FFFFFu, 0x80000000u,
                                  0x00000000u, 0x00000001u, 0x3E4CCCCCu, 0x3E4CCCCDu,
                                  0x3F7FFFFFu, 0x3F800000u, 0x3F000000u, 0x4B000000u};

class Mutant {
public:
    Mutant(uint8_t* Data, size_t Size, size_t MaxSize, unsigned Seed)
        : D_(Data), Size_(Size), MaxSize_(MaxSize), Rng_(Seed) {}

    size_t Size() const { return Size_; }

    uint32_t Pick(uint32_t N) { return N == 0 ? 0 : static_cast<uint32_t>(Rng_() % N); }
    template <typename T, size_t N>
    T PickOf(const T (&Values)[N]) { return Values[Pick(N)]; }

    int32_t I32(int64_t At) const {
        if (At < 0 || At + 4 > static_cast<int64_t>(Size_)) return 0;
        return static_cast<int32_t>(D_[At] | (D_[At + 1] << 8) | (D_[At + 2] << 16) |
                                    (static_cast<uint32_t>(D_[At + 3]) << 24));
    }
    void Put32(int64_t At, uint32_t V) {
        for (int b = 0; b < 4; b++)
            if (At + b >= 0 && At + b < static_cast<int64_t>(Size_)) D_[At + b] = uint8_t(V >> 8 * b);
    }
    void Put16(int64_t At, uint16_t V) {
        for (int b = 0; b < 2; b++)
            if (At + b >= 0 && At + b < static_cast<int64_t>(Size_)) D_[At + b] = uint8_t(V >> 8 * b);
    }

    // A 32-bit value for a count or position field: an edge value, a value
    // measured from the file's size, or a small step from the current one.
    uint32_t FieldValue(int32_t Current) {
        const int64_t S = static_cast<int64_t>(Size_);
        switch (Pick(4)) {
            case 0:
                return PickOf(Edge32);
            case 1: {
                const int64_t Near[] = {S, S - GeometryBase, S - GeometryBase + 1, S / 2,
                                        S / 48, S / 64, S / 2 - GeometryBase, -GeometryBase,
                                        -GeometryBase - 1};
                return static_cast<uint32_t>(PickOf(Near));
            }
            case 2:
                return static_cast<uint32_t>(int64_t{Current} + Pick(9) - 4);
            default:
                return static_cast<uint32_t>(static_cast<int64_t>(Current) * 2 + Pick(3));
        }
    }

    std::vector<int> ObjectMarkers() const {
        return FindObjectMarkers(D_, static_cast<int>(Size_), INT_MAX);
    }

    std::vector<int64_t> TextureMarkers() const {
        std::vector<int64_t> Found;
        for (size_t i = 0; i + 8 <= Size_; i++) {
            if (D_[i + 7] != 0x99) continue;
            bool Zeros = true;
            for (int k = 0; k < 7; k++) Zeros = Zeros && D_[i + k] == 0;
            if (Zeros) Found.push_back(static_cast<int64_t>(i));
        }
        return Found;
    }

    void HeaderField() {
        const int At = PickOf(HeaderFields);
        Put32(At, FieldValue(I32(At)));
    }

    bool ObjectField() {
        const std::vector<int> Markers = ObjectMarkers();
        if (Markers.empty()) return false;
        const int64_t p = Markers[Pick(static_cast<uint32_t>(Markers.size()))];
        switch (Pick(4)) {
            case 0:  // palette length: around the 256 entries a slot byte can reach
                Put32(p - 60, Pick(2) ? FieldValue(I32(p - 60)) : 254 + Pick(5));
                break;
            case 1:  // strip length
                Put32(p + 52, FieldValue(I32(p + 52)));
                break;
            case 2: {  // one palette entry
                const int64_t Length = std::clamp<int64_t>(I32(p - 60), 1, 256);
                Put16(p + 60 + 2 * Pick(static_cast<uint32_t>(Length)),
                      Pick(2) ? PickOf(Edge16) : static_cast<uint16_t>(Pick(4)));
                break;
            }
            default: {  // the marker floats: one of them, or all three
                const uint32_t F = PickOf(EdgeFloat);
                if (Pick(2))
                    Put32(p + 4 * Pick(3), F);
                else
                    for (int k = 0; k < 3; k++) Put32(p + 4 * k, F);
                break;
            }
        }
        return true;
    }

    bool IndexEntry() {
        const int64_t Start = int64_t{I32(208)} + GeometryBase;
        const int64_t End = std::min<int64_t>(int64_t{I32(108)} + GeometryBase, Size_);
        if (Start < 0 || End - Start < 2) return false;
        const int64_t At = Start + 2 * Pick(static_cast<uint32_t>((End - Start) / 2));
        const uint32_t Records = static_cast<uint32_t>(I32(192));
        const uint16_t Near[] = {static_cast<uint16_t>(Records), static_cast<uint16_t>(Records - 1),
                                 static_cast<uint16_t>(Records + 1)};
        Put16(At, Pick(2) ? PickOf(Edge16) : PickOf(Near));
        return true;
    }

    bool VertexRecord() {
        const int64_t Start = int64_t{I32(196)} + GeometryBase;
        const int64_t Count = std::min<int64_t>(I32(192), (static_cast<int64_t>(Size_) - Start) / 48);
        if (Start < 0 || Count <= 0) return false;
        const int64_t r = Start + 48 * Pick(static_cast<uint32_t>(Count));
        switch (Pick(4)) {
            case 0:  // position X, Y, Z or W
                Put32(r + 4 * Pick(4), PickOf(EdgeFloat));
                break;
            case 1:  // one normal component
                Put16(r + 28 + 2 * Pick(3), PickOf(Edge16));
                break;
            case 2:  // texture coordinate U or V
                Put32(r + 36 + 4 * Pick(2), PickOf(EdgeFloat));
                break;
            default: {  // matrix slot
                const uint8_t Slots[] = {0, 1, 2, 255, 128};
                if (r + 44 < static_cast<int64_t>(Size_)) D_[r + 44] = PickOf(Slots);
                break;
            }
        }
        return true;
    }

    bool MatrixEntry() {
        const bool First = Pick(2) == 0;
        const int64_t Start = int64_t{I32(First ? 72 : 92)} + GeometryBase;
        const int64_t Count = std::min<int64_t>(I32(First ? 76 : 84), (static_cast<int64_t>(Size_) - Start) / 64);
        if (Start < 0 || Count <= 0) return false;
        Put32(Start + 64 * Pick(static_cast<uint32_t>(Count)) + 4 * Pick(16), PickOf(EdgeFloat));
        return true;
    }

    bool TextureSize() {
        const std::vector<int64_t> Markers = TextureMarkers();
        if (Markers.empty()) return false;
        const int64_t m = Markers[Pick(static_cast<uint32_t>(Markers.size()))];
        switch (Pick(3)) {
            case 0:  // width
                Put16(m - 16, PickOf(Edge16));
                break;
            case 1:  // height
                Put16(m - 14, PickOf(Edge16));
                break;
            default:  // both words as one 32-bit edge value (NaN and infinity patterns included)
                Put32(m - 16, PickOf(Edge32));
                break;
        }
        return true;
    }

    // Writes a texture marker where it tests the spacing rule or the buffer's end.
    void PlaceTextureMarker() {
        const std::vector<int64_t> Markers = TextureMarkers();
        const int64_t S = static_cast<int64_t>(Size_);
        int64_t At;
        if (!Markers.empty() && Pick(2)) {
            const int64_t m = Markers[Pick(static_cast<uint32_t>(Markers.size()))];
            const int64_t Offsets[] = {499, 500, 501, 502, 8, 1, -500, -501, -16};
            At = m + PickOf(Offsets);
        } else {
            const int64_t Ends[] = {S - 8, S - 7, S - 1, int64_t{I32(12)}, int64_t{I32(12)} + 501, 0, 8};
            At = Pick(3) ? PickOf(Ends) : static_cast<int64_t>(Pick(static_cast<uint32_t>(S)));
        }
        for (int k = 0; k < 8; k++) {
            const int64_t i = At + k;
            if (i >= 0 && i < S) D_[i] = k == 7 ? 0x99 : 0;
        }
    }

    // Writes an object marker next to another one, at the buffer's end, or anywhere.
    void PlaceObjectMarker() {
        const std::vector<int> Markers = ObjectMarkers();
        const int64_t S = static_cast<int64_t>(Size_);
        int64_t At;
        if (!Markers.empty() && Pick(2)) {
            const int64_t Offsets[] = {40, 41, 42, 1, -41, 52};
            At = Markers[Pick(static_cast<uint32_t>(Markers.size()))] + PickOf(Offsets);
        } else {
            const int64_t Ends[] = {S - 16, S - 17, S - 12, 0, 59, 60};
            At = Pick(2) ? PickOf(Ends) : static_cast<int64_t>(Pick(static_cast<uint32_t>(S)));
        }
        const uint32_t F = Pick(2) ? 0x3F000000u : PickOf(EdgeFloat);
        for (int k = 0; k < 3; k++) Put32(At + 4 * k, F);
    }

    // Cuts the file at a structural boundary, give or take a byte.
    void Truncate() {
        std::vector<int64_t> Cuts = {HeaderSize - 1, HeaderSize, 16, 17};
        for (const int p : ObjectMarkers())
            for (const int d : {-60, 0, 12, 52, 56, 60, 61})
                Cuts.push_back(p + d);
        for (const int64_t m : TextureMarkers())
            for (const int d : {-16, -14, 7, 8, 9, 24, 100})
                Cuts.push_back(m + d);
        for (const int At : {72, 92, 108, 196, 208})
            Cuts.push_back(int64_t{I32(At)} + GeometryBase);
        const int64_t Cut = Cuts[Pick(static_cast<uint32_t>(Cuts.size()))] + static_cast<int64_t>(Pick(3)) - 1;
        if (Cut >= 0 && Cut < static_cast<int64_t>(Size_)) Size_ = static_cast<size_t>(Cut);
    }

    // Appends a copy of a stretch of the file, so that textures and sections repeat.
    void Grow() {
        if (Size_ == 0 || Size_ >= MaxSize_) return;
        const size_t From = Pick(static_cast<uint32_t>(Size_));
        const size_t Length = std::min({Size_ - From, MaxSize_ - Size_, size_t{1} + Pick(4096)});
        std::memmove(D_ + Size_, D_ + From, Length);
        Size_ += Length;
    }

private:
    uint8_t* D_;
    size_t Size_;
    size_t MaxSize_;
    std::minstd_rand Rng_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    ReportRatiosAtExit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    ExerciseModel(Data, Size);
    return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* Data, size_t Size, size_t MaxSize, unsigned Seed) {
    Mutant M(Data, Size, MaxSize, Seed);
    if (Size < HeaderSize || M.Pick(4) == 0) return LLVMFuzzerMutate(Data, Size, MaxSize);
    bool Done = true;
    switch (M.Pick(11)) {
        case 0: M.HeaderField(); break;
        case 1: Done = M.ObjectField(); break;
        case 2: Done = M.IndexEntry(); break;
        case 3: Done = M.VertexRecord(); break;
        case 4: Done = M.MatrixEntry(); break;
        case 5: Done = M.TextureSize(); break;
        case 6: M.PlaceTextureMarker(); break;
        case 7: M.PlaceObjectMarker(); break;
        case 8: M.Truncate(); break;
        case 9: M.Grow(); break;
        default: M.HeaderField(); M.HeaderField(); break;
    }
    if (!Done) M.HeaderField();
    return M.Size();
}
