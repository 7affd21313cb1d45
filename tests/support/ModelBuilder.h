// Builds model files byte by byte for tests, benchmarks, fuzz seeds and the bundled sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Vectors.h"

// One 48-byte vertex record.
struct BuilderVertex {
    float X = 0, Y = 0, Z = 0, W = 1;
    int16_t NX = 0, NY = 0, NZ = 1;
    float U = 0, V = 0;
    uint8_t Slot = 0;
};

// One object: its marker value, matrix palette and triangle strip (index-list entries).
struct BuilderObject {
    float Marker = 0.5f;
    std::vector<int16_t> Palette{0};
    std::vector<int16_t> Strip;
};

// One texture: its size words and its pixel data (DXT5 blocks, 16 bytes each).
struct BuilderTexture {
    int16_t Width = 0, Height = 0;
    std::vector<uint8_t> Blocks;
};

// Compresses Width x Height RGBA pixels (row-major, 4 bytes each) into DXT5
// blocks laid out in rows of Width / 4 blocks, top to bottom. Sides must be
// multiples of 4.
std::vector<uint8_t> CompressDxt5(int Width, int Height, const std::vector<uint8_t>& Rgba);

// Lays out a model file:
//   header (256 bytes; fields at 8, 12, 72, 76, 84, 92, 96, 108, 192, 196, 208),
//   object blocks (palette length at p-60, marker at p, strip length at p+52, palette at p+60),
//   index list, vertex records, matrix table 1, matrix table 2,
//   texture region (size words at m-16 and m-14, marker at m, blocks from m+8;
//   markers at least TextureSpacing bytes apart).
// Build() verifies that the geometry and texture scans would find exactly the
// intended markers, so filler bytes never form an accidental marker; it throws
// std::logic_error when the data itself forms one (unless AllowStrayMarkers).
struct ModelBuilder {
    std::vector<Mat4x4> Mats1{Identity()};
    std::vector<Mat4x4> Mats2;
    std::vector<BuilderVertex> Vertices;
    std::vector<BuilderObject> Objects;
    std::vector<BuilderTexture> Textures;
    int TextureSpacing = 520;  // bytes from one texture marker to the next, at least
    bool AllowStrayMarkers = false;

    static Mat4x4 Identity();
    static Mat4x4 Translation(float X, float Y, float Z);

    std::vector<uint8_t> Build() const;
};

// Offsets of the header fields, for tests that poke at them.
namespace Header {
inline constexpr int TexCount = 8, TexStart = 12, MatStart1 = 72, Parts1 = 76, Parts2 = 84,
                     MatStart2 = 92, ObjectCount = 96, IndexEnd = 108, RecordCount = 192,
                     RecordStart = 196, IndexStart = 208;
}

void PutI32(std::vector<uint8_t>& Bytes, size_t Offset, int32_t Value);
void PutI16(std::vector<uint8_t>& Bytes, size_t Offset, int16_t Value);
void PutF32(std::vector<uint8_t>& Bytes, size_t Offset, float Value);
void PutU32(std::vector<uint8_t>& Bytes, size_t Offset, uint32_t Value);

// Writes bytes to a file, throwing std::runtime_error when it cannot.
void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& Path);
