// Vector and matrix arithmetic used to place vertex positions and normals.
#include "geometry/Vectors.h"

#include <cmath>

namespace {

// One result column: E[0][c]*X + E[1][c]*Y + E[2][c]*Z + E[3][c], in double.
float Column(const Mat4x4& M, int c, double X, double Y, double Z) {
    double Sum = static_cast<double>(M.E[0][c]) * X;
    Sum += static_cast<double>(M.E[1][c]) * Y;
    Sum += static_cast<double>(M.E[2][c]) * Z;
    Sum += static_cast<double>(M.E[3][c]);
    return static_cast<float>(Sum);
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
    const float S = static_cast<float>(static_cast<double>(N.X) * N.X +
                                       static_cast<double>(N.Y) * N.Y +
                                       static_cast<double>(N.Z) * N.Z);
    const double L = static_cast<double>(std::sqrt(S));
    return {static_cast<float>(N.X / L), static_cast<float>(N.Y / L),
            static_cast<float>(N.Z / L)};
}
