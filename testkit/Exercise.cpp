// The model pipeline under its bounds: scans, OBJ text and texture export of one buffer.
#include "Exercise.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "geometry/ObjWriter.h"
#include "texture/TextureExport.h"

namespace {

// The largest live heap while armed, from AddressSanitizer's allocation hooks (QM_ASAN is set by
// the build).
std::atomic<bool> Armed{false};
std::atomic<int64_t> Live{0}, Peak{0};
#ifdef QM_ASAN
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* P);
[[maybe_unused]] const bool Hooked = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t N) {
        if (Armed && (Live += static_cast<int64_t>(N)) > Peak) Peak = Live.load();
    },
    [](const volatile void* P) {
        if (Armed && P) Live -= static_cast<int64_t>(__sanitizer_get_allocated_size(P));
    });
#endif

struct CountingBuf : std::streambuf {
    uint64_t Count = 0;
    int_type overflow(int_type C) override {
        return Count += C != traits_type::eof(), traits_type::not_eof(C);
    }
    std::streamsize xsputn(const char*, std::streamsize N) override {
        return Count += static_cast<uint64_t>(N), N;
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

std::string ExerciseModel(const uint8_t* Data, size_t Size) {
    if (Size > 0x7FFFFFFF) return {};
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::vector<unsigned char> Copy(Data, Data + Size);
    unsigned char* Buff = Size > 0 ? Copy.data() : nullptr;
    CountingBuf ReportBuf, ObjBuf, BmpBuf;
    std::ostream Report(&ReportBuf), Obj(&ObjBuf), Bmp(&BmpBuf);
    std::ostringstream Text;
    uint64_t Images = 0;
    Live = Peak = 0, Armed = true;
    QMobject Model = BufferScan(Buff, static_cast<int>(Size), Report);
    int Count = -1;
    Texture* Textures = nullptr;
    TexturesScan(Buff, static_cast<int>(Size), Count, Textures, Report);
    Check("OBJ stream failed", !WriteOBJ(Obj, Model), 0, Size);
    const auto Sink = [&](const std::string&, BMP& Image, std::string&) {
        return Images++, Image.WriteToStream(Bmp);
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
    Check("peak heap bytes", Peak.load(), 21 * Size + (uint64_t{4} << 20), Size);
    return Got;
}
