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

const Mat4x4 Identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// Owns the arrays of a QMobject built object by object.
struct TestModel {
    std::vector<int> Lengths{0}, Slots, PaletteLengths;
    std::vector<short> Index;
    std::vector<std::vector<short>> Palettes;
    std::vector<short*> PalettePointers;
    std::vector<Vector4f> Vertices;
    std::vector<Vector3f> Normals;
    std::vector<Vector2f> TexCoords;
    std::vector<Mat4x4> Mats{Identity};

    void Vertex(Vector4f P, Vector3f N, Vector2f T, int Slot = 0) {
        Vertices.push_back(P), Normals.push_back(N), TexCoords.push_back(T), Slots.push_back(Slot);
    }
    // Length, when given, is stored in place of the strip's own length.
    void Object(std::vector<short> Strip, std::vector<short> Palette = {0}, std::optional<int> Length = {}) {
        Lengths.push_back(Length.value_or(static_cast<int>(Strip.size())));
        Index.insert(Index.end(), Strip.begin(), Strip.end());
        Palettes.push_back(Palette);
        PalettePointers.push_back(Palettes.back().data()), PaletteLengths.push_back(int(Palette.size()));
        for (size_t k = 0; k < Palettes.size(); k++) PalettePointers[k] = Palettes[k].data();
    }
    std::string Obj() {
        std::ostringstream Out;
        EXPECT_TRUE(WriteOBJ(Out, Model()));
        return Out.str();
    }
    QMobject Model() {
        return {int(Palettes.size()), Lengths.data(), int(Index.size()), int(Vertices.size()), Index.data(),
                PalettePointers.data(), PaletteLengths.data(), Vertices.data(), Normals.data(), TexCoords.data(),
                Slots.data(), Mats.data(), Mats.data(), int(Mats.size()), 0};
    }
};

// The writer as first described: each entry compared with all earlier ones, each face corner given the number its
// entry got, and the product's choices for references outside their arrays.
std::string Reference(const QMobject& M) {
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
                const int Pick = M.UsedMatrix[v] < M.PerObjectMatCol[o] ? M.ObjectsUsedMat[o][M.UsedMatrix[v]] : -1;
                const Mat4x4& Mat = Pick >= 0 && Pick < M.Parts1 ? M.Mats1[Pick] : Identity;
                const Vector4f P = VMulMat(Mat, M.Vertices[v]);
                const Vector3f N = Normalize(NMulMat(Mat, M.Normals[v]));
                const float V[3][3] = {{P.X, P.Y, P.Z}, {M.TexCoords[v].X, M.TexCoords[v].Y, 0}, {-N.X, -N.Y, -N.Z}};
                std::copy(&V[0][0], &V[0][0] + 9, &X.V[0][0]);
            }
            E.push_back(X);
        }
        S += "# object Obj" + std::to_string(o + 1) + " to come ...\n#\n";
        const char* Keys[3] = {"v  ", "vt  ", "vn  "};
        const char* Labels[3] = {"vertices", "texture vertices", "vertex normals"};
        long Count[3] = {0, 0, 0};
        for (int k = 0; k < 3; k++) {
            for (size_t i = 0; i < E.size(); i++) {
                size_t j = 0;
                while (j < i && !(E[j].Ok && std::equal(E[j].V[k], E[j].V[k] + 3, E[i].V[k]))) j++;
                if (!E[i].Ok) continue;
                if (j < i) E[i].Number[k] = E[j].Number[k];
                else {
                    E[i].Number[k] = Count[k]++;
                    std::snprintf(L, sizeof L, "%s%f %f %f\n", Keys[k], E[i].V[k][0], E[i].V[k][1], E[i].V[k][2]);
                    S += L;
                }
            }
            S += "# " + std::to_string(Count[k]) + " " + Labels[k] + "\n\n";
        }
        S += "g Obj" + std::to_string(o + 1) + "\ns 1\n";
        long Faces = 0;
        for (size_t i = 0; i + 2 < E.size(); i++) {
            const Entry *A = &E[i], *B = A + 1, *C = A + 2;
            if (!A->Ok || !B->Ok || !C->Ok || A->Number[0] == B->Number[0] || A->Number[0] == C->Number[0] ||
                B->Number[0] == C->Number[0])
                continue;
            std::snprintf(L, sizeof L, "f %li/%li/%li %li/%li/%li %li/%li/%li\n", A->Number[0] + Real[0],
                          A->Number[1] + Real[1], A->Number[2] + Real[2], B->Number[0] + Real[0], B->Number[1] + Real[1],
                          B->Number[2] + Real[2], C->Number[0] + Real[0], C->Number[1] + Real[1], C->Number[2] + Real[2]);
            S += L, Faces++;
        }
        S += "# " + std::to_string(Faces) + " faces\n\ng\n";
        for (int k = 0; k < 3; k++) Real[k] += Count[k];
    }
    return S;
}

}  // namespace

TEST(Vectors, RowVectorsSummedInDoubleAndNormalisedInFloat) {
    const Mat4x4 M{{{1, 2, 0, 0}, {1, 0, 3, 0}, {1, 0, 0, 0}, {0, 5, 0, 1}}};
    const Vector4f P = VMulMat(M, {16777216.0f, 1, 1, 9});
    EXPECT_EQ((std::vector<float>{P.X, P.Y, P.Z, P.W}), (std::vector<float>{16777218.0f, 33554437.0f, 3, 1}));
    EXPECT_EQ(NMulMat(M, {0, 1, 0}).Y, 5.0f);  // the translation row is added to normals too
    const Vector3f U = Normalize({3, 0, 4});
    EXPECT_EQ((std::vector<float>{U.X, U.Y, U.Z}), (std::vector<float>{0.6f, 0, 0.8f}));
    // A NaN result takes the sign of the first NaN operand, or is negative when none is NaN.
    const float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();
    Mat4x4 A = Identity;
    A.E[0][0] = -NaN;
    EXPECT_TRUE(std::signbit(VMulMat(A, {NaN, 0, 0, 1}).X));
    A.E[0][0] = NaN;
    EXPECT_FALSE(std::signbit(VMulMat(A, {-NaN, 0, 0, 1}).X));
    EXPECT_FALSE(std::signbit(Normalize({NaN, -NaN, 0}).Z));  // 0 over a length made NaN by X
    A.E[0][0] = 0;
    EXPECT_TRUE(std::signbit(VMulMat(A, {Inf, 0, 0, 1}).X));
    A.E[2][0] = -NaN;
    EXPECT_TRUE(std::signbit(VMulMat(A, {1, 1, NaN, 1}).X));
    for (float C : {Normalize({0, 0, 0}).X, Normalize({-NaN, 1, 0}).Y}) EXPECT_TRUE(std::isnan(C) && std::signbit(C));
}

TEST(ObjWriter, WorkedExampleAndTranslatedNormal) {
    TestModel T;
    for (float Y : {0.0f, 1.0f})
        for (float X : {0.0f, 1.0f}) T.Vertex({X, Y, 0, 1}, {1, 2, 2}, {X, Y});
    T.Object({0, 1, 2, 3});
    EXPECT_EQ(T.Obj(), "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n# object Obj1 to come ...\n#\n"
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
    EXPECT_NE(N.Obj().find("\nvn  -0.600000 -0.000000 -0.800000\n"), std::string::npos);
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
        T.Mats.push_back(Identity), T.Mats.back().E[3][0] = Pick(-0.0, 2, NaN);
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
        ASSERT_EQ(T.Obj(), Reference(T.Model())) << "round " << Round;
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
        T.Mats.push_back(Identity), T.Mats.back().E[3][1] = static_cast<float>(o);
        T.Object(Strip, {static_cast<short>(o + 1)});
    }
    const std::string Text = T.Obj();
    EXPECT_NE(Text.find("\nf 33998/33998/17 33999/33999/17 34000/34000/17\n"), std::string::npos);
    EXPECT_EQ(Text, Reference(T.Model()));
}
