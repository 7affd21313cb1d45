// In-memory image and its writer to uncompressed BMP files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

struct OutputPolicy;

using bmpBYTE = std::uint8_t;
using bmpWORD = std::uint16_t;
using bmpDWORD = std::uint32_t;

// One pixel. The field order is the byte order of a pixel in a 32-bit file.
struct RGBApixel {
    bmpBYTE Blue;
    bmpBYTE Green;
    bmpBYTE Red;
    bmpBYTE Alpha;
};

// Guards every warning and error the image class prints.
extern bool BMPwarnings;

// An image of at least 1 x 1 pixels with a bit depth of 1, 4, 8, 16, 24 or
// 32. Column 0 is the left edge and row 0 the top edge of the picture. Files
// are little-endian whatever the host, with the rows stored bottom-up.
//
// Misuse (bad sizes, depths, pixel positions) and write failures are reported
// in lines beginning "BMP Warning: " or "BMP Error: " on the stream given at
// construction (standard output by default).
class BMP {
public:
    // A 1 x 1 image at 24 bits whose pixel is white with alpha 0; its
    // messages go to Messages, which must outlive the image.
    explicit BMP(std::ostream& Messages = std::cout);
    ~BMP();
    BMP(const BMP&) = delete;
    BMP& operator=(const BMP&) = delete;

    // Replaces the pixels by NewWidth x NewHeight pixels, each white with
    // alpha 0. A side of 0 or less is refused with a warning and false, and
    // the image is left as it was. Throws std::bad_alloc when the pixels
    // cannot be allocated (up to 4 bytes per pixel are needed).
    bool SetSize(int NewWidth, int NewHeight);

    // Sets the depth used when writing. A depth other than 1, 4, 8, 16, 24 or
    // 32 is refused with a warning and false. The pixels are kept.
    bool SetBitDepth(int NewDepth);

    // The pixel of column i and row j. A position outside the image is
    // clamped to the nearest edge pixel, with one warning per call.
    RGBApixel* operator()(int i, int j) {
        if (i >= 0 && i < Width && j >= 0 && j < Height) return StoredRow(j) + i;
        return Clamped(i, j);
    }

    // The Width pixels of row j, contiguous from column 0; nullptr when j is
    // not a row of the image. For writers that fill whole rows at a time.
    RGBApixel* Row(int j) { return j >= 0 && j < Height ? StoredRow(j) : nullptr; }

    // Row(j), nullptr when j is not a row of the image, but without the blank
    // pixel: for a writer that stores all Width pixels of the row before the
    // image is next read or written. Until then the row's pixels hold
    // unspecified values.
    RGBApixel* RowToOverwrite(int j) {
        if (j < 0 || j >= Height) return nullptr;
        Unfilled[static_cast<size_t>(Height - 1 - j)] = false;
        return StoredRow(j);
    }

    // Writes the image to FileName, replacing any file there only once the
    // whole file is written. Prints an error and returns false, with the
    // system's reason in *Reason when given, when the file cannot be created
    // or is not written in full; no file of that name is created or cut then.
    // The file is written under Policy (OutputFile) when it is given.
    bool WriteToFile(const char* FileName, std::string* Reason = nullptr,
                     const OutputPolicy* Policy = nullptr);

    // Writes the file's bytes to Out: the 14-byte file header, the 40-byte
    // info header, a grey colour table for depths 1, 4 and 8, then the rows
    // from the bottom one up, each padded to a multiple of 4 bytes. At 32 bits
    // the rows go out together in one write call (pieces of at most 8 MiB),
    // at other depths with one write call per row. On a failed write it prints
    // the write error once, writes nothing more and returns false; it also
    // returns false when the final flush fails.
    bool WriteToStream(std::ostream& Out);

    // Encodes row Row as it is stored in a 32-bit file: Width pixels of 4
    // bytes, Blue, Green, Red, Alpha, from column 0 on. Buffer must hold
    // BufferSize bytes; refuses with false and leaves Buffer unchanged when
    // BufferSize is below 4 x Width or Row is not a row of the image.
    bool Write32bitRow(bmpBYTE* Buffer, int BufferSize, int Row);

private:
    // The warning and the clamped pixel for a position outside the image.
    RGBApixel* Clamped(int i, int j);
    // The pixels of row j (inside the image), given the blank pixel first
    // when the row has not been handed out since SetSize. Filling a row only
    // when it is first used means a writer that fills the image row by row
    // finds each row still in the processor's cache.
    RGBApixel* StoredRow(int j) {
        const size_t s = static_cast<size_t>(Height - 1 - j);
        if (Unfilled[s]) FillRow(s);
        return &Pixels[s * static_cast<size_t>(Width)];
    }
    void FillRow(size_t s);
    // Bytes of one stored row at the current depth, padded to a multiple of 4.
    int64_t RowBytes() const;
    // Encodes row Row at the current depth into Buffer (RowBytes() bytes).
    void EncodeRow(bmpBYTE* Buffer, int Row);
    // The file header, the info header and, at depths up to 8, the grey colour table.
    std::vector<bmpBYTE> Headers() const;
    // The rows after the headers: at 32 bits the stored pixels as they are, at other depths
    // each row encoded. False, with nothing more written, on the first failed write.
    bool WriteStoredRows(std::ostream& Out);
    bool WriteEncodedRows(std::ostream& Out);

    // The message lines above, while BMPwarnings is set.
    std::ostream* Messages_;
    void WriteError();

    int BitDepth;
    int Width;
    int Height;
    // Rows in file order, bottom row first: the pixel of column i and row j
    // is Pixels[(Height - 1 - j) * Width + i], so at 32 bits the array is the
    // file's pixel data.
    std::unique_ptr<RGBApixel[]> Pixels;
    size_t Capacity;  // pixels allocated, at least Width x Height
    // Per stored row, whether it still waits for the blank pixel.
    std::unique_ptr<bool[]> Unfilled;
    int XPelsPerMeter;
    int YPelsPerMeter;
};
