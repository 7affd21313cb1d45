// Geometry scan: marker test and walk, declared count, header-driven sections, report lines.
#include <gtest/gtest.h>

#include <bit>
#include <sstream>
#include <string>
#include <vector>

#include "ModelBuilder.h"
#include "model/GeometryScan.h"

namespace {

// A zero-filled buffer with the declared object count set.
std::vector<uint8_t> Blank(size_t Size, int Declared) {
    std::vector<uint8_t> B(Size, 0);
    PutI32(B, Header::ObjectCount, Declared);
    return B;
}

void PutTriple(std::vector<uint8_t>& B, size_t p, uint32_t X, uint32_t Y, uint32_t Z) {
    PutU32(B, p, X);
    PutU32(B, p + 4, Y);
    PutU32(B, p + 8, Z);
}

// Markers of a buffer of at least 100 bytes, up to its declared count.
std::vector<int> Markers(const std::vector<uint8_t>& B) {
    const auto Declared = static_cast<int32_t>(B[96] | B[97] << 8 | B[98] << 16 |
                                               static_cast<uint32_t>(B[99]) << 24);
    return FindObjectMarkers(B.data(), static_cast<int>(B.size()), Declared);
}

TEST(GeometryScan, MarkerTestBoundsAreExact) {
    struct Case {
        uint32_t X, Y, Z;
        bool Accepted;
    } Cases[] = {
        {0x3E4CCCCD, 0x3E4CCCCD, 0x3E4CCCCD, true},   // the float nearest 0.2 lies above the double 0.2
        {0x3E4CCCCC, 0x3E4CCCCC, 0x3E4CCCCC, false},  // the next float below does not
        {0x3F800000, 0x3F800000, 0x3F800000, false},  // 1.0 is excluded
        {0x3F7FFFFF, 0x3F7FFFFF, 0x3F7FFFFF, true},   // the largest float below 1.0
        {0x3F000000, 0x3F000000, 0x3F000001, false},  // unequal by one bit
        {0x3F000000, 0x3F000001, 0x3F000000, false},
        {0xBF000000, 0xBF000000, 0xBF000000, false},  // -0.5
        {0x7FC00000, 0x7FC00000, 0x7FC00000, false},  // NaN equals nothing
    };
    for (const Case& C : Cases) {
        std::vector<uint8_t> B = Blank(400, 10);
        PutTriple(B, 300, C.X, C.Y, C.Z);
        EXPECT_EQ(Markers(B).size(), C.Accepted ? 1u : 0u) << std::hex << C.X;
    }
}

TEST(GeometryScan, SkipsFortyBytesAfterAMarkerAndStopsAtTheDeclaredCount) {
    const uint32_t Half = std::bit_cast<uint32_t>(0.5f);
    std::vector<uint8_t> B = Blank(1000, 10);
    PutTriple(B, 300, Half, Half, Half);
    PutTriple(B, 340, Half, Half, Half);  // within p+40: never seen
    PutTriple(B, 381, Half, Half, Half);  // p+81 = 340+41: a second object
    EXPECT_EQ(Markers(B), (std::vector<int>{300, 381}));

    for (int Declared : {1, 0, -1, INT32_MIN}) {
        PutI32(B, Header::ObjectCount, Declared);
        EXPECT_EQ(Markers(B).size(), Declared > 0 ? 1u : 0u);
    }

    // A triple whose last float ends at the 16th byte from the end is not a candidate.
    std::vector<uint8_t> Tail = Blank(300, 5);
    PutTriple(Tail, 300 - 16, Half, Half, Half);
    EXPECT_TRUE(Markers(Tail).empty());
    PutTriple(Tail, 300 - 17, Half, Half, Half);
    EXPECT_EQ(Markers(Tail), (std::vector<int>{300 - 17}));
    EXPECT_TRUE(FindObjectMarkers(Tail.data(), 16, 5).empty());
}

TEST(GeometryScan, ReportsObjectsAndPolygonsVerbatim) {
    ModelBuilder M;
    M.Vertices.resize(3);
    M.Objects = {{0.5f, {0}, std::vector<int16_t>(42, 0)}, {0.75f, {0}, std::vector<int16_t>(10, 1)},
                 {0.25f, {}, {}}};
    std::vector<uint8_t> B = M.Build();
    unsigned char* Buff = B.data();
    std::ostringstream Out;
    QMobject Q = BufferScan(Buff, static_cast<int>(B.size()), Out);
    EXPECT_EQ(Out.str(),
              "\nObjects count : 3\n"
              "Object N1 contains : 40 polygons\n"
              "Object N2 contains : 8 polygons\n"
              "Object N3 contains : -2 polygons\n");
    EXPECT_EQ(Q.VNumber, 52);
    EXPECT_EQ(Q.PerObjectMatCol[2], 0);
    ReleaseModel(Q);

    // No markers at all: the count line with 0 and a one-entry strip table.
    std::vector<uint8_t> Empty = Blank(256, 3);
    unsigned char* E = Empty.data();
    std::ostringstream Out2;
    QMobject Z = BufferScan(E, static_cast<int>(Empty.size()), Out2);
    EXPECT_EQ(Out2.str(), "\nObjects count : 0\n");
    EXPECT_EQ(Z.ObjectsVNumber[0], 0);
    ReleaseModel(Z);
}

TEST(GeometryScan, CopiesRecordsAsStored) {
    ModelBuilder M;
    BuilderVertex V;
    V.X = 1.5f, V.Y = -2, V.Z = 3, V.W = 7;
    V.NX = -32768, V.NY = 0, V.NZ = 32767;
    V.U = 0.25f, V.V = 0.75f;
    V.Slot = 200;
    M.Vertices = {V};
    Mat4x4 Odd{};
    for (int k = 0; k < 16; k++) Odd.E[k / 4][k % 4] = static_cast<float>(k) + 0.5f;
    M.Mats1 = {ModelBuilder::Identity(), Odd};
    M.Mats2 = {Odd};
    M.Objects = {{0.5f, {1, -3, 300}, {0, 0, 0}}};
    std::vector<uint8_t> B = M.Build();
    unsigned char* Buff = B.data();
    std::ostringstream Out;
    QMobject Q = BufferScan(Buff, static_cast<int>(B.size()), Out);
    ASSERT_EQ(Q.RVNumber, 1);
    EXPECT_EQ(Q.Vertices[0].W, 7.0f);
    EXPECT_EQ(Q.Normals[0].X, -32768.0f);
    EXPECT_EQ(Q.Normals[0].Z, 32767.0f);
    EXPECT_EQ(Q.TexCoords[0].X, 0.25f);
    EXPECT_EQ(Q.TexCoords[0].Y, 0.75f);
    EXPECT_EQ(Q.UsedMatrix[0], 200);  // zero-extended, not -56
    ASSERT_EQ(Q.Parts1, 2);
    ASSERT_EQ(Q.Parts2, 1);
    EXPECT_EQ(Q.Mats1[1].E[2][1], 9.5f);
    EXPECT_EQ(Q.Mats2[0].E[3][3], 15.5f);
    ASSERT_EQ(Q.PerObjectMatCol[0], 3);
    EXPECT_EQ(Q.ObjectsUsedMat[0][1], -3);
    EXPECT_EQ(Q.ObjectsUsedMat[0][2], 300);
    ReleaseModel(Q);
}

TEST(GeometryScan, IndexListLengthIsHalvedTowardZero) {
    std::vector<uint8_t> B = Blank(400, 0);
    for (auto [Start, End, Expected] : {std::tuple{100, 107, 3}, {100, 100, 0}, {107, 100, 0}, {100, 99, 0}}) {
        PutI32(B, Header::IndexStart, Start);
        PutI32(B, Header::IndexEnd, End);
        unsigned char* Buff = B.data();
        std::ostringstream Out;
        QMobject Q = BufferScan(Buff, static_cast<int>(B.size()), Out);
        EXPECT_EQ(Q.VNumber, Expected) << Start << ".." << End;
        ReleaseModel(Q);
    }
}

TEST(GeometryScan, SectionsAreCutToTheBufferAndPalettesBounded) {
    ModelBuilder M;
    M.Vertices.resize(4);
    M.Objects = {{0.5f, {0}, {0, 1, 2, 3}}};
    std::vector<uint8_t> B = M.Build();
    PutI32(B, Header::RecordCount, 1000000);  // far more records than the file holds
    PutI32(B, Header::Parts1, 0x7FFFFFFF);
    PutI32(B, Header::Parts2, -5);
    PutI32(B, Header::IndexEnd, 0x7FFFFFFF);
    PutI32(B, 256, 0x7FFFFFFF);  // palette length of the one object
    unsigned char* Buff = B.data();
    std::ostringstream Out;
    QMobject Q = BufferScan(Buff, static_cast<int>(B.size()), Out);
    const int Size = static_cast<int>(B.size());
    const int RecordStart = static_cast<int>(B[196] | B[197] << 8) + 64;
    EXPECT_EQ(Q.RVNumber, (Size - RecordStart) / 48);
    EXPECT_EQ(Q.Parts1, 1);  // only the matrix the builder wrote fits (it ends the file)
    EXPECT_EQ(Q.Parts2, 0);
    EXPECT_LE(Q.PerObjectMatCol[0], PaletteLimit);
    EXPECT_GT(Q.VNumber, 4);
    ReleaseModel(Q);
}

}  // namespace
