// "%f" formatting against the C library on every exponent, the special values and the rounding ties.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>

#include "geometry/FloatFormat.h"

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
            for (uint32_t Fraction : {0u, 1u, 2u, 0x400000u, 0x7FFFFEu, 0x7FFFFFu, 0x123457u, 0x5A5A5Au})
                Expect(Sign | Exp << 23 | Fraction);
    // Odd multiples of 1/128 lie exactly halfway between two millionths; so do
    // their neighbours' neighbours on both sides after rounding to float.
    for (int k = -4001; k <= 4001; k += 2) {
        const uint32_t Tie = std::bit_cast<uint32_t>(static_cast<float>(k) / 128.0f);
        for (uint32_t Near : {Tie - 1, Tie, Tie + 1}) Expect(Near);
    }
}
