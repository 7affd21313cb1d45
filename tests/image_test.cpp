// The image class: its files at every depth, its warnings and errors.
#include <gtest/gtest.h>

#include <sstream>

#include "image/Bmp.h"

namespace {

uint32_t Word(const std::string& S, size_t At, int Bytes = 4) {
    uint32_t V = 0;
    for (int b = Bytes - 1; b >= 0; b--) V = V << 8 | static_cast<uint8_t>(S[At + b]);
    return V;
}

std::string Stored(BMP& Image) {
    std::ostringstream Out;
    EXPECT_TRUE(Image.WriteToStream(Out));
    return Out.str();
}

const std::string Blank("\xFF\xFF\xFF\0", 4);  // a pixel no one has set: white, alpha 0

// Takes Room bytes, then fails every write.
struct ShortStream : std::streambuf, std::ostream {
    char Bytes[128];
    explicit ShortStream(int Room) : std::ostream(this) { setp(Bytes, Bytes + Room); }
};

// An 8 x 2 image whose bottom row (the first stored) starts with two dark pixels, grey 79 and
// 64, as a file of depth Depth. Rows are padded to four bytes, and depths up to 8 carry a grey
// table; at 1 bit, the row's last pixel ends a byte.
struct Depth {
    int Bits;
    uint32_t OffBits, Size;
    std::string FirstRow;

    std::string File() const {
        BMP Image;
        EXPECT_TRUE(Image.SetSize(8, 2));
        *Image(0, 1) = {32, 64, 128, 0};
        *Image(1, 1) = {83, 61, 61, 0};
        EXPECT_TRUE(Image.SetBitDepth(Bits));
        return Stored(Image);
    }
};

const Depth Depths[] = {
    {32, 54, 54 + 2 * 32, std::string("\x20\x40\x80\0\x53\x3D\x3D\0", 8) + Blank},
    {24, 54, 54 + 2 * 24, "\x20\x40\x80\x53\x3D\x3D\xFF\xFF\xFF"},
    {16, 54, 54 + 2 * 16, "\x04\x41\xEA\x1C\xFF\x7F"},
    {8, 54 + 1024, 54 + 1024 + 2 * 8, "\x4F\x40\xFF"},
    {4, 54 + 64, 54 + 64 + 2 * 4, "\x54\xFF\xFF\xFF"},
    {1, 54 + 8, 54 + 8 + 2 * 4, std::string("\x3F\0\0\0", 4)}};

// A 4 x 4 image whose messages go to Log, with the pixel (1, 1) set.
struct Bmp4x4 : testing::Test {
    std::ostringstream Log;
    BMP Image{Log};
    void SetUp() override {
        Image.SetSize(4, 4);
        *Image(1, 1) = {9, 9, 9, 9};
    }
};

}  // namespace

TEST(Bmp, HeadersAndGreyTableAtEveryDepth) {
    for (const Depth& D : Depths) {
        const std::string F = D.File();
        ASSERT_EQ(F.size(), D.Size) << D.Bits;
        const std::vector<uint32_t> Fields = {
            Word(F, 0, 2), Word(F, 2),  Word(F, 6),     Word(F, 10),    Word(F, 14),
            Word(F, 18),   Word(F, 22), Word(F, 26, 2), Word(F, 28, 2), Word(F, 30),
            Word(F, 34),   Word(F, 38), Word(F, 42),    Word(F, 46),    Word(F, 50)};
        const auto Bits = static_cast<uint32_t>(D.Bits);
        EXPECT_EQ(Fields, (std::vector<uint32_t>{19778, D.Size, 0, D.OffBits, 40, 8, 2, 1, Bits, 0,
                                                 D.Size - D.OffBits, 3780, 3780, 0, 0}))
            << D.Bits;
        // The grey table, when there is one, ends with white.
        EXPECT_EQ(Word(F, D.OffBits - 4), D.Bits <= 8 ? 0x00FFFFFFu : 0) << D.Bits;
    }
}

// A row of one pixel takes four bytes too.
TEST(Bmp, PixelsEncodedAndRowsPaddedAtEveryDepth) {
    for (const Depth& D : Depths) {
        EXPECT_EQ(D.File().substr(D.OffBits, D.FirstRow.size()), D.FirstRow) << D.Bits;
        BMP OnePixel;
        OnePixel.SetBitDepth(D.Bits);
        EXPECT_EQ(Stored(OnePixel).size(), D.OffBits + 4) << D.Bits;
    }
}

// A file size that needs all four bytes, pixels that take more than one write call, and blank
// rows longer than two fill runs up to their last pixel, the top row (stored last, untouched)
// included.
TEST(Bmp, ALargeImageIsWrittenWhole) {
    BMP Large;
    ASSERT_TRUE(Large.SetSize(2049, 2048));
    Large.SetBitDepth(32);
    *Large(0, 1) = {1, 2, 3, 4};
    const std::string F = Stored(Large);
    EXPECT_EQ(Word(F, 2), 54u + 4 * 2049 * 2048);
    EXPECT_EQ(F.substr(F.size() - 2 * 4 * 2049, 4), "\x01\x02\x03\x04");
    EXPECT_EQ(F.substr(F.size() - 4), Blank);
}

TEST_F(Bmp4x4, ABadSizeOrDepthIsRefusedWithAWarningAndChangesNothing) {
    EXPECT_FALSE(Image.SetSize(0, 5));
    EXPECT_FALSE(Image.SetSize(5, -1));
    EXPECT_FALSE(Image.SetBitDepth(2));
    EXPECT_EQ(Image(1, 1)->Blue, 9);
    const std::string Size =
        "BMP Warning: User attempted to set a non-positive width or height.\n"
        "             Size remains unchanged at 4 x 4.\n";
    EXPECT_EQ(Log.str(), Size + Size +
                             "BMP Warning: User attempted to set unsupported bit depth 2.\n"
                             "             Bit depth remains unchanged at 24.\n");
}

TEST_F(Bmp4x4, APixelOutsideIsClampedToTheEdgeWithAWarning) {
    EXPECT_EQ(Image(-1, 5), Image(0, 3));
    EXPECT_EQ(Image(4, 0), Image(3, 0));
    EXPECT_EQ(Image(0, 4), Image(0, 3));
    const std::string Clamp =
        "BMP Warning: Attempted to access non-existent pixel;\n"
        "             Truncating request to fit in the range [0,3] x [0,3].\n";
    EXPECT_EQ(Log.str(), Clamp + Clamp + Clamp);
}

TEST_F(Bmp4x4, AFailedWriteIsReportedOnce) {
    Image.SetBitDepth(32);
    for (int Room : {0, 54, 54 + 16 + 5}) {
        Log.str("");
        ShortStream S(Room);
        EXPECT_FALSE(Image.WriteToStream(S)) << Room;
        EXPECT_EQ(Log.str(), "BMP Error: Could not write proper amount of data.\n");
    }
}

// A row outside the image, or a buffer under 4 bytes a pixel, is refused.
TEST_F(Bmp4x4, RowsAreHandedOutOnlyInsideTheImageAndTheBuffer) {
    EXPECT_EQ(Image.Row(4), nullptr);
    EXPECT_EQ(Image.RowToOverwrite(4), nullptr);
    bmpBYTE Row[16];
    EXPECT_FALSE(Image.Write32bitRow(Row, 15, 1));
    EXPECT_FALSE(Image.Write32bitRow(Row, 16, 4));
    ASSERT_TRUE(Image.Write32bitRow(Row, 16, 1));
    EXPECT_EQ(std::string(Row, Row + 16), Blank + "\x09\x09\x09\x09" + Blank + Blank);
    EXPECT_EQ(Image.RowToOverwrite(0), Image.Row(0));
}
