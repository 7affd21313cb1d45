// The geometry subsystem: vector arithmetic, "%f" formatting and the OBJ writer on model files
// built for the purpose. (The reference writer's comparison on hostile files is in
// memory_safety_test.)
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "Exercise.h"
#include "ModelBuilder.h"
#include "geometry/FloatFormat.h"

TEST(Vectors, RowVectorsSummedInDoubleAndNormalisedInFloat) {
    const Mat4x4 M{{{1, 2, 0, 0}, {1, 0, 3, 0}, {1, 0, 0, 0}, {0, 5, 0, 1}}};
    const Vector4f P = VMulMat(M, {16777216.0f, 1, 1, 9});
    EXPECT_EQ((std::vector<float>{P.X, P.Y, P.Z, P.W}),
              (std::vector<float>{16777218.0f, 33554437.0f, 3, 1}));
    EXPECT_EQ(NMulMat(M, {0, 1, 0}).Y, 5.0f);  // the translation row is added to normals too
    // A NaN result takes the sign of the first NaN operand, or is negative when none is NaN.
    const float NaN = std::numeric_limits<float>::quiet_NaN(),
                Inf = std::numeric_limits<float>::infinity();
    const auto Negative = [](float E00, float E20, Vector4f V) {
        Mat4x4 A = ModelBuilder::Identity();
        A.E[0][0] = E00;
        A.E[2][0] = E20;
        return std::signbit(VMulMat(A, V).X);
    };
    EXPECT_TRUE(Negative(-NaN, 0, {NaN, 0, 0, 1}));
    EXPECT_FALSE(Negative(NaN, 0, {-NaN, 0, 0, 1}));
    EXPECT_TRUE(Negative(0, 0, {Inf, 0, 0, 1}));
    EXPECT_TRUE(Negative(0, -NaN, {1, 1, NaN, 1}));
    Mat4x4 B = ModelBuilder::Identity();
    B.E[1][0] = NaN;
    EXPECT_FALSE(std::signbit(VMulMat(B, {1, 1, -NaN, 1}).X));  // E[1][0] comes before Z
    EXPECT_FALSE(std::signbit(Normalize({NaN, -NaN, 0}).Z));    // 0 over a length made NaN by X
    // Both are negative NaNs.
    EXPECT_EQ(std::to_string(Normalize({0, 0, 0}).X), "-nan");
    EXPECT_EQ(std::to_string(Normalize({-NaN, 1, 0}).Y), "-nan");
}

TEST(FloatFormat, MatchesPrintfOnEveryExponentSpecialValuesAndTies) {
    const auto Expect = [](uint32_t Bits) {
        const float F = std::bit_cast<float>(Bits);
        char Mine[FixedMaxChars], Theirs[400];
        std::snprintf(Theirs, sizeof Theirs, "%f", static_cast<double>(F));
        ASSERT_EQ(std::string(Mine, FormatFixed6(Mine, F)), Theirs) << std::hex << Bits;
    };
    // Both signs of every exponent, with fractions at the edges, in the middle and at random.
    for (uint32_t Sign : {0u, 0x80000000u})
        for (uint32_t Exp = 0; Exp < 256; Exp++)
            for (uint32_t Fraction :
                 {0u, 1u, 2u, 0x400000u, 0x7FFFFEu, 0x7FFFFFu, 0x123457u, 0x5A5A5Au})
                Expect(Sign | Exp << 23 | Fraction);
    // Odd multiples of 1/128 lie exactly halfway between two millionths; so do
    // their neighbours' neighbours on both sides after rounding to float.
    for (int k = -4001; k <= 4001; k += 2) {
        const uint32_t Tie = std::bit_cast<uint32_t>(static_cast<float>(k) / 128.0f);
        for (uint32_t Near : {Tie - 1, Tie, Tie + 1}) Expect(Near);
    }
}

// The writer's format is pinned by the sample session's outputs, and each model's text by the
// reference writer; here, 17 objects of 2000 distinct values: numbers continue from object to
// object past 32767. Each strip ends with a copy of vertex 1000, whose values are found again after
// the value tables have grown.
TEST(ObjWriter, NumbersPast32767AndValuesFoundAfterTheTablesGrew) {
    ModelBuilder B;
    std::vector<int16_t> Strip(2001);
    std::iota(Strip.begin(), Strip.end(), int16_t{0});
    for (float v = 0; v < 2000; v++) B.Vertices.push_back({v, 0, 0, 1, 0, 0, 1, v, 1, 0});
    B.Vertices.push_back(B.Vertices[1000]);
    for (int16_t o = 1; o <= 17; o++) {
        B.Mats1.push_back(ModelBuilder::Translation(0, o, 0));
        B.Objects.push_back({0.5f, {o}, Strip});
    }
    const std::vector<uint8_t> Bytes = B.Build();
    EXPECT_NE(ExerciseModel(Bytes.data(), Bytes.size())
                  .find("\nf 33998/33998/17 33999/33999/17 34000/34000/17\n"),
              std::string::npos);
}
