// The geometry scan and the texture directory scan on hand-made buffers with literal offsets.
#include <gtest/gtest.h>

#include <sstream>

#include "ModelBuilder.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Three equal floats, 0.5 when not given.
void PutMarker(Bytes& B, size_t At, uint32_t V = 0x3F000000) {
    for (size_t k = 0; k < 12; k += 4) PutU32(B, At + k, V);
}

std::vector<int> Markers(const Bytes& B, int Declared) {
    return FindObjectMarkers(B.data(), static_cast<int>(B.size()), Declared);
}

// The model and the report.
std::pair<QMobject, std::string> Scan(Bytes& B) {
    std::ostringstream Out;
    unsigned char* Buff = B.data();
    const QMobject M = BufferScan(Buff, static_cast<int>(B.size()), Out);
    return {M, Out.str()};
}

}  // namespace

TEST(GeometryScan, MarkerBoundsSpacingAndDeclaredCount) {
    // The float nearest 0.2 and the one below it, the greatest below 1.0 and 1.0, NaN, and 0.5
    // whose third float differs, at 100, 200, ... 600.
    Bytes Values(700, 0);
    const uint32_t Floats[] = {0x3E4CCCCD, 0x3E4CCCCC, 0x3F7FFFFF,
                               0x3F800000, 0x7FC00000, 0x3F000000};
    for (size_t k = 0; k < 6; k++) PutMarker(Values, 100 * (k + 1), Floats[k]);
    PutU32(Values, 608, 0x3F000001);
    EXPECT_EQ(Markers(Values, 9), (std::vector<int>{100, 300}));
    Bytes B(300, 0);
    for (size_t p : {100, 140, 181, 222}) PutMarker(B, p);
    EXPECT_EQ(Markers(B, 9), (std::vector<int>{100, 181, 222}));  // 140 lies within 40 bytes of 100
    EXPECT_EQ(Markers(B, 2), (std::vector<int>{100, 181}));
    EXPECT_EQ(Markers(B, -1), std::vector<int>{});
    // A candidate must start below size - 16.
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 17), 9).back(), 222);
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 16), 9).back(), 181);
}

TEST(GeometryScan, ReportsObjectsAndCopiesTheHeaderSections) {
    Bytes B(1100, 0);
    PutMarker(B, 400);
    PutMarker(B, 600);
    // Header: 2 objects; index list from 736 to 743 (7 bytes: 3 entries); 2 records at 836; matrix
    // table 1 at 936 (1 matrix), table 2 at 972 (2 matrices; the second would run past the end).
    // Objects: palette lengths 2 and 0 at p - 60, strip lengths 42 and 10 at p + 52; object 1's
    // palette 7, -3. Index entries 1, -2, 300, then a byte past the list. Record 1 (at 948): X 1.5,
    // W 7, normal X -32768 and Z 32767, U 0.25, V 0.75, slot 200. Matrix 1's E[3][1] = -4.
    const std::pair<size_t, uint32_t> Words[] = {
        {96, 2},   {208, 736}, {108, 743}, {196, 836}, {192, 2}, {72, 936}, {76, 1},
        {92, 972}, {84, 2},    {340, 2},   {452, 42},  {540, 0}, {652, 10}};
    for (const auto& [At, V] : Words) PutU32(B, At, V);
    const std::pair<size_t, int16_t> Shorts[] = {{460, 7},      {462, -3},   {800, 1},
                                                 {802, -2},     {804, 300},  {806, 9},
                                                 {976, -32768}, {980, 32767}};
    for (const auto& [At, V] : Shorts) PutI16(B, At, V);
    const std::pair<size_t, float> Floats[] = {
        {948, 1.5f}, {960, 7.0f}, {984, 0.25f}, {988, 0.75f}, {1052, -4.0f}};
    for (const auto& [At, V] : Floats) PutF32(B, At, V);
    B[992] = 200;
    auto [M, Report] = Scan(B);
    EXPECT_EQ(
        Report,
        "\nObjects count : 2\nObject N1 contains : 40 polygons\nObject N2 contains : 8 polygons\n");
    ASSERT_EQ((std::vector<int>{M.Objects, M.PerObjectMatCol[0], M.PerObjectMatCol[1], M.VNumber,
                                M.RVNumber, M.Parts1, M.Parts2}),
              (std::vector<int>{2, 2, 0, 3, 2, 1, 1}));
    EXPECT_EQ((std::vector<int>{M.ObjectsVNumber[0], M.ObjectsVNumber[1], M.ObjectsVNumber[2],
                                M.ObjectsUsedMat[0][0], M.ObjectsUsedMat[0][1], M.VerticesRange[1],
                                M.VerticesRange[2], M.UsedMatrix[1]}),
              (std::vector<int>{0, 42, 10, 7, -3, -2, 300, 200}));
    EXPECT_EQ((std::vector<float>{M.Vertices[1].X, M.Vertices[1].W, M.Normals[1].X, M.Normals[1].Z,
                                  M.TexCoords[1].X, M.TexCoords[1].Y, M.Mats1[0].E[3][1]}),
              (std::vector<float>{1.5f, 7, -32768, 32767, 0.25f, 0.75f, -4}));
    ReleaseModel(M);
}

TEST(GeometryScan, SectionsOutsideTheBufferAreCutAndPalettesInsideKeptWhole) {
    Bytes B(400, 0);
    PutMarker(B, 20);  // its palette length would lie before the buffer
    // One object; the index list ends before it starts; 7 whole records from 64 on; matrix table 1
    // starts before the buffer.
    const std::pair<size_t, uint32_t> Words[] = {
        {96, 1},           {208, 300},          {108, 100},        {196, 0},
        {192, 0x7FFFFFFF}, {72, uint32_t(-64)}, {76, uint32_t(-3)}};
    for (const auto& [At, V] : Words) PutU32(B, At, V);
    QMobject M = Scan(B).first;
    EXPECT_EQ((std::vector<int>{M.Objects, M.PerObjectMatCol[0], M.VNumber, M.RVNumber, M.Parts1}),
              (std::vector<int>{1, 0, 0, 7, 0}));
    ReleaseModel(M);
    // 40 objects 72 bytes apart, each palette 257 entries long and overlapping the next ones: kept
    // up to 256 entries.
    B.assign(3774, 0);
    PutU32(B, 96, 40);
    for (size_t p = 316; p < 316 + 40 * 72; p += 72) {
        PutMarker(B, p);
        PutU32(B, p - 60, 257);
    }
    M = Scan(B).first;
    ASSERT_EQ(M.Objects, 40);
    EXPECT_EQ(std::vector<int>(M.PerObjectMatCol, M.PerObjectMatCol + 40),
              std::vector<int>(40, 256));
    ReleaseModel(M);
}

TEST(TextureScan, EntriesFollowMarkerSpacingAndTheReportAPlausibleCount) {
    // The entries, as (Width, Height, StartLine), for markers at each m in At with the size words m
    // and -1. A marker more than 500 bytes after the previous one (or the region start) closes an
    // entry for that one.
    const auto Entries = [](std::vector<size_t> At, int TexStart) {
        Bytes B(3000, 0);
        for (size_t m : At) {
            if (m + 7 < B.size()) B[m + 7] = 0x99;
            if (m >= 16) PutU32(B, m - 16, 0xFFFF0000u | static_cast<uint32_t>(m));
        }
        std::vector<int> Out;
        for (const Texture& T : FindTextures(B.data(), static_cast<int>(B.size()), TexStart))
            Out.insert(Out.end(), {T.Width, T.Height, T.StartLine});
        return Out;
    };
    EXPECT_EQ(Entries({1000, 1501}, 1000), (std::vector<int>{1000, -1, 1008, 1501, -1, 1509}));
    EXPECT_EQ(Entries({1000}, 500), (std::vector<int>{1000, -1, 1008}));
    // A marker that starts before the region is none; so is one that runs past the end.
    EXPECT_EQ(Entries({1000}, 1001).back(), 1009);
    EXPECT_EQ(Entries({2993}, 1000), (std::vector<int>{0, 0, 1008}));
    EXPECT_EQ(Entries({2992}, 2500), (std::vector<int>{2992, -1, 3000}));
    EXPECT_EQ(Entries({0}, -1000), (std::vector<int>{0, 0, -992, 0, 0, 8}));
    // Size words at the buffer's first bytes.
    EXPECT_EQ(Entries({16}, 0), (std::vector<int>{16, -1, 24}));
    EXPECT_EQ(Entries({}, 5000), (std::vector<int>{0, 0, 5008}));
    Bytes Stray(100, 1);  // 0x99 after bytes that are not zero is no marker
    Stray[50] = 0x99;
    EXPECT_EQ(FindTextures(Stray.data(), 100, 0).back().StartLine, 8);
    // The report uses the header's count when it is plausible (one entry found: up to 65).
    const auto Report = [](int32_t Count) {
        Bytes B(2000, 0);
        PutU32(B, 8, static_cast<uint32_t>(Count));
        PutU32(B, 12, 1000);
        PutU32(B, 984, 0xFFFF0100);  // size words 256 and -1 for the marker at 1000
        B[1007] = 0x99;
        std::ostringstream Out;
        unsigned char* Buff = B.data();
        int N = -7;
        Texture* T = nullptr;
        TexturesScan(Buff, static_cast<int>(B.size()), N, T, Out);
        ReleaseTextures(T);
        return Out.str();
    };
    EXPECT_EQ(Report(0), "\nTextures count: 0\n");
    EXPECT_EQ(Report(2), "\nTextures count: 2\nTexture N1: 256x-1x32\nTexture N2: 0x0x32\n");
    EXPECT_EQ(Report(-5),
              "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
              "Textures count: 0\n");
    EXPECT_EQ(Report(66),
              "\nTexture count 66 in the header is not plausible for this file; using 1.\n"
              "Textures count: 1\nTexture N1: 256x-1x32\n");
    EXPECT_TRUE(Report(65).starts_with("\nTextures count: 65\nTexture N1: 256x-1x32\n"));
}
