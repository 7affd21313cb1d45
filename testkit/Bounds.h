// The most that one model file of N bytes may cost: the bounds that ExerciseModel checks on every
// file the tests and the fuzzer give it, each with its derivation.
#pragma once

#include <cstdint>

#include "geometry/FloatFormat.h"
#include "model/ModelLayout.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace bounds {

using namespace layout;

// Objects: markers lie at least NextCandidate bytes apart.
constexpr uint64_t MaxObjects(uint64_t N) { return N / object::NextCandidate + 1; }

// OBJ text. Each index-list entry (I16Size file bytes) adds at most one line of each kind:
// - "v  ", three "%f" numbers of at most FixedMaxChars characters, two blanks, the line end;
// - "vt  ", two such numbers, " 0.000000", the line end;
// - "vn  ", three components of a unit vector ("-0.577350") or NaN ("-nan"), two blanks, the
//   line end;
// - "f ", three corners "p/t/n" of 10-digit numbers, two blanks, the line end.
inline constexpr uint64_t ObjBytesPerEntry = (3 + 3 * FixedMaxChars + 3) +
                                             (4 + 2 * FixedMaxChars + 1 + 10) + (4 + 3 * 9 + 3) +
                                             (2 + 3 * (3 * 10 + 2) + 3);
// Each object adds its comment, count and group lines with 10-digit numbers (162 bytes), and the
// file opens with "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n" (39 bytes).
constexpr uint64_t MaxObjBytes(uint64_t N) {
    return ObjBytesPerEntry * (N / I16Size) + 162 * MaxObjects(N) + 39;
}

// Images: the scan finds at most N / (MinSpacing + 1) + 2 directory entries, and the header
// count may exceed that by TextureCountSlack.
constexpr uint64_t MaxImages(uint64_t N) {
    return N / (texture::MinSpacing + 1) + 2 + TextureCountSlack;
}

// BMP bytes: at most TextureBudgetFactor x N block bytes are decoded, a block of BlockSize bytes
// gives 16 pixels of 4 bytes, and each image adds its 54-byte headers and, when it has no pixel
// data, its one pixel.
constexpr uint64_t MaxBmpBytes(uint64_t N) {
    return 16 * 4 / texture::BlockSize * TextureBudgetFactor * N + (54 + 4) * MaxImages(N);
}

// The console report: one line of under 64 bytes per object, and per image one line and two
// warning lines of the image class, with 256 bytes for the count lines.
constexpr uint64_t MaxReportBytes(uint64_t N) {
    return 64 * MaxObjects(N) + 3 * 64 * MaxImages(N) + 256;
}

// Peak heap (counted by HeapMeter): measured at 20 x N plus the OBJ writer's fixed buffers on a
// file built for the worst case (a marker every NextCandidate bytes, each with a whole palette,
// every header section spanning the file, one texture as large as the file).
constexpr uint64_t MaxHeapBytes(uint64_t N) { return 21 * N + (uint64_t{4} << 20); }

}  // namespace bounds
