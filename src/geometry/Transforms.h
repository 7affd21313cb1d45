// The transforms applied to positions and normals: row vectors times 4 x 4 matrices, and
// normalising.
#pragma once

#include <cmath>
#include <initializer_list>

#include "geometry/Vectors.h"

// The transforms below are defined in this header so that loops over many
// vertices (the OBJ writer's) inline them. In all of them, a NaN result has
// the sign of the first NaN operand in the written order of the operation, or
// is negative where no operand is NaN, in every build whatever the optimiser
// does: which NaN survives an operation with two NaN operands depends on the
// order in which the processor sees them, and the optimiser may exchange the
// operands of a sum or product, so a NaN result is settled by SettledNaN.

// The sign of the first NaN among Operands (the written order of the
// operation), or, where no operand is NaN (0 / 0, infinity - infinity,
// 0 x infinity), the negative sign of the default NaN of x86 processors.
double SettledNaN(std::initializer_list<double> Operands);

namespace vectors {

// Result unless it is NaN, else the settled NaN of Operands.
inline double Settle(double Result, std::initializer_list<double> Operands) {
    return std::isnan(Result) ? SettledNaN(Operands) : Result;
}

// One result column: E[0][c]*X + E[1][c]*Y + E[2][c]*Z + E[3][c], in double.
inline float Column(const Mat4x4& M, int c, double X, double Y, double Z) {
    double Sum = static_cast<double>(M.E[0][c]) * X;
    Sum += static_cast<double>(M.E[1][c]) * Y;
    Sum += static_cast<double>(M.E[2][c]) * Z;
    Sum += static_cast<double>(M.E[3][c]);
    if (!std::isnan(Sum)) return static_cast<float>(Sum);
    return static_cast<float>(SettledNaN({M.E[0][c], X, M.E[1][c], Y, M.E[2][c], Z, M.E[3][c]}));
}

}  // namespace vectors

// Position transform of (X, Y, Z, 1); the input W is not read. Each component is
// summed left to right in double precision and rounded to float once.
inline Vector4f VMulMat(Mat4x4 Mat, Vector4f V) {
    return {vectors::Column(Mat, 0, V.X, V.Y, V.Z), vectors::Column(Mat, 1, V.X, V.Y, V.Z),
            vectors::Column(Mat, 2, V.X, V.Y, V.Z), vectors::Column(Mat, 3, V.X, V.Y, V.Z)};
}

// The first three columns of VMulMat applied to N, translation row included.
inline Vector3f NMulMat(Mat4x4 Mat, Vector3f N) {
    return {vectors::Column(Mat, 0, N.X, N.Y, N.Z), vectors::Column(Mat, 1, N.X, N.Y, N.Z),
            vectors::Column(Mat, 2, N.X, N.Y, N.Z)};
}

// N divided by its single-precision length; a zero vector gives three NaNs.
inline Vector3f Normalize(Vector3f N) {
    const double Square = static_cast<double>(N.X) * N.X + static_cast<double>(N.Y) * N.Y +
                          static_cast<double>(N.Z) * N.Z;
    const float S = static_cast<float>(vectors::Settle(Square, {N.X, N.Y, N.Z}));
    const double L = static_cast<double>(std::sqrt(S));
    const auto Over = [L](float C) { return static_cast<float>(vectors::Settle(C / L, {C, L})); };
    return {Over(N.X), Over(N.Y), Over(N.Z)};
}
