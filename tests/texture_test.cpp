// Texture export: block placement, channel order, odd and empty sides, data outside the file.
#include <gtest/gtest.h>

#include <sstream>

#include "ModelBuilder.h"
#include "texture/TextureExport.h"

namespace {

// A DXT5 block of one colour (RGB 5:6:5) and one alpha.
void PutSolidBlock(std::vector<uint8_t>& B, size_t At, uint16_t Rgb565, uint8_t Alpha) {
    const uint8_t Block[16] = {Alpha, Alpha, 0, 0, 0, 0, 0, 0, uint8_t(Rgb565), uint8_t(Rgb565 >> 8),
                               uint8_t(Rgb565), uint8_t(Rgb565 >> 8), 0, 0, 0, 0};
    std::copy(Block, Block + 16, B.begin() + static_cast<long>(At));
}

struct Exported {
    std::vector<std::string> Names, Failed;
    std::vector<std::vector<RGBApixel>> Pixels;  // row by row
    std::vector<std::pair<int, int>> Sizes;
    std::string Log;
};

Exported Export(const std::vector<Texture>& Entries, std::vector<uint8_t> Buffer) {
    Exported E;
    std::ostringstream Log;
    ExportTextures(
        "out/m", static_cast<int>(Entries.size()), Entries.data(), Buffer.data(), static_cast<int>(Buffer.size()),
        [&](const std::string& Name, BMP& Image, std::string&) {
            E.Names.push_back(Name);
            std::ostringstream File;
            Image.WriteToStream(File);
            const std::string F = File.str();
            const int W = static_cast<int>(F[18] & 0xFF) | (F[19] & 0xFF) << 8, H = (F[22] & 0xFF) | (F[23] & 0xFF) << 8;
            E.Sizes.emplace_back(W, H);
            E.Pixels.emplace_back();
            for (int j = 0; j < H; j++)
                for (int i = 0; i < W; i++) E.Pixels.back().push_back(*Image(i, j));
            return true;
        },
        &E.Failed, Log);
    E.Log = Log.str();
    return E;
}

bool Same(RGBApixel P, uint8_t R, uint8_t G, uint8_t B, uint8_t A) {
    return P.Red == R && P.Green == G && P.Blue == B && P.Alpha == A;
}

}  // namespace

TEST(TextureExport, BlocksFillRowsFromTheTopLeftInBgraOrder) {
    std::vector<uint8_t> Buffer(100 + 4 * 16);
    PutSolidBlock(Buffer, 100, 0xF800, 10);       // red, top left
    PutSolidBlock(Buffer, 116, 0x07E0, 20);       // green, top right
    PutSolidBlock(Buffer, 132, 0x001F, 30);       // blue, bottom left
    PutSolidBlock(Buffer, 148, 0xFFFF, 40);       // white, bottom right
    const Exported E = Export({{8, 8, 100}, {6, 5, 100}}, Buffer);
    ASSERT_EQ(E.Names, (std::vector<std::string>{"out/m_tex0.bmp", "out/m_tex1.bmp"}));
    EXPECT_EQ(E.Log, "");
    EXPECT_TRUE(E.Failed.empty());
    const auto& P = E.Pixels[0];
    EXPECT_TRUE(Same(P[0], 255, 0, 0, 10));
    EXPECT_TRUE(Same(P[3 * 8 + 3], 255, 0, 0, 10));
    EXPECT_TRUE(Same(P[4], 0, 255, 0, 20));
    EXPECT_TRUE(Same(P[4 * 8], 0, 0, 255, 30));
    EXPECT_TRUE(Same(P[63], 255, 255, 255, 40));
    // Sides not multiples of 4: whole blocks, the pixels past the edges dropped.
    ASSERT_EQ(E.Sizes[1], std::make_pair(6, 5));
    EXPECT_TRUE(Same(E.Pixels[1][3], 255, 0, 0, 10));
    EXPECT_TRUE(Same(E.Pixels[1][5], 0, 255, 0, 20));
    EXPECT_TRUE(Same(E.Pixels[1][29], 255, 255, 255, 40));
}

TEST(TextureExport, EmptySidesGiveTheBlankPixelAndDataOutsideIsRefused) {
    std::vector<uint8_t> Buffer(200);
    const Exported E = Export({{0, 8, 0}, {-4, -4, 0}, {8, 8, 190}, {4, 4, -8}, {4, 4, 184}}, Buffer);
    ASSERT_EQ(E.Names, (std::vector<std::string>{"out/m_tex0.bmp", "out/m_tex1.bmp", "out/m_tex4.bmp"}));
    EXPECT_EQ(E.Sizes[0], std::make_pair(1, 1));
    EXPECT_TRUE(Same(E.Pixels[1][0], 255, 255, 255, 0));
    EXPECT_EQ(E.Failed, (std::vector<std::string>{
                            "out/m_tex2.bmp: texture N3 has pixel data past the end of the model file",
                            "out/m_tex3.bmp: texture N4 has pixel data past the end of the model file"}));
    const std::string Warning = "BMP Warning: User attempted to set a non-positive width or height.\n"
                                "             Size remains unchanged at 1 x 1.\n";
    EXPECT_EQ(E.Log.substr(0, 2 * Warning.size()), Warning + Warning);
}

TEST(TextureExport, OverlappingEntriesAreWrittenUpToEightTimesTheFile) {
    std::vector<uint8_t> File(4600);  // entry 0 is made from the region start and overlaps the two real textures
    PutU32(File, 8, 3), PutU32(File, 12, 300), PutI16(File, 284, 64), PutI16(File, 286, 64);
    for (size_t m : {1000, 2100}) File[m + 7] = 0x99, PutI16(File, m - 16, 32), PutI16(File, m - 14, 32);
    unsigned char* Buff = File.data();
    int Count = 0;
    Texture* Entries = nullptr;
    std::ostringstream Report;
    TexturesScan(Buff, static_cast<int>(File.size()), Count, Entries, Report);
    const Exported E = Export(std::vector<Texture>(Entries, Entries + Count), File);
    ReleaseTextures(Entries);
    EXPECT_EQ(E.Sizes, (std::vector<std::pair<int, int>>{{64, 64}, {32, 32}, {32, 32}}));
    EXPECT_TRUE(E.Failed.empty());
    // Ten 16 x 16 entries on one 300-byte file: the tenth would pass 8 x 300 block bytes.
    const Exported Many = Export(std::vector<Texture>(10, {16, 16, 0}), std::vector<uint8_t>(300));
    EXPECT_EQ(Many.Names.size(), 9u);
    EXPECT_EQ(Many.Failed, (std::vector<std::string>{"out/m_tex9.bmp: texture N10 would take the pixels decoded past 8 times the model file's size"}));
}
