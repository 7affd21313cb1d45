// Geometry value types and the transforms applied to positions and normals.
#pragma once

#include <cstdint>

struct Vector2f { float X, Y; };
struct Vector3f { float X, Y, Z; };
struct Vector4f { float X, Y, Z, W; };
struct Vector3i { int16_t X, Y, Z; };

// A transform applied to row vectors from the left: E[r][c] is row r, column c;
// rows 0..2 multiply X, Y, Z, row 3 is the translation, column c gives result c.
struct Mat4x4 { float E[4][4]; };

// Position transform of (X, Y, Z, 1); the input W is not read. Each component is
// summed left to right in double precision and rounded to float once.
Vector4f VMulMat(Mat4x4 Mat, Vector4f V);

// The first three columns of VMulMat applied to N, translation row included.
Vector3f NMulMat(Mat4x4 Mat, Vector3f N);

// N divided by its single-precision length; a zero vector gives three NaNs.
//
// In all three, a NaN result has the sign of the first NaN operand in the
// written order of the operation, or is negative where no operand is NaN, in
// every build whatever the optimiser does.
Vector3f Normalize(Vector3f N);
