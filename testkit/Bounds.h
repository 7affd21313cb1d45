// The most that one model file of Size bytes may cost: the bounds that ExerciseModel checks on
// every file the tests and the fuzzer give it, each with its derivation.
#pragma once

#include <cstdint>

#include "geometry/FloatFormat.h"
#include "model/ModelLayout.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace bounds {

// Objects: markers lie at least NextCandidate bytes apart.
constexpr uint64_t MaxObjects(uint64_t Size) { return Size / layout::object::NextCandidate + 1; }

// OBJ text. Each index-list entry (I16Size file bytes) adds at most one line of each kind:
// "v  ", three "%f" numbers of at most FixedMaxChars characters, two blanks and the line end;
inline constexpr uint64_t VLine = 3 + 3 * FixedMaxChars + 2 + 1;
// "vt  ", two numbers, " 0.000000" and the line end;
inline constexpr uint64_t VtLine = 4 + 2 * FixedMaxChars + 1 + 9 + 1;
// "vn  ", three components of a unit vector ("-0.577350") or NaN ("-nan"), two blanks, line end;
inline constexpr uint64_t VnLine = 4 + 3 * 9 + 2 + 1;
// "f ", three corners "p/t/n" of 10-digit numbers, two blanks and the line end.
inline constexpr uint64_t FaceLine = 2 + 3 * (3 * 10 + 2) + 2 + 1;
// Each object adds its comment, count and group lines, with 10-digit numbers: 162 bytes.
inline constexpr uint64_t ObjectLines = 37 + 23 + 31 + 29 + 20 + 22;
// The file opens with "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n".
inline constexpr uint64_t ObjHeader = 39;
constexpr uint64_t MaxObjBytes(uint64_t Size) {
    return (VLine + VtLine + VnLine + FaceLine) * (Size / layout::I16Size) +
           ObjectLines * MaxObjects(Size) + ObjHeader;
}

// Images: the scan finds at most Size / (MinSpacing + 1) + 2 directory entries, and the header
// count may exceed that by TextureCountSlack.
constexpr uint64_t MaxImages(uint64_t Size) {
    return Size / (layout::texture::MinSpacing + 1) + 2 + TextureCountSlack;
}

// BMP bytes: at most TextureBudgetFactor x Size block bytes are decoded, a block gives 16 pixels
// of 4 bytes, and each image adds its 54-byte headers and, when it has no pixel data, its one
// pixel.
inline constexpr uint64_t BmpBytesPerBlockByte = 16 * 4 / layout::texture::BlockSize;
constexpr uint64_t MaxBmpBytes(uint64_t Size) {
    return BmpBytesPerBlockByte * TextureBudgetFactor * Size + (54 + 4) * MaxImages(Size);
}

// The console report: one line of under 64 bytes per object, and per image one line and two
// warning lines of the image class, with 256 bytes for the count lines.
constexpr uint64_t MaxReportBytes(uint64_t Size) {
    return 64 * MaxObjects(Size) + 3 * 64 * MaxImages(Size) + 256;
}

// Peak heap (counted by HeapMeter): measured at 20 x Size plus the OBJ writer's fixed buffers on
// a file built for the worst case (a marker every NextCandidate bytes, each with a whole
// palette, every header section spanning the file, one texture as large as the file).
constexpr uint64_t MaxHeapBytes(uint64_t Size) { return 21 * Size + (uint64_t{4} << 20); }

}  // namespace bounds
