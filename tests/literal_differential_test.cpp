// Differential tests: the fast loader, scans and OBJ writer against the simple reference algorithms.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Literal.h"
#include "ModelBuilder.h"
#include "app/LoadFile.h"
#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

std::string FastObj(const QMobject& M) {
    std::ostringstream Out;
    EXPECT_TRUE(WriteOBJ(Out, M));
    return Out.str();
}

std::string LiteralObj(const QMobject& M) {
    char* Text = nullptr;
    size_t Length = 0;
    std::FILE* Out = open_memstream(&Text, &Length);
    literal::WriteOBJ(Out, M);
    std::fclose(Out);
    std::string S(Text, Length);
    std::free(Text);
    return S;
}

// A QMobject whose arrays live in vectors, so any shape can be made, broken
// references included.
struct RecordStore {
    std::vector<int> VNumber{0}, MatCol, UsedMatrix;
    std::vector<short> Range;
    std::vector<std::vector<short>> Palettes;
    std::vector<short*> PalettePointers;
    std::vector<Vector4f> Vertices;
    std::vector<Vector3f> Normals;
    std::vector<Vector2f> TexCoords;
    std::vector<Mat4x4> Mats;

    QMobject Record() {
        PalettePointers.clear();
        for (auto& P : Palettes) PalettePointers.push_back(P.data());
        QMobject M{};
        M.Objects = static_cast<int>(Palettes.size());
        M.ObjectsVNumber = VNumber.data();
        M.VNumber = static_cast<int>(Range.size());
        M.RVNumber = static_cast<int>(Vertices.size());
        M.VerticesRange = Range.data();
        M.ObjectsUsedMat = PalettePointers.data();
        M.PerObjectMatCol = MatCol.data();
        M.Vertices = Vertices.data();
        M.Normals = Normals.data();
        M.TexCoords = TexCoords.data();
        M.UsedMatrix = UsedMatrix.data();
        M.Mats1 = Mats.data();
        M.Parts1 = static_cast<int>(Mats.size());
        return M;
    }
};

Mat4x4 Translation(float X, float Y, float Z) {
    Mat4x4 M = ModelBuilder::Identity();
    M.E[3][0] = X, M.E[3][1] = Y, M.E[3][2] = Z;
    return M;
}

// Matrices that make equal results from different inputs and matrices:
// identity, a translation by -0, a translation that undoes a second one,
// a flattening scale (zero normals, hence NaN), one holding a NaN.
std::vector<Mat4x4> MatrixPool() {
    std::vector<Mat4x4> Pool{ModelBuilder::Identity(), Translation(-0.0f, -0.0f, -0.0f),
                             Translation(1, 0, 0), Translation(-1, 0.5f, 0)};
    Mat4x4 Flat{};
    Flat.E[3][3] = 1;
    Pool.push_back(Flat);
    Mat4x4 Swap{};
    Swap.E[1][0] = 1, Swap.E[0][1] = -1, Swap.E[2][2] = 1, Swap.E[3][3] = 1;
    Pool.push_back(Swap);
    Mat4x4 Broken = ModelBuilder::Identity();
    Broken.E[2][1] = NaN;
    Pool.push_back(Broken);
    return Pool;
}

// A small random record built to collide: few distinct coordinate values
// (both zeros, NaN), repeated and out-of-range index entries, strip joins,
// slots and palette entries that point nowhere, stretches that are negative
// or run past the index list.
QMobject RandomRecord(std::mt19937& Rng, RecordStore& S) {
    auto Pick = [&Rng](int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(Rng); };
    auto Chance = [&Rng](double P) { return std::bernoulli_distribution(P)(Rng); };
    const float Values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 2.25f, 1e-7f, -3.0f, 1e30f};
    auto Coordinate = [&] { return Chance(0.03) ? NaN : Values[Pick(0, 8)]; };
    const float Raw[] = {0.0f, 1.0f, -1.0f, 2.0f, 4.0f, -32768.0f, 32767.0f};

    const std::vector<Mat4x4> Pool = MatrixPool();
    for (int m = Pick(0, 4); m > 0; m--) S.Mats.push_back(Pool[static_cast<size_t>(Pick(0, 6))]);

    for (int v = Pick(0, 24); v > 0; v--) {
        S.Vertices.push_back({Coordinate(), Coordinate(), Coordinate(), Coordinate()});
        S.Normals.push_back({Raw[Pick(0, 6)], Raw[Pick(0, 6)], Raw[Pick(0, 6)]});
        S.TexCoords.push_back({Coordinate(), Coordinate()});
        S.UsedMatrix.push_back(Chance(0.05) ? 255 : Pick(0, 3));
    }
    const int RV = static_cast<int>(S.Vertices.size());
    for (int i = Pick(0, 80); i > 0; i--) {
        if (!S.Range.empty() && Chance(0.15))
            S.Range.push_back(S.Range.back());  // a join: the same vertex again
        else
            S.Range.push_back(static_cast<short>(Chance(0.04) ? Pick(-3, -1) : Pick(0, RV + 1)));
    }
    for (int o = Pick(0, 4); o > 0; o--) {
        std::vector<short> Palette;
        for (int j = Pick(0, 3); j > 0; j--)
            Palette.push_back(static_cast<short>(Pick(-1, static_cast<int>(S.Mats.size()))));
        S.MatCol.push_back(static_cast<int>(Palette.size()));
        S.Palettes.push_back(Palette);
        S.VNumber.push_back(Chance(0.1) ? Pick(-3, -1) : Pick(0, 40));
    }
    return S.Record();
}

TEST(LiteralDifferential, ObjWriterMatchesOnRandomCollidingRecords) {
    std::mt19937 Rng(20240611);
    for (int n = 0; n < 3000; n++) {
        RecordStore S;
        const QMobject M = RandomRecord(Rng, S);
        ASSERT_EQ(FastObj(M), LiteralObj(M)) << "random record " << n;
    }
}

// Builder-made files through the scan: grids whose neighbouring vertices
// share positions through different matrices, and strips with joins.
TEST(LiteralDifferential, ObjWriterMatchesOnScannedBuilderModels) {
    std::mt19937 Rng(7);
    for (int n = 0; n < 40; n++) {
        ModelBuilder B;
        B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(0.25f, 0, 0),
                   ModelBuilder::Translation(-0.0f, 0, 0), ModelBuilder::Translation(0, 0.5f, -1)};
        const int Side = 3 + n % 5;
        for (int r = 0; r < Side; r++)
            for (int c = 0; c < Side; c++) {
                BuilderVertex V;
                V.X = 0.25f * static_cast<float>(c), V.Y = 0.5f * static_cast<float>(r);
                V.Z = (r + c) % 2 ? 0.0f : -0.0f;
                V.NX = static_cast<int16_t>(c - 1), V.NY = static_cast<int16_t>(r % 2), V.NZ = 0;
                V.U = static_cast<float>(c % 2), V.V = static_cast<float>(r % 3);
                V.Slot = static_cast<uint8_t>(Rng() % 3);
                B.Vertices.push_back(V);
            }
        for (int k = 0; k < 1 + n % 3; k++) {
            BuilderObject O;
            O.Palette = {static_cast<int16_t>(k % 4), static_cast<int16_t>((k + 1) % 4), 2};
            for (int r = 0; r + 1 < Side; r++) {
                if (r > 0) O.Strip.push_back(O.Strip.back()), O.Strip.push_back(static_cast<int16_t>(r * Side));
                for (int c = 0; c < Side; c++) {
                    O.Strip.push_back(static_cast<int16_t>(r * Side + c));
                    O.Strip.push_back(static_cast<int16_t>((r + 1) * Side + c));
                }
            }
            B.Objects.push_back(O);
        }
        std::vector<uint8_t> Bytes = B.Build();
        unsigned char* Buff = Bytes.data();
        std::ostringstream Report;
        QMobject M = BufferScan(Buff, static_cast<int>(Bytes.size()), Report);
        EXPECT_EQ(FastObj(M), LiteralObj(M)) << "builder model " << n;
        ReleaseModel(M);
    }
}

// Positions and texture-coordinate numbers past 32767 across objects: each
// object has 1,000 distinct positions and one texture coordinate and normal.
TEST(LiteralDifferential, ObjWriterMatchesWhenNumbersPassSixteenBits) {
    RecordStore S;
    S.Mats = {ModelBuilder::Identity()};
    for (int v = 0; v < 1000; v++) {
        S.Vertices.push_back({static_cast<float>(v), 0.5f, -0.0f, 1});
        S.Normals.push_back({0, 0, 1});
        S.TexCoords.push_back({0.25f, 0.75f});
        S.UsedMatrix.push_back(0);
    }
    for (int o = 0; o < 34; o++) {
        S.Palettes.push_back({0});
        S.MatCol.push_back(1);
        S.VNumber.push_back(1000);
        for (int v = 0; v < 1000; v++) S.Range.push_back(static_cast<short>(v));
    }
    const std::string Fast = FastObj(S.Record());
    EXPECT_NE(Fast.find("f 33001/34/34 33002/34/34 33003/34/34\n"), std::string::npos);
    EXPECT_EQ(Fast, LiteralObj(S.Record()));
}

void ExpectSameRecord(const QMobject& A, const QMobject& B, int n) {
    ASSERT_EQ(A.Objects, B.Objects) << n;
    ASSERT_EQ(A.VNumber, B.VNumber) << n;
    ASSERT_EQ(A.RVNumber, B.RVNumber) << n;
    ASSERT_EQ(A.Parts1, B.Parts1) << n;
    ASSERT_EQ(A.Parts2, B.Parts2) << n;
    auto Same = [](const void* X, const void* Y, size_t Bytes) {
        return Bytes == 0 || std::memcmp(X, Y, Bytes) == 0;
    };
    EXPECT_TRUE(Same(A.ObjectsVNumber, B.ObjectsVNumber, sizeof(int) * (A.Objects + 1u))) << n;
    EXPECT_TRUE(Same(A.PerObjectMatCol, B.PerObjectMatCol, sizeof(int) * A.Objects)) << n;
    for (int k = 0; k < A.Objects; k++)
        EXPECT_TRUE(Same(A.ObjectsUsedMat[k], B.ObjectsUsedMat[k], sizeof(short) * A.PerObjectMatCol[k])) << n;
    EXPECT_TRUE(Same(A.VerticesRange, B.VerticesRange, sizeof(short) * A.VNumber)) << n;
    EXPECT_TRUE(Same(A.Vertices, B.Vertices, sizeof(Vector4f) * A.RVNumber)) << n;
    EXPECT_TRUE(Same(A.Normals, B.Normals, sizeof(Vector3f) * A.RVNumber)) << n;
    EXPECT_TRUE(Same(A.TexCoords, B.TexCoords, sizeof(Vector2f) * A.RVNumber)) << n;
    EXPECT_TRUE(Same(A.UsedMatrix, B.UsedMatrix, sizeof(int) * A.RVNumber)) << n;
    EXPECT_TRUE(Same(A.Mats1, B.Mats1, sizeof(Mat4x4) * A.Parts1)) << n;
    EXPECT_TRUE(Same(A.Mats2, B.Mats2, sizeof(Mat4x4) * A.Parts2)) << n;
}

// A valid file with objects, palettes, matrices and textures.
std::vector<uint8_t> SampleFile(std::mt19937& Rng) {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(1, 2, 3)};
    B.Mats2 = {ModelBuilder::Translation(4, 5, 6)};
    for (int v = 0; v < 12; v++) {
        BuilderVertex V;
        V.X = static_cast<float>(v), V.NX = static_cast<int16_t>(v - 6), V.U = 0.125f * v;
        V.Slot = static_cast<uint8_t>(v % 2);
        B.Vertices.push_back(V);
    }
    for (int k = 0; k < 3; k++) {
        BuilderObject O;
        O.Marker = k == 0 ? 0.2f : 0.5f + 0.1f * static_cast<float>(k);
        O.Palette = {0, static_cast<int16_t>(k % 2)};
        for (int e = 0; e < 5 + k; e++) O.Strip.push_back(static_cast<int16_t>(Rng() % 12));
        B.Objects.push_back(O);
    }
    for (int t = 0; t < 3; t++) {
        BuilderTexture T{8, 4, std::vector<uint8_t>(32, static_cast<uint8_t>(0x40 + t))};
        B.Textures.push_back(T);
    }
    B.TextureSpacing = 520 + static_cast<int>(Rng() % 3) * 200;
    return B.Build();
}

// Valid files, then the same files with bytes changed and header fields
// pointed elsewhere: both scans must make the same record, directory and report.
TEST(LiteralDifferential, ScansMatchOnBuilderFilesAndTheirMutations) {
    std::mt19937 Rng(99);
    const int Fields[] = {Header::TexCount, Header::TexStart, Header::MatStart1, Header::Parts1,
                          Header::Parts2, Header::MatStart2, Header::ObjectCount, Header::IndexEnd,
                          Header::RecordCount, Header::RecordStart, Header::IndexStart};
    for (int n = 0; n < 300; n++) {
        std::vector<uint8_t> Bytes = SampleFile(Rng);
        if (n % 3 != 0) {
            for (int k = static_cast<int>(Rng() % 6); k > 0; k--) {
                const size_t At = Rng() % Bytes.size();
                Bytes[At] = static_cast<uint8_t>(Rng() % 4 == 0 ? 0x99 : Rng());
            }
            if (Rng() % 2) {
                const int Values[] = {-64, -1, 0, 1, 7, 300, 100000, std::numeric_limits<int32_t>::max()};
                PutI32(Bytes, static_cast<size_t>(Fields[Rng() % 11]), Values[Rng() % 8]);
            }
            if (Rng() % 4 == 0) Bytes.resize(Rng() % Bytes.size());
        }
        const int Size = static_cast<int>(Bytes.size());
        unsigned char* Buff = Bytes.data();
        std::ostringstream FastReport, LiteralReport;
        QMobject Fast = BufferScan(Buff, Size, FastReport);
        QMobject Lit = literal::BufferScan(Buff, Size, LiteralReport);
        ExpectSameRecord(Fast, Lit, n);
        ReleaseModel(Fast);
        ReleaseModel(Lit);

        int FastCount = 0, LiteralCount = 0;
        Texture *FastDir = nullptr, *LiteralDir = nullptr;
        TexturesScan(Buff, Size, FastCount, FastDir, FastReport);
        literal::TexturesScan(Buff, Size, LiteralCount, LiteralDir, LiteralReport);
        ASSERT_EQ(FastCount, LiteralCount) << n;
        for (int k = 0; k < FastCount; k++) {
            EXPECT_EQ(FastDir[k].Width, LiteralDir[k].Width) << n;
            EXPECT_EQ(FastDir[k].Height, LiteralDir[k].Height) << n;
            EXPECT_EQ(FastDir[k].StartLine, LiteralDir[k].StartLine) << n;
        }
        ReleaseTextures(FastDir);
        ReleaseTextures(LiteralDir);
        EXPECT_EQ(FastReport.str(), LiteralReport.str()) << n;
    }
}

// The marker search on its own, with markers packed at and around the 500-byte spacing.
TEST(LiteralDifferential, TextureMarkerSearchMatchesOnDenseMarkers) {
    std::mt19937 Rng(5);
    for (int n = 0; n < 200; n++) {
        std::vector<uint8_t> Bytes(2000 + Rng() % 3000, 0xAB);
        for (size_t m = Rng() % 40; m + 8 <= Bytes.size(); m += 380 + Rng() % 260) {
            for (int k = 0; k < 7; k++) Bytes[m + k] = 0;
            Bytes[m + 7] = 0x99;
        }
        const int Size = static_cast<int>(Bytes.size());
        const int Start = static_cast<int>(Rng() % 600) - 100;
        const std::vector<Texture> A = FindTextures(Bytes.data(), Size, Start);
        const std::vector<Texture> B = literal::FindTextures(Bytes.data(), Size, Start);
        ASSERT_EQ(A.size(), B.size()) << n;
        for (size_t k = 0; k < A.size(); k++) {
            EXPECT_EQ(A[k].StartLine, B[k].StartLine) << n;
            EXPECT_EQ(A[k].Width, B[k].Width) << n;
            EXPECT_EQ(A[k].Height, B[k].Height) << n;
        }
    }
}

TEST(LiteralDifferential, LoaderMatchesByteForByte) {
    const std::filesystem::path Path = std::filesystem::temp_directory_path() /
                                       ("qmliteral-load-" + std::to_string(::getpid()));
    std::mt19937 Rng(3);
    for (size_t Size : {size_t{0}, size_t{1}, size_t{4095}, size_t{70001}}) {
        std::vector<uint8_t> Bytes(Size);
        for (uint8_t& B : Bytes) B = static_cast<uint8_t>(Rng());
        WriteFileBytes(Path.string(), Bytes);
        unsigned char *Fast = nullptr, *Lit = nullptr;
        const int FastSize = LoadFile(Path.c_str(), Fast);
        const int LiteralSize = literal::LoadFile(Path.c_str(), Lit);
        EXPECT_EQ(FastSize, static_cast<int>(Size));
        EXPECT_EQ(LiteralSize, static_cast<int>(Size));
        EXPECT_TRUE(Size == 0 || std::memcmp(Fast, Lit, Size) == 0);
        EXPECT_TRUE(Size == 0 || std::memcmp(Fast, Bytes.data(), Size) == 0);
        delete[] Fast;
        delete[] Lit;
    }
    std::filesystem::remove(Path);
}

}  // namespace
