// Builder-made models that seed the fuzzers and the soak test.
#include "SeedModels.h"

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

namespace SeedModels {

namespace {

std::vector<uint8_t> Pattern(int Width, int Height, int Seed) {
    std::vector<uint8_t> Rgba(static_cast<size_t>(Width) * Height * 4);
    for (size_t i = 0; i < Rgba.size(); i++) Rgba[i] = static_cast<uint8_t>(i * (2 * Seed + 1) + Seed);
    return Rgba;
}

std::vector<BuilderVertex> Grid(int Count) {
    std::vector<BuilderVertex> Vs;
    for (int v = 0; v < Count; v++) {
        BuilderVertex V;
        V.X = static_cast<float>(v % 4);
        V.Y = static_cast<float>(v / 4);
        V.Z = 0.5f * static_cast<float>(v % 3);
        V.NX = static_cast<int16_t>(v * 1000 - 3000);
        V.NZ = 32767;
        V.U = 0.125f * static_cast<float>(v % 8);
        V.V = 0.25f * static_cast<float>(v / 4);
        V.Slot = static_cast<uint8_t>(v % 2);
        Vs.push_back(V);
    }
    return Vs;
}

}  // namespace

BuilderTexture MakeTexture(int16_t Width, int16_t Height, int Seed) {
    const int W = (Width + 3) / 4 * 4, H = (Height + 3) / 4 * 4;
    return {Width, Height, CompressDxt5(W, H, Pattern(W, H, Seed))};
}

ModelBuilder Basic() {
    ModelBuilder B;
    B.Mats1.push_back(ModelBuilder::Translation(1, -2, 3));
    B.Mats2.push_back(ModelBuilder::Translation(0, 0, 1));
    B.Vertices = Grid(8);
    BuilderObject A;
    A.Palette = {0, 1};
    A.Strip = {0, 1, 2, 3, 4, 5};
    BuilderObject C;
    C.Marker = 0.3f;
    C.Palette = {1, 0, 1};
    C.Strip = {4, 5, 6, 7};
    B.Objects = {A, C};
    B.Textures = {MakeTexture(8, 8, 1), MakeTexture(4, 4, 2)};
    return B;
}

ModelBuilder StripJoins() {
    ModelBuilder B;
    B.Vertices = Grid(12);
    BuilderObject A;
    A.Strip = {0, 1, 2, 3, 3, 4, 4, 5, 6, 7, 7, 8, 8, 9, 10, 11, 0, 0, 1};
    B.Objects = {A};
    return B;
}

ModelBuilder EdgeMarkers() {
    ModelBuilder B = Basic();
    BuilderObject D;
    D.Marker = std::bit_cast<float>(0x3E4CCCCDu);  // least float above 0.2
    D.Palette = {};
    D.Strip = {7, 6, 5};
    B.Objects[1].Marker = std::bit_cast<float>(0x3F7FFFFFu);  // greatest float below 1.0
    B.Objects.push_back(D);
    B.Textures = {MakeTexture(6, 5, 3), MakeTexture(1, 1, 4), MakeTexture(3, 9, 5)};
    return B;
}

ModelBuilder EdgeValues() {
    ModelBuilder B;
    B.Vertices = Grid(6);
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    const float Inf = std::numeric_limits<float>::infinity();
    B.Vertices[1].X = NaN;
    B.Vertices[2].Y = Inf;
    B.Vertices[3].U = NaN;
    B.Vertices[3].V = -Inf;
    B.Vertices[4].NX = B.Vertices[4].NY = B.Vertices[4].NZ = 0;
    B.Vertices[5].X = std::numeric_limits<float>::max();
    B.Vertices[5].Slot = 255;
    B.Vertices[0].NX = -32768;
    BuilderObject A;
    A.Palette = {0, 7, -1};
    A.Strip = {0, 1, 2, 3, 4, 5, 6, -1, 32767, 1, 1, 1, 2};
    B.Objects = {A};
    B.Mats1[0].E[3][0] = -0.0f;
    B.Textures = {MakeTexture(4, 8, 6)};
    return B;
}

}  // namespace SeedModels
