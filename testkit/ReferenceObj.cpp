// An OBJ writer written to be checked by eye, not to be fast: the oracle for the product's writer.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <map>

#include "Exercise.h"

std::string ReferenceOBJ(const QMobject& M) {
    using Value = std::array<float, 3>;
    const Mat4x4 Identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
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
            std::map<std::array<uint32_t, 3>, long>
                Seen;  // +0 and -0 share a key; a NaN is never looked up
            for (long i = From; i < To; i++) {
                const int v = M.VerticesRange[i];
                if (v < 0 || v >= M.RVNumber) continue;
                // A slot past the palette or a palette entry outside the table means the identity.
                const int Slot = M.UsedMatrix[v],
                          Pick = Slot < M.PerObjectMatCol[o] ? M.ObjectsUsedMat[o][Slot] : -1;
                const Mat4x4& Mat = Pick >= 0 && Pick < M.Parts1 ? M.Mats1[Pick] : Identity;
                const Vector4f P = VMulMat(Mat, M.Vertices[v]);
                const Vector3f N = Normalize(NMulMat(Mat, M.Normals[v]));
                const Value Values[3] = {
                    {P.X, P.Y, P.Z}, {M.TexCoords[v].X, M.TexCoords[v].Y, 0}, {-N.X, -N.Y, -N.Z}};
                const Value& V = Values[k];
                std::array<uint32_t, 3> Key{};
                for (int c = 0; c < 3; c++) Key[c] = V[c] == 0 ? 0 : std::bit_cast<uint32_t>(V[c]);
                const bool NaN = std::any_of(V.begin(), V.end(), [](float F) { return F != F; });
                const auto [At, New] =
                    NaN ? std::pair{Seen.end(), true} : Seen.try_emplace(Key, Count[k]);
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
            S += "f";
            for (const auto* X : {&A, &B, &C})
                for (int k = 0; k < 3; k++) {
                    S += k == 0 ? ' ' : '/';
                    S += std::to_string((*X)[k] + Base[k]);
                }
            S += "\n";
            Faces++;
        }
        S += "# " + std::to_string(Faces) + " faces\n\ng\n";
        for (int k = 0; k < 3; k++) Base[k] += Count[k];
    }
    return S;
}
