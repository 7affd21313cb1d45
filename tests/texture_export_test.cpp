// Texture export: block placement, uneven and empty sides, bounds, budget and file names.
#include <gtest/gtest.h>
#include <squish.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "model/ByteReader.h"
#include "texture/TextureExport.h"

namespace {

class CaptureCout {
public:
    CaptureCout() : Old_(std::cout.rdbuf(Text_.rdbuf())) {}
    ~CaptureCout() { std::cout.rdbuf(Old_); }
    std::string Text() const { return Text_.str(); }

private:
    std::ostringstream Text_;
    std::streambuf* Old_;
};

class TempDir {
public:
    TempDir() : Path_(std::filesystem::temp_directory_path() /
                      ("qm-tex-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(Path_);
    }
    ~TempDir() { std::filesystem::remove_all(Path_); }
    std::string operator/(const std::string& Name) const { return (Path_ / Name).string(); }

private:
    std::filesystem::path Path_;
};

// A decoded image: width, height and RGBA bytes, row 0 at the top.
struct Rgba {
    int W = 0, H = 0;
    std::vector<uint8_t> Px;
    bool operator==(const Rgba&) const = default;
};

// Reads back a 32-bit file as written by the image class.
Rgba FromBmp(const std::string& F) {
    Rgba R;
    R.W = ByteReader(reinterpret_cast<const unsigned char*>(F.data()), int(F.size())).I32(18);
    R.H = ByteReader(reinterpret_cast<const unsigned char*>(F.data()), int(F.size())).I32(22);
    for (int y = 0; y < R.H; y++)
        for (int x = 0; x < R.W; x++) {
            const size_t At = 54 + 4 * (size_t(R.H - 1 - y) * R.W + x);
            for (int c : {2, 1, 0, 3}) R.Px.push_back(static_cast<uint8_t>(F.at(At + c)));
        }
    return R;
}

// The plain per-block layout, decoded with the same library: the oracle.
// Blocks form rows of ceil(W/4); pixels past the edges are dropped.
Rgba Expected(int W, int H, const uint8_t* Blocks) {
    Rgba R{W, H, std::vector<uint8_t>(size_t(W) * H * 4)};
    const int PerRow = (W + 3) / 4, Count = PerRow * ((H + 3) / 4);
    for (int i = 0; i < Count; i++) {
        uint8_t Pixels[64];
        squish::Decompress(Pixels, Blocks + 16 * i, squish::kDxt5);
        for (int b = 0; b < 16; b++) {
            const int x = 4 * (i % PerRow) + b % 4, y = 4 * (i / PerRow) + b / 4;
            if (x < W && y < H) std::copy(Pixels + 4 * b, Pixels + 4 * b + 4, &R.Px[(size_t(y) * W + x) * 4]);
        }
    }
    return R;
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
    for (uint8_t& Byte : B) Byte = static_cast<uint8_t>(Rng());
    return B;
}

const Rgba BlankPixel{1, 1, {255, 255, 255, 0}};

}  // namespace

TEST(TextureExport, PlacesBlocksInRowsFromTheTop) {
    for (auto [W, H] : {std::pair{8, 4}, {4, 8}, {256, 256}}) {
        ModelBuilder B;
        B.Textures.push_back({int16_t(W), int16_t(H), CompressDxt5(W, H, RandomBytes(size_t(W) * H * 4, W))});
        const auto Bytes = B.Build();
        const auto Dir = FindTextures(Bytes.data(), int(Bytes.size()), ByteReader(Bytes.data(), int(Bytes.size())).I32(12));
        ASSERT_EQ(Dir.size(), 1u);
        CaptureCout Cout;
        const auto Images = Export(Dir, Bytes);
        EXPECT_EQ(Images.at("out/m_tex0.bmp"), Expected(W, H, B.Textures[0].Blocks.data())) << W << "x" << H;
        EXPECT_EQ(Cout.Text(), "");
    }
}

TEST(TextureExport, UnevenSidesDecodeWholeBlocksAndDropTheRest) {
    const auto Bytes = RandomBytes(4096, 3);  // any 16 bytes are a DXT5 block
    const std::vector<Texture> Dir{{6, 6, 0}, {2, 2, 100}, {5, 9, 300}, {1, 13, 1000}};
    CaptureCout Cout;
    const auto Images = Export(Dir, Bytes);
    EXPECT_EQ(Cout.Text(), "");  // no clamped accesses
    for (size_t t = 0; t < Dir.size(); t++)
        EXPECT_EQ(Images.at("out/m_tex" + std::to_string(t) + ".bmp"),
                  Expected(Dir[t].Width, Dir[t].Height, Bytes.data() + Dir[t].StartLine)) << t;
}

TEST(TextureExport, TransparentPixelKeepsItsDecodedColour) {
    // Both alpha endpoints 0; both colour endpoints pure red in 5-6-5.
    std::vector<uint8_t> Block{0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    uint8_t Decoded[64];
    squish::Decompress(Decoded, Block.data(), squish::kDxt5);
    ASSERT_EQ(Decoded[3], 0);
    ASSERT_NE(Decoded[1], 255);
    EXPECT_EQ(Export({{4, 4, 0}}, Block).at("out/m_tex0.bmp").Px, std::vector<uint8_t>(Decoded, Decoded + 64));
}

TEST(TextureExport, EmptyOrNegativeSideWritesTheBlankPixel) {
    const std::vector<uint8_t> Bytes(1024, 0x42);
    const std::vector<Texture> Dir{{0, 8, 0}, {8, 0, 0}, {-4, -4, 0}, {-8, 4, 5000}};
    CaptureCout Cout;
    const auto Images = Export(Dir, Bytes);
    ASSERT_EQ(Images.size(), 4u);
    for (const auto& [Name, Image] : Images) EXPECT_EQ(Image, BlankPixel) << Name;
    const std::string Warning =
        "BMP Warning: User attempted to set a non-positive width or height.\n"
        "             Size remains unchanged at 1 x 1.\n";
    EXPECT_EQ(Cout.Text(), Warning + Warning + Warning + Warning);
}

TEST(TextureExport, SkipsPixelDataOutsideTheBuffer) {
    const auto Bytes = RandomBytes(1000, 5);
    // 8x8 is 4 blocks, 64 bytes.
    const std::vector<Texture> Dir{{8, 8, 936}, {8, 8, 937}, {8, 8, 1000}, {8, 8, -16}, {6, 6, 2147483640}};
    std::vector<std::string> Failed;
    CaptureCout Cout;
    const auto Images = Export(Dir, Bytes, &Failed);
    EXPECT_EQ(Images.size(), 1u);
    EXPECT_EQ(Images.at("out/m_tex0.bmp"), Expected(8, 8, Bytes.data() + 936));
    EXPECT_EQ(Failed, (std::vector<std::string>{"out/m_tex1.bmp", "out/m_tex2.bmp", "out/m_tex3.bmp", "out/m_tex4.bmp"}));
    std::string Want;
    for (int t = 1; t <= 4; t++)
        Want += "Texture " + std::to_string(t) + ": pixel data runs past the end of the model file; out/m_tex" +
                std::to_string(t) + ".bmp not written.\n";
    EXPECT_EQ(Cout.Text(), Want);
}

TEST(TextureExport, OverlappingEntriesCannotDecodeMoreThanTheFileHolds) {
    const auto Bytes = RandomBytes(256, 9);
    const std::vector<Texture> Dir(6, Texture{8, 8, 0});  // 64 bytes each: four fit
    std::vector<std::string> Failed;
    CaptureCout Cout;
    EXPECT_EQ(Export(Dir, Bytes, &Failed).size(), 4u);
    EXPECT_EQ(Failed, (std::vector<std::string>{"out/m_tex4.bmp", "out/m_tex5.bmp"}));
    EXPECT_EQ(Cout.Text(),
              "Texture 4: pixel data overlaps textures already written; out/m_tex4.bmp not written.\n"
              "Texture 5: pixel data overlaps textures already written; out/m_tex5.bmp not written.\n");
}

TEST(TextureExport, WritesOneFilePerEntryNumberedFromZero) {
    ModelBuilder B;
    for (int k = 0; k < 11; k++) B.Textures.push_back({4, 4, CompressDxt5(4, 4, RandomBytes(64, 20 + k))});
    auto Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    int Count = 0;
    Texture* Dir = nullptr;
    std::ostringstream Report;
    TexturesScan(Buff, int(Bytes.size()), Count, Dir, Report);
    ASSERT_EQ(Count, 11);

    TempDir Tmp;
    std::string Path = Tmp / "model";
    std::vector<char> PathArray(256, 0);
    std::copy(Path.begin(), Path.end(), PathArray.begin());
    const std::vector<char> PathBefore = PathArray;
    std::vector<std::string> Failed;
    CaptureCout Cout;
    SaveTextures(PathArray.data(), Count, Dir, Buff, int(Bytes.size()), &Failed);
    EXPECT_EQ(PathArray, PathBefore);
    EXPECT_TRUE(Failed.empty());
    for (int t = 0; t < 11; t++) {
        const auto File = ReadFileBytes(Path + "_tex" + std::to_string(t) + ".bmp");
        EXPECT_EQ(FromBmp(std::string(File.begin(), File.end())), Expected(4, 4, B.Textures[t].Blocks.data())) << t;
    }
    EXPECT_FALSE(std::filesystem::exists(Path + "_tex11.bmp"));

    // Nothing to export: nothing written, nothing printed.
    SaveTextures(PathArray.data(), 0, Dir, Buff, int(Bytes.size()), &Failed);
    SaveTextures(PathArray.data(), -3, Dir, Buff, int(Bytes.size()), &Failed);
    EXPECT_EQ(Cout.Text(), "");

    // A folder that does not exist: every file is reported and listed.
    std::string Bad = Tmp / "missing/model";
    Bad.push_back('\0');
    SaveTextures(Bad.data(), 2, Dir, Buff, int(Bytes.size()), &Failed);
    EXPECT_EQ(Failed, (std::vector<std::string>{Tmp / "missing/model_tex0.bmp", Tmp / "missing/model_tex1.bmp"}));
    EXPECT_EQ(Cout.Text(), "BMP Error: Cannot open file " + Failed[0] + " for output.\nBMP Error: Cannot open file " +
                               Failed[1] + " for output.\n");
    ReleaseTextures(Dir);
}

TEST(TextureExport, EveryTruncatedModelStaysInsideItsBuffer) {
    ModelBuilder B;
    B.Textures.push_back({8, 8, CompressDxt5(8, 8, RandomBytes(256, 1))});
    B.Textures.push_back({4, 12, CompressDxt5(4, 12, RandomBytes(192, 2))});
    const auto Full = B.Build();
    CaptureCout Cout;
    for (size_t Size = 0; Size <= Full.size(); Size++) {
        // Exact-size copies, so a sanitizer build catches any read past the end.
        std::vector<uint8_t> Prefix(Full.begin(), Full.begin() + Size);
        unsigned char* Buff = Prefix.data();
        int Count = 0;
        Texture* Dir = nullptr;
        std::ostringstream Report;
        TexturesScan(Buff, int(Size), Count, Dir, Report);
        const std::vector<Texture> Entries(Dir, Dir + Count);
        std::vector<std::string> Failed;
        const auto Images = Export(Entries, Prefix, &Failed);
        EXPECT_EQ(Images.size() + Failed.size(), size_t(Count));
        if (Size == Full.size()) {
            EXPECT_EQ(Images.size(), 2u);
        }
        ReleaseTextures(Dir);
    }
}
