// The counting allocator behind HeapMeter.h.
#include "HeapMeter.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> Armed{false};
std::atomic<int64_t> Live{0}, Peak{0};

void Track(int64_t Bytes) {
    if (!Armed) return;
    Live += Bytes;
    Peak = std::max(Peak.load(), Live.load());
}

#ifdef QM_ASAN
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* P);
[[maybe_unused]] const bool Hooked = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t N) { Track(static_cast<int64_t>(N)); },
    [](const volatile void* P) {
        if (P != nullptr) Track(-static_cast<int64_t>(__sanitizer_get_allocated_size(P)));
    });
#else
// Each block starts with its size, in a header that keeps the block's alignment.
constexpr size_t Header = alignof(std::max_align_t);
#endif

}  // namespace

void StartHeapMeter() {
    Live = 0;
    Peak = 0;
    Armed = true;
}

int64_t StopHeapMeter() {
    Armed = false;
    return Peak.load();
}

#ifndef QM_ASAN
// The program's allocation functions (sanitizers bring their own); the array and nothrow forms
// call these. They call no new-handler: the project installs none.
void* operator new(size_t Size) {
    void* Block = Size <= SIZE_MAX - Header ? std::malloc(Size + Header) : nullptr;
    if (Block == nullptr) throw std::bad_alloc();
    *static_cast<size_t*>(Block) = Size;
    Track(static_cast<int64_t>(Size));
    return static_cast<char*>(Block) + Header;
}

void operator delete(void* P) noexcept {
    if (P == nullptr) return;
    void* Block = static_cast<char*>(P) - Header;
    Track(-static_cast<int64_t>(*static_cast<size_t*>(Block)));
    std::free(Block);
}

void operator delete(void* P, size_t) noexcept { operator delete(P); }
#endif
