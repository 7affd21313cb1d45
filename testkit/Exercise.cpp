// The model pipeline under its bounds: scans, OBJ text and texture export of one buffer.
#include "Exercise.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sstream>
#include <vector>

#include "geometry/ObjWriter.h"
#include "texture/TextureExport.h"

namespace {

// The live heap and its peak while armed, fed by AddressSanitizer's allocation hooks where the
// build sets QM_ASAN, and by the program's operator new and delete below everywhere else.
std::atomic<bool> Armed{false};
std::atomic<int64_t> Live{0};
std::atomic<int64_t> Peak{0};

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

struct CountingBuf : std::streambuf {
    uint64_t Count = 0;
    int_type overflow(int_type C) override {
        if (!traits_type::eq_int_type(C, traits_type::eof())) Count++;
        return traits_type::not_eof(C);
    }
    std::streamsize xsputn(const char*, std::streamsize N) override {
        Count += static_cast<uint64_t>(N);
        return N;
    }
};

void Check(const char* What, unsigned long long Got, unsigned long long Limit,
           unsigned long long Size) {
    if (Got <= Limit) return;
    std::fprintf(stderr, "bound broken: %s = %llu, limit %llu, for a file of %llu bytes\n", What,
                 Got, Limit, Size);
    std::abort();  // so that the fuzzer keeps the input
}

}  // namespace

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

std::string ExerciseModel(const uint8_t* Data, size_t Size) {
    if (Size > 0x7FFFFFFF) return {};
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::vector<unsigned char> Copy(Data, Data + Size);
    unsigned char* Buff = Size > 0 ? Copy.data() : nullptr;
    CountingBuf ReportBuf, ObjBuf, BmpBuf;
    std::ostream Report(&ReportBuf), Obj(&ObjBuf), Bmp(&BmpBuf);
    std::ostringstream Text;
    uint64_t Images = 0;
    Live = 0;
    Peak = 0;
    Armed = true;
    QMobject Model = BufferScan(Buff, static_cast<int>(Size), Report);
    int Count = -1;
    Texture* Textures = nullptr;
    TexturesScan(Buff, static_cast<int>(Size), Count, Textures, Report);
    Check("OBJ stream failed", !WriteOBJ(Obj, Model), 0, Size);
    const auto Sink = [&](const std::string&, BMP& Image, std::string&) {
        Images++;
        return Image.WriteToStream(Bmp);
    };
    ExportTextures("fuzz", Count, Textures, Buff, static_cast<int>(Size), Sink, nullptr, Report);
    ReleaseTextures(Textures);
    Armed = false;
    WriteOBJ(Text, Model);
    const std::string Got = Text.str(), Expected = ReferenceOBJ(Model);
    const auto Differ =
        std::mismatch(Got.begin(), Got.end(), Expected.begin(), Expected.end()).first - Got.begin();
    Check("OBJ text differs from the reference's at byte", Got == Expected ? 0 : Differ + 1, 0,
          Size);
    ReleaseModel(Model);
    const uint64_t ImageLimit = Size / 501 + 2 + 64, Objects = Size / 41 + 1;
    Check("OBJ bytes", ObjBuf.Count, 198 * Size + 163 * Objects + 38, Size);
    Check("images", Images, ImageLimit, Size);
    Check("BMP bytes", BmpBuf.Count, 32 * Size + 58 * ImageLimit, Size);
    Check("report bytes", ReportBuf.Count, 64 * Objects + 192 * ImageLimit + 256, Size);
    // The scan always allocates, so a peak of 0 would mean that the meter counts nothing.
    Check("heap meter idle (1: no allocation counted)", Peak == 0, 0, Size);
    Check("peak heap bytes", Peak.load(), 21 * Size + (uint64_t{4} << 20), Size);
    return Got;
}
