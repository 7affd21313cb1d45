// The OBJ writer with quadratic de-duplication, transforms recomputed per comparison, and fprintf per number.
#include <cstdio>
#include <vector>

#include "Literal.h"

namespace literal {

namespace {

struct Corner {
    int X, Y, Z;
};

// Reads the record the way ::WriteOBJ documents for references that point
// outside their arrays.
class Entries {
public:
    Entries(const QMobject& M, int o) : M_(M), o_(o) {}

    // Whether entry i names a vertex record.
    bool Valid(int i) const {
        const int v = M_.VerticesRange[i];
        return v >= 0 && v < M_.RVNumber;
    }

    // M(i): the matrix picked by the vertex's slot in the object's palette, or
    // the identity when the slot or the palette entry points nowhere.
    Mat4x4 Matrix(int i) const {
        const int v = M_.VerticesRange[i];
        const int Slot = M_.UsedMatrix[v];
        if (Slot >= 0 && Slot < M_.PerObjectMatCol[o_]) {
            const int Entry = M_.ObjectsUsedMat[o_][Slot];
            if (Entry >= 0 && Entry < M_.Parts1) return M_.Mats1[Entry];
        }
        Mat4x4 Identity{};
        for (int d = 0; d < 4; d++) Identity.E[d][d] = 1.0f;
        return Identity;
    }

    Vector4f P(int i) const { return VMulMat(Matrix(i), M_.Vertices[M_.VerticesRange[i]]); }
    Vector2f T(int i) const { return M_.TexCoords[M_.VerticesRange[i]]; }
    Vector3f N(int i) const {
        const Vector3f R = Normalize(NMulMat(Matrix(i), M_.Normals[M_.VerticesRange[i]]));
        return {-R.X, -R.Y, -R.Z};
    }

private:
    const QMobject& M_;
    int o_;
};

bool Same(const Vector4f& A, const Vector4f& B) { return A.X == B.X && A.Y == B.Y && A.Z == B.Z; }
bool Same(const Vector2f& A, const Vector2f& B) { return A.X == B.X && A.Y == B.Y; }
bool Same(const Vector3f& A, const Vector3f& B) { return A.X == B.X && A.Y == B.Y && A.Z == B.Z; }

}  // namespace

void WriteOBJ(std::FILE* QMdata, const QMobject& QMModel) {
    std::fprintf(QMdata, "# Max2Obj Version 4.0 Mar 10th, 2001\n");
    std::fprintf(QMdata, "#\n");
    int RealV = 1, RealT = 1, RealN = 1;
    // Stretches adjoin; a negative length is empty and all are cut at the list's end.
    long long Start = 0;
    for (int o = 0; o < QMModel.Objects; o++) {
        const long long Length = QMModel.ObjectsVNumber[o + 1] > 0 ? QMModel.ObjectsVNumber[o + 1] : 0;
        const int From = static_cast<int>(Start < QMModel.VNumber ? Start : QMModel.VNumber);
        const int To = static_cast<int>(Start + Length < QMModel.VNumber ? Start + Length : QMModel.VNumber);
        Start += Length;
        const Entries E(QMModel, o);

        int VN = 0, TN = 0, NN = 0, F = 0;
        std::vector<Vector4f> Vertices;
        std::vector<Vector2f> TexCoords;
        std::vector<Vector3f> Normals;
        // The list number each written entry received; a corner whose value
        // matches no list entry (a NaN) takes the number of its own line.
        std::vector<int> WrittenV(static_cast<size_t>(To - From), -1);
        std::vector<int> WrittenT(WrittenV), WrittenN(WrittenV);

        std::fprintf(QMdata, "# object Obj%i to come ...\n", o + 1);
        std::fprintf(QMdata, "#\n");

        for (int i = From; i < To; i++) {
            if (!E.Valid(i)) continue;
            const Vector4f Vertex = E.P(i);
            bool SameV = false;
            for (int j = From; j < i && !SameV; j++) SameV = E.Valid(j) && Same(E.P(j), Vertex);
            if (!SameV) {
                std::fprintf(QMdata, "v  %f %f %f\n", Vertex.X, Vertex.Y, Vertex.Z);
                Vertices.push_back(Vertex);
                WrittenV[static_cast<size_t>(i - From)] = VN;
                VN++;
            }
        }
        std::fprintf(QMdata, "# %i vertices\n", VN);
        std::fprintf(QMdata, "\n");

        for (int i = From; i < To; i++) {
            if (!E.Valid(i)) continue;
            const Vector2f TexCoord = E.T(i);
            bool SameT = false;
            for (int j = From; j < i && !SameT; j++) SameT = E.Valid(j) && Same(E.T(j), TexCoord);
            if (!SameT) {
                std::fprintf(QMdata, "vt  %f %f %f\n", TexCoord.X, TexCoord.Y, 0.0);
                TexCoords.push_back(TexCoord);
                WrittenT[static_cast<size_t>(i - From)] = TN;
                TN++;
            }
        }
        std::fprintf(QMdata, "# %i texture vertices\n", TN);
        std::fprintf(QMdata, "\n");

        for (int i = From; i < To; i++) {
            if (!E.Valid(i)) continue;
            const Vector3f Normal = E.N(i);
            bool SameN = false;
            for (int j = From; j < i && !SameN; j++) SameN = E.Valid(j) && Same(E.N(j), Normal);
            if (!SameN) {
                std::fprintf(QMdata, "vn  %f %f %f\n", Normal.X, Normal.Y, Normal.Z);
                Normals.push_back(Normal);
                WrittenN[static_cast<size_t>(i - From)] = NN;
                NN++;
            }
        }
        std::fprintf(QMdata, "# %i vertex normals\n", NN);
        std::fprintf(QMdata, "\n");

        std::fprintf(QMdata, "g Obj%i\n", o + 1);
        std::fprintf(QMdata, "s %i\n", 1);

        for (int i = From; i < To - 2; i++) {
            Corner A[3];
            bool Placed = true;
            for (int h = 0; h < 3; h++) {
                const int k = i + h;
                if (!E.Valid(k)) {
                    Placed = false;
                    break;
                }
                const size_t Own = static_cast<size_t>(k - From);
                A[h] = {WrittenV[Own], WrittenT[Own], WrittenN[Own]};
                const Vector4f Vertex = E.P(k);
                for (int n = 0; n < VN; n++)
                    if (Same(Vertices[static_cast<size_t>(n)], Vertex)) A[h].X = n;
                const Vector2f TexCoord = E.T(k);
                for (int n = 0; n < TN; n++)
                    if (Same(TexCoords[static_cast<size_t>(n)], TexCoord)) A[h].Y = n;
                const Vector3f Normal = E.N(k);
                for (int n = 0; n < NN; n++)
                    if (Same(Normals[static_cast<size_t>(n)], Normal)) A[h].Z = n;
            }
            if (!Placed) continue;
            if (A[0].X != A[1].X && A[0].X != A[2].X && A[1].X != A[2].X) {
                std::fprintf(QMdata, "f %i/%i/%i %i/%i/%i %i/%i/%i\n", A[0].X + RealV,
                             A[0].Y + RealT, A[0].Z + RealN, A[1].X + RealV, A[1].Y + RealT,
                             A[1].Z + RealN, A[2].X + RealV, A[2].Y + RealT, A[2].Z + RealN);
                F++;
            }
        }
        std::fprintf(QMdata, "# %i faces\n", F);
        std::fprintf(QMdata, "\n");
        std::fprintf(QMdata, "g\n");

        RealV += VN;
        RealT += TN;
        RealN += NN;
    }
}

}  // namespace literal
