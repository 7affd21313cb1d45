// Writes the bundled sample model: a few objects with different matrices,
// shared vertices and a strip join, and textures square and not, with alpha.
#include <cstdio>
#include <exception>

#include "ModelBuilder.h"

namespace {

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

ModelBuilder DemoModel() {
    ModelBuilder B;
    Mat4x4 Turn{};  // a quarter turn about Z, moved up by 3
    Turn.E[0][1] = 1;
    Turn.E[1][0] = -1;
    Turn.E[2][2] = 1;
    Turn.E[3][1] = 3;
    Turn.E[3][3] = 1;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(2, 0, 0), Turn};
    B.Mats2 = {ModelBuilder::Translation(0, 0, 1)};

    // A unit quad and a fifth vertex beyond it, all facing +Z.
    B.Vertices = {
        {0, 0, 0, 1, 0, 0, 100, 0, 0, 0},
        {1, 0, 0, 1, 0, 0, 100, 1, 0, 0},
        {0, 1, 0, 1, 0, 0, 100, 0, 1, 0},
        {1, 1, 0, 1, 0, 0, 100, 1, 1, 0},
        {2, 1, 0.25f, 1, 0, 30, 100, 1, 0.5f, 1},
    };
    B.Objects = {
        {0.5f, {0}, {0, 1, 2, 3}},              // the quad as it is
        {0.75f, {1, 2}, {0, 1, 2, 2, 3, 4}},    // moved by slot 0, a strip join at vertex 2
        {0.25f, {2, 1}, {1, 3, 4}},             // turned and lifted, the last vertex moved
    };
    B.Textures = {
        {16, 16, CompressDxt5(16, 16, Gradient(16, 16))},
        {32, 8, CompressDxt5(32, 8, Gradient(32, 8))},
        {8, 32, CompressDxt5(8, 32, Gradient(8, 32))},
    };
    return B;
}

}  // namespace

int main(int argc, char** argv) {
    const char* Path = argc > 1 ? argv[1] : "samples/demo.qm";
    try {
        WriteFileBytes(Path, DemoModel().Build());
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_demo: %s\n", E.what());
        return 1;
    }
    std::printf("wrote %s\n", Path);
    return 0;
}
