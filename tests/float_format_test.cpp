// "%f" formatting: byte-identical to snprintf on the cases where fast paths go wrong.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "geometry/FloatFormat.h"

namespace {

std::string Mine(float F) {
    char B[FixedMaxChars];
    return std::string(B, FormatFixed6(B, F));
}

std::string Printf(float F) {
    char B[128];
    std::snprintf(B, sizeof B, "%f", static_cast<double>(F));
    return B;
}

void ExpectSame(float F) {
    ASSERT_EQ(Mine(F), Printf(F)) << "bits 0x" << std::hex << std::bit_cast<uint32_t>(F);
}

TEST(FloatFormat, MatchesPrintfOnSpecialValues) {
    const float Q = std::numeric_limits<float>::quiet_NaN();
    const float Inf = std::numeric_limits<float>::infinity();
    for (float F : {0.0f, -0.0f, Q, -Q, Inf, -Inf, FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_MIN,
                    std::numeric_limits<float>::denorm_min(), 1e-7f, -1e-7f, 0.0078125f,
                    -0.0078125f, 0.5f, 1.0f, 1e6f, 123456.789f, 3.4e38f, 16777216.0f})
        ExpectSame(F);
    EXPECT_EQ(Mine(-0.0f), "-0.000000");
    EXPECT_EQ(Mine(0.0078125f), "0.007812");  // an exact tie rounds to even
}

TEST(FloatFormat, MatchesPrintfOnTiesPowersAndNeighbours) {
    // Exactly representable ties: k / 2^7 .. k / 2^20 put the 7th decimal at 5.
    for (int Shift = 1; Shift <= 24; Shift++)
        for (int k = -300; k <= 300; k++) ExpectSame(std::ldexp(static_cast<float>(k), -Shift));
    // Every power of two with its neighbours, both signs.
    for (int E = -149; E <= 127; E++) {
        const float P = std::ldexp(1.0f, E);
        for (float F : {P, std::nextafter(P, 0.0f), std::nextafter(P, 2 * P)}) {
            ExpectSame(F);
            ExpectSame(-F);
        }
    }
    // Half-millionths and their neighbours, where rounding decides the last digit.
    for (int k = 0; k < 200000; k += 7) {
        const float F = static_cast<float>((k + 0.5) / 1e6);
        ExpectSame(F);
        ExpectSame(std::nextafter(F, 1.0f));
        ExpectSame(std::nextafter(F, 0.0f));
    }
}

TEST(FloatFormat, MatchesPrintfOnRandomBitPatterns) {
    std::mt19937 Rng(12345);
    for (int n = 0; n < 2000000; n++) ExpectSame(std::bit_cast<float>(static_cast<uint32_t>(Rng())));
}

}  // namespace
