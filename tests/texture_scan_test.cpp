// Texture directory scan: marker spacing, region start, header count and the report.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "model/TextureScan.h"

namespace {

// Filler bytes with the header's texture count and region start set.
std::vector<uint8_t> Region(int Size, int Count, int Start) {
    std::vector<uint8_t> B(Size, 0x11);
    PutI32(B, Header::TexCount, Count);
    PutI32(B, Header::TexStart, Start);
    return B;
}

void PutMarker(std::vector<uint8_t>& B, int m, int16_t W = 0, int16_t H = 0) {
    PutI16(B, m - 16, W);
    PutI16(B, m - 14, H);
    std::fill(B.begin() + m, B.begin() + m + 7, 0);
    B[m + 7] = 0x99;
}

// Runs the scan; returns the report and fills Entries with the directory.
std::string Scan(std::vector<uint8_t> B, std::vector<Texture>& Entries) {
    unsigned char* Buff = B.data();
    int Count = -1;
    Texture* Dir = nullptr;
    std::ostringstream Out;
    TexturesScan(Buff, int(B.size()), Count, Dir, Out);
    Entries.assign(Dir, Dir + Count);
    ReleaseTextures(Dir);
    EXPECT_EQ(Dir, nullptr);
    return Out.str();
}

std::vector<int> StartLines(const std::vector<Texture>& T) {
    std::vector<int> L;
    for (const Texture& E : T) L.push_back(E.StartLine);
    return L;
}

// Byte-by-byte search, kept as the oracle for the fast one.
std::vector<int> SimpleStartLines(const std::vector<uint8_t>& B, int TexStart) {
    std::vector<int> L;
    long Last = TexStart;
    for (long i = std::max(TexStart, 0); i + 8 <= long(B.size()); i++) {
        bool Marker = B[i + 7] == 0x99;
        for (int k = 0; k < 7; k++) Marker = Marker && B[i + k] == 0;
        if (!Marker) continue;
        if (i - Last > 500) L.push_back(int(Last + 8));
        Last = i;
    }
    L.push_back(int(Last + 8));
    return L;
}

}  // namespace

TEST(TextureScan, ReportsOneEntryPerWellSpacedMarkerVerbatim) {
    auto B = Region(2000, 3, 100);
    PutMarker(B, 100, 256, 128);
    PutMarker(B, 700, -1, 64);  // the word 0xFFFF
    PutMarker(B, 1400, 32767, -32768);
    std::vector<Texture> E;
    EXPECT_EQ(Scan(B, E), "\nTextures count: 3\nTexture N1: 256x128x32\nTexture N2: -1x64x32\n"
                          "Texture N3: 32767x-32768x32\n");
    EXPECT_EQ(StartLines(E), (std::vector<int>{108, 708, 1408}));
}

TEST(TextureScan, MarkerClosesThePreviousOnlyWhenMoreThan500BytesAfterIt) {
    for (int Gap : {499, 500, 501}) {
        auto B = Region(1500, 0, 100);
        PutMarker(B, 100, 4, 4);
        PutMarker(B, 100 + Gap, 8, 8);
        const auto Found = FindTextures(B.data(), int(B.size()), 100);
        EXPECT_EQ(StartLines(Found), (Gap > 500 ? std::vector<int>{108, 108 + Gap} : std::vector<int>{108 + Gap}));
        EXPECT_EQ(Found.back().Width, 8);
    }
}

TEST(TextureScan, RegionStartIsAnEntryUnlessAMarkerFollowsWithin500Bytes) {
    auto B = Region(1500, 2, 40);
    PutI16(B, 24, 12);
    PutI16(B, 26, 34);
    std::vector<Texture> E;
    EXPECT_EQ(Scan(B, E), "\nTextures count: 2\nTexture N1: 12x34x32\nTexture N2: 0x0x32\n");
    EXPECT_EQ(StartLines(E), (std::vector<int>{48, 0}));  // no marker: one entry
    PutMarker(B, 600, 16, 16);
    Scan(B, E);
    EXPECT_EQ(StartLines(E), (std::vector<int>{48, 608}));
}

TEST(TextureScan, MarkerMustLieWhollyInsideTheBuffer) {
    auto B = Region(1000, 0, 100);
    PutMarker(B, 900, 4, 4);
    // Shorter views of the same memory: the bytes past the end still form the marker.
    EXPECT_EQ(StartLines(FindTextures(B.data(), 908, 100)), (std::vector<int>{108, 908}));
    for (int Size = 901; Size < 908; Size++)
        EXPECT_EQ(StartLines(FindTextures(B.data(), Size, 100)), (std::vector<int>{108}));
}

TEST(TextureScan, ImplausibleHeaderCountsAreReplacedAndSaidSo) {
    auto B = Region(1500, 0, 100);
    PutMarker(B, 100, 4, 4);
    PutMarker(B, 700, 8, 8);  // two entries found
    std::vector<Texture> E;
    EXPECT_EQ(Scan(B, E), "\nTextures count: 0\n");
    PutI32(B, Header::TexCount, -5);
    EXPECT_EQ(Scan(B, E), "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
                          "Textures count: 0\n");
    PutI32(B, Header::TexCount, 1000000000);
    EXPECT_EQ(Scan(B, E), "\nTexture count 1000000000 in the header is not plausible for this file; using 2.\n"
                          "Textures count: 2\nTexture N1: 4x4x32\nTexture N2: 8x8x32\n");
    PutI32(B, Header::TexCount, 2 + 65);
    Scan(B, E);
    EXPECT_EQ(E.size(), 2u);
    // Up to 64 more than found is taken as it stands; the extra entries are zero.
    PutI32(B, Header::TexCount, 2 + 64);
    EXPECT_EQ(Scan(B, E).find("plausible"), std::string::npos);
    ASSERT_EQ(E.size(), 66u);
    for (const Texture& T : std::vector<Texture>(E.begin() + 2, E.end()))
        EXPECT_TRUE(T.Width == 0 && T.Height == 0 && T.StartLine == 0);
}

TEST(TextureScan, RegionStartOutsideTheBufferReadsNothingOutside) {
    auto B = Region(1000, 1, 0);
    PutMarker(B, 700, 4, 4);
    // Negative: the search starts at 0; distances still count from the stored start.
    EXPECT_EQ(StartLines(FindTextures(B.data(), 1000, -100)), (std::vector<int>{-92, 708}));
    EXPECT_EQ(StartLines(FindTextures(B.data(), 1000, 5000)), (std::vector<int>{5008}));
    for (int Start : {4, INT_MIN, 5000, INT_MAX}) {  // size words outside the buffer read as 0
        const Texture E = FindTextures(B.data(), 1000, Start).front();
        EXPECT_TRUE(E.Width == 0 && E.Height == 0) << Start;
    }
    EXPECT_EQ(FindTextures(nullptr, 0, 0).size(), 1u);
}

TEST(TextureScan, FastSearchMatchesByteByByteSearch) {
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 400; Round++) {
        const int Size = 16 + int(Rng() % 3000);
        std::vector<uint8_t> B(Size);  // mostly zeros and 0x99, so near-markers abound
        for (uint8_t& Byte : B) Byte = Rng() % 100 < 80 ? 0 : Rng() % 4 ? 0x99 : uint8_t(Rng());
        for (int k = 0; k < 6; k++) PutMarker(B, 16 + int(Rng() % (Size - 23)));
        const int Start = int(Rng() % (Size + 200)) - 100;
        const std::vector<uint8_t> Exact(B);  // exact size: a sanitizer build sees any overread
        EXPECT_EQ(StartLines(FindTextures(Exact.data(), Size, Start)), SimpleStartLines(B, Start)) << Round;
    }
}
