// Reads the BMP files the exporter and the image class write with an independent decoder.
#define STB_IMAGE_IMPLEMENTATION
#include <gtest/gtest.h>
#include <squish.h>
#include <stb_image.h>

#include <random>

#include "Harness.h"
#include "texture/TextureExport.h"

namespace {

struct Loaded {
    int W = 0, H = 0;
    std::vector<uint8_t> Px;  // Channels bytes per pixel, row 0 at the top
};

Loaded Load(const std::string& Name, int Channels = 4) {
    Loaded L;
    int Comp = 0;
    unsigned char* P = stbi_load(Name.c_str(), &L.W, &L.H, &Comp, Channels);
    EXPECT_NE(P, nullptr) << Name << ": " << stbi_failure_reason();
    if (P != nullptr) L.Px.assign(P, P + size_t(L.W) * L.H * Channels);
    stbi_image_free(P);
    return L;
}

std::vector<uint8_t> RandomRgba(int W, int H, unsigned Seed) {
    std::mt19937 Rng(Seed);
    std::vector<uint8_t> Px(size_t(W) * H * 4);
    for (uint8_t& B : Px) B = static_cast<uint8_t>(Rng());
    return Px;
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

std::vector<uint8_t> Export(const e2e::TempDir& Dir, const ModelBuilder& B) {
    auto Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Textures = nullptr;
    std::ostringstream Report;
    TexturesScan(Buff, int(Bytes.size()), Count, Textures, Report);
    std::string Path = Dir / "model";
    std::vector<std::string> Failed;
    SaveTextures(Path.data(), Count, Textures, Buff, int(Bytes.size()), &Failed);
    EXPECT_TRUE(Failed.empty());
    ReleaseTextures(Textures);
    return Bytes;
}

}  // namespace

TEST(BmpReader, ExportedTexturesDecodeToTheBlockPixels) {
    e2e::TempDir Dir;
    ModelBuilder B;
    const std::pair<int, int> Sizes[] = {{8, 4}, {4, 8}, {64, 32}, {256, 256}};
    for (auto [W, H] : Sizes)
        B.Textures.push_back({int16_t(W), int16_t(H), CompressDxt5(W, H, RandomRgba(W, H, W + H))});
    Export(Dir, B);
    for (size_t t = 0; t < B.Textures.size(); t++) {
        const auto [W, H] = Sizes[t];
        const Loaded L = Load(Dir / ("model_tex" + std::to_string(t) + ".bmp"));
        EXPECT_EQ(L.W, W);
        EXPECT_EQ(L.H, H);
        EXPECT_EQ(L.Px, Decoded(W, H, B.Textures[t].Blocks)) << t;
    }
}

// The reader takes a 32-bit file whose alpha bytes are all 0 as opaque; the
// colours still come through as written.
TEST(BmpReader, AllZeroAlphaReadsAsOpaque) {
    e2e::TempDir Dir;
    ModelBuilder B;
    std::vector<uint8_t> Rgba = RandomRgba(8, 8, 11);
    for (size_t k = 3; k < Rgba.size(); k += 4) Rgba[k] = 0;
    B.Textures.push_back({8, 8, CompressDxt5(8, 8, Rgba)});
    B.Textures.push_back({0, 16, {}});  // written as the blank 1 x 1 image
    testing::internal::CaptureStdout();
    Export(Dir, B);
    testing::internal::GetCapturedStdout();

    std::vector<uint8_t> Want = Decoded(8, 8, B.Textures[0].Blocks);
    for (size_t k = 3; k < Want.size(); k += 4) {
        ASSERT_EQ(Want[k], 0);
        Want[k] = 255;
    }
    EXPECT_EQ(Load(Dir / "model_tex0.bmp").Px, Want);
    EXPECT_EQ(Load(Dir / "model_tex1.bmp").Px, (std::vector<uint8_t>{255, 255, 255, 255}));
}

TEST(BmpReader, OtherDepthsReadBack) {
    e2e::TempDir Dir;
    // Black, white, a grey and a colour, on two rows of three (odd width tests row padding).
    const RGBApixel Colours[6] = {{0, 0, 0, 0},       {255, 255, 255, 0}, {128, 128, 128, 0},
                                  {255, 255, 255, 0}, {0, 0, 0, 0},       {40, 120, 200, 0}};
    for (int Depth : {1, 4, 8, 16, 24}) {
        BMP Image;
        Image.SetSize(3, 2);
        Image.SetBitDepth(Depth);
        for (int k = 0; k < 6; k++) *Image(k % 3, k / 3) = Colours[k];
        const std::string Name = Dir / ("d" + std::to_string(Depth) + ".bmp");
        ASSERT_TRUE(Image.WriteToFile(Name.c_str()));
        const Loaded L = Load(Name, 3);
        ASSERT_EQ(L.W, 3);
        ASSERT_EQ(L.H, 2);
        for (int k = 0; k < 6; k++) {
            const RGBApixel& C = Colours[k];
            const int Grey = (299 * C.Red + 587 * C.Green + 114 * C.Blue + 500) / 1000;
            const int Want[3] = {Depth >= 16 ? C.Red : Grey, Depth >= 16 ? C.Green : Grey,
                                 Depth >= 16 ? C.Blue : Grey};
            // Quantisation: 5 bits per channel at 16, 2 or 16 grey levels at 1 and 4.
            const int Slack = Depth == 24 || Depth == 8 ? 0 : Depth == 16 ? 8 : Depth == 4 ? 9 : 128;
            for (int c = 0; c < 3; c++)
                EXPECT_NEAR(L.Px[3 * k + c], Want[c], Slack) << "depth " << Depth << " pixel " << k;
        }
    }
}
