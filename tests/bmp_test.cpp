// BMP image class: file layout, pixel order, refusals, clamped access and write failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>

#include "ModelBuilder.h"
#include "image/Bmp.h"

namespace {

// Collects what is printed to std::cout while it lives.
class CaptureCout {
public:
    CaptureCout() : Old_(std::cout.rdbuf(Text_.rdbuf())) {}
    ~CaptureCout() { std::cout.rdbuf(Old_); }
    std::string Text() const { return Text_.str(); }

private:
    std::ostringstream Text_;
    std::streambuf* Old_;
};

std::string Encode(BMP& Image) {
    std::ostringstream Out;
    EXPECT_TRUE(Image.WriteToStream(Out));
    return Out.str();
}

uint32_t Le(const std::string& F, size_t At, int Bytes) {
    uint32_t V = 0;
    for (int b = Bytes - 1; b >= 0; b--) V = V << 8 | static_cast<uint8_t>(F.at(At + b));
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

const char* const Pad = "             ";

}  // namespace

TEST(Bmp, OneByOneImageWritesTheDocumentedHeader) {
    BMP Image;
    ASSERT_TRUE(Image.SetBitDepth(32));
    const std::string F = Encode(Image);
    ASSERT_EQ(F.size(), 58u);
    const struct { size_t At; int Bytes; uint32_t Value; } Fields[] = {
        {0, 2, 19778}, {2, 4, 58}, {6, 2, 0},  {8, 2, 0},     {10, 4, 54},   {14, 4, 40},
        {18, 4, 1},    {22, 4, 1}, {26, 2, 1}, {28, 2, 32},   {30, 4, 0},    {34, 4, 4},
        {38, 4, 3780}, {42, 4, 3780}, {46, 4, 0}, {50, 4, 0}, {54, 4, 0x00FFFFFF}};
    for (const auto& Field : Fields) EXPECT_EQ(Le(F, Field.At, Field.Bytes), Field.Value) << Field.At;

    // The file holds exactly what the stream form writes.
    const auto Dir = std::filesystem::temp_directory_path() / ("qm-bmp-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(Dir);
    const std::string Name = (Dir / "one.bmp").string();
    WriteFileBytes(Name, std::vector<uint8_t>(100, 7));  // replaced, not appended to
    EXPECT_TRUE(Image.WriteToFile(Name.c_str()));
    const auto Bytes = ReadFileBytes(Name);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), F);
    std::filesystem::remove_all(Dir);
}

TEST(Bmp, LargeImageSizesInTheHeader) {
    BMP Image;
    Image.SetSize(256, 256);
    Image.SetBitDepth(32);
    const std::string F = Encode(Image);
    EXPECT_EQ(F.size(), 54u + 4 * 65536);
    EXPECT_EQ(Le(F, 2, 4), 54u + 4 * 65536);
    EXPECT_EQ(Le(F, 34, 4), 4u * 65536);
    EXPECT_EQ(Le(F, 18, 4), 256u);
    EXPECT_EQ(Le(F, 22, 4), 256u);
}

TEST(Bmp, RowsAreStoredBottomUpAsBlueGreenRedAlpha) {
    BMP Image;
    Image.SetSize(3, 2);
    Image.SetBitDepth(32);
    for (int j = 0; j < 2; j++)
        for (int i = 0; i < 2; i++) *Image(i, j) = RGBApixel{uint8_t(i), uint8_t(j), 200, uint8_t(i * 2 + j)};
    const std::string F = Encode(Image);
    ASSERT_EQ(F.size(), 54u + 24);
    // Row 1 first, then row 0; column 2 was never set and is white with alpha 0.
    const std::string Want("\x00\x01\xC8\x01" "\x01\x01\xC8\x03" "\xFF\xFF\xFF\x00"
                           "\x00\x00\xC8\x00" "\x01\x00\xC8\x02" "\xFF\xFF\xFF\x00", 24);
    EXPECT_EQ(F.substr(54), Want);
    EXPECT_EQ(Encode(Image), F);  // writing does not change the image
}

TEST(Bmp, RefusedSizeAndDepthWarnAndKeepTheImage) {
    BMP Image;
    Image.SetSize(2, 3);
    Image.SetBitDepth(32);
    Image(1, 2)->Red = 9;
    const std::string Before = Encode(Image);
    CaptureCout Cout;
    EXPECT_FALSE(Image.SetSize(0, 5));
    EXPECT_FALSE(Image.SetSize(4, -1));
    EXPECT_FALSE(Image.SetBitDepth(2));
    const std::string Size = std::string("BMP Warning: User attempted to set a non-positive width or height.\n") +
                             Pad + "Size remains unchanged at 2 x 3.\n";
    EXPECT_EQ(Cout.Text(), Size + Size + "BMP Warning: User attempted to set unsupported bit depth 2.\n" +
                               Pad + "Bit depth remains unchanged at 32.\n");
    EXPECT_EQ(Encode(Image), Before);
    for (int Depth : {1, 4, 8, 16, 24, 32}) EXPECT_TRUE(Image.SetBitDepth(Depth));
}

TEST(Bmp, OutOfRangeAccessIsClampedWithOneWarningPerCall) {
    BMP Image;
    Image.SetSize(4, 4);
    CaptureCout Cout;
    EXPECT_EQ(Image(3, 3), Image(3, 3));
    EXPECT_EQ(Cout.Text(), "");
    EXPECT_EQ(Image(-1, 5), Image(0, 3));
    EXPECT_EQ(Image(7, -2), Image(3, 0));
    const std::string Warning = std::string("BMP Warning: Attempted to access non-existent pixel;\n") +
                                Pad + "Truncating request to fit in the range [0,3] x [0,3].\n";
    EXPECT_EQ(Cout.Text(), Warning + Warning);
}

TEST(Bmp, UnopenableFileIsReportedAndNotCreated) {
    const auto Name = (std::filesystem::temp_directory_path() / "qm-no-such-folder" / "x.bmp").string();
    BMP Image;
    CaptureCout Cout;
    EXPECT_FALSE(Image.WriteToFile(Name.c_str()));
    EXPECT_EQ(Cout.Text(), "BMP Error: Cannot open file " + Name + " for output.\n");
    EXPECT_FALSE(std::filesystem::exists(Name));
}

TEST(Bmp, ShortWriteIsReportedOnceAndFails) {
    BMP Image;
    Image.SetSize(5, 4);
    Image.SetBitDepth(32);
    const std::streamsize Full = 54 + 4 * 5 * 4;
    for (std::streamsize Limit : {std::streamsize{0}, std::streamsize{13}, std::streamsize{54},
                                  std::streamsize{74}, std::streamsize{93}, Full - 1, Full}) {
        FailingBuf Buf(Limit);
        std::ostream Out(&Buf);
        CaptureCout Cout;
        const bool Written = Image.WriteToStream(Out);
        EXPECT_EQ(Written, Limit == Full) << Limit;
        EXPECT_EQ(Cout.Text(), Written ? "" : "BMP Error: Could not write proper amount of data.\n") << Limit;
    }
}

TEST(Bmp, RowWriterRefusesShortBuffersAndMissingRows) {
    BMP Image;
    Image.SetSize(3, 2);
    bmpBYTE Buffer[16];
    std::fill(Buffer, Buffer + 16, bmpBYTE{0x5A});
    EXPECT_FALSE(Image.Write32bitRow(Buffer, 11, 0));
    EXPECT_FALSE(Image.Write32bitRow(Buffer, 16, 2));
    EXPECT_FALSE(Image.Write32bitRow(Buffer, 16, -1));
    EXPECT_TRUE(std::all_of(Buffer, Buffer + 16, [](bmpBYTE B) { return B == 0x5A; }));
    EXPECT_TRUE(Image.Write32bitRow(Buffer, 12, 1));
    EXPECT_EQ(Buffer[11], 0);     // alpha of column 2
    EXPECT_EQ(Buffer[12], 0x5A);  // untouched past the row
}
