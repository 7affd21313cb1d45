// The geometry scan and the texture directory scan on hand-made buffers with literal offsets.
#include <gmock/gmock.h>
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

// Markers at 100, 140, 181 and 222 of a 300-byte buffer.
Bytes FourMarkers() {
    Bytes B(300, 0);
    for (size_t p : {100, 140, 181, 222}) PutMarker(B, p);
    return B;
}

// The model; the report is dropped (the sessions' transcripts check it).
QMobject Scan(Bytes& B) {
    std::ostringstream Report;
    unsigned char* Buff = B.data();
    return BufferScan(Buff, static_cast<int>(B.size()), Report);
}

// The entries, as (Width, Height, StartLine), for markers at each m in At of a 3000-byte
// buffer, with the size words m and -1.
std::vector<int> Entries(std::vector<size_t> At, int TexStart) {
    Bytes B(3000, 0);
    for (size_t m : At) {
        if (m + 7 < B.size()) B[m + 7] = 0x99;
        if (m >= 16) PutU32(B, m - 16, 0xFFFF0000u | static_cast<uint32_t>(m));
    }
    std::vector<int> Out;
    for (const Texture& T : FindTextures(B.data(), static_cast<int>(B.size()), TexStart))
        Out.insert(Out.end(), {T.Width, T.Height, T.StartLine});
    return Out;
}

// The texture report of a 2000-byte file with one marker, at 1000 (size words 256 and -1), and
// the header count Count.
std::string Report(int32_t Count) {
    Bytes B(2000, 0);
    PutU32(B, 8, static_cast<uint32_t>(Count));
    PutU32(B, 12, 1000);
    PutU32(B, 984, 0xFFFF0100);
    B[1007] = 0x99;
    std::ostringstream Out;
    unsigned char* Buff = B.data();
    int N = -7;
    Texture* T = nullptr;
    TexturesScan(Buff, static_cast<int>(B.size()), N, T, Out);
    ReleaseTextures(T);
    return Out.str();
}

}  // namespace

TEST(GeometryScan, AMarkerIsThreeEqualFloatsAboveTheDouble02AndBelow1) {
    // The float nearest 0.2 and the one below it, the greatest below 1.0 and 1.0, NaN, and 0.5
    // whose third float differs, at 100, 200, ... 600.
    Bytes Values(700, 0);
    const uint32_t Floats[] = {0x3E4CCCCD, 0x3E4CCCCC, 0x3F7FFFFF,
                               0x3F800000, 0x7FC00000, 0x3F000000};
    for (size_t k = 0; k < 6; k++) PutMarker(Values, 100 * (k + 1), Floats[k]);
    PutU32(Values, 608, 0x3F000001);
    EXPECT_EQ(Markers(Values, 9), (std::vector<int>{100, 300}));
}

TEST(GeometryScan, AMarkerWithin40BytesOfTheLastIsNotSeen) {
    EXPECT_EQ(Markers(FourMarkers(), 9), (std::vector<int>{100, 181, 222}));
}

TEST(GeometryScan, TheDeclaredCountLimitsTheMarkers) {
    EXPECT_EQ(Markers(FourMarkers(), 2), (std::vector<int>{100, 181}));
    EXPECT_EQ(Markers(FourMarkers(), -1), std::vector<int>{});
}

TEST(GeometryScan, ACandidateStartsBelowTheSizeLess16) {
    const Bytes B = FourMarkers();
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 17), 9).back(), 222);
    EXPECT_EQ(Markers(Bytes(B.begin(), B.begin() + 222 + 16), 9).back(), 181);
}

// Where each field lies is checked by the sample session's outputs; here, sections that do not fit.
TEST(GeometryScan, SectionsAreCutToTheBuffer) {
    Bytes B(400, 0);
    PutMarker(B, 20);  // its palette length would lie before the buffer
    // One object; an index list of 7 bytes (3 entries) at 100; 7 whole records from 64 on; matrix
    // table 1 with a count of -3; table 2 with one matrix at 272 (there is room for two).
    const std::pair<size_t, uint32_t> Words[] = {
        {96, 1},           {208, 36},          {108, 43}, {196, 0},
        {192, 0x7FFFFFFF}, {76, uint32_t(-3)}, {92, 208}, {84, 1}};
    for (const auto& [At, V] : Words) PutU32(B, At, V);
    QMobject M = Scan(B);
    EXPECT_EQ((std::vector<int>{M.Objects, M.ObjectsVNumber[0], M.PerObjectMatCol[0], M.VNumber,
                                M.RVNumber, M.Parts1, M.Parts2}),
              (std::vector<int>{1, 0, 0, 3, 7, 0, 1}));
    ReleaseModel(M);
}

TEST(GeometryScan, PalettesAreCutTo256Entries) {
    // 40 objects 72 bytes apart, each palette 257 entries long and overlapping the next ones.
    Bytes B(3774, 0);
    PutU32(B, 96, 40);
    for (size_t p = 316; p < 316 + 40 * 72; p += 72) {
        PutMarker(B, p);
        PutU32(B, p - 60, 257);
    }
    QMobject M = Scan(B);
    ASSERT_EQ(M.Objects, 40);
    EXPECT_EQ(std::vector<int>(M.PerObjectMatCol, M.PerObjectMatCol + 40),
              std::vector<int>(40, 256));
    ReleaseModel(M);
}

TEST(TextureScan, AMarkerMoreThan500BytesAfterTheLastClosesAnEntryForIt) {
    EXPECT_EQ(Entries({1000, 1501}, 1000), (std::vector<int>{1000, -1, 1008, 1501, -1, 1509}));
    EXPECT_EQ(Entries({1000, 1500}, 1000), (std::vector<int>{1500, -1, 1508}));
}

// So a first marker more than 500 bytes after it makes entry 1, and no marker leaves one entry.
TEST(TextureScan, TheRegionStartCountsAsAMarker) {
    EXPECT_EQ(Entries({1000}, 500), (std::vector<int>{1000, -1, 1008}));
    EXPECT_EQ(Entries({0}, -1000), (std::vector<int>{0, 0, -992, 0, 0, 8}));
    EXPECT_EQ(Entries({}, 5000), (std::vector<int>{0, 0, 5008}));
}

TEST(TextureScan, AMarkerCountsOnlyWhollyInsideTheRegionAndTheBuffer) {
    EXPECT_EQ(Entries({1000}, 1001).back(), 1009);
    EXPECT_EQ(Entries({2993}, 1000), (std::vector<int>{0, 0, 1008}));
    EXPECT_EQ(Entries({2992}, 2500), (std::vector<int>{2992, -1, 3000}));
}

TEST(TextureScan, SizeWordsAreReadAtTheBufferStart) {
    EXPECT_EQ(Entries({16}, 0), (std::vector<int>{16, -1, 24}));
}

TEST(TextureScan, The0x99ByteAfterBytesThatAreNotZeroIsNoMarker) {
    Bytes Stray(100, 1);
    Stray[50] = 0x99;
    EXPECT_EQ(FindTextures(Stray.data(), 100, 0).back().StartLine, 8);
}

// One entry is found, so counts up to 65 are plausible.
TEST(TextureScan, TheReportTakesAPlausibleHeaderCount) {
    EXPECT_EQ(Report(0), "\nTextures count: 0\n");
    EXPECT_EQ(Report(2), "\nTextures count: 2\nTexture N1: 256x-1x32\nTexture N2: 0x0x32\n");
    EXPECT_THAT(Report(65), testing::StartsWith("\nTextures count: 65\nTexture N1: 256x-1x32\n"));
}

TEST(TextureScan, TheReportReplacesAnImplausibleHeaderCountAndSaysSo) {
    EXPECT_EQ(Report(-5),
              "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
              "Textures count: 0\n");
    EXPECT_EQ(Report(66),
              "\nTexture count 66 in the header is not plausible for this file; using 1.\n"
              "Textures count: 1\nTexture N1: 256x-1x32\n");
}
