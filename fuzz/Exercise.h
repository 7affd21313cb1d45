// The whole model pipeline on one buffer, with the output and heap bounds every file must keep.
#pragma once

#include <cstddef>
#include <cstdint>

// Bounds for a model file of Size bytes, whatever its bytes.
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
// BMP bytes: the block bytes decoded are at most 8 x Size (the texture budget), and 16
// block bytes give at most 16 pixels of 4 bytes; each image adds its 54-byte
// headers, and an image without pixel data is 1 x 1.
uint64_t BmpByteLimit(uint64_t Size);

struct ModelOutput {
    uint64_t ObjBytes = 0, BmpBytes = 0, Images = 0, ReportBytes = 0, PeakHeap = 0;
};

// Scans an exact-size copy of Data[0, Size) for geometry and textures, writes
// the OBJ text and every BMP image to counting streams, releases everything, and traps
// (printing the bound to standard error) when an output breaks its bound, the
// OBJ text is malformed (a line of an unknown kind, or a face corner naming a
// value not yet written), or, under AddressSanitizer, the peak heap exceeds
// HeapLimit.
ModelOutput ExerciseModel(const uint8_t* Data, size_t Size);

// Prints the broken bound to standard error and traps, so that the fuzzer keeps the input.
[[noreturn]] void BoundBroken(const char* What, uint64_t Got, uint64_t Limit, uint64_t Size);
