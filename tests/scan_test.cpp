// The geometry scan and the texture directory scan on hand-made buffers with literal offsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ModelBuilder.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutTriple(Bytes& B, size_t At, uint32_t A, uint32_t C, uint32_t D) {
    PutU32(B, At, A), PutU32(B, At + 4, C), PutU32(B, At + 8, D);
}

QMobject Scan(Bytes& B, std::string* Report = nullptr) {
    std::ostringstream Out;
    unsigned char* Buff = B.data();
    QMobject M = BufferScan(Buff, static_cast<int>(B.size()), Out);
    if (Report != nullptr) *Report = Out.str();
    return M;
}

std::vector<int> Markers(const Bytes& B, int Declared) {
    return FindObjectMarkers(B.data(), static_cast<int>(B.size()), Declared);
}

}  // namespace

TEST(GeometryScan, MarkerBoundsSpacingAndDeclaredCount) {
    struct Case { uint32_t X, Y, Z; bool Found; } Cases[] = {
        {0x3E4CCCCD, 0x3E4CCCCD, 0x3E4CCCCD, true},   // the float nearest 0.2
        {0x3E4CCCCC, 0x3E4CCCCC, 0x3E4CCCCC, false},  // the next one below
        {0x3F7FFFFF, 0x3F7FFFFF, 0x3F7FFFFF, true},   // the greatest below 1.0
        {0x3F800000, 0x3F800000, 0x3F800000, false},  // 1.0
        {0x3F000000, 0x3F000000, 0x3F000001, false},  // not all equal
        {0x7FC00000, 0x7FC00000, 0x7FC00000, false},  // NaN equals nothing
    };
    for (const Case& C : Cases) {
        Bytes B(200, 0);
        PutTriple(B, 100, C.X, C.Y, C.Z);
        EXPECT_EQ(Markers(B, 5), C.Found ? std::vector<int>{100} : std::vector<int>{}) << std::hex << C.Z;
    }
    const uint32_t Half = 0x3F000000;
    Bytes B(300, 0);
    for (size_t p : {100, 140, 181, 222}) PutTriple(B, p, Half, Half, Half);
    EXPECT_EQ(Markers(B, 9), (std::vector<int>{100, 181, 222}));  // 140 lies within 40 bytes of 100
    EXPECT_EQ(Markers(B, 2), (std::vector<int>{100, 181}));
    EXPECT_TRUE(Markers(B, 0).empty());
    EXPECT_TRUE(Markers(B, -1).empty());
    B.resize(222 + 17);  // a candidate must start below size - 16
    EXPECT_EQ(Markers(B, 9).back(), 222);
    B.resize(222 + 16);
    EXPECT_EQ(Markers(B, 9).back(), 181);
}

TEST(GeometryScan, ReportsObjectsAndCopiesTheHeaderSections) {
    Bytes B(1100, 0);
    const uint32_t Half = 0x3F000000;
    PutU32(B, 96, 2);
    for (size_t p : {400, 600}) PutTriple(B, p, Half, Half, Half);
    PutU32(B, 340, 2), PutU32(B, 452, 42), PutI16(B, 460, 7), PutI16(B, 462, -3);
    PutU32(B, 540, 0), PutU32(B, 652, 10);
    PutU32(B, 208, 736), PutU32(B, 108, 743);  // 7 bytes: 3 entries
    PutI16(B, 800, 1), PutI16(B, 802, -2), PutI16(B, 804, 300), PutI16(B, 806, 9);
    PutU32(B, 196, 836), PutU32(B, 192, 2);
    PutF32(B, 900 + 48 + 0, 1.5f), PutF32(B, 900 + 48 + 12, 7.0f);
    PutI16(B, 900 + 48 + 28, -32768), PutI16(B, 900 + 48 + 32, 32767);
    PutF32(B, 900 + 48 + 36, 0.25f), PutF32(B, 900 + 48 + 40, 0.75f);
    B[900 + 48 + 44] = 200;
    PutU32(B, 72, 936), PutU32(B, 76, 1), PutF32(B, 1000 + 16 * 3 + 4, -4.0f);  // Mats1[0].E[3][1]
    PutU32(B, 92, 972), PutU32(B, 84, 2);  // the second matrix would run past the end

    std::string Report;
    QMobject M = Scan(B, &Report);
    EXPECT_EQ(Report, "\nObjects count : 2\nObject N1 contains : 40 polygons\nObject N2 contains : 8 polygons\n");
    ASSERT_EQ((std::vector<int>{M.Objects, M.PerObjectMatCol[0], M.PerObjectMatCol[1], M.VNumber, M.RVNumber,
                                M.Parts1, M.Parts2}),
              (std::vector<int>{2, 2, 0, 3, 2, 1, 1}));
    EXPECT_EQ((std::vector<int>{M.ObjectsVNumber[0], M.ObjectsVNumber[1], M.ObjectsVNumber[2], M.ObjectsUsedMat[0][0],
                                M.ObjectsUsedMat[0][1], M.VerticesRange[1], M.VerticesRange[2], M.UsedMatrix[1]}),
              (std::vector<int>{0, 42, 10, 7, -3, -2, 300, 200}));
    EXPECT_EQ((std::vector<float>{M.Vertices[1].X, M.Vertices[1].W, M.Normals[1].X, M.Normals[1].Z, M.TexCoords[1].X,
                                  M.TexCoords[1].Y, M.Mats1[0].E[3][1]}),
              (std::vector<float>{1.5f, 7, -32768, 32767, 0.25f, 0.75f, -4}));
    ReleaseModel(M);
}

TEST(GeometryScan, SectionsOutsideTheBufferAreCutOrEmpty) {
    Bytes B(400, 0);
    PutU32(B, 96, 1);
    PutTriple(B, 20, 0x3F000000, 0x3F000000, 0x3F000000);  // its palette length would lie before the buffer
    PutU32(B, 208, 300), PutU32(B, 108, 100);            // the list ends before it starts
    PutU32(B, 196, 0), PutU32(B, 192, 0x7FFFFFFF);        // 7 whole records from 64 on
    PutU32(B, 72, -64), PutU32(B, 76, -3);
    QMobject M = Scan(B);
    EXPECT_EQ((std::vector<int>{M.Objects, M.PerObjectMatCol[0], M.VNumber, M.RVNumber, M.Parts1}),
              (std::vector<int>{1, 0, 0, 7, 0}));
    ReleaseModel(M);
}

TEST(TextureScan, EntriesFollowMarkerSpacing) {
    const auto Entries = [](std::vector<size_t> At, int TexStart, size_t Size = 3000) {
        Bytes B(Size, 0);
        for (size_t m : At) {
            if (m + 7 < Size) B[m + 7] = 0x99;
            if (m >= 16) PutI16(B, m - 16, static_cast<int16_t>(m)), PutI16(B, m - 14, -1);
        }
        std::vector<int> Out;
        for (const Texture& T : FindTextures(B.data(), static_cast<int>(B.size()), TexStart))
            Out.insert(Out.end(), {T.Width, T.Height, T.StartLine});
        return Out;
    };
    EXPECT_EQ(Entries({1000, 1501}, 1000), (std::vector<int>{1000, -1, 1008, 1501, -1, 1509}));
    EXPECT_EQ(Entries({1000, 1500}, 1000), (std::vector<int>{1500, -1, 1508}));
    EXPECT_EQ(Entries({1000}, 499), (std::vector<int>{0, 0, 507, 1000, -1, 1008}));
    EXPECT_EQ(Entries({1000}, 500), (std::vector<int>{1000, -1, 1008}));
    EXPECT_EQ(Entries({}, 1000), (std::vector<int>{0, 0, 1008}));
    EXPECT_EQ(Entries({2993}, 1000, 3000), (std::vector<int>{0, 0, 1008}));  // runs past the end
    EXPECT_EQ(Entries({2992}, 2500, 3000), (std::vector<int>{2992, -1, 3000}));
    EXPECT_EQ(Entries({0}, -1000), (std::vector<int>{0, 0, -992, 0, 0, 8}));
    EXPECT_EQ(Entries({16}, 0), (std::vector<int>{16, -1, 24}));  // size words at the buffer's first bytes
    EXPECT_EQ(Entries({}, 5000), (std::vector<int>{0, 0, 5008}));
}

TEST(TextureScan, ReportUsesThePlausibleHeaderCount) {
    const auto Report = [](int32_t Count) {
        Bytes B(2000, 0);
        PutU32(B, 8, static_cast<uint32_t>(Count)), PutU32(B, 12, 1000);
        B[1007] = 0x99, PutI16(B, 984, 256), PutI16(B, 986, -1);
        std::ostringstream Out;
        unsigned char* Buff = B.data();
        int N = -7;
        Texture* T = nullptr;
        TexturesScan(Buff, static_cast<int>(B.size()), N, T, Out);
        EXPECT_TRUE(N == 0 || (T != nullptr && T[N - 1].StartLine == (N == 1 ? 1008 : 0)));
        ReleaseTextures(T);
        return Out.str();
    };
    EXPECT_EQ(Report(0), "\nTextures count: 0\n");
    EXPECT_EQ(Report(2), "\nTextures count: 2\nTexture N1: 256x-1x32\nTexture N2: 0x0x32\n");
    EXPECT_EQ(Report(-5), "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
                          "Textures count: 0\n");
    EXPECT_EQ(Report(66), "\nTexture count 66 in the header is not plausible for this file; using 1.\n"
                          "Textures count: 1\nTexture N1: 256x-1x32\n");
    const std::string Full = Report(65);
    EXPECT_EQ(Full.find("plausible"), std::string::npos);
    EXPECT_EQ(std::count(Full.begin(), Full.end(), '\n'), 67);
}

TEST(GeometryScan, EveryPaletteInsideTheFileIsKeptWhole) {
    Bytes B(3774, 0);  // 40 objects 72 bytes apart, each palette 256 entries long and overlapping the next ones
    PutU32(B, 96, 40);
    for (size_t p = 316; p < 316 + 40 * 72; p += 72) PutTriple(B, p, 0x3F000000, 0x3F000000, 0x3F000000), PutU32(B, p - 60, 256), PutI16(B, p + 60, 1);
    QMobject M = Scan(B);
    ASSERT_EQ(M.Objects, 40);
    for (int k = 0; k < 40; k++) EXPECT_TRUE(M.PerObjectMatCol[k] == 256 && M.ObjectsUsedMat[k][0] == 1) << k;
    ReleaseModel(M);
}
