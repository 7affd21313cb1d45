// Vector arithmetic and the OBJ writer: transforms, de-duplication, faces, numbering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "ModelBuilder.h"
#include "geometry/ObjWriter.h"
#include "geometry/Vectors.h"
#include "model/GeometryScan.h"

namespace {

// Scans a builder-made file and returns its OBJ text.
std::string ObjOf(const ModelBuilder& B) {
    std::vector<uint8_t> Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    std::ostringstream Report, Obj;
    QMobject M = BufferScan(Buff, static_cast<int>(Bytes.size()), Report);
    EXPECT_TRUE(WriteOBJ(Obj, M));
    ReleaseModel(M);
    return Obj.str();
}

std::vector<std::string> Lines(const std::string& Text, const std::string& Prefix) {
    std::vector<std::string> Out;
    std::istringstream In(Text);
    for (std::string L; std::getline(In, L);)
        if (L.rfind(Prefix, 0) == 0) Out.push_back(L);
    return Out;
}

BuilderVertex At(float X, float Y, float Z, float U = 0, float V = 0) {
    BuilderVertex P;
    P.X = X, P.Y = Y, P.Z = Z, P.U = U, P.V = V;
    return P;
}

TEST(Vectors, TransformsRowVectorsFromTheLeft) {
    const Mat4x4 T = ModelBuilder::Translation(10, 20, 30);
    const Vector4f P = VMulMat(T, {1, 2, 3, 99});
    EXPECT_EQ(P.X, 11);
    EXPECT_EQ(P.Y, 22);
    EXPECT_EQ(P.Z, 33);
    EXPECT_EQ(P.W, 1);  // the input W is never read
    const Vector3f N = NMulMat(T, {0, 0, 1});
    EXPECT_EQ(N.X, 10);  // the translation is added to normals too
    EXPECT_EQ(N.Z, 31);

    Mat4x4 R{};
    R.E[1][0] = 1, R.E[0][1] = -1, R.E[2][2] = 1, R.E[3][3] = 1;
    const Vector4f A = VMulMat(R, {1, 0, 0, 1});
    EXPECT_EQ(A.X, 0);
    EXPECT_EQ(A.Y, -1);
    const Vector4f B = VMulMat(R, {0, 1, 0, 1});
    EXPECT_EQ(B.X, 1);
    EXPECT_EQ(B.Y, 0);
}

TEST(Vectors, SumsInDoubleAndRoundsOnce) {
    // 1e8 + 1 - 1e8 in float steps would give 0; carried in double it gives 1.
    Mat4x4 M{};
    M.E[0][0] = 1e8f, M.E[1][0] = 1, M.E[2][0] = -1e8f;
    EXPECT_EQ(VMulMat(M, {1, 1, 1, 0}).X, 1.0f);
}

TEST(Vectors, NormalizeUsesFloatLengthAndGivesNaNForZero) {
    const Vector3f N = Normalize({3, 0, 4});
    EXPECT_FLOAT_EQ(N.X, 0.6f);
    EXPECT_EQ(N.Y, 0.0f);
    EXPECT_FLOAT_EQ(N.Z, 0.8f);
    const Vector3f Z = Normalize({0, 0, 0});
    EXPECT_TRUE(std::isnan(Z.X) && std::isnan(Z.Y) && std::isnan(Z.Z));
}

TEST(ObjWriter, WritesTheWorkedExampleLineForLine) {
    ModelBuilder B;
    B.Vertices = {At(0, 0, 0, 0, 0), At(1, 0, 0, 1, 0), At(0, 1, 0, 0, 1), At(1, 1, 0, 1, 1)};
    for (BuilderVertex& V : B.Vertices) V.NX = 1, V.NY = 2, V.NZ = 2;
    B.Objects = {{0.5f, {0}, {0, 1, 2, 3}}};
    EXPECT_EQ(ObjOf(B),
              "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n"
              "# object Obj1 to come ...\n#\n"
              "v  0.000000 0.000000 0.000000\nv  1.000000 0.000000 0.000000\n"
              "v  0.000000 1.000000 0.000000\nv  1.000000 1.000000 0.000000\n"
              "# 4 vertices\n\n"
              "vt  0.000000 0.000000 0.000000\nvt  1.000000 0.000000 0.000000\n"
              "vt  0.000000 1.000000 0.000000\nvt  1.000000 1.000000 0.000000\n"
              "# 4 texture vertices\n\n"
              "vn  -0.333333 -0.666667 -0.666667\n# 1 vertex normals\n\n"
              "g Obj1\ns 1\n"
              "f 1/1/1 2/2/1 3/3/1\nf 2/2/1 3/3/1 4/4/1\n# 2 faces\n\ng\n");
}

TEST(ObjWriter, EmptyModelAndEmptyOrShortStretches) {
    ModelBuilder None;
    EXPECT_EQ(ObjOf(None), "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n");

    ModelBuilder B;
    B.Vertices = {At(0, 0, 0), At(1, 0, 0)};
    B.Objects = {{0.5f, {0}, {}}, {0.5f, {0}, {0, 1}}};
    const std::string Text = ObjOf(B);
    EXPECT_NE(Text.find("# object Obj1 to come ...\n#\n# 0 vertices\n\n# 0 texture vertices\n\n"
                        "# 0 vertex normals\n\ng Obj1\ns 1\n# 0 faces\n\ng\n"),
              std::string::npos);
    EXPECT_EQ(Lines(Text, "v  ").size(), 2u);  // a two-entry stretch writes its values
    EXPECT_NE(Text.find("# 0 faces\n\ng\n", Text.find("Obj2")), std::string::npos);
}

TEST(ObjWriter, DropsStripJoinsAndTrianglesWithTwoCornersAtOnePosition) {
    ModelBuilder B;
    B.Vertices = {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(1, 1, 0), At(2, 1, 0),
                  At(1, 0, 0)};  // vertex 5 sits where vertex 1 does
    B.Objects = {{0.5f, {0}, {0, 1, 2, 2, 3, 4}}, {0.5f, {0}, {0, 1, 5, 2}}};
    const std::string Text = ObjOf(B);
    const std::vector<std::string> F = Lines(Text, "f ");
    ASSERT_EQ(F.size(), 2u);
    EXPECT_EQ(F[0], "f 1/1/1 2/1/1 3/1/1");
    EXPECT_EQ(F[1], "f 3/1/1 4/1/1 5/1/1");
    // Object 2: (0,1,5) has two corners at one position and is dropped even though
    // the vertex numbers differ; (1,5,2) likewise. Only the positions 0,1,2 are written.
    EXPECT_NE(Text.find("# 3 vertices\n", Text.find("Obj2")), std::string::npos);
    EXPECT_NE(Text.find("# 0 faces", Text.find("Obj2")), std::string::npos);
}

TEST(ObjWriter, DeduplicatesExactlyWithSignedZeroEqualAndNaNUnequal) {
    const float NaN = std::nanf("");
    ModelBuilder B;
    B.Vertices = {At(0, 0, 0, 0.25f, 0.5f), At(-0.0f, 0, 0, 0.25f, 0.5f), At(NaN, 0, 0, 0.25f, 0.5f),
                  At(2, 0, 0, -0.0f, 0.0f), At(3, 0, 0, 0.0f, 0.0f)};
    // Vertex 2 (NaN, which the transform spreads to all three components) appears
    // twice: written twice, and each corner refers to its own line.
    B.Objects = {{0.5f, {0}, {0, 1, 2, 3, 2, 4}}};
    const std::string Text = ObjOf(B);
    EXPECT_EQ(Lines(Text, "v  "),
              (std::vector<std::string>{"v  0.000000 0.000000 0.000000", "v  nan nan nan",
                                        "v  2.000000 0.000000 0.000000", "v  nan nan nan",
                                        "v  3.000000 0.000000 0.000000"}));
    EXPECT_EQ(Lines(Text, "vt  ").size(), 2u);  // (0.25,0.5) and (-0,0) = (0,0)
    EXPECT_EQ(Lines(Text, "vt  ")[1], "vt  -0.000000 0.000000 0.000000");
    EXPECT_EQ(Lines(Text, "f "), (std::vector<std::string>{"f 1/1/1 2/1/1 3/2/1", "f 2/1/1 3/2/1 4/1/1",
                                                             "f 3/2/1 4/1/1 5/2/1"}));
}

TEST(ObjWriter, ComparesTransformedPositionsToTheLastBit) {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(1, 0, 0),
               ModelBuilder::Translation(1e-7f, 0, 0)};
    BuilderVertex A = At(1, 0, 0), C = At(0, 0, 0), D = At(1, 0, 0), E = At(2, 0, 0);
    C.Slot = 1;  // 0 moved by 1 lands exactly on A
    D.Slot = 2;  // 1 moved by 1e-7 is the next float above 1: printed alike, yet distinct
    B.Vertices = {A, C, D, E};
    B.Objects = {{0.5f, {0, 1, 2}, {0, 1, 2, 3}}};
    const std::string Text = ObjOf(B);
    EXPECT_EQ(Lines(Text, "v  "), (std::vector<std::string>{"v  1.000000 0.000000 0.000000",
                                                             "v  1.000000 0.000000 0.000000",
                                                             "v  2.000000 0.000000 0.000000"}));
    EXPECT_EQ(Lines(Text, "f "), (std::vector<std::string>{"f 1/1/2 2/1/3 3/1/1"}));  // normals carry the translations
}

TEST(ObjWriter, FlipsNormalsAfterAddingTheTranslation) {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Translation(3, 0, 0)};
    BuilderVertex V = At(0, 0, 0);
    V.NX = 0, V.NY = 0, V.NZ = 4;
    B.Vertices = {V};
    B.Objects = {{0.5f, {0}, {0}}};
    EXPECT_EQ(Lines(ObjOf(B), "vn  "), (std::vector<std::string>{"vn  -0.600000 -0.000000 -0.800000"}));
}

TEST(ObjWriter, NumbersContinueAcrossObjectsPast32767) {
    // 40 objects of 1000 distinct positions each: numbers reach 40000.
    ModelBuilder B;
    for (int v = 0; v < 1000; v++) B.Vertices.push_back(At(static_cast<float>(v), 2.0f * v, 0, static_cast<float>(v), 0));
    std::vector<int16_t> Strip;
    for (int v = 0; v < 1000; v++) Strip.push_back(static_cast<int16_t>(v));
    for (int o = 0; o < 40; o++) {
        B.Mats1.push_back(ModelBuilder::Translation(0, 0, static_cast<float>(o)));
        B.Objects.push_back({0.5f, {static_cast<int16_t>(o + 1)}, Strip});
    }
    const std::vector<std::string> F = Lines(ObjOf(B), "f ");
    ASSERT_EQ(F.size(), 40u * 998u);
    EXPECT_EQ(F.back(), "f 39998/39998/40 39999/39999/40 40000/40000/40");
}

TEST(ObjWriter, OutOfRangeReferencesNeverLeaveTheArrays) {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Translation(5, 0, 0)};
    BuilderVertex Far = At(1, 0, 0);
    Far.Slot = 200;  // beyond the palette: identity
    B.Vertices = {At(0, 0, 0), Far, At(0, 1, 0), At(1, 1, 0)};
    // Palette entry 7 lies outside matrix table 1; index entries -1 and 99 name no vertex.
    B.Objects = {{0.5f, {7}, {0, 1, 2}}, {0.5f, {0}, {0, 1, -1, 2, 99, 3}}};
    const std::string Text = ObjOf(B);
    const std::vector<std::string> V = Lines(Text, "v  ");
    ASSERT_EQ(V.size(), 3u + 4u);
    EXPECT_EQ(V[0], "v  0.000000 0.000000 0.000000");  // identity for the bad palette entry
    EXPECT_EQ(V[4], "v  1.000000 0.000000 0.000000");  // identity for the bad slot
    EXPECT_EQ(V[3], "v  5.000000 0.000000 0.000000");
    // Every triangle of object 2 has a corner that names no vertex.
    EXPECT_NE(Text.find("# 0 faces", Text.find("Obj2")), std::string::npos);
}

TEST(ObjWriter, NegativeAndOverlongStretchesAreCut) {
    ModelBuilder B;
    B.Vertices = {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(1, 1, 0)};
    B.Objects = {{0.5f, {0}, {0, 1, 2}}, {0.5f, {0}, {3}}};
    std::vector<uint8_t> Bytes = B.Build();
    unsigned char* Buff = Bytes.data();
    std::ostringstream Report, Obj;
    QMobject M = BufferScan(Buff, static_cast<int>(Bytes.size()), Report);
    M.ObjectsVNumber[1] = -5;       // empty, and object 2 still starts at entry 0
    M.ObjectsVNumber[2] = 1000000;  // runs past the index list: cut at its end
    ASSERT_TRUE(WriteOBJ(Obj, M));
    ReleaseModel(M);
    const std::string Text = Obj.str();
    EXPECT_NE(Text.find("# 0 vertices", Text.find("Obj1")), std::string::npos);
    EXPECT_NE(Text.find("# 4 vertices", Text.find("Obj2")), std::string::npos);
    EXPECT_EQ(Lines(Text, "f ").size(), 2u);
}

TEST(ObjWriter, SaveLeavesThePathUntouchedAndReportsFailures) {
    char Path[256];
    std::string Long(255, 'a');
    std::memcpy(Path, Long.c_str(), 256);
    char Before[256];
    std::memcpy(Before, Path, 256);
    std::vector<std::string> Failed;
    QMobject Empty{};
    int Zero = 0;
    Empty.ObjectsVNumber = &Zero;
    // A 255-character file name plus ".obj" is too long for any common file system.
    EXPECT_FALSE(SaveOBJ(Path, Empty, &Failed));
    EXPECT_EQ(std::memcmp(Path, Before, 256), 0);
    ASSERT_EQ(Failed.size(), 1u);
    EXPECT_EQ(Failed[0], Long + ".obj");

    char Missing[256] = "/nonexistent-folder-qm/out";
    EXPECT_FALSE(SaveOBJ(Missing, Empty, &Failed));
    EXPECT_EQ(Failed.back(), "/nonexistent-folder-qm/out.obj");
}

}  // namespace
