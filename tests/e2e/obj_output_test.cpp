// OBJ files written by the real binary: exact bytes, and what an independent OBJ reader makes of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Transcript.h"

namespace {

using e2e::ObjCounts;
using e2e::Report;
using e2e::TempDir;

BuilderVertex Vertex(float X, float Y, float Z, float U, float V, int16_t NZ = 4, uint8_t Slot = 0) {
    BuilderVertex B;
    B.X = X, B.Y = Y, B.Z = Z;
    B.U = U, B.V = V;
    B.NX = 0, B.NY = 0, B.NZ = NZ;
    B.Slot = Slot;
    return B;
}

// Runs the binary on Model, expecting a clean run with this report; returns out.obj.
std::string ExtractObj(const TempDir& Dir, const std::vector<uint8_t>& Model, const std::string& ReportText) {
    WriteFileBytes(Dir / "m.qm", Model);
    const e2e::RunResult R = e2e::Run(Dir, "m.qm\nout\n\n");
    EXPECT_EQ(R.Out, e2e::SuccessfulRun(ReportText));
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "");
    return e2e::Slurp(Dir / "out.obj");
}

const char* const Head = "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n";

// One object's block from its lines (each without "\n").
std::string Block(int Number, const std::vector<std::string>& V, const std::vector<std::string>& T,
                  const std::vector<std::string>& N, const std::vector<std::string>& F) {
    const std::string Id = std::to_string(Number);
    std::string S = "# object Obj" + Id + " to come ...\n#\n";
    auto Section = [&S](const std::vector<std::string>& Lines, const char* Count) {
        for (const std::string& L : Lines) S += L + "\n";
        S += "# " + std::to_string(Lines.size()) + Count;
    };
    Section(V, " vertices\n\n");
    Section(T, " texture vertices\n\n");
    Section(N, " vertex normals\n\n");
    S += "g Obj" + Id + "\ns 1\n";
    Section(F, " faces\n\ng\n");
    return S;
}

TEST(ObjOutput, WorkedExampleLineForLine) {
    ModelBuilder B;
    B.Vertices = {Vertex(0, 0, 0, 0, 0), Vertex(1, 0, 0, 1, 0), Vertex(0, 1, 0, 0, 1),
                  Vertex(1, 1, 0, 1, 1)};
    for (BuilderVertex& V : B.Vertices) V.NX = 1, V.NY = 2, V.NZ = 2;
    B.Objects = {{0.5f, {0}, {0, 1, 2, 3}}};
    TempDir Dir;
    const std::string Obj = ExtractObj(Dir, B.Build(), Report({4}));
    EXPECT_EQ(Obj,
              "# Max2Obj Version 4.0 Mar 10th, 2001\n"
              "#\n"
              "# object Obj1 to come ...\n"
              "#\n"
              "v  0.000000 0.000000 0.000000\n"
              "v  1.000000 0.000000 0.000000\n"
              "v  0.000000 1.000000 0.000000\n"
              "v  1.000000 1.000000 0.000000\n"
              "# 4 vertices\n"
              "\n"
              "vt  0.000000 0.000000 0.000000\n"
              "vt  1.000000 0.000000 0.000000\n"
              "vt  0.000000 1.000000 0.000000\n"
              "vt  1.000000 1.000000 0.000000\n"
              "# 4 texture vertices\n"
              "\n"
              "vn  -0.333333 -0.666667 -0.666667\n"
              "# 1 vertex normals\n"
              "\n"
              "g Obj1\n"
              "s 1\n"
              "f 1/1/1 2/2/1 3/3/1\n"
              "f 2/2/1 3/3/1 4/4/1\n"
              "# 2 faces\n"
              "\n"
              "g\n");
    EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"), (ObjCounts{4, 4, 1, 2}));
}

// Four objects sharing vertex records under different palettes: per-object
// de-duplication, transformed positions and normals, a strip join, a triangle
// dropped for two vertices at one position, short and empty strips, and
// numbering that continues from one object to the next.
TEST(ObjOutput, ObjectsShareVerticesUnderTheirOwnMatrices) {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(10, 0, 0),
               ModelBuilder::Translation(0, 0, 5)};
    B.Vertices = {
        Vertex(0, 0, 0, 0, 0),                  // 0
        Vertex(1, 0, 0, 1, 0),                  // 1
        Vertex(0, 1, 0, 0, 1, 4, 1),            // 2: palette slot 1
        Vertex(1, 1, 0, 1, 1, 4, 1),            // 3: palette slot 1
        Vertex(2, 2, 0, 0, 0),                  // 4: texture coordinate of 0
        Vertex(0, 0, 0, 0.25f, 0.75f),          // 5: position of 0
    };
    B.Vertices[1].W = 7;  // not an input of the transform
    B.Objects = {
        {0.5f, {0, 1}, {0, 1, 2, 2, 3, 4, 5, 0}},
        {0.5f, {2, 1}, {1, 0, 3, 1}},
        {0.5f, {0}, {4, 5}},
        {0.5f, {0}, {}},
    };
    TempDir Dir;
    const std::string Obj = ExtractObj(Dir, B.Build(), Report({8, 4, 2, 0}));

    const std::string Up = "vn  -0.000000 -0.000000 -1.000000";
    const std::string Tilted = "vn  -0.928477 -0.000000 -0.371391";  // (10, 0, 4), normalised, negated
    const std::string Expected =
        Head +
        Block(1,
              {"v  0.000000 0.000000 0.000000", "v  1.000000 0.000000 0.000000",
               "v  10.000000 1.000000 0.000000", "v  11.000000 1.000000 0.000000",
               "v  2.000000 2.000000 0.000000"},
              {"vt  0.000000 0.000000 0.000000", "vt  1.000000 0.000000 0.000000",
               "vt  0.000000 1.000000 0.000000", "vt  1.000000 1.000000 0.000000",
               "vt  0.250000 0.750000 0.000000"},
              {Up, Tilted},
              {"f 1/1/1 2/2/1 3/3/2", "f 3/3/2 4/4/2 5/1/1", "f 4/4/2 5/1/1 1/5/1"}) +
        Block(2,
              {"v  1.000000 0.000000 5.000000", "v  0.000000 0.000000 5.000000",
               "v  11.000000 1.000000 0.000000"},
              {"vt  1.000000 0.000000 0.000000", "vt  0.000000 0.000000 0.000000",
               "vt  1.000000 1.000000 0.000000"},
              {Up, Tilted},
              {"f 6/6/3 7/7/3 8/8/4", "f 7/7/3 8/8/4 6/6/3"}) +
        Block(3, {"v  2.000000 2.000000 0.000000", "v  0.000000 0.000000 0.000000"},
              {"vt  0.000000 0.000000 0.000000", "vt  0.250000 0.750000 0.000000"}, {Up}, {}) +
        Block(4, {}, {}, {}, {});
    EXPECT_EQ(Obj, Expected);
    EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"), (ObjCounts{10, 10, 5, 5}));
}

std::string Fixed(float F) {
    char B[64];
    std::snprintf(B, sizeof B, "%f", static_cast<double>(F));
    return B;
}

// 40 objects of 1000 distinct positions each: running numbers pass 32767 and
// still name the right lines.
TEST(ObjOutput, FaceNumbersPast32767) {
    constexpr int Objects = 40, PerObject = 1000;
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(0, 0, 100),
               ModelBuilder::Translation(0, 0, 200)};
    std::vector<int16_t> Strip;
    for (int v = 0; v < PerObject; v++) {
        B.Vertices.push_back(Vertex(static_cast<float>(v), static_cast<float>(v % 10), 3,
                                    static_cast<float>(v) * 0.001f, 1));
        Strip.push_back(static_cast<int16_t>(v));
    }
    for (int o = 0; o < Objects; o++) B.Objects.push_back({0.5f, {static_cast<int16_t>(o % 3)}, Strip});

    std::string Expected = Head;
    for (int o = 0; o < Objects; o++) {
        std::vector<std::string> V, T, F;
        for (const BuilderVertex& X : B.Vertices) {
            V.push_back("v  " + Fixed(X.X) + " " + Fixed(X.Y) + " " + Fixed(X.Z + 100.0f * (o % 3)));
            T.push_back("vt  " + Fixed(X.U) + " " + Fixed(X.V) + " 0.000000");
        }
        const long long Base = 1LL + static_cast<long long>(o) * PerObject;
        const std::string N = std::to_string(o + 1);
        for (int i = 0; i + 2 < PerObject; i++) {
            std::string Face = "f";
            for (int h = 0; h < 3; h++) {
                const std::string Id = std::to_string(Base + i + h);
                Face += " " + Id + "/" + Id + "/" + N;
            }
            F.push_back(Face);
        }
        Expected += Block(o + 1, V, T, {"vn  -0.000000 -0.000000 -1.000000"}, F);
    }

    TempDir Dir;
    const std::string Obj =
        ExtractObj(Dir, B.Build(), Report(std::vector<long long>(Objects, PerObject)));
    EXPECT_TRUE(Obj == Expected) << "the OBJ differs from the expected text; it ends with:\n"
                                 << Obj.substr(Obj.size() > 400 ? Obj.size() - 400 : 0);
    EXPECT_NE(Obj.find("\nf 39998/39998/40 39999/39999/40 40000/40000/40\n"), std::string::npos);
    EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"),
              (ObjCounts{Objects * PerObject, Objects * PerObject, Objects, Objects * (PerObject - 2)}));
}

}  // namespace
