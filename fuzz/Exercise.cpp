// The model pipeline under its bounds: scans, OBJ text and texture export of one buffer.
#include "Exercise.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>

#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

uint64_t ObjByteLimit(uint64_t Size) { return 198 * Size + 163 * (Size / 41 + 1) + 38; }
uint64_t ImageLimit(uint64_t Size) { return Size / 501 + 2 + 64; }
uint64_t BmpByteLimit(uint64_t Size) { return 32 * Size + 58 * ImageLimit(Size); }
// Measured on a file built for the worst case (a marker every 41 bytes, each
// with a whole 256-entry palette, every header section spanning the file, one
// texture as large as the file): 20 N and the OBJ writer's fixed buffers.
uint64_t HeapLimit(uint64_t Size) { return 21 * Size + (uint64_t{4} << 20); }

void BoundBroken(const char* What, uint64_t Got, uint64_t Limit, uint64_t Size) {
    std::fprintf(stderr, "bound broken: %s = %llu, limit %llu, for a file of %llu bytes\n", What,
                 static_cast<unsigned long long>(Got), static_cast<unsigned long long>(Limit),
                 static_cast<unsigned long long>(Size));
    std::fflush(stderr);
    __builtin_trap();
}

namespace {

// The largest live heap while armed, from AddressSanitizer's allocation hooks.
std::atomic<bool> Armed{false};
std::atomic<int64_t> Live{0}, Peak{0};
#if defined(__SANITIZE_ADDRESS__)
#define QM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_ASAN 1
#endif
#endif
#ifdef QM_ASAN
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* P);
[[maybe_unused]] const bool Hooked = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t N) {
        const int64_t Now = Armed ? Live += static_cast<int64_t>(N) : 0;
        for (int64_t Seen = Peak; Now > Seen && !Peak.compare_exchange_weak(Seen, Now);) {
        }
    },
    [](const volatile void* P) {
        if (Armed && P != nullptr) Live -= static_cast<int64_t>(__sanitizer_get_allocated_size(P));
    });
#endif

// Counts what is written to it; for OBJ text it also checks each line as it
// completes: a line of a kind the writer makes, and face corners that name
// values already written.
class CheckingBuf : public std::streambuf {
public:
    CheckingBuf(bool Obj, uint64_t Size) : Obj_(Obj), Size_(Size) {}
    uint64_t Count = 0;

protected:
    int_type overflow(int_type C) override {
        const char Ch = traits_type::to_char_type(C);
        if (!traits_type::eq_int_type(C, traits_type::eof())) xsputn(&Ch, 1);
        return traits_type::not_eof(C);
    }
    std::streamsize xsputn(const char* S, std::streamsize N) override {
        Count += static_cast<uint64_t>(N);
        for (std::streamsize k = 0; Obj_ && k < N; k++) S[k] == '\n' ? CheckLine() : Line_.push_back(S[k]);
        return N;
    }

private:
    void CheckLine() {
        const size_t Kind = Line_.rfind("v  ", 0) == 0 ? 0 : Line_.rfind("vt  ", 0) == 0 ? 1
                            : Line_.rfind("vn  ", 0) == 0 ? 2 : 3;
        if (Kind < 3) Lists_[Kind]++;
        else if (Line_.rfind("f ", 0) == 0) {
            std::replace(Line_.begin(), Line_.end(), '/', ' ');
            std::istringstream F(Line_.substr(2));
            uint64_t N = 0;
            for (int Corner = 0; Corner < 9; Corner++)
                if (!(F >> N) || N == 0 || N > Lists_[Corner % 3])
                    BoundBroken("face corner beyond its list", N, Lists_[Corner % 3], Size_);
        } else if (!Line_.empty() && Line_[0] != '#' && Line_ != "g" && Line_.rfind("g Obj", 0) != 0 && Line_ != "s 1")
            BoundBroken("unknown OBJ line of length", Line_.size(), 0, Size_);
        Line_.clear();
    }
    bool Obj_;
    uint64_t Size_, Lists_[3] = {0, 0, 0};
    std::string Line_;
};

void Check(const char* What, uint64_t Got, uint64_t Limit, uint64_t Size) {
    if (Got > Limit) BoundBroken(What, Got, Limit, Size);
}

}  // namespace

ModelOutput ExerciseModel(const uint8_t* Data, size_t Size) {
    ModelOutput R;
    if (Size > 0x7FFFFFFF) return R;
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::unique_ptr<unsigned char[]> Copy(new unsigned char[Size]);
    std::copy(Data, Data + Size, Copy.get());
    unsigned char* Buff = Size > 0 ? Copy.get() : nullptr;
    Live = Peak = 0;
    Armed = true;
    {
        CheckingBuf ReportBuf(false, Size), ObjBuf(true, Size), BmpBuf(false, Size);
        std::ostream Report(&ReportBuf), Obj(&ObjBuf), Bmp(&BmpBuf);
        QMobject Model = BufferScan(Buff, static_cast<int>(Size), Report);
        int Count = -1;
        Texture* Textures = nullptr;
        TexturesScan(Buff, static_cast<int>(Size), Count, Textures, Report);
        if (!WriteOBJ(Obj, Model)) BoundBroken("OBJ stream failed", 1, 0, Size);
        std::vector<std::string> Failed;
        ExportTextures(
            "fuzz", Count, Textures, Buff, static_cast<int>(Size),
            [&](const std::string&, BMP& Image, std::string&) { return R.Images++, Image.WriteToStream(Bmp); }, &Failed, Report);
        ReleaseModel(Model);
        ReleaseTextures(Textures);
        R = {ObjBuf.Count, BmpBuf.Count, R.Images, ReportBuf.Count, 0};
    }
    Armed = false;
    R.PeakHeap = static_cast<uint64_t>(std::max<int64_t>(Peak, 0));
    Check("OBJ bytes", R.ObjBytes, ObjByteLimit(Size), Size);
    Check("images", R.Images, ImageLimit(Size), Size);
    Check("BMP bytes", R.BmpBytes, BmpByteLimit(Size), Size);
    // One line per object (a marker every 41 bytes at most) and per texture, each under 64 bytes, and per
    // image the image class's two-line size warning.
    Check("report bytes", R.ReportBytes, 64 * (Size / 41 + 1) + 192 * ImageLimit(Size) + 256, Size);
    Check("peak heap bytes", R.PeakHeap, HeapLimit(Size), Size);
    return R;
}
