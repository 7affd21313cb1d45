// Vector and matrix arithmetic used to place vertex positions and normals.
#include "geometry/Vectors.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace {

// Which NaN survives an operation with two NaN operands depends on the order
// in which the processor sees them, and the optimiser may exchange the
// operands of a sum or product. So a NaN result is settled here: it takes the
// sign of the first NaN among Operands (the written order of the operation),
// or, where no operand is NaN (0 / 0, infinity - infinity, 0 x infinity), the
// negative sign of the default NaN of x86 processors. Every build then writes
// the same "nan" or "-nan".
double Settle(double Result, std::initializer_list<double> Operands) {
    if (!std::isnan(Result)) return Result;
    for (double V : Operands)
        if (std::isnan(V)) return std::copysign(std::numeric_limits<double>::quiet_NaN(), V);
    return -std::numeric_limits<double>::quiet_NaN();
}

// One result column: E[0][c]*X + E[1][c]*Y + E[2][c]*Z + E[3][c], in double.
float Column(const Mat4x4& M, int c, double X, double Y, double Z) {
    double Sum = static_cast<double>(M.E[0][c]) * X;
    Sum += static_cast<double>(M.E[1][c]) * Y;
    Sum += static_cast<double>(M.E[2][c]) * Z;
    Sum += static_cast<double>(M.E[3][c]);
    return static_cast<float>(Settle(Sum, {M.E[0][c], X, M.E[1][c], Y, M.E[2][c], Z, M.E[3][c]}));
}

}  // namespace

Vector4f VMulMat(Mat4x4 Mat, Vector4f V) {
    return {Column(Mat, 0, V.X, V.Y, V.Z), Column(Mat, 1, V.X, V.Y, V.Z),
            Column(Mat, 2, V.X, V.Y, V.Z), Column(Mat, 3, V.X, V.Y, V.Z)};
}

Vector3f NMulMat(Mat4x4 Mat, Vector3f N) {
    return {Column(Mat, 0, N.X, N.Y, N.Z), Column(Mat, 1, N.X, N.Y, N.Z),
            Column(Mat, 2, N.X, N.Y, N.Z)};
}

Vector3f Normalize(Vector3f N) {
    const double Square = static_cast<double>(N.X) * N.X + static_cast<double>(N.Y) * N.Y +
                          static_cast<double>(N.Z) * N.Z;
    const float S = static_cast<float>(Settle(Square, {N.X, N.Y, N.Z}));
    const double L = static_cast<double>(std::sqrt(S));
    return {static_cast<float>(Settle(N.X / L, {N.X, L})), static_cast<float>(Settle(N.Y / L, {N.Y, L})),
            static_cast<float>(Settle(N.Z / L, {N.Z, L}))};
}
