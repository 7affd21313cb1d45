// Geometry value types: plain vectors and 4 x 4 matrices (their arithmetic is in Transforms.h).
#pragma once

#include <cstdint>

struct Vector2f {
    float X, Y;
};
struct Vector3f {
    float X, Y, Z;
};
struct Vector4f {
    float X, Y, Z, W;
};
struct Vector3i {
    int16_t X, Y, Z;
};

// A transform applied to row vectors from the left: E[r][c] is row r, column c;
// rows 0..2 multiply X, Y, Z, row 3 is the translation, column c gives result c.
struct Mat4x4 {
    float E[4][4];
};
