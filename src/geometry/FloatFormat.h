// The one place that writes a float the way printf's "%f" does.
#pragma once

#include <cstddef>

// Longest text FormatFixed6 writes: sign, 39 integer digits, point, 6 decimals.
inline constexpr std::size_t FixedMaxChars = 48;

// Writes Value, widened to double, as "%f" in the C locale would: fixed point,
// six decimals, correctly rounded (ties to even on the exact binary value), a
// minus sign whenever the sign bit is set (so "-0.000000"), and "nan", "-nan",
// "inf", "-inf" for the special values. Out must have room for FixedMaxChars
// characters; returns the end of the text. No NUL is written.
char* FormatFixed6(char* Out, float Value);
