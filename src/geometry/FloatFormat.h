// The one place that writes numbers as text: floats the way printf's "%f" does, and unsigned
// integers.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace digits {

// "00", "01", ..., "99" back to back: two digits per lookup.
inline constexpr std::array<char, 200> Pairs = [] {
    std::array<char, 200> Table{};
    for (size_t i = 0; i < 100; i++) {
        Table[2 * i] = static_cast<char>('0' + i / 10);
        Table[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return Table;
}();

inline constexpr std::array<uint64_t, 20> PowersOf10 = [] {
    std::array<uint64_t, 20> Table{};
    uint64_t P = 1;
    for (uint64_t& Entry : Table) {
        Entry = P;
        P *= 10;
    }
    return Table;
}();

}  // namespace digits

// Writes the decimal digits of N (at most 20, no sign, no NUL), two at a time
// from the right, and returns the end. Inline: the OBJ writer's face lines
// are mostly such numbers.
template <class Unsigned>
inline char* FormatDecimal(char* Out, Unsigned N) {
    // The digit count is Guess or Guess + 1 (1233 / 4096 is just below
    // log10(2)); N | 1 gives zero its one digit.
    const Unsigned Odd = N | 1;
    const int Guess = (std::bit_width(Odd) * 1233) >> 12;
    char* const End = Out + Guess + (Odd >= digits::PowersOf10[static_cast<size_t>(Guess)]);
    char* P = End;
    while (N >= 100) {
        P -= 2;
        std::memcpy(P, &digits::Pairs[2 * static_cast<size_t>(N % 100)], 2);
        N /= 100;
    }
    if (N >= 10)
        std::memcpy(P - 2, &digits::Pairs[2 * static_cast<size_t>(N)], 2);
    else
        P[-1] = static_cast<char>('0' + N);
    return End;
}

// Longest text FormatFixed6 writes: sign, 39 integer digits, point, 6 decimals.
inline constexpr std::size_t FixedMaxChars = 48;

// Writes Value, widened to double, as "%f" in the C locale would: fixed point,
// six decimals, correctly rounded (ties to even on the exact binary value), a
// minus sign whenever the sign bit is set (so "-0.000000"), and "nan", "-nan",
// "inf", "-inf" for the special values. Out must have room for FixedMaxChars
// characters; returns the end of the text. No NUL is written.
char* FormatFixed6(char* Out, float Value);
