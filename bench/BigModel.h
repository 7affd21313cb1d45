// The big model that the benchmarks and bench/whole_run.sh run on, built in memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "ModelBuilder.h"

namespace bigmodel {

// Grid of vertex records shared by every object: GridColumns x GridRows.
inline constexpr int GridColumns = 160;
inline constexpr int GridRows = 200;
inline constexpr int VertexCount = GridColumns * GridRows;  // 32,000
inline constexpr int MatricesPerObject = 6;

// splitmix64: cheap, well-mixed bits for texture blocks.
inline uint64_t Mix(uint64_t X) {
    X += 0x9E3779B97F4A7C15ull;
    X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ull;
    X = (X ^ (X >> 27)) * 0x94D049BB133111EBull;
    return X ^ (X >> 31);
}

// Width x Height pixels of DXT5 blocks made directly from bit patterns
// (compressing megabytes with the real encoder takes far too long). Every
// 16-byte pattern is a decodable DXT5 block; these take endpoints that drift
// across the texture and hashed index bits, so both alpha modes and both
// colour modes occur. No two neighbouring bytes are both 0, so no texture
// marker (seven zero bytes, then 0x99) can form inside the pixel data.
inline std::vector<uint8_t> CheapDxt5Blocks(int Width, int Height, uint64_t Seed) {
    const int Blocks = (Width / 4) * (Height / 4);
    std::vector<uint8_t> Out(static_cast<size_t>(Blocks) * 16);
    for (int b = 0; b < Blocks; b++) {
        const uint64_t H1 = Mix(Seed * 0x100000001ull + static_cast<uint64_t>(b));
        const uint64_t H2 = Mix(H1);
        uint8_t* B = Out.data() + 16 * static_cast<size_t>(b);
        const int bx = b % (Width / 4), by = b / (Width / 4);
        B[0] = static_cast<uint8_t>(128 + (bx & 127));  // alpha endpoints
        B[1] = static_cast<uint8_t>(H1 >> 56);
        for (int k = 0; k < 6; k++) B[2 + k] = static_cast<uint8_t>((H1 >> (8 * k)) | 0x11);
        const uint16_t C0 = static_cast<uint16_t>(((by & 31) << 11) | ((bx & 63) << 5) | 9);
        const uint16_t C1 = static_cast<uint16_t>(H2 >> 48) | 0x0101;
        B[8] = static_cast<uint8_t>(C0);
        B[9] = static_cast<uint8_t>(C0 >> 8);
        B[10] = static_cast<uint8_t>(C1);
        B[11] = static_cast<uint8_t>(C1 >> 8);
        for (int k = 0; k < 4; k++) B[12 + k] = static_cast<uint8_t>((H2 >> (8 * k)) | 0x24);
    }
    return Out;
}

// A rotation about Z and a tilt about X, scaled and moved: a bone-like transform.
inline Mat4x4 BoneMatrix(int m) {
    const double A = 0.37 * m + 0.1, T = 0.11 * (m % 7);
    const double S = 1.0 + 0.013 * m;
    Mat4x4 M{};
    M.E[0][0] = static_cast<float>(S * std::cos(A));
    M.E[0][1] = static_cast<float>(S * std::sin(A) * std::cos(T));
    M.E[0][2] = static_cast<float>(S * std::sin(A) * std::sin(T));
    M.E[1][0] = static_cast<float>(-S * std::sin(A));
    M.E[1][1] = static_cast<float>(S * std::cos(A) * std::cos(T));
    M.E[1][2] = static_cast<float>(S * std::cos(A) * std::sin(T));
    M.E[2][1] = static_cast<float>(-S * std::sin(T));
    M.E[2][2] = static_cast<float>(S * std::cos(T));
    M.E[3][0] = static_cast<float>(1.5 * m - 30.25);
    M.E[3][1] = static_cast<float>(0.75 * (m % 5) + 2.125);
    M.E[3][2] = static_cast<float>(-0.5 * m);
    M.E[3][3] = 1.0f;
    return M;
}

// The shared vertex grid: a rolling surface with matching integer normals;
// neighbouring vertices share one of the object's six palette slots.
inline std::vector<BuilderVertex> GridVertices() {
    std::vector<BuilderVertex> V(VertexCount);
    for (int r = 0; r < GridRows; r++)
        for (int c = 0; c < GridColumns; c++) {
            BuilderVertex& X = V[static_cast<size_t>(r * GridColumns + c)];
            const double Height = 1.7 * std::sin(0.1 * c) * std::cos(0.13 * r);
            X.X = static_cast<float>(0.25 * c - 20.0);
            X.Y = static_cast<float>(0.25 * r - 25.0);
            X.Z = static_cast<float>(Height);
            X.NX = static_cast<int16_t>(
                std::lround(-1000 * 0.17 * std::cos(0.1 * c) * std::cos(0.13 * r)));
            X.NY = static_cast<int16_t>(
                std::lround(1000 * 0.221 * std::sin(0.1 * c) * std::sin(0.13 * r)));
            X.NZ = 1000;
            // A record's bytes 16..27 are zero, so a normal whose first non-zero
            // byte is 0x99 would form a texture marker: nudge such values by one.
            if ((X.NX & 0xFF) == 0x99) X.NX++;
            if (X.NX == 0 && (X.NY & 0xFF) == 0x99) X.NY++;
            X.U = static_cast<float>(c / (GridColumns - 1.0));
            X.V = static_cast<float>(r / (GridRows - 1.0));
            X.Slot = static_cast<uint8_t>((c / 20 + r / 25) % MatricesPerObject);
        }
    return V;
}

// A triangle strip of Entries entries over the grid from row FirstRow on: a
// zig-zag over each pair of rows, joined to the next pair by two repeated
// entries, wrapping round the grid's rows.
inline std::vector<int16_t> GridStrip(int Entries, int FirstRow) {
    std::vector<int16_t> S;
    S.reserve(static_cast<size_t>(Entries));
    for (int Pair = 0; static_cast<int>(S.size()) < Entries; Pair++) {
        const int r = (FirstRow + Pair) % (GridRows - 1);
        if (Pair > 0) {
            S.push_back(S.back());
            S.push_back(static_cast<int16_t>(r * GridColumns));
        }
        for (int c = 0; c < GridColumns; c++) {
            S.push_back(static_cast<int16_t>(r * GridColumns + c));
            S.push_back(static_cast<int16_t>((r + 1) * GridColumns + c));
        }
    }
    S.resize(static_cast<size_t>(Entries));
    return S;
}

// Objects strips of EntriesPerObject entries each over the 32,000-vertex grid,
// each object with its own six matrices, so equal records land at different
// positions in different objects.
inline ModelBuilder GeometryBuilder(int Objects, int EntriesPerObject) {
    ModelBuilder B;
    B.Vertices = GridVertices();
    B.Mats1.clear();
    for (int m = 0; m < Objects * MatricesPerObject; m++) B.Mats1.push_back(BoneMatrix(m));
    for (int k = 0; k < Objects; k++) {
        BuilderObject O;
        O.Palette.clear();
        for (int s = 0; s < MatricesPerObject; s++)
            O.Palette.push_back(static_cast<int16_t>(k * MatricesPerObject + s));
        O.Strip = GridStrip(EntriesPerObject, k * 23);
        B.Objects.push_back(O);
    }
    return B;
}

// The big model: 8 objects of 30,000 strip entries (240,000 in all) over
// 32,000 vertex records, 48 matrices, twelve 1024 x 1024 textures and three
// small ones; about 14 MB.
inline std::vector<uint8_t> MakeBigModel() {
    ModelBuilder B = GeometryBuilder(8, 30000);
    for (int t = 0; t < 12; t++)
        B.Textures.push_back({1024, 1024, CheapDxt5Blocks(1024, 1024, t + 1)});
    B.Textures.push_back({64, 64, CheapDxt5Blocks(64, 64, 100)});
    B.Textures.push_back({32, 16, CheapDxt5Blocks(32, 16, 101)});
    B.Textures.push_back({8, 8, CheapDxt5Blocks(8, 8, 102)});
    return B.Build();
}

}  // namespace bigmodel
