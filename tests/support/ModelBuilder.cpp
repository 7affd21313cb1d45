// Model-file builder: lays out header, objects, index list, vertex records, matrices and textures.
#include "ModelBuilder.h"

#include <squish.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "model/GeometryScan.h"

namespace {

constexpr size_t HeaderSize = 256;
constexpr uint8_t TextureFiller = 0xAB;  // never part of a texture marker, nor a marker float

size_t Align4(size_t N) { return (N + 3) & ~size_t{3}; }

void PutMatrix(std::vector<uint8_t>& B, size_t Offset, const Mat4x4& M) {
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) PutF32(B, Offset + 16 * r + 4 * c, M.E[r][c]);
}

bool IsTextureMarker(const std::vector<uint8_t>& B, size_t i) {
    static const uint8_t Marker[8] = {0, 0, 0, 0, 0, 0, 0, 0x99};
    return i + 8 <= B.size() && std::memcmp(B.data() + i, Marker, 8) == 0;
}

}  // namespace

void PutU32(std::vector<uint8_t>& Bytes, size_t Offset, uint32_t Value) {
    if (Bytes.size() < Offset + 4) Bytes.resize(Offset + 4);
    for (int b = 0; b < 4; b++) Bytes[Offset + b] = static_cast<uint8_t>(Value >> (8 * b));
}
void PutI32(std::vector<uint8_t>& Bytes, size_t Offset, int32_t Value) {
    PutU32(Bytes, Offset, static_cast<uint32_t>(Value));
}
void PutF32(std::vector<uint8_t>& Bytes, size_t Offset, float Value) {
    PutU32(Bytes, Offset, std::bit_cast<uint32_t>(Value));
}
void PutI16(std::vector<uint8_t>& Bytes, size_t Offset, int16_t Value) {
    if (Bytes.size() < Offset + 2) Bytes.resize(Offset + 2);
    const auto U = static_cast<uint16_t>(Value);
    Bytes[Offset] = static_cast<uint8_t>(U);
    Bytes[Offset + 1] = static_cast<uint8_t>(U >> 8);
}

Mat4x4 ModelBuilder::Identity() {
    Mat4x4 M{};
    for (int d = 0; d < 4; d++) M.E[d][d] = 1.0f;
    return M;
}

Mat4x4 ModelBuilder::Translation(float X, float Y, float Z) {
    Mat4x4 M = Identity();
    M.E[3][0] = X;
    M.E[3][1] = Y;
    M.E[3][2] = Z;
    return M;
}

std::vector<uint8_t> CompressDxt5(int Width, int Height, const std::vector<uint8_t>& Rgba) {
    if (Width % 4 != 0 || Height % 4 != 0 || Rgba.size() != size_t(Width) * Height * 4)
        throw std::invalid_argument("CompressDxt5: sides must be multiples of 4");
    std::vector<uint8_t> Blocks;
    Blocks.reserve(size_t(Width) * Height);
    for (int by = 0; by < Height / 4; by++)
        for (int bx = 0; bx < Width / 4; bx++) {
            uint8_t Pixels[64];
            for (int b = 0; b < 16; b++) {
                const size_t Src = (size_t(by * 4 + b / 4) * Width + bx * 4 + b % 4) * 4;
                std::memcpy(Pixels + 4 * b, Rgba.data() + Src, 4);
            }
            uint8_t Block[16];
            squish::Compress(Pixels, Block, squish::kDxt5);
            Blocks.insert(Blocks.end(), Block, Block + 16);
        }
    return Blocks;
}

std::vector<uint8_t> ModelBuilder::Build() const {
    std::vector<uint8_t> B(HeaderSize, 0);
    PutI32(B, Header::ObjectCount, static_cast<int32_t>(Objects.size()));

    // Object blocks.
    std::vector<int> Intended;
    size_t Cursor = HeaderSize;
    for (const BuilderObject& O : Objects) {
        const size_t p = Cursor + 60;
        Intended.push_back(static_cast<int>(p));
        PutI32(B, p - 60, static_cast<int32_t>(O.Palette.size()));
        for (int k = 0; k < 3; k++) PutF32(B, p + 4 * k, O.Marker);
        PutI32(B, p + 52, static_cast<int32_t>(O.Strip.size()));
        B.resize(p + 60, 0);
        for (size_t j = 0; j < O.Palette.size(); j++) PutI16(B, p + 60 + 2 * j, O.Palette[j]);
        Cursor = Align4(p + 60 + 2 * O.Palette.size());
        B.resize(Cursor, 0);
    }

    // Index list: the objects' strips back to back.
    const size_t IndexStart = Cursor;
    for (const BuilderObject& O : Objects)
        for (int16_t e : O.Strip) {
            PutI16(B, Cursor, e);
            Cursor += 2;
        }
    PutI32(B, Header::IndexStart, static_cast<int32_t>(IndexStart - 64));
    PutI32(B, Header::IndexEnd, static_cast<int32_t>(Cursor - 64));
    Cursor = Align4(Cursor);
    B.resize(Cursor, 0);

    // Vertex records.
    PutI32(B, Header::RecordStart, static_cast<int32_t>(Cursor - 64));
    PutI32(B, Header::RecordCount, static_cast<int32_t>(Vertices.size()));
    for (const BuilderVertex& V : Vertices) {
        B.resize(Cursor + 48, 0);
        PutF32(B, Cursor, V.X);
        PutF32(B, Cursor + 4, V.Y);
        PutF32(B, Cursor + 8, V.Z);
        PutF32(B, Cursor + 12, V.W);
        PutI16(B, Cursor + 28, V.NX);
        PutI16(B, Cursor + 30, V.NY);
        PutI16(B, Cursor + 32, V.NZ);
        PutF32(B, Cursor + 36, V.U);
        PutF32(B, Cursor + 40, V.V);
        B[Cursor + 44] = V.Slot;
        Cursor += 48;
    }

    // Matrix tables.
    PutI32(B, Header::MatStart1, static_cast<int32_t>(Cursor - 64));
    PutI32(B, Header::Parts1, static_cast<int32_t>(Mats1.size()));
    for (const Mat4x4& M : Mats1) PutMatrix(B, Cursor, M), Cursor += 64;
    PutI32(B, Header::MatStart2, static_cast<int32_t>(Cursor - 64));
    PutI32(B, Header::Parts2, static_cast<int32_t>(Mats2.size()));
    for (const Mat4x4& M : Mats2) PutMatrix(B, Cursor, M), Cursor += 64;
    B.resize(Cursor, 0);

    // Texture region: filler, size words, marker, blocks.
    std::vector<size_t> TexMarkers;
    PutI32(B, Header::TexCount, static_cast<int32_t>(Textures.size()));
    PutI32(B, Header::TexStart, 0);
    size_t NextMarker = Cursor + 16;
    for (const BuilderTexture& T : Textures) {
        const size_t m = NextMarker;
        B.resize(m + 8 + T.Blocks.size(), TextureFiller);
        PutI16(B, m - 16, T.Width);
        PutI16(B, m - 14, T.Height);
        for (int k = 0; k < 7; k++) B[m + k] = 0;
        B[m + 7] = 0x99;
        std::copy(T.Blocks.begin(), T.Blocks.end(), B.begin() + m + 8);
        TexMarkers.push_back(m);
        NextMarker = std::max(m + static_cast<size_t>(TextureSpacing), B.size() + 16);
    }
    if (!TexMarkers.empty()) PutI32(B, Header::TexStart, static_cast<int32_t>(TexMarkers[0]));

    if (!AllowStrayMarkers) {
        const std::vector<int> Found = FindObjectMarkers(
            B.data(), static_cast<int>(B.size()), static_cast<int>(Objects.size()));
        if (Found != Intended)
            throw std::logic_error("ModelBuilder: the data forms an object marker of its own");
        std::vector<size_t> FoundTex;
        for (size_t i = TexMarkers.empty() ? B.size() : TexMarkers[0]; i < B.size(); i++)
            if (IsTextureMarker(B, i)) FoundTex.push_back(i);
        if (FoundTex != TexMarkers)
            throw std::logic_error("ModelBuilder: the data forms a texture marker of its own");
    }
    return B;
}

void WriteFileBytes(const std::string& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    if (!Out) throw std::runtime_error("cannot write " + Path);
}

std::vector<uint8_t> ReadFileBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + Path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}
