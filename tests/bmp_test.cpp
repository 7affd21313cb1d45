// BMP image class: file layout, pixel order, refusals, clamped access and write failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "image/Bmp.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string Encode(BMP& Image) {
    std::ostringstream Out;
    EXPECT_TRUE(Image.WriteToStream(Out));
    return Out.str();
}

uint32_t Le(const std::string& F, size_t At, int Bytes) {
    uint32_t V = 0;
    for (int b = Bytes - 1; b >= 0; b--) V = V << 8 | uint8_t(F.at(At + b));
    return V;
}

// Accepts Limit bytes, then refuses everything.
class FailingBuf : public std::streambuf {
public:
    explicit FailingBuf(std::streamsize Limit) : Left_(Limit) {}

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        const std::streamsize Taken = std::min(n, Left_);
        Left_ -= Taken;
        return Taken;
    }
    int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? c : traits_type::eof(); }

private:
    std::streamsize Left_;
};

const std::string Pad(13, ' ');

}  // namespace

TEST(Bmp, HeadersHoldTheDocumentedValues) {
    for (int Side : {1, 256}) {
        BMP Image;
        ASSERT_TRUE(Image.SetSize(Side, Side));
        ASSERT_TRUE(Image.SetBitDepth(32));
        const uint32_t Pixels = 4u * Side * Side;
        const std::string F = Encode(Image);
        ASSERT_EQ(F.size(), 54 + Pixels);
        const struct { size_t At; int Bytes; uint32_t Value; } Fields[] = {
            {0, 2, 19778}, {2, 4, 54 + Pixels}, {6, 4, 0},  {10, 4, 54},     {14, 4, 40},
            {18, 4, uint32_t(Side)}, {22, 4, uint32_t(Side)}, {26, 2, 1}, {28, 2, 32}, {30, 4, 0},
            {34, 4, Pixels}, {38, 4, 3780}, {42, 4, 3780}, {46, 4, 0}, {50, 4, 0}, {54, 4, 0x00FFFFFF}};
        for (const auto& Field : Fields) EXPECT_EQ(Le(F, Field.At, Field.Bytes), Field.Value) << Field.At;
    }
}

TEST(Bmp, FileHoldsExactlyTheStreamBytes) {
    const auto Dir = std::filesystem::temp_directory_path() / ("qm-bmp-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(Dir);
    const std::string Name = (Dir / "one.bmp").string();
    WriteFileBytes(Name, std::vector<uint8_t>(100, 7));  // replaced, not appended to
    BMP Image;  // the fresh 1 x 1 pixel is white with alpha 0
    Image.SetBitDepth(32);
    EXPECT_TRUE(Image.WriteToFile(Name.c_str()));
    const auto Bytes = ReadFileBytes(Name);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), Encode(Image));
    EXPECT_EQ(Le(Encode(Image), 54, 4), 0x00FFFFFFu);
    std::filesystem::remove_all(Dir);

    CaptureStdout();
    EXPECT_FALSE(Image.WriteToFile(Name.c_str()));  // its folder is gone now
    EXPECT_EQ(GetCapturedStdout(), "BMP Error: Cannot open file " + Name + " for output.\n");
    EXPECT_FALSE(std::filesystem::exists(Name));
}

TEST(Bmp, RowsAreStoredBottomUpAsBlueGreenRedAlpha) {
    BMP Image;
    Image.SetSize(3, 2);
    Image.SetBitDepth(32);
    for (int j = 0; j < 2; j++)
        for (int i = 0; i < 2; i++) *Image(i, j) = RGBApixel{uint8_t(i), uint8_t(j), 200, uint8_t(i * 2 + j)};
    // Row 1 first, then row 0; column 2 was never set and is white with alpha 0.
    const std::string Want("\x00\x01\xC8\x01" "\x01\x01\xC8\x03" "\xFF\xFF\xFF\x00"
                           "\x00\x00\xC8\x00" "\x01\x00\xC8\x02" "\xFF\xFF\xFF\x00", 24);
    EXPECT_EQ(Encode(Image), Encode(Image));  // writing does not change the image
    EXPECT_EQ(Encode(Image).substr(54), Want);

    bmpBYTE Row[16];
    std::fill(Row, Row + 16, 0x5A);
    EXPECT_FALSE(Image.Write32bitRow(Row, 11, 0));  // too small
    EXPECT_FALSE(Image.Write32bitRow(Row, 16, 2));  // no such row
    EXPECT_EQ(Row[0], 0x5A);
    EXPECT_TRUE(Image.Write32bitRow(Row, 16, 1));
    EXPECT_EQ(std::string(Row, Row + 13), Want.substr(0, 12) + "\x5A");
}

TEST(Bmp, RefusalsAndClampedAccessWarnVerbatim) {
    BMP Image;
    Image.SetSize(4, 4);
    Image.SetBitDepth(32);
    Image(1, 2)->Red = 9;
    const std::string Before = Encode(Image);
    CaptureStdout();
    EXPECT_FALSE(Image.SetSize(0, 5));
    EXPECT_FALSE(Image.SetSize(4, -1));
    EXPECT_FALSE(Image.SetBitDepth(2));
    EXPECT_EQ(Image(3, 3), Image(3, 3));  // inside: silent
    EXPECT_EQ(Image(-1, 5), Image(0, 3));
    const std::string Size = "BMP Warning: User attempted to set a non-positive width or height.\n" + Pad +
                             "Size remains unchanged at 4 x 4.\n";
    EXPECT_EQ(GetCapturedStdout(),
              Size + Size + "BMP Warning: User attempted to set unsupported bit depth 2.\n" + Pad +
                  "Bit depth remains unchanged at 32.\n" + "BMP Warning: Attempted to access non-existent pixel;\n" +
                  Pad + "Truncating request to fit in the range [0,3] x [0,3].\n");
    EXPECT_EQ(Encode(Image), Before);
}

TEST(Bmp, ShortWriteIsReportedOnceAndFails) {
    BMP Image;
    Image.SetSize(5, 4);
    Image.SetBitDepth(32);
    const std::streamsize Full = 54 + 4 * 5 * 4;
    for (std::streamsize Limit : {0, 13, 54, 74, 93, 133, 134}) {
        FailingBuf Buf(Limit);
        std::ostream Out(&Buf);
        CaptureStdout();
        EXPECT_EQ(Image.WriteToStream(Out), Limit == Full) << Limit;
        EXPECT_EQ(GetCapturedStdout(), Limit == Full ? "" : "BMP Error: Could not write proper amount of data.\n");
    }
}
