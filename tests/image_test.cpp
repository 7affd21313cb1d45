// The BMP image class: file layout, row order, every depth, its warnings and errors.
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

// Takes Room bytes, then fails every write.
struct ShortStream : std::streambuf, std::ostream {
    char Bytes[128];
    explicit ShortStream(int Room) : std::ostream(this) { setp(Bytes, Bytes + Room); }
};

}  // namespace

TEST(Bmp, HeadersRowsAndPixelsAtEveryDepth) {
    BMP Image;
    ASSERT_TRUE(Image.SetSize(3, 2) && Image.SetBitDepth(32));
    *Image(0, 0) = {1, 2, 3, 4};
    *Image(2, 1) = {5, 6, 7, 8};
    const std::string F = Stored(Image);
    const std::vector<uint32_t> Fields = {Word(F, 0, 2),  Word(F, 2),  Word(F, 6),  Word(F, 10),
                                          Word(F, 14),    Word(F, 18), Word(F, 22), Word(F, 26, 2),
                                          Word(F, 28, 2), Word(F, 30), Word(F, 34), Word(F, 38),
                                          Word(F, 42),    Word(F, 46), Word(F, 50)};
    EXPECT_EQ(Fields,
              (std::vector<uint32_t>{19778, 78, 0, 54, 40, 3, 2, 1, 32, 0, 24, 3780, 3780, 0, 0}));
    // Bottom row first: row 1 ends with (2, 1), row 0 starts with (0, 0); other pixels white with
    // alpha 0.
    const std::string Blank("\xFF\xFF\xFF\0", 4);
    EXPECT_EQ(F.substr(54), Blank + Blank + "\5\6\7\x08\1\2\3\4" + Blank + Blank);
    bmpBYTE Row[12];
    EXPECT_FALSE(Image.Write32bitRow(Row, 11, 0) || Image.Write32bitRow(Row, 12, 2));
    EXPECT_TRUE(Image.Write32bitRow(Row, 12, 0) &&
                std::string(Row, Row + 12) == "\1\2\3\4" + Blank + Blank);
    // A row to overwrite is the same row.
    EXPECT_TRUE(Image.RowToOverwrite(-1) == nullptr && Image.RowToOverwrite(2) == nullptr &&
                Image.Row(2) == nullptr);
    EXPECT_EQ(Image.RowToOverwrite(0), Image.Row(0));
    // A file size that needs all four bytes, and blank rows wider than one fill run up to their
    // last pixel.
    ASSERT_TRUE(Image.SetSize(2048, 2048));
    EXPECT_TRUE(Word(Stored(Image), 2) == 54u + 4 * 2048 * 2048 && Stored(Image).ends_with(Blank));
    // The other depths pad rows to four bytes and carry a grey table up to 8 bits. An 8 x 2 image
    // whose first stored row starts with two dark pixels (grey 79 and 64), the rest white; at 1
    // bit, its last pixel ends a byte.
    struct Case {
        int Depth;
        uint32_t OffBits, Size;
        std::string FirstRow;
    } Cases[] = {{24, 54, 54 + 2 * 24, "\x20\x40\x80\x53\x3D\x3D\xFF\xFF\xFF"},
                 {16, 54, 54 + 2 * 16, "\x04\x41\xEA\x1C\xFF\x7F"},
                 {8, 54 + 1024, 54 + 1024 + 2 * 8, "\x4F\x40\xFF"},
                 {4, 54 + 64, 54 + 64 + 2 * 4, "\x54\xFF\xFF\xFF"},
                 {1, 54 + 8, 54 + 8 + 2 * 4, std::string("\x3F\0\0\0", 4)}};
    for (const Case& C : Cases) {
        BMP Small;
        Small.SetSize(8, 2);
        *Small(0, 1) = {32, 64, 128, 0};
        *Small(1, 1) = {83, 61, 61, 0};
        ASSERT_TRUE(Small.SetBitDepth(C.Depth));
        const std::string F = Stored(Small);
        ASSERT_EQ(F.size(), C.Size) << C.Depth;
        const uint32_t LastGrey =
            C.Depth <= 8 ? 0x00FFFFFFu : Word(F, 50);  // white, when there is a table
        EXPECT_EQ((std::vector<uint32_t>{Word(F, 2), Word(F, 10), Word(F, 28, 2),
                                         Word(F, C.OffBits - 4)}),
                  (std::vector<uint32_t>{C.Size, C.OffBits, uint32_t(C.Depth), LastGrey}))
            << C.Depth;
        EXPECT_EQ(F.substr(C.OffBits, C.FirstRow.size()), C.FirstRow) << C.Depth;
    }
}

TEST(Bmp, WarningsAndErrorsVerbatim) {
    std::ostringstream Log;
    BMP Image(Log);
    Image.SetSize(4, 4);
    *Image(1, 1) = {9, 9, 9, 9};
    EXPECT_FALSE(Image.SetSize(0, 5) || Image.SetSize(5, -1) || Image.SetBitDepth(2));
    EXPECT_EQ(Image(1, 1)->Blue, 9);
    EXPECT_TRUE(Image(-1, 5) == Image(0, 3) && Image(4, 0) == Image(3, 0) &&
                Image(0, 4) == Image(0, 3));
    const std::string Size =
        "BMP Warning: User attempted to set a non-positive width or height.\n"
        "             Size remains unchanged at 4 x 4.\n";
    const std::string Clamp =
        "BMP Warning: Attempted to access non-existent pixel;\n"
        "             Truncating request to fit in the range [0,3] x [0,3].\n";
    EXPECT_EQ(Log.str(), Size + Size +
                             "BMP Warning: User attempted to set unsupported bit depth 2.\n"
                             "             Bit depth remains unchanged at 24.\n" +
                             Clamp + Clamp + Clamp);
    Image.SetBitDepth(32);
    for (int Room : {0, 54, 54 + 16 + 5}) {
        Log.str("");
        ShortStream S(Room);
        EXPECT_TRUE(!Image.WriteToStream(S) &&
                    Log.str() == "BMP Error: Could not write proper amount of data.\n");
    }
}
