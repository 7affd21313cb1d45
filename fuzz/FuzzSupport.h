// Shared by the fuzz targets: counting streams, output and heap bounds, and the whole model pipeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>

// A stream buffer that stores nothing and counts every byte written to it.
class CountingBuf : public std::streambuf {
public:
    uint64_t Count() const { return Count_; }
    void Reset() { Count_ = 0; }

protected:
    int_type overflow(int_type C) override {
        if (!traits_type::eq_int_type(C, traits_type::eof())) Count_++;
        return traits_type::not_eof(C);
    }
    std::streamsize xsputn(const char*, std::streamsize N) override {
        Count_ += static_cast<uint64_t>(N);
        return N;
    }

private:
    uint64_t Count_ = 0;
};

// Bounds that a model file of Size bytes must keep, whatever its bytes.
//
// OBJ text: each index-list entry (2 file bytes) adds at most one "v" line
// (3 + 3 x 48 + 3 = 150 bytes with the longest "%f" floats), one "vt" line
// (111), one "vn" line of unit or NaN components (34) and one face line with
// three 10-digit triples (101): 396 bytes, so 198 per file byte. Each object
// (a marker takes 41 bytes at least) adds 163 bytes of comments and group
// lines, and the file opens with a 38-byte comment.
uint64_t ObjByteLimit(uint64_t Size);
// Images: at most Size / 501 + 2 directory entries are found and the header
// count may exceed that by 64.
uint64_t ImageLimit(uint64_t Size);
// BMP bytes: the decoded pixel data is at most Size block bytes in all, and
// 16 block bytes give at most 16 pixels of 4 bytes; each image adds its
// 54-byte headers, and an image without pixel data is 1 x 1.
uint64_t BmpByteLimit(uint64_t Size);
// Peak heap of one model's scan and export beyond what the caller holds:
// measured at up to 5.7 bytes per file byte (files of 256 bytes or more) on
// top of the OBJ writer's 1 MiB text chunk; the limit leaves room for growth
// without admitting a super-linear path.
uint64_t HeapLimit(uint64_t Size);

// Prints the broken bound to stderr and traps, so that the fuzzer keeps the input.
[[noreturn]] void BoundBroken(const char* What, uint64_t Got, uint64_t Limit, uint64_t Size);

// Records the largest live heap while it is armed (only under AddressSanitizer;
// elsewhere Supported() is false and Peak() stays 0).
namespace HeapWatch {
bool Supported();
void Arm();
uint64_t Disarm();  // returns the peak above the level at Arm()
}  // namespace HeapWatch

struct ModelOutput {
    uint64_t ObjBytes = 0;
    uint64_t BmpBytes = 0;
    uint64_t Images = 0;
    uint64_t ReportBytes = 0;
    uint64_t PeakHeap = 0;
};

// Scans Data[0, Size) for geometry and textures, writes the OBJ text and every
// BMP image to counting streams, releases everything and checks each result
// against the bounds above. The scans and the writers must not read outside
// a copy of exactly Size bytes.
ModelOutput ExerciseModel(const uint8_t* Data, size_t Size);

// Sends std::cout to a buffer that drops everything (the image class and the
// texture export print their warnings there).
void SilenceStdout();

// With QM_FUZZ_STATS set in the environment, prints the largest output and
// heap ratios seen by ExerciseModel when the process ends.
void ReportRatiosAtExit();
