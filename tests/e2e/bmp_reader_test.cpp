// Reads the BMP files the exporter and the image class write with an independent decoder.
#define STB_IMAGE_IMPLEMENTATION
#include <gtest/gtest.h>
#include <squish.h>
#include <stb_image.h>

#include <random>

#include "Harness.h"
#include "texture/TextureExport.h"

namespace {

// Width, height and Channels bytes per pixel, row 0 at the top.
std::tuple<int, int, std::vector<uint8_t>> Load(const std::string& Name, int Channels) {
    int W = 0, H = 0, Comp = 0;
    unsigned char* P = stbi_load(Name.c_str(), &W, &H, &Comp, Channels);
    EXPECT_NE(P, nullptr) << Name << ": " << stbi_failure_reason();
    std::vector<uint8_t> Px(P, P + (P ? size_t(W) * H * Channels : 0));
    stbi_image_free(P);
    return {W, H, Px};
}

// The blocks decoded one by one, rows of W / 4 blocks from the top.
std::vector<uint8_t> Decoded(int W, int H, const std::vector<uint8_t>& Blocks) {
    std::vector<uint8_t> Px(size_t(W) * H * 4);
    for (int i = 0; i < W * H / 16; i++) {
        uint8_t Pixels[64];
        squish::Decompress(Pixels, Blocks.data() + 16 * i, squish::kDxt5);
        for (int b = 0; b < 16; b++) {
            const int x = 4 * (i % (W / 4)) + b % 4, y = 4 * (i / (W / 4)) + b / 4;
            std::copy(Pixels + 4 * b, Pixels + 4 * b + 4, &Px[(size_t(y) * W + x) * 4]);
        }
    }
    return Px;
}

}  // namespace

// The reader takes a 32-bit file whose alpha bytes are all 0 as opaque, so the
// fully transparent texture and the blank 1 x 1 image read back with alpha 255.
TEST(BmpReader, ExportedTexturesDecodeToTheBlockPixels) {
    e2e::TempDir Dir;
    ModelBuilder B;
    const int Sizes[][2] = {{8, 4}, {4, 8}, {64, 32}, {256, 256}, {8, 8}};
    std::mt19937 Rng(1);
    for (auto [W, H] : Sizes) {
        std::vector<uint8_t> Rgba(size_t(W) * H * 4);
        for (size_t k = 0; k < Rgba.size(); k++) Rgba[k] = W == 8 && H == 8 && k % 4 == 3 ? 0 : uint8_t(Rng());
        B.Textures.push_back({int16_t(W), int16_t(H), CompressDxt5(W, H, Rgba)});
    }
    B.Textures.push_back({0, 16, {}});
    auto Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Textures = nullptr;
    std::ostringstream Report;
    TexturesScan(Buff, int(Bytes.size()), Count, Textures, Report);
    std::string Path = Dir / "model";
    testing::internal::CaptureStdout();
    SaveTextures(Path.data(), Count, Textures, Buff, int(Bytes.size()));
    testing::internal::GetCapturedStdout();
    ReleaseTextures(Textures);

    for (int t = 0; t < 5; t++) {
        std::vector<uint8_t> Want = Decoded(Sizes[t][0], Sizes[t][1], B.Textures[t].Blocks);
        if (t == 4)
            for (size_t k = 3; k < Want.size(); k += 4) Want[k] = 255;
        EXPECT_EQ(Load(Dir / ("model_tex" + std::to_string(t) + ".bmp"), 4),
                  std::make_tuple(Sizes[t][0], Sizes[t][1], Want)) << t;
    }
    EXPECT_EQ(Load(Dir / "model_tex5.bmp", 4), std::make_tuple(1, 1, std::vector<uint8_t>{255, 255, 255, 255}));
}

TEST(BmpReader, OtherDepthsReadBack) {
    e2e::TempDir Dir;
    // Black, white, a grey and a colour, on two rows of three (an odd width pads the rows).
    const RGBApixel Colours[6] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {128, 128, 128, 0},
                                  {255, 255, 255, 0}, {0, 0, 0, 0}, {40, 120, 200, 0}};
    for (int Depth : {1, 4, 8, 16, 24}) {
        BMP Image;
        Image.SetSize(3, 2);
        Image.SetBitDepth(Depth);
        for (int k = 0; k < 6; k++) *Image(k % 3, k / 3) = Colours[k];
        const std::string Name = Dir / ("d" + std::to_string(Depth) + ".bmp");
        ASSERT_TRUE(Image.WriteToFile(Name.c_str()));
        const auto [W, H, Px] = Load(Name, 3);
        ASSERT_EQ(W * H, 6);
        // Quantisation: 5 bits per channel at 16 bits, 16 and 2 grey levels at 4 and 1.
        const int Slack = Depth == 24 || Depth == 8 ? 0 : Depth == 16 ? 8 : Depth == 4 ? 9 : 128;
        for (int k = 0; k < 6; k++) {
            const RGBApixel& C = Colours[k];
            const int Grey = (299 * C.Red + 587 * C.Green + 114 * C.Blue + 500) / 1000;
            const int Want[3] = {Depth >= 16 ? C.Red : Grey, Depth >= 16 ? C.Green : Grey, Depth >= 16 ? C.Blue : Grey};
            for (int c = 0; c < 3; c++) EXPECT_NEAR(Px[3 * k + c], Want[c], Slack) << Depth << " " << k;
        }
    }
}
