// Shared by the fuzz targets: output and heap bounds and the whole model pipeline on one buffer.
#include "FuzzSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>

#include "geometry/ObjWriter.h"
#include "image/Bmp.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

#if defined(__SANITIZE_ADDRESS__)
#define QM_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_FUZZ_ASAN 1
#endif
#endif

uint64_t ObjByteLimit(uint64_t Size) { return 198 * Size + 163 * (Size / 41 + 1) + 38; }

uint64_t ImageLimit(uint64_t Size) { return Size / 501 + 2 + 64; }

uint64_t BmpByteLimit(uint64_t Size) { return 4 * Size + 58 * ImageLimit(Size); }

uint64_t HeapLimit(uint64_t Size) { return 16 * Size + (uint64_t{3} << 20); }

void BoundBroken(const char* What, uint64_t Got, uint64_t Limit, uint64_t Size) {
    std::fprintf(stderr, "bound broken: %s = %llu, limit %llu, for a file of %llu bytes\n", What,
                 static_cast<unsigned long long>(Got), static_cast<unsigned long long>(Limit),
                 static_cast<unsigned long long>(Size));
    std::fflush(stderr);
    __builtin_trap();
}

#ifdef QM_FUZZ_ASAN
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*MallocHook)(const volatile void*, size_t),
                                              void (*FreeHook)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* P);
}
#endif

namespace HeapWatch {
namespace {
std::atomic<bool> Armed{false};
std::atomic<int64_t> Live{0};
std::atomic<int64_t> Peak{0};

#ifdef QM_FUZZ_ASAN
void OnMalloc(const volatile void*, size_t N) {
    if (!Armed.load(std::memory_order_relaxed)) return;
    const int64_t Now = Live.fetch_add(static_cast<int64_t>(N)) + static_cast<int64_t>(N);
    int64_t Seen = Peak.load();
    while (Now > Seen && !Peak.compare_exchange_weak(Seen, Now)) {
    }
}
void OnFree(const volatile void* P) {
    if (!Armed.load(std::memory_order_relaxed) || P == nullptr) return;
    Live.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(P)));
}
bool Install() { return __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0; }
#else
bool Install() { return false; }
#endif
}  // namespace

bool Supported() {
    static const bool Installed = Install();
    return Installed;
}

void Arm() {
    if (!Supported()) return;
    Live = 0;
    Peak = 0;
    Armed = true;
}

uint64_t Disarm() {
    Armed = false;
    return static_cast<uint64_t>(std::max<int64_t>(Peak.load(), 0));
}
}  // namespace HeapWatch

namespace {

struct Ratios {
    double Obj = 0, Bmp = 0, Heap = 0;
    uint64_t Runs = 0;
} Largest;

void Track(double& Slot, uint64_t Got, uint64_t Size) {
    if (Size >= 256) Slot = std::max(Slot, static_cast<double>(Got) / static_cast<double>(Size));
}

}  // namespace

ModelOutput ExerciseModel(const uint8_t* Data, size_t Size) {
    ModelOutput Result;
    if (Size > 0x7FFFFFFF) return Result;
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::unique_ptr<unsigned char[]> Copy(new unsigned char[Size]);
    std::copy(Data, Data + Size, Copy.get());
    unsigned char* Buff = Size > 0 ? Copy.get() : nullptr;
    const int BufferSize = static_cast<int>(Size);

    HeapWatch::Arm();
    {
        CountingBuf Report;
        std::ostream ReportOut(&Report);
        QMobject Model = BufferScan(Buff, BufferSize, ReportOut);
        int Count = -1;
        Texture* Textures = nullptr;
        TexturesScan(Buff, BufferSize, Count, Textures, ReportOut);
        if (Count < 0 || (Count > 0 && Textures == nullptr)) BoundBroken("texture count", 0, 0, Size);

        CountingBuf Obj;
        std::ostream ObjOut(&Obj);
        if (!WriteOBJ(ObjOut, Model)) BoundBroken("OBJ stream failed", 1, 0, Size);

        CountingBuf Bmp;
        std::ostream BmpOut(&Bmp);
        std::vector<std::string> Failed;
        ExportTextures(
            "fuzz", Count, Textures, Buff, BufferSize,
            [&](const std::string&, BMP& Image) {
                Result.Images++;
                return Image.WriteToStream(BmpOut);
            },
            &Failed);

        ReleaseModel(Model);
        ReleaseTextures(Textures);
        Result.ObjBytes = Obj.Count();
        Result.BmpBytes = Bmp.Count();
        Result.ReportBytes = Report.Count();
    }
    Result.PeakHeap = HeapWatch::Disarm();

    if (Result.ObjBytes > ObjByteLimit(Size))
        BoundBroken("OBJ bytes", Result.ObjBytes, ObjByteLimit(Size), Size);
    if (Result.Images > ImageLimit(Size))
        BoundBroken("images", Result.Images, ImageLimit(Size), Size);
    if (Result.BmpBytes > BmpByteLimit(Size))
        BoundBroken("BMP bytes", Result.BmpBytes, BmpByteLimit(Size), Size);
    // Report lines: one per object (a marker every 41 bytes at most) and per
    // texture, each under 64 bytes, and a few fixed lines.
    const uint64_t ReportLimit = 64 * (Size / 41 + 1 + ImageLimit(Size)) + 256;
    if (Result.ReportBytes > ReportLimit)
        BoundBroken("report bytes", Result.ReportBytes, ReportLimit, Size);
    if (Result.PeakHeap > HeapLimit(Size))
        BoundBroken("peak heap bytes", Result.PeakHeap, HeapLimit(Size), Size);

    Track(Largest.Obj, Result.ObjBytes, Size);
    Track(Largest.Bmp, Result.BmpBytes, Size);
    Track(Largest.Heap, Result.PeakHeap > (uint64_t{1} << 20) ? Result.PeakHeap - (uint64_t{1} << 20) : 0,
          Size);
    Largest.Runs++;
    return Result;
}

namespace {

class NullBuf : public std::streambuf {
protected:
    int_type overflow(int_type C) override { return traits_type::not_eof(C); }
    std::streamsize xsputn(const char*, std::streamsize N) override { return N; }
};

}  // namespace

void SilenceStdout() {
    // Never destroyed: std::cout is flushed at exit, after function statics are gone.
    static NullBuf* const Null = new NullBuf;
    std::cout.rdbuf(Null);
}

void ReportRatiosAtExit() {
    if (std::getenv("QM_FUZZ_STATS") == nullptr) return;
    std::atexit([] {
        std::fprintf(stderr,
                     "model runs %llu; largest ratios to file size (files of 256 bytes or more): "
                     "OBJ %.2f, BMP %.2f, heap beyond 1 MiB %.2f%s\n",
                     static_cast<unsigned long long>(Largest.Runs), Largest.Obj, Largest.Bmp,
                     Largest.Heap, HeapWatch::Supported() ? "" : " (heap not measured)");
    });
}
