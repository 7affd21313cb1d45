// Builds model files byte by byte for tests, benchmarks, fuzz seeds and the bundled sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Vectors.h"

// One vertex record.
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

// One texture: its size words and its pixel data (DXT5 blocks).
struct BuilderTexture {
    int16_t Width = 0, Height = 0;
    std::vector<uint8_t> Blocks;
};

// Lays out a model file (its fields as src/model/ModelLayout.h names them): the header, the
// object blocks, the index list, the vertex records, matrix tables 1 and 2, then the texture
// region, whose markers lie at least TextureSpacing bytes apart.
// Build() throws std::logic_error when the data forms an object or texture
// marker of its own, so filler never changes what the scans find.
struct ModelBuilder {
    std::vector<Mat4x4> Mats1{Identity()};
    std::vector<Mat4x4> Mats2;
    std::vector<BuilderVertex> Vertices;
    std::vector<BuilderObject> Objects;
    std::vector<BuilderTexture> Textures;
    int TextureSpacing = 520;

    static Mat4x4 Identity();
    static Mat4x4 Translation(float X, float Y, float Z);
    std::vector<uint8_t> Build() const;
};

// The bundled sample: three objects under different matrices, shared
// vertices, a strip join, and three textures with a transparent corner.
ModelBuilder DemoModel();
// Hostile values: NaN and infinite positions and coordinates, a zero normal,
// slots past the palette, palette entries past the matrix table, index
// entries past the records, textures with odd sides.
ModelBuilder EdgeModel();

// Writes the low 32 bits of Value little-endian at Offset, growing Bytes as needed.
void PutU32(std::vector<uint8_t>& Bytes, size_t Offset, uint64_t Value);

// Whole-file I/O for tools and tests; both throw std::runtime_error on failure.
void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& Path);
