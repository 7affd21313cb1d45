// Every one of the 2^32 float bit patterns through FormatFixed6 against snprintf("%f").
// Takes tens of minutes, so it is registered only with -DQM_LONG_TESTS=ON.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <thread>
#include <vector>

#include "geometry/FloatFormat.h"

namespace {

constexpr uint64_t SliceSize = uint64_t{1} << 20;
constexpr uint64_t Slices = (uint64_t{1} << 32) / SliceSize;
std::atomic<uint64_t> NextSlice{0};
std::atomic<uint64_t> Mismatches{0};

// Takes slices of bit patterns until none is left; prints the first few mismatches.
void Check() {
    char Text[FixedMaxChars];
    char Expected[400];  // FLT_MAX has 39 integer digits
    for (uint64_t s = NextSlice++; s < Slices; s = NextSlice++)
        for (uint64_t b = s * SliceSize; b < (s + 1) * SliceSize; b++) {
            const float F = std::bit_cast<float>(static_cast<uint32_t>(b));
            const std::string_view Mine(Text, static_cast<size_t>(FormatFixed6(Text, F) - Text));
            std::snprintf(Expected, sizeof Expected, "%f", static_cast<double>(F));
            if (Mine == Expected) continue;
            if (Mismatches++ < 10)
                std::printf("0x%08x: \"%.*s\", expected \"%s\"\n", static_cast<unsigned>(b),
                            static_cast<int>(Mine.size()), Mine.data(), Expected);
        }
}

}  // namespace

int main() {
    std::vector<std::thread> Threads(std::max(1u, std::thread::hardware_concurrency()));
    for (std::thread& T : Threads) T = std::thread(Check);
    for (std::thread& T : Threads) T.join();
    std::printf("%llu of 2^32 floats printed differently\n",
                static_cast<unsigned long long>(Mismatches.load()));
    return Mismatches == 0 ? 0 : 1;
}
