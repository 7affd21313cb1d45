// Texture export: the BMP pixels against libsquish's whole-image decoder on every kind of side;
// refusals; the budget.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <squish.h>

#include <random>
#include <sstream>

#include "texture/TextureExport.h"

namespace {

struct Exported {
    std::vector<std::string> Failed;
    std::vector<std::pair<std::string, std::string>> Files;  // name and bytes of each image written
    std::ostringstream Log;
};

Exported Export(const std::vector<Texture>& Entries, const std::vector<uint8_t>& Buffer) {
    Exported E;
    const auto Sink = [&](const std::string& Name, BMP& Image, std::string&) {
        std::ostringstream File;
        const bool Written = Image.WriteToStream(File);
        E.Files.emplace_back(Name, File.str());
        return Written;
    };
    ExportTextures("out/m", static_cast<int>(Entries.size()), Entries.data(), Buffer.data(),
                   static_cast<int>(Buffer.size()), Sink, &E.Failed, E.Log);
    return E;
}

}  // namespace

TEST(TextureExport, PixelsMatchTheWholeImageDecoderOnEverySide) {
    std::mt19937 Rng(3);
    std::vector<uint8_t> Buffer(16000);
    for (uint8_t& Byte : Buffer) Byte = static_cast<uint8_t>(Rng());
    std::vector<Texture> Entries;
    for (int16_t W : {1, 3, 4, 5, 8, 13, 1030})  // 1030: rows wider than one decoding run
        for (int16_t H : {1, 4, 6, 9})
            Entries.push_back({W, H, static_cast<int32_t>(Rng() % 1500)});
    const Exported E = Export(Entries, Buffer);
    ASSERT_EQ(E.Files.size(), Entries.size());
    EXPECT_EQ(E.Failed, std::vector<std::string>{});
    EXPECT_EQ(E.Log.str(), "");
    for (size_t t = 0; t < Entries.size(); t++) {
        const auto [W, H, At] = Entries[t];
        std::vector<uint8_t> Rgba(4 * W * H);
        squish::DecompressImage(Rgba.data(), W, H, Buffer.data() + At, squish::kDxt5);
        std::string Rows;  // bottom row first; blue, green, red, alpha
        for (int j = H - 1; j >= 0; j--)
            for (const uint8_t* P = &Rgba[4 * W * j]; P < &Rgba[4 * W * (j + 1)]; P += 4)
                Rows += std::string{char(P[2]), char(P[1]), char(P[0]), char(P[3])};
        EXPECT_EQ(E.Files[t].first, "out/m_tex" + std::to_string(t) + ".bmp");
        EXPECT_EQ(E.Files[t].second.substr(54), Rows) << W << " x " << H;
    }
}

TEST(TextureExport, AnEntryWithoutASideGivesTheBlankPixelAndTheImageClassWarns) {
    // Without pixel data, where its pixel data would start does not matter.
    const Exported E = Export({{0, 8, 1000}, {8, -8, 0}}, std::vector<uint8_t>(200));
    ASSERT_EQ(E.Files.size(), 2u);
    for (int f : {0, 1})  // 1 x 1, white with alpha 0
        EXPECT_EQ(E.Files[f].second.substr(18, 8) + E.Files[f].second.substr(54),
                  std::string("\1\0\0\0\1\0\0\0\xFF\xFF\xFF\0", 12));
    EXPECT_THAT(E.Log.str(),
                testing::StartsWith(
                    "BMP Warning: User attempted to set a non-positive width or height.\n"));
}

TEST(TextureExport, PixelDataOutsideTheModelFileIsRefused) {
    const Exported E = Export({{8, 8, 190}, {4, 4, -8}, {4, 4, 184}}, std::vector<uint8_t>(200));
    ASSERT_EQ(E.Files.size(), 1u);
    EXPECT_EQ(E.Files[0].first, "out/m_tex2.bmp");
    EXPECT_EQ(E.Failed,
              (std::vector<std::string>{
                  "out/m_tex0.bmp: texture N1 has pixel data past the end of the model file",
                  "out/m_tex1.bmp: texture N2 has pixel data past the end of the model file"}));
}

TEST(TextureExport, AnEntryPastTheDecodingBudgetIsRefused) {
    // Ten 16 x 16 entries on one 300-byte file: the tenth would pass 8 x 300 block bytes.
    const Exported Many = Export(std::vector<Texture>(10, {16, 16, 0}), std::vector<uint8_t>(300));
    EXPECT_EQ(Many.Files.size(), 9u);
    EXPECT_EQ(Many.Failed, std::vector<std::string>{
                               "out/m_tex9.bmp: texture N10 would take the pixels decoded past 8 "
                               "times the model file's size"});
}
