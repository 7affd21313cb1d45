// Texture directory scan: marker spacing, region start, header count and the report.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "model/TextureScan.h"

namespace {

// A buffer of filler bytes with the header's count and region start set.
std::vector<uint8_t> Region(int Size, int Count, int Start) {
    std::vector<uint8_t> B(Size, 0x11);
    PutI32(B, Header::TexCount, Count);
    PutI32(B, Header::TexStart, Start);
    return B;
}

void PutMarker(std::vector<uint8_t>& B, int m, int16_t W = 0, int16_t H = 0) {
    PutI16(B, m - 16, W);
    PutI16(B, m - 14, H);
    for (int k = 0; k < 7; k++) B[m + k] = 0;
    B[m + 7] = 0x99;
}

struct ScanResult {
    int Count = -1;
    std::vector<Texture> Entries;
    std::string Report;
};

ScanResult Scan(std::vector<uint8_t> B) {
    ScanResult S;
    unsigned char* Buff = B.data();
    Texture* Dir = nullptr;
    std::ostringstream Out;
    TexturesScan(Buff, static_cast<int>(B.size()), S.Count, Dir, Out);
    S.Entries.assign(Dir, Dir + S.Count);
    ReleaseTextures(Dir);
    EXPECT_EQ(Dir, nullptr);
    S.Report = Out.str();
    return S;
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
    for (long i = TexStart < 0 ? 0 : TexStart; i + 8 <= static_cast<long>(B.size()); i++) {
        bool Marker = B[i + 7] == 0x99;
        for (int k = 0; k < 7; k++) Marker = Marker && B[i + k] == 0;
        if (!Marker) continue;
        if (i - Last > 500) L.push_back(static_cast<int>(Last + 8));
        Last = i;
    }
    L.push_back(static_cast<int>(Last + 8));
    return L;
}

}  // namespace

TEST(TextureScan, ReportsOneEntryPerWellSpacedMarkerVerbatim) {
    auto B = Region(2000, 3, 100);
    PutMarker(B, 100, 256, 128);
    PutMarker(B, 700, -1, 64);  // the word 0xFFFF
    PutMarker(B, 1400, 32767, -32768);
    const ScanResult S = Scan(B);
    EXPECT_EQ(S.Count, 3);
    EXPECT_EQ(StartLines(S.Entries), (std::vector<int>{108, 708, 1408}));
    EXPECT_EQ(S.Report,
              "\nTextures count: 3\nTexture N1: 256x128x32\nTexture N2: -1x64x32\n"
              "Texture N3: 32767x-32768x32\n");
}

TEST(TextureScan, MarkerClosesThePreviousOnlyWhenMoreThan500BytesAfterIt) {
    for (int Gap : {499, 500, 501}) {
        auto B = Region(1500, 0, 100);
        PutMarker(B, 100, 4, 4);
        PutMarker(B, 100 + Gap, 8, 8);
        const auto Found = FindTextures(B.data(), static_cast<int>(B.size()), 100);
        const std::vector<int> Want =
            Gap > 500 ? std::vector<int>{108, 108 + Gap} : std::vector<int>{108 + Gap};
        EXPECT_EQ(StartLines(Found), Want) << "gap " << Gap;
        EXPECT_EQ(Found.back().Width, 8);
    }
}

TEST(TextureScan, RegionStartFarBeforeTheFirstMarkerMakesEntryZero) {
    auto B = Region(1500, 2, 40);
    PutI16(B, 24, 12);
    PutI16(B, 26, 34);
    PutMarker(B, 600, 16, 16);
    const ScanResult S = Scan(B);
    EXPECT_EQ(StartLines(S.Entries), (std::vector<int>{48, 608}));
    EXPECT_EQ(S.Entries[0].Width, 12);
    EXPECT_EQ(S.Entries[0].Height, 34);
}

TEST(TextureScan, WithoutMarkersTheRegionStartIsTheOnlyEntry) {
    auto B = Region(800, 1, 300);
    PutI16(B, 284, 64);
    PutI16(B, 286, 32);
    const ScanResult S = Scan(B);
    ASSERT_EQ(S.Count, 1);
    EXPECT_EQ(S.Entries[0].StartLine, 308);
    EXPECT_EQ(S.Report, "\nTextures count: 1\nTexture N1: 64x32x32\n");
}

TEST(TextureScan, MarkerMustLieWhollyInsideTheBuffer) {
    auto B = Region(1000, 0, 100);
    PutMarker(B, 900, 4, 4);
    // Shorter views of the same memory: the bytes past the end still form the marker.
    EXPECT_EQ(StartLines(FindTextures(B.data(), 908, 100)), (std::vector<int>{108, 908}));
    for (int Size = 901; Size < 908; Size++)
        EXPECT_EQ(StartLines(FindTextures(B.data(), Size, 100)), (std::vector<int>{108}));
}

TEST(TextureScan, CountZeroReportsOnlyTheCount) {
    auto B = Region(1000, 0, 100);
    PutMarker(B, 100, 4, 4);
    const ScanResult S = Scan(B);
    EXPECT_EQ(S.Count, 0);
    EXPECT_EQ(S.Report, "\nTextures count: 0\n");
}

TEST(TextureScan, ImplausibleHeaderCountsAreReplacedAndSaidSo) {
    auto B = Region(1500, 0, 100);
    PutMarker(B, 100, 4, 4);
    PutMarker(B, 700, 8, 8);  // two entries found

    PutI32(B, Header::TexCount, -5);
    ScanResult S = Scan(B);
    EXPECT_EQ(S.Count, 0);
    EXPECT_EQ(S.Report,
              "\nTexture count -5 in the header is not plausible for this file; using 0.\n"
              "Textures count: 0\n");

    PutI32(B, Header::TexCount, 1000000000);
    S = Scan(B);
    EXPECT_EQ(S.Count, 2);
    EXPECT_EQ(S.Report,
              "\nTexture count 1000000000 in the header is not plausible for this file; using 2.\n"
              "Textures count: 2\nTexture N1: 4x4x32\nTexture N2: 8x8x32\n");

    PutI32(B, Header::TexCount, 2 + 65);
    EXPECT_EQ(Scan(B).Count, 2);

    // Up to 64 more than found is taken as it stands; the extra entries are zero.
    PutI32(B, Header::TexCount, 2 + 64);
    S = Scan(B);
    ASSERT_EQ(S.Count, 66);
    EXPECT_EQ(S.Report.find("plausible"), std::string::npos);
    for (int k = 2; k < 66; k++)
        EXPECT_TRUE(S.Entries[k].Width == 0 && S.Entries[k].Height == 0 &&
                    S.Entries[k].StartLine == 0);
}

TEST(TextureScan, RegionStartOutsideTheBufferReadsNothingOutside) {
    auto B = Region(1000, 1, 0);
    PutMarker(B, 700, 4, 4);
    // Negative: the search starts at 0, distances still count from the stored start.
    EXPECT_EQ(StartLines(FindTextures(B.data(), 1000, -100)), (std::vector<int>{-92, 708}));
    EXPECT_EQ(StartLines(FindTextures(B.data(), 1000, 300)), (std::vector<int>{708}));
    // Size words before the buffer read as 0.
    for (int Start : {4, INT_MIN, 5000, INT_MAX}) {
        const Texture E = FindTextures(B.data(), 1000, Start).front();
        EXPECT_EQ(E.Width, 0);
        EXPECT_EQ(E.Height, 0);
    }
    EXPECT_EQ(StartLines(FindTextures(B.data(), 1000, 5000)), (std::vector<int>{5008}));
    // No buffer at all.
    EXPECT_EQ(FindTextures(nullptr, 0, 0).size(), 1u);
}

TEST(TextureScan, FastSearchMatchesByteByByteSearch) {
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 400; Round++) {
        const int Size = 16 + static_cast<int>(Rng() % 3000);
        // Mostly zeros and 0x99 bytes, so markers and near-markers abound.
        std::vector<uint8_t> B(Size);
        for (uint8_t& Byte : B) {
            const unsigned r = Rng() % 100;
            Byte = r < 80 ? 0 : r < 83 ? 0x99 : static_cast<uint8_t>(Rng());
        }
        for (int k = 0; k < 6; k++) PutMarker(B, 16 + static_cast<int>(Rng() % (Size - 23)));
        const int Start = static_cast<int>(Rng() % (Size + 200)) - 100;
        // An exact-size copy, so a sanitizer build catches any read past the end.
        const std::vector<uint8_t> Exact(B);
        EXPECT_EQ(StartLines(FindTextures(Exact.data(), Size, Start)), SimpleStartLines(B, Start))
            << "round " << Round;
    }
}
