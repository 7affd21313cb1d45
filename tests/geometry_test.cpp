// The geometry subsystem: "%f" formatting, and the OBJ writer against the reference writer, which
// computes every transform itself, on random models and on a model past the writer's first table
// sizes. (The comparison on hostile files is in memory_safety_test.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>

#include "Exercise.h"
#include "ModelBuilder.h"
#include "geometry/FloatFormat.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();

void ExpectPrintf(uint32_t Bits) {
    const float F = std::bit_cast<float>(Bits);
    char Mine[FixedMaxChars], Theirs[400];
    std::snprintf(Theirs, sizeof Theirs, "%f", static_cast<double>(F));
    ASSERT_EQ(std::string(Mine, FormatFixed6(Mine, F)), Theirs) << std::hex << Bits;
}

// A model of random values drawn from a small pool, so that equal values meet, with zeros of both
// signs, NaNs, infinities and huge values among them; index entries, slots and palette entries
// stray outside their arrays now and then.
ModelBuilder RandomModel(uint32_t Seed) {
    std::mt19937 Rng(Seed);
    const auto Below = [&](int N) { return static_cast<int>(Rng() % static_cast<uint32_t>(N)); };
    std::uniform_real_distribution<float> Real(-50, 50);
    std::vector<float> Pool{0.0f, -0.0f, 1, NaN, -NaN, Inf, -3e38f, 1e-30f};
    for (int k = 0; k < 12; k++) Pool.push_back(Real(Rng));
    const auto Any = [&] { return Pool[static_cast<size_t>(Below(20))]; };
    const auto Whole = [&] { return static_cast<int16_t>(Below(2) * (Below(65536) - 32768)); };
    ModelBuilder B;
    B.Mats1.resize(static_cast<size_t>(1 + Below(4)));
    for (Mat4x4& M : B.Mats1)
        for (auto& Row : M.E)
            for (float& E : Row) E = Below(6) == 0 ? Any() : Real(Rng);
    for (int v = 0; v < 12; v++)
        B.Vertices.push_back({Any(), Any(), Any(), Any(), Whole(), Whole(), Whole(), Any(), Any(),
                              static_cast<uint8_t>(Below(5))});
    for (int o = 0; o < 3; o++) {
        BuilderObject& O = B.Objects.emplace_back();
        O.Palette.clear();
        for (int j = Below(4); j > 0; j--) O.Palette.push_back(static_cast<int16_t>(Below(6) - 1));
        for (int i = Below(30); i > 0; i--) O.Strip.push_back(static_cast<int16_t>(Below(15) - 1));
    }
    return B;
}

}  // namespace

TEST(FloatFormat, MatchesPrintfOnEveryExponentOfBothSigns) {
    // Fractions at the edges, in the middle and at random.
    for (uint32_t Sign : {0u, 0x80000000u})
        for (uint32_t Exp = 0; Exp < 256; Exp++)
            for (uint32_t Fraction :
                 {0u, 1u, 2u, 0x400000u, 0x7FFFFEu, 0x7FFFFFu, 0x123457u, 0x5A5A5Au})
                ExpectPrintf(Sign | Exp << 23 | Fraction);
}

TEST(FloatFormat, MatchesPrintfOnHalfwayCases) {
    // Odd multiples of 1/128 lie exactly halfway between two millionths; so do
    // their neighbours' neighbours on both sides after rounding to float.
    for (int k = -4001; k <= 4001; k += 2) {
        const uint32_t Tie = std::bit_cast<uint32_t>(static_cast<float>(k) / 128.0f);
        for (uint32_t Near : {Tie - 1, Tie, Tie + 1}) ExpectPrintf(Near);
    }
}

TEST(ObjWriter, MatchesTheReferenceWriterOnRandomModels) {
    int Built = 0;
    for (uint32_t Seed = 0; Seed < 300; Seed++) {
        std::vector<uint8_t> Bytes;
        try {
            Bytes = RandomModel(Seed).Build();
        } catch (const std::logic_error&) {
            continue;  // the values happen to form a marker
        }
        Built++;
        ASSERT_THAT(ExerciseModel(Bytes.data(), Bytes.size()).Broken, testing::IsEmpty())
            << "seed " << Seed;
    }
    EXPECT_GT(Built, 250);
}

// 17 objects of 2000 distinct values, object o moved by o along Y: numbers run past 32767; each
// strip goes on over 1000 copies of its first vertices, whose values (as they are other records)
// must be found in the tables after these grew.
TEST(ObjWriter, MatchesTheReferenceWriterPastItsFirstTableSizes) {
    ModelBuilder B;
    std::vector<int16_t> Strip(3000);
    std::iota(Strip.begin(), Strip.end(), int16_t{0});
    for (float v = 0; v < 2000; v++) B.Vertices.push_back({v, 0, 0, 1, 0, 0, 1, v, 1, 0});
    for (size_t v = 0; v < 1000; v++) B.Vertices.push_back(B.Vertices[v]);
    for (int16_t o = 1; o <= 17; o++) {
        B.Mats1.push_back(ModelBuilder::Translation(0, o, 0));
        B.Objects.push_back({0.5f, {o}, Strip});
    }
    const std::vector<uint8_t> Bytes = B.Build();
    EXPECT_THAT(ExerciseModel(Bytes.data(), Bytes.size()).Broken, testing::IsEmpty());
}
