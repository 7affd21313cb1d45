// The big model that the benchmarks and bench/whole_run.sh run on: a recipe on the model builder.
#pragma once

#include <cmath>
#include <cstdint>

#include "ModelBuilder.h"

// 8 objects of 30,000 strip entries over one grid of 160 x 200 vertex records,
// each object under its own six matrices (48 in all), twelve 1024 x 1024
// textures and three small ones: about 14.6 MB.
inline ModelBuilder BigModel() {
    constexpr int Columns = 160, Rows = 200, Slots = 6, Objects = 8, Entries = 30000;
    ModelBuilder B;
    for (int r = 0; r < Rows; r++)
        for (int c = 0; c < Columns; c++) {
            // A rolling surface; even normals never put 0x99 after the record's zero bytes.
            const float Height = 1.7f * std::sin(0.1f * c) * std::cos(0.13f * r);
            const auto NX = static_cast<int16_t>(2 * (c % 101) - 100);
            const auto NY = static_cast<int16_t>(2 * (r % 77) - 76);
            B.Vertices.push_back({0.25f * c - 20, 0.25f * r - 25, Height, 1, NX, NY, 1000,
                                  c / (Columns - 1.0f), r / (Rows - 1.0f),
                                  static_cast<uint8_t>((c / 20 + r / 25) % Slots)});
        }
    // Bone-like matrices: a turn about Z, a scale and a move.
    B.Mats1.clear();
    for (int m = 0; m < Objects * Slots; m++) {
        const float C = (1 + 0.013f * m) * std::cos(0.37f * m + 0.1f);
        const float S = (1 + 0.013f * m) * std::sin(0.37f * m + 0.1f);
        B.Mats1.push_back({{{C, S, 0, 0},
                            {-S, C, 0, 0},
                            {0, 0, 1, 0},
                            {1.5f * m - 30.25f, 0.75f * (m % 5) + 2.125f, -0.5f * m, 1}}});
    }
    // Each object zig-zags over pairs of grid rows from its own first row on.
    for (int k = 0; k < Objects; k++) {
        BuilderObject O;
        O.Palette.clear();
        for (int s = 0; s < Slots; s++) O.Palette.push_back(static_cast<int16_t>(k * Slots + s));
        for (int i = 0; i < Entries; i++) {
            const int Row = (23 * k + i / (2 * Columns)) % (Rows - 1) + i % 2;
            O.Strip.push_back(static_cast<int16_t>(Row * Columns + i / 2 % Columns));
        }
        B.Objects.push_back(O);
    }
    // Hashed DXT5 blocks (any 16 bytes decode) of bytes 1 to 255: no texture marker can form.
    const int Sides[][2] = {{64, 64}, {32, 16}, {8, 8}};
    for (int t = 0; t < 15; t++) {
        const int W = t < 12 ? 1024 : Sides[t - 12][0], H = t < 12 ? 1024 : Sides[t - 12][1];
        BuilderTexture T{static_cast<int16_t>(W), static_cast<int16_t>(H), {}};
        for (uint32_t i = 0; i < static_cast<uint32_t>(W * H); i++) {
            const uint32_t X = (i + 0x9E3779B9u * (t + 1)) * 0x85EBCA6Bu;
            T.Blocks.push_back(static_cast<uint8_t>(((X ^ X >> 15) >> 8) % 255 + 1));
        }
        B.Textures.push_back(T);
    }
    return B;
}
