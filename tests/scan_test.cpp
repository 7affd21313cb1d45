// The geometry scan and the texture directory scan on hand-made buffers with literal offsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ModelBuilder.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Three equal floats, 0.5 when not given.
void PutMarker(Bytes& B, size_t At, uint32_t V = 0x3F000000) {
    PutU32(B, At, V), PutU32(B, At + 4, V), PutU32(B, At + 8, V);
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
    // The float nearest 0.2 and the one below it, the greatest below 1.0 and 1.0, unequal values,
    // NaN.
    Bytes Values(700, 0);
    PutMarker(Values, 100, 0x3E4CCCCD), PutMarker(Values, 200, 0x3E4CCCCC),
        PutMarker(Values, 300, 0x3F7FFFFF);
    PutMarker(Values, 400, 0x3F800000), PutMarker(Values, 500), PutMarker(Values, 600, 0x7FC00000);
    PutU32(Values, 508, 0x3F000001);
    EXPECT_EQ(Markers(Values, 9), (std::vector<int>{100, 300}));
    Bytes B(300, 0);
    for (size_t p : {100, 140, 181, 222}) PutMarker(B, p);
    EXPECT_EQ(Markers(B, 9), (std::vector<int>{100, 181, 222}));  // 140 lies within 40 bytes of 100
    EXPECT_EQ(Markers(B, 2), (std::vector<int>{100, 181}));
    EXPECT_TRUE(Markers(B, 0).empty() && Markers(B, -1).empty());
    // A candidate must start below size - 16.
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 17), 9).back(), 222);
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 16), 9).back(), 181);
}

TEST(GeometryScan, ReportsObjectsAndCopiesTheHeaderSections) {
    Bytes B(1100, 0);
    PutU32(B, 96, 2);
    PutMarker(B, 400), PutMarker(B, 600);
    PutU32(B, 340, 2), PutU32(B, 452, 42), PutI16(B, 460, 7), PutI16(B, 462, -3);
    PutU32(B, 540, 0), PutU32(B, 652, 10);
    PutU32(B, 208, 736), PutU32(B, 108, 743);  // 7 bytes: 3 entries
    PutI16(B, 800, 1), PutI16(B, 802, -2), PutI16(B, 804, 300), PutI16(B, 806, 9);
    PutU32(B, 196, 836), PutU32(B, 192, 2);
    PutF32(B, 948, 1.5f), PutF32(B, 960, 7.0f), PutI16(B, 976, -32768), PutI16(B, 980, 32767);
    PutF32(B, 984, 0.25f), PutF32(B, 988, 0.75f), B[992] = 200;
    PutU32(B, 72, 936), PutU32(B, 76, 1), PutF32(B, 1052, -4.0f);  // Mats1[0].E[3][1]
    PutU32(B, 92, 972), PutU32(B, 84, 2);  // the second matrix would run past the end
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
    PutU32(B, 96, 1), PutMarker(B, 20);        // its palette length would lie before the buffer
    PutU32(B, 208, 300), PutU32(B, 108, 100);  // the list ends before it starts
    PutU32(B, 196, 0), PutU32(B, 192, 0x7FFFFFFF);  // 7 whole records from 64 on
    PutU32(B, 72, -64), PutU32(B, 76, -3);
    QMobject M = Scan(B).first;
    EXPECT_EQ((std::vector<int>{M.Objects, M.PerObjectMatCol[0], M.VNumber, M.RVNumber, M.Parts1}),
              (std::vector<int>{1, 0, 0, 7, 0}));
    ReleaseModel(M);
    B.assign(3774, 0);  // 40 objects 72 bytes apart, each palette 256 entries long and overlapping
                        // the next ones
    PutU32(B, 96, 40);
    for (size_t p = 316; p < 316 + 40 * 72; p += 72)
        PutMarker(B, p), PutU32(B, p - 60, 256), PutI16(B, p + 60, 1);
    M = Scan(B).first;
    ASSERT_EQ(M.Objects, 40);
    for (int k = 0; k < 40; k++)
        EXPECT_TRUE(M.PerObjectMatCol[k] == 256 && M.ObjectsUsedMat[k][0] == 1) << k;
    ReleaseModel(M);
}

TEST(TextureScan, EntriesFollowMarkerSpacingAndTheReportAPlausibleCount) {
    const auto Entries = [](std::vector<size_t> At, int TexStart) {
        Bytes B(3000, 0);
        for (size_t m : At) {
            if (m + 7 < B.size()) B[m + 7] = 0x99;
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
    EXPECT_EQ(Entries({1000}, 1001).back(),
              1009);  // a marker that starts before the region is none
    EXPECT_EQ(Entries({2993}, 1000),
              (std::vector<int>{0, 0, 1008}));  // runs past the end: none found
    EXPECT_EQ(Entries({2992}, 2500), (std::vector<int>{2992, -1, 3000}));
    EXPECT_EQ(Entries({0}, -1000), (std::vector<int>{0, 0, -992, 0, 0, 8}));
    EXPECT_EQ(Entries({16}, 0),
              (std::vector<int>{16, -1, 24}));  // size words at the buffer's first bytes
    EXPECT_EQ(Entries({}, 5000), (std::vector<int>{0, 0, 5008}));
    Bytes Stray(100, 1);  // 0x99 after bytes that are not zero is no marker
    Stray[50] = 0x99;
    EXPECT_EQ(FindTextures(Stray.data(), 100, 0).back().StartLine, 8);
    // The report uses the header's count when it is plausible.
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
    EXPECT_EQ(Report(-5),
              "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
              "Textures count: 0\n");
    EXPECT_EQ(Report(66),
              "\nTexture count 66 in the header is not plausible for this file; using 1.\n"
              "Textures count: 1\nTexture N1: 256x-1x32\n");
    const std::string Full = Report(65);
    EXPECT_TRUE(Full.find("plausible") == std::string::npos &&
                std::count(Full.begin(), Full.end(), '\n') == 67);
}
