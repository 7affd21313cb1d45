// An OBJ writer written to be checked by eye, not to be fast: the oracle for the product's writer.
// It computes every transform, normal and number itself from the writer's rules, and takes
// nothing from the product but the record it reads.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "Exercise.h"

namespace {

using Value = std::array<float, 3>;

// A double result rounded once to float. A NaN takes the sign of the first NaN among Operands,
// listed in the order the rule writes them, and is negative when none of them is NaN.
float Rounded(double Result, std::initializer_list<double> Operands) {
    if (!std::isnan(Result)) return static_cast<float>(Result);
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    for (double Operand : Operands)
        if (std::isnan(Operand)) return std::signbit(Operand) ? -NaN : NaN;
    return -NaN;
}

// The row vector (X, Y, Z, 1) times M, columns 0 to 2: column c is
// M[0][c]·X + M[1][c]·Y + M[2][c]·Z + M[3][c], summed left to right in double.
Value Transformed(const Mat4x4& M, const Value& V) {
    const double X = V[0], Y = V[1], Z = V[2];
    Value R;
    for (int c = 0; c < 3; c++) {
        const double E0 = M.E[0][c], E1 = M.E[1][c], E2 = M.E[2][c], E3 = M.E[3][c];
        R[c] = Rounded(E0 * X + E1 * Y + E2 * Z + E3, {E0, X, E1, Y, E2, Z, E3});
    }
    return R;
}

// V over its length: the sum of squares rounded to float, its float square root, then each
// component divided by that root in double and rounded.
Value Normalised(const Value& V) {
    const double X = V[0], Y = V[1], Z = V[2];
    const float Square = Rounded(X * X + Y * Y + Z * Z, {X, Y, Z});
    const double Length = std::sqrt(Square);
    Value N;
    for (int k = 0; k < 3; k++) N[k] = Rounded(V[k] / Length, {V[k], Length});
    return N;
}

// The matrix of vertex v in object o: a slot past the palette, or a palette entry outside
// matrix table 1, means the identity.
Mat4x4 MatrixOf(const QMobject& M, int o, int v) {
    const int Slot = M.UsedMatrix[v];
    const int Pick = Slot < M.PerObjectMatCol[o] ? M.ObjectsUsedMat[o][Slot] : -1;
    if (Pick >= 0 && Pick < M.Parts1) return M.Mats1[Pick];
    return Mat4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// The position, texture coordinate and normal that vertex v of object o shows in the file.
std::array<Value, 3> ValuesOf(const QMobject& M, int o, int v) {
    const Mat4x4 Mat = MatrixOf(M, o, v);
    const Value N = Normalised(Transformed(Mat, {M.Normals[v].X, M.Normals[v].Y, M.Normals[v].Z}));
    return {Transformed(Mat, {M.Vertices[v].X, M.Vertices[v].Y, M.Vertices[v].Z}),
            Value{M.TexCoords[v].X, M.TexCoords[v].Y, 0}, Value{-N[0], -N[1], -N[2]}};
}

}  // namespace

std::string ReferenceOBJ(const QMobject& M) {
    const char* Kinds[3][2] = {
        {"v  ", "vertices"}, {"vt  ", "texture vertices"}, {"vn  ", "vertex normals"}};
    std::string S = "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n";
    char L[512];
    long Base[3] = {1, 1, 1}, Start = 0;
    for (int o = 0; o < M.Objects; o++) {
        // The object's stretch of the index list: empty for a negative length, cut at the list's
        // end.
        const long Length = std::max(M.ObjectsVNumber[o + 1], 0);
        const long From = std::min<long>(Start, M.VNumber),
                   To = std::min<long>(Start + Length, M.VNumber);
        Start += Length;
        S += "# object Obj" + std::to_string(o + 1) + " to come ...\n#\n";
        // Per entry, the number of its position, texture coordinate and normal; -1 for an index
        // outside the records.
        std::vector<std::array<long, 3>> Numbers(static_cast<size_t>(To - From), {-1, -1, -1});
        long Count[3] = {0, 0, 0};
        for (int k = 0; k < 3; k++) {
            // Keys compare with <, so +0 and -0 are one key; a NaN is never looked up.
            std::map<Value, long> Seen;
            for (long i = From; i < To; i++) {
                const int v = M.VerticesRange[i];
                if (v < 0 || v >= M.RVNumber) continue;
                const Value V = ValuesOf(M, o, v)[k];
                const bool NaN = std::any_of(V.begin(), V.end(), [](float F) { return F != F; });
                const auto [At, New] =
                    NaN ? std::pair{Seen.end(), true} : Seen.try_emplace(V, Count[k]);
                Numbers[i - From][k] = New ? Count[k] : At->second;
                if (!New) continue;
                Count[k]++;
                std::snprintf(L, sizeof L, "%s%f %f %f\n", Kinds[k][0], V[0], V[1], V[2]);
                S += L;
            }
            S += "# " + std::to_string(Count[k]) + " " + Kinds[k][1] + "\n\n";
        }
        S += "g Obj" + std::to_string(o + 1) + "\ns 1\n";
        long Faces = 0;
        for (size_t i = 0; i + 2 < Numbers.size(); i++) {  // three valid corners at three positions
            const auto &A = Numbers[i], &B = Numbers[i + 1], &C = Numbers[i + 2];
            if (A[0] < 0 || B[0] < 0 || C[0] < 0 || A[0] == B[0] || A[0] == C[0] || B[0] == C[0])
                continue;
            std::snprintf(L, sizeof L, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld\n", A[0] + Base[0],
                          A[1] + Base[1], A[2] + Base[2], B[0] + Base[0], B[1] + Base[1],
                          B[2] + Base[2], C[0] + Base[0], C[1] + Base[1], C[2] + Base[2]);
            S += L;
            Faces++;
        }
        S += "# " + std::to_string(Faces) + " faces\n\ng\n";
        for (int k = 0; k < 3; k++) Base[k] += Count[k];
    }
    return S;
}
