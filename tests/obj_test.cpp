// The OBJ writer and the vector arithmetic: the worked example, and many generated models against a reference writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <sstream>

#include "geometry/ObjWriter.h"

namespace {

// Owns the arrays of a QMobject built field by field.
struct TestModel {
    std::vector<int> Lengths{0}, Slots, PaletteLengths;
    std::vector<short> Index;
    std::vector<std::vector<short>> Palettes;
    std::vector<short*> PalettePointers;
    std::vector<Vector4f> Vertices;
    std::vector<Vector3f> Normals;
    std::vector<Vector2f> TexCoords;
    std::vector<Mat4x4> Mats{{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}};

    void Vertex(Vector4f P, Vector3f N, Vector2f T, int Slot = 0) {
        Vertices.push_back(P), Normals.push_back(N), TexCoords.push_back(T), Slots.push_back(Slot);
    }
    // Length, when given, is stored in place of the strip's own length.
    void Object(std::vector<short> Strip, std::vector<short> Palette = {0}, std::optional<int> Length = {}) {
        Lengths.push_back(Length.value_or(static_cast<int>(Strip.size())));
        Index.insert(Index.end(), Strip.begin(), Strip.end());
        Palettes.push_back(Palette);
    }
    QMobject View() {
        PalettePointers.clear(), PaletteLengths.clear();
        for (auto& P : Palettes) PalettePointers.push_back(P.data()), PaletteLengths.push_back(int(P.size()));
        return {int(Palettes.size()), Lengths.data(), int(Index.size()), int(Vertices.size()), Index.data(),
                PalettePointers.data(), PaletteLengths.data(), Vertices.data(), Normals.data(),
                TexCoords.data(), Slots.data(), Mats.data(), Mats.data(), int(Mats.size()), 0};
    }
};

std::string Written(const QMobject& M) {
    std::ostringstream Out;
    EXPECT_TRUE(WriteOBJ(Out, M));
    return Out.str();
}

// The writer as first described: every entry compared with all earlier ones,
// every face corner given the number its entry got, and the product's choices
// for references outside their arrays.
std::string Reference(const QMobject& M) {
    static const Mat4x4 Identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    std::string S = "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n";
    char L[512];
    long Real[3] = {1, 1, 1}, Start = 0;
    for (int o = 0; o < M.Objects; o++) {
        const long Length = std::max(M.ObjectsVNumber[o + 1], 0);
        const long From = std::min<long>(Start, M.VNumber), To = std::min<long>(Start + Length, M.VNumber);
        Start += Length;
        struct Entry { bool Ok; float V[3][3]; long Number[3]; };
        std::vector<Entry> E;
        for (long i = From; i < To; i++) {
            const int v = M.VerticesRange[i];
            Entry X{v >= 0 && v < M.RVNumber, {}, {}};
            if (X.Ok) {
                const int Slot = M.UsedMatrix[v];
                const int Pick = Slot < M.PerObjectMatCol[o] ? M.ObjectsUsedMat[o][Slot] : -1;
                const Mat4x4& Mat = Pick >= 0 && Pick < M.Parts1 ? M.Mats1[Pick] : Identity;
                const Vector4f P = VMulMat(Mat, M.Vertices[v]);
                const Vector3f N = Normalize(NMulMat(Mat, M.Normals[v]));
                X.V[0][0] = P.X, X.V[0][1] = P.Y, X.V[0][2] = P.Z;
                X.V[1][0] = M.TexCoords[v].X, X.V[1][1] = M.TexCoords[v].Y, X.V[1][2] = 0;
                X.V[2][0] = -N.X, X.V[2][1] = -N.Y, X.V[2][2] = -N.Z;
            }
            E.push_back(X);
        }
        std::snprintf(L, sizeof L, "# object Obj%i to come ...\n#\n", o + 1);
        S += L;
        const char* Keys[3] = {"v  ", "vt  ", "vn  "};
        const char* Labels[3] = {"vertices", "texture vertices", "vertex normals"};
        long Count[3] = {0, 0, 0};
        for (int k = 0; k < 3; k++) {
            for (size_t i = 0; i < E.size(); i++) {
                if (!E[i].Ok) continue;
                size_t j = 0;
                while (j < i && !(E[j].Ok && E[j].V[k][0] == E[i].V[k][0] && E[j].V[k][1] == E[i].V[k][1] &&
                                  E[j].V[k][2] == E[i].V[k][2]))
                    j++;
                if (j < i) E[i].Number[k] = E[j].Number[k];
                else {
                    E[i].Number[k] = Count[k]++;
                    std::snprintf(L, sizeof L, "%s%f %f %f\n", Keys[k], E[i].V[k][0], E[i].V[k][1], E[i].V[k][2]);
                    S += L;
                }
            }
            std::snprintf(L, sizeof L, "# %li %s\n\n", Count[k], Labels[k]);
            S += L;
        }
        std::snprintf(L, sizeof L, "g Obj%i\ns 1\n", o + 1);
        S += L;
        long Faces = 0;
        for (size_t i = 0; i + 2 < E.size(); i++) {
            const Entry &A = E[i], &B = E[i + 1], &C = E[i + 2];
            if (!A.Ok || !B.Ok || !C.Ok || A.Number[0] == B.Number[0] || A.Number[0] == C.Number[0] ||
                B.Number[0] == C.Number[0])
                continue;
            S += "f";
            for (const Entry* X : {&A, &B, &C}) {
                std::snprintf(L, sizeof L, " %li/%li/%li", X->Number[0] + Real[0], X->Number[1] + Real[1],
                              X->Number[2] + Real[2]);
                S += L;
            }
            S += "\n";
            Faces++;
        }
        std::snprintf(L, sizeof L, "# %li faces\n\ng\n", Faces);
        S += L;
        for (int k = 0; k < 3; k++) Real[k] += Count[k];
    }
    return S;
}

}  // namespace

TEST(Vectors, RowVectorsSummedInDoubleAndNormalisedInFloat) {
    Mat4x4 M{{{1, 2, 0, 0}, {1, 0, 3, 0}, {1, 0, 0, 0}, {0, 5, 0, 1}}};
    const Vector4f P = VMulMat(M, {16777216.0f, 1, 1, 9});
    EXPECT_EQ(P.X, 16777218.0f);  // one rounding of the whole sum
    EXPECT_EQ(P.Y, 2 * 16777216.0f + 5);
    EXPECT_EQ(P.Z, 3.0f);
    EXPECT_EQ(P.W, 1.0f);
    const Vector3f N = NMulMat(M, {0, 1, 0});
    EXPECT_EQ(N.Y, 5.0f);  // the translation row is added to normals too
    const Vector3f U = Normalize({3, 0, 4});
    EXPECT_EQ(U.X, 0.6f);
    EXPECT_EQ(U.Z, 0.8f);
    EXPECT_TRUE(std::isnan(Normalize({0, 0, 0}).Y));
}

TEST(ObjWriter, WorkedExampleAndTranslatedNormal) {
    TestModel T;
    for (float Y : {0.0f, 1.0f})
        for (float X : {0.0f, 1.0f}) T.Vertex({X, Y, 0, 1}, {1, 2, 2}, {X, Y});
    T.Object({0, 1, 2, 3});
    EXPECT_EQ(Written(T.View()),
              "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n# object Obj1 to come ...\n#\n"
              "v  0.000000 0.000000 0.000000\nv  1.000000 0.000000 0.000000\n"
              "v  0.000000 1.000000 0.000000\nv  1.000000 1.000000 0.000000\n# 4 vertices\n\n"
              "vt  0.000000 0.000000 0.000000\nvt  1.000000 0.000000 0.000000\n"
              "vt  0.000000 1.000000 0.000000\nvt  1.000000 1.000000 0.000000\n# 4 texture vertices\n\n"
              "vn  -0.333333 -0.666667 -0.666667\n# 1 vertex normals\n\n"
              "g Obj1\ns 1\nf 1/1/1 2/2/1 3/3/1\nf 2/2/1 3/3/1 4/4/1\n# 2 faces\n\ng\n");
    TestModel N;
    N.Mats[0].E[3][0] = 3;
    N.Vertex({0, 0, 0, 1}, {0, 0, 4}, {0, 0});
    N.Object({0});
    EXPECT_NE(Written(N.View()).find("\nvn  -0.600000 -0.000000 -0.800000\n"), std::string::npos);
}

TEST(ObjWriter, MatchesTheReferenceOnGeneratedModels) {
    std::mt19937 Rng(7);
    const auto Pick = [&](auto... Values) {
        const float Pool[] = {static_cast<float>(Values)...};
        return Pool[Rng() % sizeof...(Values)];
    };
    const float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();
    for (int Round = 0; Round < 400; Round++) {
        TestModel T;
        T.Mats.push_back(T.Mats[0]), T.Mats.back().E[3][0] = Pick(-0.0, 2, NaN);
        T.Mats.push_back(Mat4x4{});  // sends every normal to zero
        const int Records = static_cast<int>(Rng() % 10);
        for (int v = 0; v < Records; v++)
            T.Vertex({Pick(0, -0.0, 1, NaN, Inf), Pick(0, 1), Pick(0, -0.0, 1e-7), 1},
                     {Pick(0, 1, -3), Pick(0, 2), Pick(0, 1, 32767)}, {Pick(0, -0.0, 0.5, NaN), Pick(0, 1)},
                     static_cast<int>(Rng() % 4));
        for (int o = static_cast<int>(Rng() % 4); o > 0; o--) {
            std::vector<short> Strip(Rng() % 12), Palette(Rng() % 4);
            for (short& e : Strip) e = static_cast<short>(static_cast<int>(Rng() % (Records + 3)) - 1);
            for (short& e : Palette) e = static_cast<short>(static_cast<int>(Rng() % 5) - 1);
            const int Odd[] = {-1, -5, static_cast<int>(Strip.size()) + 3};
            T.Object(Strip, Palette, Rng() % 4 == 0 ? std::optional<int>(Odd[Rng() % 3]) : std::nullopt);
        }
        if (!T.Index.empty() && Rng() % 3 == 0) T.Index.resize(Rng() % T.Index.size());
        const QMobject M = T.View();
        ASSERT_EQ(Written(M), Reference(M)) << "round " << Round;
    }
}

TEST(ObjWriter, NumbersContinueAcrossObjectsPast32767) {
    TestModel T;
    std::vector<short> Strip;
    for (int v = 0; v < 2000; v++) {
        T.Vertex({static_cast<float>(v), 0, 0, 1}, {0, 0, 1}, {static_cast<float>(v), 0});
        Strip.push_back(static_cast<short>(v));
    }
    for (int o = 0; o < 17; o++) {
        T.Mats.push_back(T.Mats[0]), T.Mats.back().E[3][1] = static_cast<float>(o);
        T.Object(Strip, {static_cast<short>(o + 1)});
    }
    const QMobject M = T.View();
    const std::string Text = Written(M);
    EXPECT_NE(Text.find("\nf 33998/33998/17 33999/33999/17 34000/34000/17\n"), std::string::npos);
    EXPECT_EQ(Text, Reference(M));
}

TEST(ObjWriter, SaveWritesPathDotObjAndKeepsThePath) {
    TestModel T;
    const QMobject M = T.View();
    char Path[256] = {};
    const std::string Folder = testing::TempDir() + "qm_obj";
    std::snprintf(Path, sizeof Path, "%s", (Folder + "/missing/x").c_str());
    std::vector<std::string> Failed;
    EXPECT_FALSE(SaveOBJ(Path, M, &Failed));
    ASSERT_EQ(Failed.size(), 1u);
    EXPECT_EQ(Failed[0].rfind(Folder + "/missing/x.obj", 0), 0u);
    std::snprintf(Path, sizeof Path, "%s", (testing::TempDir() + "qm_obj_x").c_str());
    EXPECT_TRUE(SaveOBJ(Path, M, &Failed));
    EXPECT_EQ(std::string(Path), testing::TempDir() + "qm_obj_x");
    std::remove((std::string(Path) + ".obj").c_str());
}
