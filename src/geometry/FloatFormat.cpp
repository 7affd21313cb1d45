// Exact "%f" formatting of floats without printf.
#include "geometry/FloatFormat.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

// Writes the decimal digits of N.
char* PutUnsigned(char* Out, uint64_t N) {
    char Digits[20];
    int Count = 0;
    do {
        Digits[Count++] = static_cast<char>('0' + N % 10);
        N /= 10;
    } while (N != 0);
    while (Count > 0) *Out++ = Digits[--Count];
    return Out;
}

// Slow but exact path for huge magnitudes: the standard library's
// shortest-exact fixed formatting of the widened double.
char* PutLarge(char* Out, double Value) {
    return std::to_chars(Out, Out + FixedMaxChars, Value, std::chars_format::fixed, 6).ptr;
}

}  // namespace

char* FormatFixed6(char* Out, float Value) {
    const uint32_t Bits = std::bit_cast<uint32_t>(Value);
    const bool Negative = (Bits >> 31) != 0;
    const uint32_t ExpBits = (Bits >> 23) & 0xFF;
    const uint32_t Fraction = Bits & 0x7FFFFF;

    if (ExpBits == 0xFF) {
        if (Negative) *Out++ = '-';
        const char* Text = Fraction != 0 ? "nan" : "inf";
        std::memcpy(Out, Text, 3);
        return Out + 3;
    }

    // Value = Mantissa * 2^Exponent exactly.
    const uint64_t Mantissa = ExpBits != 0 ? (Fraction | 0x800000u) : Fraction;
    const int Exponent = ExpBits != 0 ? static_cast<int>(ExpBits) - 150 : -149;
    if (Exponent > 39) return PutLarge(Out, static_cast<double>(Value));

    // Scaled = Value * 10^6, rounded to nearest with ties to even.
    uint64_t Scaled;
    if (Exponent >= 0) {
        const uint64_t Whole = Mantissa << Exponent;  // < 2^63
        if (Negative) *Out++ = '-';
        Out = PutUnsigned(Out, Whole);
        std::memcpy(Out, ".000000", 7);
        return Out + 7;
    }
    const int Shift = -Exponent;
    const uint64_t Numerator = Mantissa * 1000000u;  // < 2^44
    if (Shift >= 64) {
        Scaled = 0;  // below a quarter of a millionth: rounds to zero
    } else {
        Scaled = Numerator >> Shift;
        const uint64_t Rest = Numerator & ((uint64_t{1} << Shift) - 1);
        const uint64_t Half = uint64_t{1} << (Shift - 1);
        if (Rest > Half || (Rest == Half && (Scaled & 1) != 0)) Scaled++;
    }

    if (Negative) *Out++ = '-';
    Out = PutUnsigned(Out, Scaled / 1000000);
    *Out++ = '.';
    uint64_t Decimals = Scaled % 1000000;
    for (int d = 5; d >= 0; d--) {
        Out[d] = static_cast<char>('0' + Decimals % 10);
        Decimals /= 10;
    }
    return Out + 6;
}
