// Hostile model files through the geometry scan and the OBJ writer: every truncation, poked header
// and per-object fields, out-of-range references. Run in exact-size heap buffers, so the sanitizer
// build sees any read past the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ModelBuilder.h"
#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"

namespace {

constexpr float MarkerValue = 0.5f;

BuilderVertex Vertex(float X, float Y, float Z, int16_t NX, int16_t NY, int16_t NZ, uint8_t Slot) {
    BuilderVertex B;
    B.X = X, B.Y = Y, B.Z = Z;
    B.NX = NX, B.NY = NY, B.NZ = NZ;
    B.U = X * 0.125f, B.V = Y * 0.125f;
    B.Slot = Slot;
    return B;
}

// Three objects over eight vertex records, two palettes of two matrices, a
// strip join, a shared position and a zero normal (a NaN after normalising).
std::vector<uint8_t> BaseModel() {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(4, 0, 0),
               ModelBuilder::Translation(0, 6, 0)};
    B.Mats2 = {ModelBuilder::Translation(1, 2, 3)};
    B.Vertices = {Vertex(0, 0, 0, 0, 0, 9, 0),  Vertex(1, 0, 0, 0, 3, 4, 1),
                  Vertex(0, 1, 0, 0, 0, 0, 0),  Vertex(1, 1, 0, 0, 0, 0, 1),
                  Vertex(2, 3, 1, -5, 0, 0, 0), Vertex(3, 2, 1, 0, -7, 0, 1),
                  Vertex(0, 0, 0, 2, 2, 1, 0),  Vertex(5, 5, 5, 0, 0, 2, 1)};
    B.Objects = {{MarkerValue, {0, 1}, {0, 1, 2, 3, 3, 4, 5, 6}},
                 {MarkerValue, {2, 0}, {7, 6, 5, 4, 0}},
                 {MarkerValue, {1, 2}, {1, 3, 5, 7, 1}}};
    return B.Build();
}

// Marker positions found by looking for the marker's own twelve bytes.
std::vector<size_t> MarkerPositions(const std::vector<uint8_t>& Bytes) {
    uint8_t Pattern[12];
    std::vector<uint8_t> One;
    PutF32(One, 0, MarkerValue);
    for (int k = 0; k < 3; k++) std::memcpy(Pattern + 4 * k, One.data(), 4);
    std::vector<size_t> Found;
    for (auto It = Bytes.begin();
         (It = std::search(It, Bytes.end(), Pattern, Pattern + 12)) != Bytes.end(); It += 41)
        Found.push_back(static_cast<size_t>(It - Bytes.begin()));
    return Found;
}

int32_t GetI32(const std::vector<uint8_t>& B, size_t Offset) {
    uint32_t U = 0;
    for (int b = 3; b >= 0; b--) U = U << 8 | (Offset + b < B.size() ? B[Offset + b] : 0u);
    return static_cast<int32_t>(U);
}

std::string ReportFor(const std::vector<long long>& StripLengths) {
    std::string S = "\nObjects count : " + std::to_string(StripLengths.size()) + "\n";
    for (size_t k = 0; k < StripLengths.size(); k++)
        S += "Object N" + std::to_string(k + 1) + " contains : " +
             std::to_string(StripLengths[k] - 2) + " polygons\n";
    return S;
}

struct Outcome {
    std::string Report, Obj;
    bool Written = false;  // false when the model equalled the one given as Previous
};

// Every array of the record, byte for byte, read through the counts the scan
// gives for it (so a count larger than its array shows under the sanitizer).
std::string Fingerprint(const QMobject& M) {
    std::string S;
    auto Add = [&S](const void* P, size_t Bytes) {
        if (Bytes != 0) S.append(static_cast<const char*>(P), Bytes);
    };
    auto Count = [](int N) { return static_cast<size_t>(std::max(N, 0)); };
    const int Counts[] = {M.Objects, M.VNumber, M.RVNumber, M.Parts1, M.Parts2};
    Add(Counts, sizeof Counts);
    Add(M.ObjectsVNumber, (Count(M.Objects) + 1) * sizeof(int));
    Add(M.PerObjectMatCol, Count(M.Objects) * sizeof(int));
    for (int k = 0; k < M.Objects; k++) Add(M.ObjectsUsedMat[k], Count(M.PerObjectMatCol[k]) * sizeof(short));
    Add(M.VerticesRange, Count(M.VNumber) * sizeof(short));
    Add(M.Vertices, Count(M.RVNumber) * sizeof(Vector4f));
    Add(M.Normals, Count(M.RVNumber) * sizeof(Vector3f));
    Add(M.TexCoords, Count(M.RVNumber) * sizeof(Vector2f));
    Add(M.UsedMatrix, Count(M.RVNumber) * sizeof(int));
    Add(M.Mats1, Count(M.Parts1) * sizeof(Mat4x4));
    Add(M.Mats2, Count(M.Parts2) * sizeof(Mat4x4));
    return S;
}

// Scans the first N bytes of Bytes from a heap buffer of exactly N bytes and
// writes the OBJ text. With Previous given, the writer runs only when the
// record differs from the one seen last (the writer reads the record, never
// the buffer, so an equal record would repeat the same work).
Outcome ScanAndWrite(const std::vector<uint8_t>& Bytes, size_t N, std::string* Previous = nullptr) {
    const std::unique_ptr<unsigned char[]> Exact(new unsigned char[N]);
    if (N != 0) std::memcpy(Exact.get(), Bytes.data(), N);
    unsigned char* Buff = Exact.get();
    std::ostringstream Report, Obj;
    QMobject Model = BufferScan(Buff, static_cast<int>(N), Report);
    Outcome O;
    O.Report = Report.str();
    std::string Print = Fingerprint(Model);
    if (Previous == nullptr || Print != *Previous) {
        EXPECT_TRUE(WriteOBJ(Obj, Model));
        O.Obj = Obj.str();
        O.Written = true;
    }
    if (Previous != nullptr) *Previous = std::move(Print);
    ReleaseModel(Model);
    return O;
}

// Checks the OBJ text's structure: header lines, object blocks in order,
// counts that match their lines, faces whose numbers all name lines of their
// own object and whose position numbers differ. Returns a description of the
// first fault, or "" when there is none.
std::string ObjFault(const std::string& Text) {
    std::istringstream In(Text);
    std::string Line;
    auto Next = [&In, &Line] { return static_cast<bool>(std::getline(In, Line)); };
    if (!Next() || Line != "# Max2Obj Version 4.0 Mar 10th, 2001") return "bad first line";
    if (!Next() || Line != "#") return "bad second line";
    long long Real[3] = {1, 1, 1};
    const char* const Keywords[3] = {"v  ", "vt  ", "vn  "};
    const char* const Counts[3] = {" vertices", " texture vertices", " vertex normals"};
    for (int Object = 1; Next(); Object++) {
        const std::string Id = std::to_string(Object);
        if (Line != "# object Obj" + Id + " to come ...") return "object " + Id + ": bad opening";
        if (!Next() || Line != "#") return "object " + Id + ": no '#' after the opening";
        long long Have[3] = {0, 0, 0};
        for (int s = 0; s < 3; s++) {
            while (Next() && Line.rfind(Keywords[s], 0) == 0) Have[s]++;
            if (Line != "# " + std::to_string(Have[s]) + Counts[s]) return "object " + Id + ": count " + Line;
            if (!Next() || !Line.empty()) return "object " + Id + ": no empty line";
        }
        if (!Next() || Line != "g Obj" + Id) return "object " + Id + ": no group line";
        if (!Next() || Line != "s 1") return "object " + Id + ": no smoothing line";
        long long Faces = 0;
        while (Next() && Line.rfind("f ", 0) == 0) {
            long long C[9];
            char Tail;
            if (std::sscanf(Line.c_str(), "f %lld/%lld/%lld %lld/%lld/%lld %lld/%lld/%lld%c", &C[0], &C[1],
                            &C[2], &C[3], &C[4], &C[5], &C[6], &C[7], &C[8], &Tail) != 9)
                return "object " + Id + ": malformed face " + Line;
            for (int h = 0; h < 9; h++)
                if (C[h] < Real[h % 3] || C[h] >= Real[h % 3] + Have[h % 3])
                    return "object " + Id + ": face number outside the object: " + Line;
            if (C[0] == C[3] || C[0] == C[6] || C[3] == C[6])
                return "object " + Id + ": face with two corners at one position: " + Line;
            Faces++;
        }
        if (Line != "# " + std::to_string(Faces) + " faces") return "object " + Id + ": faces " + Line;
        if (!Next() || !Line.empty()) return "object " + Id + ": no empty line after faces";
        if (!Next() || Line != "g") return "object " + Id + ": no closing 'g'";
        for (int s = 0; s < 3; s++) Real[s] += Have[s];
    }
    return "";
}

// The output of any file stays within a fixed multiple of its size.
size_t OutputBound(size_t FileSize) { return 256 * FileSize + 1024; }

void ExpectSound(const Outcome& O, size_t FileSize) {
    if (!O.Written) return;
    EXPECT_EQ(ObjFault(O.Obj), "");
    EXPECT_LE(O.Obj.size(), OutputBound(FileSize));
}

// The base model with every count and length as large as it can be stored.
std::vector<uint8_t> SwollenModel() {
    std::vector<uint8_t> B = BaseModel();
    for (int Offset : {Header::Parts1, Header::Parts2, Header::ObjectCount, Header::IndexEnd,
                       Header::RecordCount})
        PutI32(B, Offset, INT32_MAX);
    for (size_t p : MarkerPositions(B)) {
        PutI32(B, p - 60, INT32_MAX);
        PutI32(B, p + 52, INT32_MAX);
    }
    return B;
}

TEST(Hostile, EveryTruncationInAnExactBuffer) {
    ASSERT_EQ(ScanAndWrite(BaseModel(), BaseModel().size()).Report, ReportFor({8, 5, 5}));
    for (const std::vector<uint8_t>& Full : {BaseModel(), SwollenModel()}) {
        const std::vector<size_t> Markers = MarkerPositions(Full);
        ASSERT_EQ(Markers.size(), 3u);
        std::string Previous;
        int Writes = 0;
        for (size_t n = 0; n <= Full.size(); n++) {
            SCOPED_TRACE("first " + std::to_string(n) + " of " + std::to_string(Full.size()) + " bytes");
            // A marker is a candidate when it starts below n - 16, up to the
            // declared count; its strip length reads as 0 once it is cut off.
            const int32_t Declared = n >= 100 ? GetI32(Full, Header::ObjectCount) : 0;
            std::vector<long long> Strips;
            for (size_t p : Markers)
                if (p + 16 < n && static_cast<int32_t>(Strips.size()) < Declared)
                    Strips.push_back(p + 56 <= n ? GetI32(Full, p + 52) : 0);
            const Outcome O = ScanAndWrite(Full, n, &Previous);
            EXPECT_EQ(O.Report, ReportFor(Strips));
            ExpectSound(O, n);
            Writes += O.Written;
            if (HasFailure()) return;
        }
        EXPECT_GT(Writes, 50);  // the sections shrink step by step, each a new record
    }
}

TEST(Hostile, PokedHeaderFields) {
    const std::vector<uint8_t> Base = BaseModel();
    const auto Size = static_cast<int32_t>(Base.size());
    const int32_t Values[] = {0, -1, 2, INT32_MAX, INT32_MIN, 1 << 24, Size - 64, -64, Size - 65, -63};
    const int Offsets[] = {Header::MatStart1, Header::Parts1,      Header::Parts2,
                           Header::MatStart2, Header::ObjectCount, Header::IndexEnd,
                           Header::RecordCount, Header::RecordStart, Header::IndexStart};
    for (int Offset : Offsets)
        for (int32_t Value : Values) {
            SCOPED_TRACE("header " + std::to_string(Offset) + " = " + std::to_string(Value));
            std::vector<uint8_t> B = Base;
            PutI32(B, Offset, Value);
            const Outcome O = ScanAndWrite(B, B.size());
            std::vector<long long> Strips = {8, 5, 5};
            if (Offset == Header::ObjectCount) Strips.resize(std::clamp<int32_t>(Value, 0, 3));
            EXPECT_EQ(O.Report, ReportFor(Strips));
            ExpectSound(O, B.size());
        }
}

TEST(Hostile, PokedObjectFields) {
    const std::vector<uint8_t> Base = BaseModel();
    const std::vector<size_t> Markers = MarkerPositions(Base);
    ASSERT_EQ(Markers.size(), 3u);
    for (size_t k = 0; k < Markers.size(); k++) {
        const size_t p = Markers[k];
        for (int32_t Value : {0, -1, INT32_MIN, INT32_MAX, 300, 1000}) {
            SCOPED_TRACE("object " + std::to_string(k + 1) + " palette length " + std::to_string(Value));
            std::vector<uint8_t> B = Base;
            PutI32(B, p - 60, Value);
            const Outcome O = ScanAndWrite(B, B.size());
            EXPECT_EQ(O.Report, ReportFor({8, 5, 5}));
            ExpectSound(O, B.size());
        }
        for (int32_t Value : {0, 1, -1, INT32_MIN, INT32_MAX, 70000}) {
            SCOPED_TRACE("object " + std::to_string(k + 1) + " strip length " + std::to_string(Value));
            std::vector<uint8_t> B = Base;
            PutI32(B, p + 52, Value);
            std::vector<long long> Strips = {8, 5, 5};
            Strips[k] = Value;
            const Outcome O = ScanAndWrite(B, B.size());
            EXPECT_EQ(O.Report, ReportFor(Strips));
            ExpectSound(O, B.size());
        }
        for (size_t j = 0; j < 2; j++)
            for (int16_t Value : {int16_t{-1}, int16_t{-32768}, int16_t{32767}, int16_t{3}}) {
                SCOPED_TRACE("object " + std::to_string(k + 1) + " palette entry " + std::to_string(j) +
                             " = " + std::to_string(Value));
                std::vector<uint8_t> B = Base;
                PutI16(B, p + 60 + 2 * j, Value);
                ExpectSound(ScanAndWrite(B, B.size()), B.size());
            }
    }
}

TEST(Hostile, PokedIndexEntriesAndVertexRecords) {
    const std::vector<uint8_t> Base = BaseModel();
    const size_t IndexStart = GetI32(Base, Header::IndexStart) + 64u;
    const size_t IndexEnd = GetI32(Base, Header::IndexEnd) + 64u;
    const size_t RecordStart = GetI32(Base, Header::RecordStart) + 64u;
    const auto Records = static_cast<size_t>(GetI32(Base, Header::RecordCount));
    const std::string Report = ReportFor({8, 5, 5});
    auto Check = [&](const std::vector<uint8_t>& B) {
        const Outcome O = ScanAndWrite(B, B.size());
        EXPECT_EQ(O.Report, Report);
        ExpectSound(O, B.size());
    };
    for (size_t e = IndexStart; e < IndexEnd; e += 2)
        for (int16_t Value : {int16_t{-1}, int16_t{-32768}, int16_t{32767}, static_cast<int16_t>(Records)}) {
            SCOPED_TRACE("index entry " + std::to_string((e - IndexStart) / 2) + " = " + std::to_string(Value));
            std::vector<uint8_t> B = Base;
            PutI16(B, e, Value);
            Check(B);
        }
    const float Inf = std::numeric_limits<float>::infinity();
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    for (size_t v = 0; v < Records; v++) {
        const size_t r = RecordStart + 48 * v;
        SCOPED_TRACE("vertex record " + std::to_string(v));
        for (uint8_t Slot : {uint8_t{2}, uint8_t{255}}) {
            std::vector<uint8_t> B = Base;
            B[r + 44] = Slot;
            Check(B);
        }
        for (float Value : {NaN, Inf, -Inf, 3.0e38f, -0.0f}) {
            for (size_t Field : {size_t{0}, size_t{36}}) {  // position X, texture U
                std::vector<uint8_t> B = Base;
                PutF32(B, r + Field, Value);
                Check(B);
            }
        }
        std::vector<uint8_t> B = Base;
        PutI16(B, r + 28, -32768), PutI16(B, r + 30, -32768), PutI16(B, r + 32, -32768);
        Check(B);
    }
}

}  // namespace
