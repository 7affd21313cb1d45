// Texture export: block placement, uneven and empty sides, bounds, budget and file names.
#include <gtest/gtest.h>
#include <squish.h>

#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "model/ByteReader.h"
#include "texture/TextureExport.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// A decoded image: RGBA bytes, row 0 at the top.
struct Rgba {
    int W = 0, H = 0;
    std::vector<uint8_t> Px;
    bool operator==(const Rgba&) const = default;
};

Rgba FromBmp(const std::string& F) {
    const ByteReader R(reinterpret_cast<const unsigned char*>(F.data()), int(F.size()));
    Rgba Image{R.I32(18), R.I32(22), {}};
    for (int y = 0; y < Image.H; y++)
        for (int x = 0; x < Image.W; x++)
            for (int c : {2, 1, 0, 3}) Image.Px.push_back(R.U8(54 + 4 * ((Image.H - 1 - y) * Image.W + x) + c));
    return Image;
}

// The oracle: each block decoded by itself and placed in rows of ceil(W/4)
// blocks from the top; pixels past the edges dropped.
Rgba Expected(int W, int H, const uint8_t* Blocks) {
    Rgba Image{W, H, std::vector<uint8_t>(size_t(W) * H * 4)};
    const int PerRow = (W + 3) / 4;
    for (int i = 0; i < PerRow * ((H + 3) / 4); i++) {
        uint8_t Pixels[64];
        squish::Decompress(Pixels, Blocks + 16 * i, squish::kDxt5);
        for (int b = 0; b < 16; b++) {
            const int x = 4 * (i % PerRow) + b % 4, y = 4 * (i / PerRow) + b / 4;
            if (x < W && y < H) std::copy(Pixels + 4 * b, Pixels + 4 * b + 4, &Image.Px[(size_t(y) * W + x) * 4]);
        }
    }
    return Image;
}

// Runs the export into memory: file name -> image.
std::map<std::string, Rgba> Export(const std::vector<Texture>& Dir, const std::vector<uint8_t>& Buff,
                                   std::vector<std::string>* Failed = nullptr) {
    std::map<std::string, Rgba> Images;
    ExportTextures("out/m", int(Dir.size()), Dir.data(), Buff.data(), int(Buff.size()),
                   [&](const std::string& Name, BMP& Image) {
                       std::ostringstream Out;
                       Image.WriteToStream(Out);
                       Images[Name] = FromBmp(Out.str());
                       return true;
                   },
                   Failed);
    return Images;
}

std::vector<uint8_t> RandomBytes(size_t N, unsigned Seed) {
    std::mt19937 Rng(Seed);
    std::vector<uint8_t> B(N);
    for (uint8_t& Byte : B) Byte = uint8_t(Rng());
    return B;
}

std::string Name(int t) { return "out/m_tex" + std::to_string(t) + ".bmp"; }

}  // namespace

TEST(TextureExport, PlacesBlocksInRowsFromTheTop) {
    for (auto [W, H] : {std::pair{8, 4}, {4, 8}, {256, 256}}) {
        ModelBuilder B;
        B.Textures.push_back({int16_t(W), int16_t(H), CompressDxt5(W, H, RandomBytes(size_t(W) * H * 4, W))});
        const auto Bytes = B.Build();
        const auto Dir = FindTextures(Bytes.data(), int(Bytes.size()), ByteReader(Bytes.data(), 16).I32(12));
        CaptureStdout();
        EXPECT_EQ(Export(Dir, Bytes).at(Name(0)), Expected(W, H, B.Textures[0].Blocks.data())) << W << "x" << H;
        EXPECT_EQ(GetCapturedStdout(), "");
    }
}

TEST(TextureExport, UnevenSidesDecodeWholeBlocksAndDropTheRestSilently) {
    const auto Bytes = RandomBytes(4096, 3);  // any 16 bytes are a DXT5 block
    const std::vector<Texture> Dir{{6, 6, 0}, {2, 2, 100}, {5, 9, 300}, {1, 13, 1000}};
    CaptureStdout();
    const auto Images = Export(Dir, Bytes);
    EXPECT_EQ(GetCapturedStdout(), "");
    for (int t = 0; t < int(Dir.size()); t++)
        EXPECT_EQ(Images.at(Name(t)), Expected(Dir[t].Width, Dir[t].Height, Bytes.data() + Dir[t].StartLine)) << t;
}

TEST(TextureExport, TransparentPixelKeepsItsDecodedColour) {
    // Both alpha endpoints 0; both colour endpoints pure red in 5-6-5.
    const std::vector<uint8_t> Block{0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    const Rgba Want = Expected(4, 4, Block.data());
    ASSERT_EQ(Want.Px[3], 0);
    ASSERT_NE(Want.Px[1], 255);
    EXPECT_EQ(Export({{4, 4, 0}}, Block).at(Name(0)), Want);
}

TEST(TextureExport, EmptyOrNegativeSideWritesTheBlankPixel) {
    const std::vector<Texture> Dir{{0, 8, 0}, {8, 0, 0}, {-4, -4, 0}, {-8, 4, 5000}};
    CaptureStdout();
    const auto Images = Export(Dir, std::vector<uint8_t>(1024, 0x42));
    ASSERT_EQ(Images.size(), 4u);
    for (const auto& [File, Image] : Images) EXPECT_EQ(Image, (Rgba{1, 1, {255, 255, 255, 0}})) << File;
    std::string Want;
    for (int t = 0; t < 4; t++)
        Want += "BMP Warning: User attempted to set a non-positive width or height.\n"
                "             Size remains unchanged at 1 x 1.\n";
    EXPECT_EQ(GetCapturedStdout(), Want);
}

TEST(TextureExport, SkipsDataOutsideTheBufferOrBeyondItsSize) {
    const auto Bytes = RandomBytes(1000, 5);
    // 8x8 is 4 blocks, 64 bytes; the first entry ends exactly at the end.
    std::vector<Texture> Dir{{8, 8, 936}, {8, 8, 937}, {8, 8, 1000}, {8, 8, -16}, {6, 6, 2147483640}};
    std::vector<std::string> Failed;
    CaptureStdout();
    auto Images = Export(Dir, Bytes, &Failed);
    ASSERT_EQ(Images.size(), 1u);
    EXPECT_EQ(Images.at(Name(0)), Expected(8, 8, Bytes.data() + 936));
    EXPECT_EQ(Failed, (std::vector<std::string>{Name(1), Name(2), Name(3), Name(4)}));
    std::string Want;
    for (int t = 1; t <= 4; t++)
        Want += "Texture " + std::to_string(t) + ": pixel data runs past the end of the model file; " + Name(t) +
                " not written.\n";
    EXPECT_EQ(GetCapturedStdout(), Want);

    // Entries sharing their data may decode at most as many bytes as the file has.
    Dir.assign(18, Texture{8, 8, 0});
    Failed.clear();
    CaptureStdout();
    EXPECT_EQ(Export(Dir, Bytes, &Failed).size(), 15u);
    EXPECT_EQ(Failed, (std::vector<std::string>{Name(15), Name(16), Name(17)}));
    Want.clear();
    for (int t = 15; t < 18; t++)
        Want += "Texture " + std::to_string(t) + ": pixel data overlaps textures already written; " + Name(t) +
                " not written.\n";
    EXPECT_EQ(GetCapturedStdout(), Want);
}

TEST(TextureExport, SavesOneFilePerEntryNumberedFromZero) {
    ModelBuilder B;
    for (int k = 0; k < 11; k++) B.Textures.push_back({4, 4, CompressDxt5(4, 4, RandomBytes(64, 20 + k))});
    auto Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Dir = nullptr;
    std::ostringstream Report;
    TexturesScan(Buff, int(Bytes.size()), Count, Dir, Report);
    ASSERT_EQ(Count, 11);

    const auto Tmp = std::filesystem::temp_directory_path() / ("qm-tex-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(Tmp);
    const std::string Path = (Tmp / "model").string();
    std::vector<char> PathArray(256, 0), Missing(256, 0);
    std::copy(Path.begin(), Path.end(), PathArray.begin());
    const std::vector<char> PathBefore = PathArray;
    std::vector<std::string> Failed;
    CaptureStdout();
    SaveTextures(PathArray.data(), Count, Dir, Buff, int(Bytes.size()), &Failed);
    SaveTextures(PathArray.data(), 0, Dir, Buff, int(Bytes.size()), &Failed);  // nothing to do
    SaveTextures(PathArray.data(), -3, Dir, Buff, int(Bytes.size()), &Failed);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(PathArray, PathBefore);
    EXPECT_TRUE(Failed.empty());
    for (int t = 0; t < 11; t++) {
        const auto File = ReadFileBytes(Path + "_tex" + std::to_string(t) + ".bmp");
        EXPECT_EQ(FromBmp(std::string(File.begin(), File.end())), Expected(4, 4, B.Textures[t].Blocks.data()));
    }
    EXPECT_FALSE(std::filesystem::exists(Path + "_tex11.bmp"));

    const std::string Bad = (Tmp / "missing" / "model").string();
    std::copy(Bad.begin(), Bad.end(), Missing.begin());
    CaptureStdout();
    SaveTextures(Missing.data(), 2, Dir, Buff, int(Bytes.size()), &Failed);
    EXPECT_EQ(Failed, (std::vector<std::string>{Bad + "_tex0.bmp", Bad + "_tex1.bmp"}));
    EXPECT_EQ(GetCapturedStdout(), "BMP Error: Cannot open file " + Bad + "_tex0.bmp for output.\n" +
                                       "BMP Error: Cannot open file " + Bad + "_tex1.bmp for output.\n");
    ReleaseTextures(Dir);
    std::filesystem::remove_all(Tmp);
}

TEST(TextureExport, EveryTruncatedModelStaysInsideItsBuffer) {
    ModelBuilder B;
    B.Textures.push_back({8, 8, CompressDxt5(8, 8, RandomBytes(256, 1))});
    B.Textures.push_back({4, 12, CompressDxt5(4, 12, RandomBytes(192, 2))});
    const auto Full = B.Build();
    CaptureStdout();
    for (size_t Size = 0; Size <= Full.size(); Size++) {
        std::vector<uint8_t> Prefix(Full.begin(), Full.begin() + Size);  // exact size, for the sanitizers
        unsigned char* Buff = Prefix.data();
        int Count = 0;
        Texture* Dir = nullptr;
        std::ostringstream Report;
        TexturesScan(Buff, int(Size), Count, Dir, Report);
        std::vector<std::string> Failed;
        const auto Images = Export(std::vector<Texture>(Dir, Dir + Count), Prefix, &Failed);
        EXPECT_EQ(Images.size() + Failed.size(), size_t(Count));
        EXPECT_EQ(Images.size(), Size == Full.size() ? 2u : Images.size());
        ReleaseTextures(Dir);
    }
    GetCapturedStdout();
}
