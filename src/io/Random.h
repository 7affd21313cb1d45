// Random bits for temporary names and hash seeds.
#pragma once

#include <cstdint>
#include <random>

// Random bits from a generator of this thread, seeded once from the system:
// asking the system each time costs more than writing a small file (tens of
// microseconds in a virtual machine), and no generator is shared between threads.
inline uint64_t ThreadRandom() {
    thread_local std::mt19937_64 Generator{std::random_device{}()};
    return Generator();
}
