// Puts the 16 bytes that each block decode reads, and the 64 it writes, under the sanitizers' view.
//
// libsquish is not instrumented, so a block pointer past the end of the model
// buffer would go unseen inside it. This definition takes the place of the
// shared library's block decoder: it copies the block in instrumented code,
// then lets the library's own decoder work on the copy.
#include <dlfcn.h>
#include <squish.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace squish {

void Decompress(u8* rgba, void const* block, int flags) {
    using Decoder = void (*)(u8*, void const*, int);
    static const Decoder Library =
        reinterpret_cast<Decoder>(dlsym(RTLD_NEXT, "_ZN6squish10DecompressEPhPKvi"));
    if (Library == nullptr) {
        std::fprintf(stderr, "SquishGuard: libsquish's Decompress not found\n");
        std::abort();
    }
    u8 Block[16];
    std::memcpy(Block, block, sizeof Block);
    u8 Pixels[64];
    Library(Pixels, Block, flags);
    std::memcpy(rgba, Pixels, sizeof Pixels);
}

}  // namespace squish
