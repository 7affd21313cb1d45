// The BMP image class: pixel storage, clamped access, and the little-endian file writer.
#include "image/Bmp.h"

#include "io/OutputFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <vector>

bool BMPwarnings = true;

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int DefaultPelsPerMeter = 3780;  // 96 dots per inch
constexpr int64_t MaxWritePiece = int64_t{8} << 20;
constexpr RGBApixel Blank{255, 255, 255, 0};
constexpr auto BlankRun = [] {
    std::array<RGBApixel, 1024> Run{};
    Run.fill(Blank);
    return Run;
}();

void PutWord(bmpBYTE* P, bmpWORD V) {
    P[0] = static_cast<bmpBYTE>(V);
    P[1] = static_cast<bmpBYTE>(V >> 8);
}

void PutDword(bmpBYTE* P, bmpDWORD V) {
    for (int b = 0; b < 4; b++) P[b] = static_cast<bmpBYTE>(V >> (8 * b));
}

// Grey level of a pixel, 0 to 255, for the paletted depths.
int Grey(const RGBApixel& P) { return (299 * P.Red + 587 * P.Green + 114 * P.Blue + 500) / 1000; }

}  // namespace

void BMP::WriteError() {
    if (BMPwarnings) *Messages_ << "BMP Error: Could not write proper amount of data." << std::endl;
}

BMP::BMP(std::ostream& Messages)
    : Messages_(&Messages),
      BitDepth(24),
      Width(1),
      Height(1),
      Pixels(new RGBApixel[1]{Blank}),
      Capacity(1),
      Unfilled(new bool[1]{false}),
      XPelsPerMeter(0),
      YPelsPerMeter(0) {}

BMP::~BMP() = default;

bool BMP::SetSize(int NewWidth, int NewHeight) {
    if (NewWidth <= 0 || NewHeight <= 0) {
        if (BMPwarnings)
            *Messages_ << "BMP Warning: User attempted to set a non-positive width or height."
                       << std::endl
                       << "             Size remains unchanged at " << Width << " x " << Height
                       << "." << std::endl;
        return false;
    }
    // 64-bit, and checked, so a host with a 32-bit size_t cannot under-allocate.
    const uint64_t Wanted = static_cast<uint64_t>(NewWidth) * static_cast<uint64_t>(NewHeight);
    if (Wanted > SIZE_MAX / sizeof(RGBApixel)) throw std::bad_alloc();
    const auto Count = static_cast<size_t>(Wanted);
    // Pixel memory that is large enough is kept: an image reused for many
    // pictures then takes its memory from the system once.
    std::unique_ptr<RGBApixel[]> Fresh(Count > Capacity ? new RGBApixel[Count] : nullptr);
    std::unique_ptr<bool[]> Rows(new bool[static_cast<size_t>(NewHeight)]);
    std::fill(Rows.get(), Rows.get() + NewHeight, true);
    if (Fresh) {
        Pixels = std::move(Fresh);
        Capacity = Count;
    }
    Unfilled = std::move(Rows);
    Width = NewWidth;
    Height = NewHeight;
    return true;
}

bool BMP::SetBitDepth(int NewDepth) {
    if (NewDepth != 1 && NewDepth != 4 && NewDepth != 8 && NewDepth != 16 && NewDepth != 24 &&
        NewDepth != 32) {
        if (BMPwarnings)
            *Messages_ << "BMP Warning: User attempted to set unsupported bit depth " << NewDepth
                       << "." << std::endl
                       << "             Bit depth remains unchanged at " << BitDepth << "."
                       << std::endl;
        return false;
    }
    BitDepth = NewDepth;
    return true;
}

RGBApixel* BMP::Clamped(int i, int j) {
    i = std::max(0, std::min(i, Width - 1));
    j = std::max(0, std::min(j, Height - 1));
    if (BMPwarnings)
        *Messages_ << "BMP Warning: Attempted to access non-existent pixel;" << std::endl
                   << "             Truncating request to fit in the range [0," << Width - 1
                   << "] x [0," << Height - 1 << "]." << std::endl;
    return StoredRow(j) + i;
}

// Rows are filled by copying this run: on common processors a block copy
// writes whole cache lines without first reading them from memory, where a
// loop storing pixel by pixel reads each line in first.
void BMP::FillRow(size_t s) {
    RGBApixel* Start = &Pixels[s * static_cast<size_t>(Width)];
    for (size_t Left = static_cast<size_t>(Width); Left > 0;) {
        const size_t N = std::min(Left, BlankRun.size());
        std::memcpy(Start, BlankRun.data(), N * sizeof(RGBApixel));
        Start += N;
        Left -= N;
    }
    Unfilled[s] = false;
}

int64_t BMP::RowBytes() const { return (int64_t{Width} * BitDepth + 31) / 32 * 4; }

bool BMP::Write32bitRow(bmpBYTE* Buffer, int BufferSize, int Row) {
    if (Buffer == nullptr || Row < 0 || Row >= Height || BufferSize < int64_t{4} * Width)
        return false;
    // A pixel's four one-byte fields are already in the file's order.
    static_assert(sizeof(RGBApixel) == 4, "RGBApixel must be four bytes without padding");
    std::memcpy(Buffer, StoredRow(Row), 4 * static_cast<size_t>(Width));
    return true;
}

void BMP::EncodeRow(bmpBYTE* Buffer, int Row) {
    const size_t Bytes = static_cast<size_t>(RowBytes());
    std::memset(Buffer, 0, Bytes);
    const RGBApixel* Src = StoredRow(Row);
    for (int i = 0; i < Width; i++) {
        const RGBApixel& P = Src[i];
        const size_t x = static_cast<size_t>(i);
        if (BitDepth == 24) {
            Buffer[3 * x] = P.Blue;
            Buffer[3 * x + 1] = P.Green;
            Buffer[3 * x + 2] = P.Red;
        } else if (BitDepth == 16) {
            // 5 bits per channel: 0RRRRRGG GGGBBBBB.
            PutWord(Buffer + 2 * x, static_cast<bmpWORD>(((P.Red >> 3) << 10) |
                                                         ((P.Green >> 3) << 5) | (P.Blue >> 3)));
        } else {
            // Index into the grey table, packed from the high bits of each byte.
            const int Top = (1 << BitDepth) - 1;
            const int Index = (Grey(P) * Top + 127) / 255;
            const size_t Bit = x * static_cast<size_t>(BitDepth);
            Buffer[Bit / 8] |= static_cast<bmpBYTE>(Index << (8 - BitDepth - Bit % 8));
        }
    }
}

std::vector<bmpBYTE> BMP::Headers() const {
    const int64_t Colours = BitDepth <= 8 ? int64_t{1} << BitDepth : 0;
    const int64_t OffBits = FileHeaderSize + InfoHeaderSize + 4 * Colours;
    const int64_t ImageBytes = RowBytes() * Height;

    std::vector<bmpBYTE> Head(static_cast<size_t>(OffBits), 0);
    bmpBYTE* F = Head.data();
    PutWord(F + 0, 19778);  // "BM"
    PutDword(F + 2, static_cast<bmpDWORD>(OffBits + ImageBytes));
    PutWord(F + 6, 0);
    PutWord(F + 8, 0);
    PutDword(F + 10, static_cast<bmpDWORD>(OffBits));
    bmpBYTE* I = F + FileHeaderSize;
    PutDword(I + 0, InfoHeaderSize);
    PutDword(I + 4, static_cast<bmpDWORD>(Width));
    PutDword(I + 8, static_cast<bmpDWORD>(Height));  // positive: rows stored bottom-up
    PutWord(I + 12, 1);
    PutWord(I + 14, static_cast<bmpWORD>(BitDepth));
    PutDword(I + 16, 0);  // uncompressed
    PutDword(I + 20, static_cast<bmpDWORD>(ImageBytes));
    PutDword(I + 24, static_cast<bmpDWORD>(XPelsPerMeter ? XPelsPerMeter : DefaultPelsPerMeter));
    PutDword(I + 28, static_cast<bmpDWORD>(YPelsPerMeter ? YPelsPerMeter : DefaultPelsPerMeter));
    PutDword(I + 32, 0);
    PutDword(I + 36, 0);
    for (int64_t k = 0; k < Colours; k++) {
        const auto Level = static_cast<bmpBYTE>(k * 255 / (Colours - 1));
        bmpBYTE* C = I + InfoHeaderSize + 4 * k;
        C[0] = C[1] = C[2] = Level;
    }
    return Head;
}

bool BMP::WriteStoredRows(std::ostream& Out) {
    // The pixel array is the stored rows, bottom one first, with no
    // padding (a pixel's fields are in file order): it goes out whole.
    static_assert(sizeof(RGBApixel) == 4, "RGBApixel must be four bytes without padding");
    for (int j = 0; j < Height; j++) StoredRow(j);
    const char* Bytes = reinterpret_cast<const char*>(Pixels.get());
    // In pieces, so that no write call asks for more than any host's write count can hold.
    for (int64_t Left = RowBytes() * Height; Left > 0;) {
        const int64_t Piece = std::min<int64_t>(Left, MaxWritePiece);
        Out.write(Bytes, static_cast<std::streamsize>(Piece));
        if (!Out) return false;
        Bytes += Piece;
        Left -= Piece;
    }
    return true;
}

bool BMP::WriteEncodedRows(std::ostream& Out) {
    // Encoded row by row into one reused buffer, bottom row first.
    const int64_t Row = RowBytes();
    std::vector<bmpBYTE> Buffer(static_cast<size_t>(Row));
    for (int j = Height - 1; j >= 0; j--) {
        EncodeRow(Buffer.data(), j);
        Out.write(reinterpret_cast<const char*>(Buffer.data()), static_cast<std::streamsize>(Row));
        if (!Out) return false;
    }
    return true;
}

bool BMP::WriteToStream(std::ostream& Out) {
    const std::vector<bmpBYTE> Head = Headers();
    Out.write(reinterpret_cast<const char*>(Head.data()),
              static_cast<std::streamsize>(Head.size()));
    const bool Written =
        Out && (BitDepth == 32 ? WriteStoredRows(Out) : WriteEncodedRows(Out)) && Out.flush();
    if (!Written) WriteError();
    return Written;
}

bool BMP::WriteToFile(const char* FileName, std::string* Reason, const OutputPolicy* Policy) {
    const char* Name = FileName != nullptr ? FileName : "";
    OutputFile File(Name, Policy != nullptr ? *Policy : OutputPolicy{});
    const bool Opened = File.IsOpen();
    const bool Streamed = Opened && WriteToStream(File.Stream());
    const bool Written = Opened && File.Commit();
    // A file that could not be created, or not under its name, is an open
    // failure; a write that the stream refused has said so already.
    if (!Written && (!Opened || File.NameRefused()) && BMPwarnings)
        *Messages_ << "BMP Error: Cannot open file " << Name << " for output." << std::endl;
    else if (Streamed && !Written)
        WriteError();
    if (!Written && Reason != nullptr) *Reason = File.Reason();
    return Written;
}
