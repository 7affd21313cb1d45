// The game folder that bench/batch_run.sh converts: a tree of model files of mixed sizes, each a
// recipe on the model builder, the same bytes on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "ModelBuilder.h"

inline constexpr int GameFolderModels = 1000;

// A small deterministic generator (splitmix64), so the folder never depends on a library's
// distributions.
class GameRandom {
public:
    explicit GameRandom(uint64_t Seed) : State_(Seed) {}
    uint64_t Next() {
        uint64_t X = (State_ += 0x9E3779B97F4A7C15ull);
        X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ull;
        X = (X ^ (X >> 27)) * 0x94D049BB133111EBull;
        return X ^ (X >> 31);
    }
    // A whole number in [Low, High].
    int Between(int Low, int High) {
        return Low + static_cast<int>(Next() % static_cast<uint64_t>(High - Low + 1));
    }

private:
    uint64_t State_;
};

// The path of model Index (0 <= Index < GameFolderModels) below the game folder: about 80 models
// in each of twelve folders, at depths one to three, one folder and some names with a blank.
inline std::string GameFolderPath(int Index) {
    static const char* const Folders[] = {
        "characters/heroes",    "characters/monsters",  "characters/people", "props/furniture",
        "props/weapons",        "props/containers",     "levels/castle",     "levels/forest",
        "levels/dungeon/lower", "levels/dungeon/upper", "levels/old town",   "vehicles"};
    GameRandom R(0x51ED270Bull * static_cast<uint64_t>(Index + 1));
    const std::string Folder = Folders[R.Between(0, 11)];
    const std::string Stem = Folder.substr(Folder.rfind('/') + 1);
    const char* Separator = Index % 17 == 5 ? " " : "_";
    return Folder + "/" + Stem + Separator + std::to_string(Index) + ".qm";
}

// Model Index of the game folder. Three kinds, by size: small props (6 in 10: 200 to 1,000
// vertices, 2 to 4 objects, 1 or 2 textures of 64 to 256 pixels a side), middling ones (3 in 10:
// up to 3,500 vertices, 6 objects, 3 textures of 128 to 512) and large ones (1 in 10: up to
// 9,000 vertices, 8 objects, 4 textures of 256 to 512). Each object draws a triangle strip over
// its own band of a rolling grid under a palette of its own matrices; textures are square or
// twice as wide as high (or as high as wide).
inline ModelBuilder GameFolderModel(int Index) {
    GameRandom R(0xC0FFEEull + 0x2545F4914F6CDD1Dull * static_cast<uint64_t>(Index + 1));
    const int Kind = R.Between(0, 9);  // 0-5 small, 6-8 middling, 9 large
    const int Size = Kind < 6 ? 0 : Kind < 9 ? 1 : 2;
    const int VertexRange[3][2] = {{200, 1000}, {1000, 3500}, {3500, 9000}};
    const int ObjectRange[3][2] = {{2, 4}, {3, 6}, {4, 8}};
    const int TextureRange[3][2] = {{1, 2}, {1, 3}, {3, 4}};
    const int SideRange[3][2] = {{0, 2}, {1, 3}, {2, 3}};  // 64 << n

    ModelBuilder B;
    const int Wanted = R.Between(VertexRange[Size][0], VertexRange[Size][1]);
    const int Columns = R.Between(20, 80);
    const int Rows = std::max(4, Wanted / Columns);
    const int Objects = R.Between(ObjectRange[Size][0], ObjectRange[Size][1]);
    const int Slots = R.Between(1, 6);
    const float Phase = 0.01f * static_cast<float>(R.Between(0, 628));
    for (int r = 0; r < Rows; r++)
        for (int c = 0; c < Columns; c++) {
            // Even normals never put 0x99 after the record's zero bytes.
            const float Height = 1.3f * std::sin(0.11f * c + Phase) * std::cos(0.07f * r);
            const auto NX = static_cast<int16_t>(2 * ((c + Index) % 101) - 100);
            const auto NY = static_cast<int16_t>(2 * (r % 77) - 76);
            B.Vertices.push_back({0.125f * c - 3.0625f, 0.125f * r - 4, Height, 1, NX, NY, 1000,
                                  c / (Columns - 1.0f), r / (Rows - 1.0f),
                                  static_cast<uint8_t>((c / 10 + r / 12) % Slots)});
        }
    // Bone-like matrices: a turn about Z, a slant, a scale and a move. No run of zeros in the
    // upper rows, so no float that follows can complete a texture marker.
    B.Mats1.clear();
    for (int m = 0; m < Objects * Slots; m++) {
        const float Angle = 0.37f * m + Phase;
        const float C = (1 + 0.011f * m) * std::cos(Angle), S = (1 + 0.011f * m) * std::sin(Angle);
        B.Mats1.push_back({{{C, S, 0.0625f, 0},
                            {-S, C, 0.125f, 0},
                            {0.0625f, -0.125f, 1, 0},
                            {1.5f * m - 9.25f, 0.75f * (m % 5) + 2.125f, -0.5f * m, 1}}});
    }
    // Object k zig-zags over the pairs of rows of its band, the bands overlapping by a row.
    for (int k = 0; k < Objects; k++) {
        BuilderObject O;
        O.Palette.clear();
        for (int s = 0; s < Slots; s++) O.Palette.push_back(static_cast<int16_t>(k * Slots + s));
        const int First = k * (Rows - 1) / Objects, Last = (k + 1) * (Rows - 1) / Objects;
        for (int Row = First; Row < std::max(Last, First + 1); Row++)
            for (int i = 0; i < 2 * Columns; i++)
                O.Strip.push_back(static_cast<int16_t>((Row + i % 2) * Columns + i / 2));
        B.Objects.push_back(O);
    }
    // Hashed DXT5 blocks of bytes 1 to 255 (any 16 bytes decode): no texture marker can form.
    const int Textures = R.Between(TextureRange[Size][0], TextureRange[Size][1]);
    for (int t = 0; t < Textures; t++) {
        const int Side = 64 << R.Between(SideRange[Size][0], SideRange[Size][1]);
        const int Shape = R.Between(0, 3);  // 0: twice as wide, 1: twice as high, else square
        const int W = Shape == 1 && Side > 64 ? Side / 2 : Side;
        const int H = Shape == 0 && Side > 64 ? Side / 2 : Side;
        BuilderTexture T{static_cast<int16_t>(W), static_cast<int16_t>(H), {}};
        const uint32_t Seed = static_cast<uint32_t>(R.Next());
        T.Blocks.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
        for (uint32_t i = 0; i < T.Blocks.size(); i++) {
            const uint32_t X = (i + Seed) * 0x85EBCA6Bu;
            T.Blocks[i] = static_cast<uint8_t>(((X ^ X >> 15) >> 8) % 255 + 1);
        }
        B.Textures.push_back(std::move(T));
    }
    return B;
}
