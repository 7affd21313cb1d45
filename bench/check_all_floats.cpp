// Checks FormatFixed6 against snprintf("%f") on every one of the 2^32 float bit patterns.
//
// Not part of the test suite: it takes tens of minutes. Run it by hand after a
// change to the formatter:  build-release/bench/check_all_floats [threads]
// Prints progress to standard error and, at the end, the number of
// mismatches (with the first few bit patterns) and the elapsed time; exits 1
// on any mismatch.
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "geometry/FloatFormat.h"

namespace {

constexpr uint64_t AllPatterns = uint64_t{1} << 32;
// Work is handed out in slices so both threads finish together.
constexpr uint64_t Slice = uint64_t{1} << 22;

std::atomic<uint64_t> NextSlice{0};
std::atomic<uint64_t> Mismatches{0};
std::atomic<uint64_t> SlicesDone{0};
std::mutex ReportLock;
std::vector<uint32_t> FirstMismatches;

void Check(uint64_t From, uint64_t To) {
    char Mine[FixedMaxChars + 1];
    char Theirs[400];  // FLT_MAX has 39 integer digits; 400 is ample
    for (uint64_t b = From; b < To; b++) {
        const float F = std::bit_cast<float>(static_cast<uint32_t>(b));
        const size_t MineLength = static_cast<size_t>(FormatFixed6(Mine, F) - Mine);
        const int TheirLength = std::snprintf(Theirs, sizeof Theirs, "%f", static_cast<double>(F));
        if (TheirLength < 0 || static_cast<size_t>(TheirLength) != MineLength ||
            std::memcmp(Mine, Theirs, MineLength) != 0) {
            Mismatches++;
            const std::lock_guard<std::mutex> Hold(ReportLock);
            if (FirstMismatches.size() < 20) FirstMismatches.push_back(static_cast<uint32_t>(b));
        }
    }
}

void Worker() {
    for (;;) {
        const uint64_t s = NextSlice++;
        if (s * Slice >= AllPatterns) return;
        Check(s * Slice, (s + 1) * Slice);
        const uint64_t Done = ++SlicesDone;
        if (Done % 64 == 0)
            std::fprintf(
                stderr, "%.1f%% checked\n",
                100.0 * static_cast<double>(Done * Slice) / static_cast<double>(AllPatterns));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int Threads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const auto Start = std::chrono::steady_clock::now();
    std::vector<std::thread> Pool;
    for (int t = 0; t < Threads; t++) Pool.emplace_back(Worker);
    for (std::thread& T : Pool) T.join();
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();

    std::printf("checked %llu float bit patterns with %d threads in %.0f s (%.1f min)\n",
                static_cast<unsigned long long>(AllPatterns), Threads, Seconds, Seconds / 60);
    std::printf("mismatches: %llu\n", static_cast<unsigned long long>(Mismatches.load()));
    for (uint32_t b : FirstMismatches) {
        char Mine[FixedMaxChars + 1];
        *FormatFixed6(Mine, std::bit_cast<float>(b)) = '\0';
        std::printf("  0x%08x: FormatFixed6 \"%s\", printf \"%f\"\n", b, Mine,
                    static_cast<double>(std::bit_cast<float>(b)));
    }
    return Mismatches == 0 ? 0 : 1;
}
