// Model-file builder and the model recipes shared by tests, benchmarks, fuzz seeds and the sample.
#include "ModelBuilder.h"

#include <squish.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "model/GeometryScan.h"
#include "model/ModelLayout.h"

namespace {

using namespace layout;

// Room for every header field; the sections follow.
constexpr size_t HeaderSize = 256;
static_assert(HeaderSize >= header::Size);
constexpr uint8_t TextureFiller = 0xAB;  // never part of a texture marker, nor a marker float

constexpr std::array<uint8_t, texture::MarkerSize> TextureMarker{0, 0, 0, 0,
                                                                 0, 0, 0, texture::MarkerLastByte};

size_t Align4(size_t N) { return (N + 3) & ~size_t{3}; }

// The offset Field bytes from Base (Field may be negative).
size_t At(size_t Base, int64_t Field) {
    return static_cast<size_t>(static_cast<int64_t>(Base) + Field);
}

void PutF32(std::vector<uint8_t>& Bytes, size_t Offset, float Value) {
    PutU32(Bytes, Offset, std::bit_cast<uint32_t>(Value));
}

void PutI16(std::vector<uint8_t>& Bytes, size_t Offset, int16_t Value) {
    if (Bytes.size() < Offset + 2) Bytes.resize(Offset + 2);
    Bytes[Offset] = static_cast<uint8_t>(Value);
    Bytes[Offset + 1] = static_cast<uint8_t>(static_cast<uint16_t>(Value) >> 8);
}

// Compresses Width x Height RGBA pixels (row-major, 4 bytes each, sides multiples of 4) into
// DXT5 blocks in rows of Width / 4 blocks, top to bottom.
std::vector<uint8_t> CompressDxt5(int Width, int Height, const std::vector<uint8_t>& Rgba) {
    std::vector<uint8_t> Blocks;
    for (int by = 0; by < Height / 4; by++)
        for (int bx = 0; bx < Width / 4; bx++) {
            uint8_t Pixels[64], Block[texture::BlockSize];
            for (int b = 0; b < 16; b++)
                std::memcpy(Pixels + 4 * b,
                            &Rgba[(size_t(by * 4 + b / 4) * Width + bx * 4 + b % 4) * 4], 4);
            squish::Compress(Pixels, Block, squish::kDxt5);
            Blocks.insert(Blocks.end(), Block, Block + texture::BlockSize);
        }
    return Blocks;
}

// A gradient with a transparent corner, so alpha shows in the output.
std::vector<uint8_t> Gradient(int W, int H) {
    std::vector<uint8_t> Rgba(size_t(W) * H * 4);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            uint8_t* P = &Rgba[(size_t(y) * W + x) * 4];
            P[0] = static_cast<uint8_t>(255 * x / (W - 1));
            P[1] = static_cast<uint8_t>(255 * y / (H - 1));
            P[2] = 96;
            P[3] = (x < W / 4 && y < H / 4) ? 0 : 255;
        }
    return Rgba;
}

// A texture of the given size words whose blocks cover the sides rounded up to 4.
BuilderTexture GradientTexture(int16_t Width, int16_t Height) {
    const int W = (Width + 3) / 4 * 4, H = (Height + 3) / 4 * 4;
    return {Width, Height, CompressDxt5(W, H, Gradient(W, H))};
}

}  // namespace

void PutU32(std::vector<uint8_t>& Bytes, size_t Offset, uint64_t Value) {
    if (Bytes.size() < Offset + 4) Bytes.resize(Offset + 4);
    for (int b = 0; b < 4; b++) Bytes[Offset + b] = static_cast<uint8_t>(Value >> (8 * b));
}

Mat4x4 ModelBuilder::Identity() { return Translation(0, 0, 0); }

Mat4x4 ModelBuilder::Translation(float X, float Y, float Z) {
    return Mat4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {X, Y, Z, 1}}};
}

std::vector<uint8_t> ModelBuilder::Build() const {
    std::vector<uint8_t> B(HeaderSize, 0);
    PutU32(B, header::ObjectCount, Objects.size());

    std::vector<int> Intended;
    for (const BuilderObject& O : Objects) {
        const size_t p = At(B.size(), -object::PaletteLength);
        Intended.push_back(static_cast<int>(p));
        PutU32(B, At(p, object::PaletteLength), O.Palette.size());
        for (int k = 0; k < object::MarkerFloats; k++) PutF32(B, p + F32Size * k, O.Marker);
        PutU32(B, p + object::StripLength, O.Strip.size());
        for (size_t j = 0; j < O.Palette.size(); j++)
            PutI16(B, p + object::Palette + I16Size * j, O.Palette[j]);
        B.resize(Align4(p + object::Palette + I16Size * O.Palette.size()), 0);
    }

    PutU32(B, header::IndexStart, B.size() - header::GeometryBase);  // the strips back to back
    for (const BuilderObject& O : Objects)
        for (int16_t e : O.Strip) PutI16(B, B.size(), e);
    PutU32(B, header::IndexEnd, B.size() - header::GeometryBase);
    B.resize(Align4(B.size()), 0);

    PutU32(B, header::RecordStart, B.size() - header::GeometryBase);
    PutU32(B, header::RecordCount, Vertices.size());
    for (const BuilderVertex& V : Vertices) {
        const size_t r = B.size();
        B.resize(r + record::Size, 0);
        const float Position[] = {V.X, V.Y, V.Z, V.W};
        for (int k = 0; k < 4; k++) PutF32(B, r + record::Position + F32Size * k, Position[k]);
        const int16_t Normal[] = {V.NX, V.NY, V.NZ};
        for (int k = 0; k < 3; k++) PutI16(B, r + record::Normal + I16Size * k, Normal[k]);
        PutF32(B, r + record::TexCoord, V.U);
        PutF32(B, r + record::TexCoord + F32Size, V.V);
        B[r + record::Slot] = V.Slot;
    }

    for (const auto& [Table, Start, Count] :
         {std::tuple{&Mats1, header::MatrixStart1, header::MatrixCount1},
          std::tuple{&Mats2, header::MatrixStart2, header::MatrixCount2}}) {
        PutU32(B, Start, B.size() - header::GeometryBase);
        PutU32(B, Count, Table->size());
        for (const Mat4x4& M : *Table)  // row by row: row-major
            for (const auto& Row : M.E)
                for (const float E : Row) PutF32(B, B.size(), E);
    }

    PutU32(B, header::TextureCount, Textures.size());
    size_t Marker = At(B.size(), -texture::Width);
    for (const BuilderTexture& T : Textures) {
        if (&T == &Textures[0]) PutU32(B, header::TextureStart, Marker);
        B.resize(Marker + texture::PixelData + T.Blocks.size(), TextureFiller);
        PutI16(B, At(Marker, texture::Width), T.Width);
        PutI16(B, At(Marker, texture::Height), T.Height);
        std::copy(TextureMarker.begin(), TextureMarker.end(), B.data() + Marker);
        std::copy(T.Blocks.begin(), T.Blocks.end(), B.data() + Marker + texture::PixelData);
        Marker = std::max(Marker + TextureSpacing, At(B.size(), -texture::Width));
    }

    if (FindObjectMarkers(B.data(), int(B.size()), int(Objects.size())) != Intended)
        throw std::logic_error("ModelBuilder: the data forms an object marker of its own");
    size_t Found = 0;
    for (size_t i = 0; i + texture::MarkerSize <= B.size(); i++)
        Found += std::equal(TextureMarker.begin(), TextureMarker.end(), B.data() + i);
    if (Found != Textures.size())
        throw std::logic_error("ModelBuilder: the data forms a texture marker of its own");
    return B;
}

ModelBuilder DemoModel() {
    ModelBuilder B;
    // Identity, a move along X, and a quarter turn about Z lifted by 3.
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(2, 0, 0),
               Mat4x4{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 3, 0, 1}}}};
    B.Mats2 = {ModelBuilder::Translation(0, 0, 1)};
    // A unit quad and a fifth vertex beyond it, all facing +Z.
    B.Vertices = {{0, 0, 0, 1, 0, 0, 100, 0, 0, 0},
                  {1, 0, 0, 1, 0, 0, 100, 1, 0, 0},
                  {0, 1, 0, 1, 0, 0, 100, 0, 1, 0},
                  {1, 1, 0, 1, 0, 0, 100, 1, 1, 0},
                  {2, 1, 0.25f, 1, 0, 30, 100, 1, 0.5f, 1}};
    B.Objects = {{0.5f, {0}, {0, 1, 2, 3}},            // the quad as it is
                 {0.75f, {1, 2}, {0, 1, 2, 2, 3, 4}},  // moved, a strip join at vertex 2
                 {0.25f, {2, 1}, {1, 3, 4}}};          // turned and lifted
    B.Textures = {GradientTexture(16, 16), GradientTexture(32, 8), GradientTexture(8, 32)};
    return B;
}

ModelBuilder EdgeModel() {
    ModelBuilder B = DemoModel();
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    const float Inf = std::numeric_limits<float>::infinity();
    B.Vertices[1].X = NaN;
    B.Vertices[2].Y = Inf;
    B.Vertices[3] = {1, 1, NaN, 1, 0, 0, 0, -NaN, -Inf, 0};  // every value NaN
    B.Vertices[4].NX = B.Vertices[4].NY = B.Vertices[4].NZ = 0;
    B.Vertices[0].X = std::numeric_limits<float>::max();
    B.Vertices[0].Slot = 255;
    B.Mats1[0] = ModelBuilder::Translation(0, 0, 3);  // palette entry 0 is no identity here
    B.Mats1[1].E[3][0] = -0.0f;
    B.Objects[1].Palette = {7, -1};
    B.Objects[2].Strip = {3, 0, 1, 2, 3, 4, 5, -1, 32767, 1, 1, 1, 2};  // opens with vertex 3
    B.Textures = {GradientTexture(6, 5), GradientTexture(1, 1), GradientTexture(3, 9)};
    return B;
}

void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()),
              static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    if (!Out) throw std::runtime_error("cannot write " + Path);
}

std::vector<uint8_t> ReadFileBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + Path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In),
                                std::istreambuf_iterator<char>());
}
