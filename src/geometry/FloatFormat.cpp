// Exact "%f" formatting of floats without printf.
#include "geometry/FloatFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

void PutPair(char* Out, uint32_t N) { std::memcpy(Out, &digits::Pairs[2 * N], 2); }

// Writes N < 10^6 as exactly six digits. N / 10^4 is held as a 32.32 fixed-point
// number: its integer part is the first pair, and each multiplication of the
// fraction by 100 brings the next pair into the integer part. Rounding the
// reciprocal up keeps every step exact for N < 10^6.
void PutSixDigits(char* Out, uint32_t N) {
    constexpr uint64_t Low32 = 0xFFFFFFFF;
    uint64_t Y = uint64_t{N} * 429497;  // ceil(2^32 / 10^4)
    PutPair(Out, static_cast<uint32_t>(Y >> 32));
    Y = (Y & Low32) * 100;
    PutPair(Out + 2, static_cast<uint32_t>(Y >> 32));
    Y = (Y & Low32) * 100;
    PutPair(Out + 4, static_cast<uint32_t>(Y >> 32));
}

// Slow but exact path for huge magnitudes: the standard library's
// shortest-exact fixed formatting of the widened double.
char* PutLarge(char* Out, double Value) {
    return std::to_chars(Out, Out + FixedMaxChars, Value, std::chars_format::fixed, 6).ptr;
}

}  // namespace

char* FormatFixed6(char* Out, float Value) {
    const uint32_t Bits = std::bit_cast<uint32_t>(Value);
    const uint32_t Negative = Bits >> 31;
    const uint32_t ExpBits = (Bits >> 23) & 0xFF;
    const uint32_t Fraction = Bits & 0x7FFFFF;

    // The sign without a branch: signs in a model are close to random.
    char* const Start = Out;
    *Out = '-';
    Out += Negative;

    if (ExpBits == 0xFF) {
        std::memcpy(Out, Fraction != 0 ? "nan" : "inf", 3);
        return Out + 3;
    }

    // Value = Mantissa * 2^Exponent exactly.
    const uint64_t Mantissa = ExpBits != 0 ? (Fraction | 0x800000u) : Fraction;
    const int Exponent = ExpBits != 0 ? static_cast<int>(ExpBits) - 150 : -149;
    if (Exponent > 39) return PutLarge(Start, static_cast<double>(Value));
    if (Exponent >= 0) {
        Out = FormatDecimal(Out, Mantissa << Exponent);  // < 2^63
        std::memcpy(Out, ".000000", 7);
        return Out + 7;
    }

    // Value = Whole + Rest / 2^Shift. Past 2^-63 the shift is capped: such
    // values round to zero either way.
    const int Shift = std::min(-Exponent, 63);
    uint32_t Whole = static_cast<uint32_t>(Mantissa >> Shift);                       // < 2^23
    const uint64_t Numerator = (Mantissa & ((uint64_t{1} << Shift) - 1)) * 1000000;  // < 2^44
    // Millionths, rounded to nearest with ties to even: adding half minus one,
    // plus one more when the truncated quotient is odd, carries exactly when
    // the remainder is above half or is half with an odd quotient.
    const uint64_t Half = uint64_t{1} << (Shift - 1);
    uint32_t Millionths =
        static_cast<uint32_t>((Numerator + Half - 1 + ((Numerator >> Shift) & 1)) >> Shift);
    if (Millionths == 1000000) {
        Whole++;
        Millionths = 0;
    }

    Out = FormatDecimal(Out, Whole);
    *Out++ = '.';
    PutSixDigits(Out, Millionths);
    return Out + 6;
}
