// The heap's peak over a stretch of code: the counting allocator of the tests and the fuzz
// targets, linked into nothing else, so that the benchmarks time the product's allocator.
#pragma once

#include <cstdint>

// Counts the bytes allocated and released from now on, starting from zero.
void StartHeapMeter();

// Stops counting and returns the peak of the bytes live since StartHeapMeter: fed by the
// allocation hooks of AddressSanitizer (QM_ASAN), else by HeapMeter.cpp's operator new.
int64_t StopHeapMeter();
