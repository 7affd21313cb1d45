// The model file's layout: every offset, size and marker the scans read, in one place.
#pragma once

#include <cstdint>

// All values are little-endian; integers are signed unless said otherwise.
namespace layout {

// The sizes of the file's values: floats and 32-bit integers, and 16-bit integers. Fields given
// as "f32 x 3" lie back to back, the k-th at F32Size * k from the first.
inline constexpr int64_t F32Size = 4;
inline constexpr int64_t I16Size = 2;

// The file header: offsets from the start of the file. Stored positions of the geometry
// sections count from GeometryBase: a section lies at its stored position + GeometryBase.
namespace header {
inline constexpr int64_t TextureCount = 8;   // i32
inline constexpr int64_t TextureStart = 12;  // i32, where the texture search begins
inline constexpr int64_t GeometryBase = 64;
inline constexpr int64_t MatrixStart1 = 72;  // i32, position of matrix table 1
inline constexpr int64_t MatrixCount1 = 76;  // i32
inline constexpr int64_t MatrixCount2 = 84;  // i32
inline constexpr int64_t MatrixStart2 = 92;  // i32, position of matrix table 2
inline constexpr int64_t ObjectCount = 96;   // i32, the most object markers the scan accepts
inline constexpr int64_t IndexEnd = 108;     // i32, position just past the index list
inline constexpr int64_t RecordCount = 192;  // i32, vertex records
inline constexpr int64_t RecordStart = 196;  // i32, position of the first vertex record
inline constexpr int64_t IndexStart = 208;   // i32, position of the index list
inline constexpr int64_t Size = 212;         // bytes up to the end of the last field
}  // namespace header

// An object: three equal floats, each greater than the double 0.2 and less than 1.0, form its
// marker at a buffer offset p; its other fields lie at fixed distances from p.
namespace object {
// The bit patterns of the least float above the double 0.2 and the greatest below 1.0. Between
// them floats are positive and finite, so equal values have equal bits.
inline constexpr uint32_t MarkerLow = 0x3E4CCCCDu;
inline constexpr uint32_t MarkerHigh = 0x3F7FFFFFu;
inline constexpr int64_t MarkerFloats = 3;     // f32 x 3
inline constexpr int64_t PaletteLength = -60;  // i32, entries in the matrix palette
inline constexpr int64_t StripLength = 52;     // i32, index-list entries of the object's strip
inline constexpr int64_t Palette = 60;         // i16 x length: matrix numbers in table 1
// After a marker at p the search goes on at p + NextCandidate: a marker that starts less than
// that far after another is never seen.
inline constexpr int64_t NextCandidate = 41;
// A candidate starts below the buffer's size minus CandidateTail.
inline constexpr int64_t CandidateTail = 16;
}  // namespace object

// A vertex record: offsets from its start. Records lie back to back from the stored position.
namespace record {
inline constexpr int64_t Size = 48;
inline constexpr int64_t Position = 0;   // f32 x 4: X, Y, Z, W
inline constexpr int64_t Normal = 28;    // i16 x 3: X, Y, Z
inline constexpr int64_t TexCoord = 36;  // f32 x 2: U, V
inline constexpr int64_t Slot = 44;      // u8: index into the object's matrix palette
}  // namespace record

// A matrix: f32 x 16 in row-major order, E[r][c] at RowSize * r + F32Size * c.
namespace matrix {
inline constexpr int64_t Size = 64;
inline constexpr int64_t RowSize = 16;
}  // namespace matrix

// A texture: its marker, seven zero bytes and then MarkerLastByte, at a buffer offset m; its size
// words before the marker, its DXT5 pixel data after it.
namespace texture {
inline constexpr int64_t Width = -16;   // i16
inline constexpr int64_t Height = -14;  // i16
inline constexpr int64_t MarkerSize = 8;
inline constexpr uint8_t MarkerLastByte = 0x99;
inline constexpr int64_t PixelData = 8;  // rows of 4 x 4 pixel blocks, top to bottom
inline constexpr int64_t BlockSize = 16;
// A marker begins a new texture only when it lies more than MinSpacing bytes after the previous
// one (or the region start); nearer markers belong to the texture before them.
inline constexpr int64_t MinSpacing = 500;
}  // namespace texture

}  // namespace layout
