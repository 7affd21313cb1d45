// Texture export: bounds and budget checks, DXT5 block decoding, one BMP file per texture.
#include "texture/TextureExport.h"

#include <squish.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>

#include "model/ByteReader.h"
#include "model/ModelLayout.h"

namespace {

constexpr int BlockBytes = layout::texture::BlockSize;

// Stores the four decoded pixels of a block row (red, green, blue, alpha) as
// image pixels (blue, green, red, alpha). On common hosts each pixel is one
// 32-bit word whose red and blue bytes trade places, which compilers turn into
// one vector operation for the four; elsewhere it goes byte by byte.
inline void PlaceFour(RGBApixel* To, const squish::u8* From) {
    static_assert(sizeof(RGBApixel) == 4, "RGBApixel must be four bytes without padding");
    if constexpr (std::endian::native == std::endian::little ||
                  std::endian::native == std::endian::big) {
        // Bytes 0 and 2 of the four, wherever the host keeps them in a word,
        // lie 16 bits apart: a rotation by 16 of just those two swaps them.
        constexpr uint32_t Swapped =
            std::endian::native == std::endian::little ? 0x00FF00FFu : 0xFF00FF00u;
        for (int c = 0; c < 4; c++) {
            uint32_t W;
            std::memcpy(&W, From + 4 * c, 4);
            W = (W & ~Swapped) | std::rotl(W & Swapped, 16);
            std::memcpy(To + c, &W, 4);
        }
    } else {
        for (int c = 0; c < 4; c++)
            To[c] = {From[4 * c + 2], From[4 * c + 1], From[4 * c], From[4 * c + 3]};
    }
}

// Decodes a grid of BlocksWide x BlocksHigh DXT5 blocks at Data (rows of
// blocks, top to bottom) into the W x H image, dropping the pixels of edge
// blocks that lie past the image's right or bottom edge. Up to RunBlocks
// blocks of a row are decoded side by side first, so their bytes are settled
// in the cache before being read. Their four rows of pixels are then put
// together in a strip that stays in the cache, and each goes into the image
// with one copy: processors write long copies to memory faster than many
// small stores.
void DecodeBlocks(BMP& Tex, int W, int H, const unsigned char* Data, int BlocksWide,
                  int BlocksHigh) {
    constexpr int RunBlocks = 256;
    squish::u8 Decoded[64 * RunBlocks];
    RGBApixel Strip[4][4 * RunBlocks];
    for (int by = 0; by < BlocksHigh; by++) {
        const int Rows = std::min(4, H - 4 * by);
        RGBApixel* Row[4];
        // The runs below store every pixel of these rows, so they need no blank fill.
        for (int r = 0; r < Rows; r++) Row[r] = Tex.RowToOverwrite(4 * by + r);
        const unsigned char* Blocks =
            Data + BlockBytes * static_cast<size_t>(by) * static_cast<size_t>(BlocksWide);
        for (int First = 0; First < BlocksWide; First += RunBlocks) {
            const int Count = std::min(RunBlocks, BlocksWide - First);
            const unsigned char* Run = Blocks + BlockBytes * static_cast<size_t>(First);
            for (int b = 0; b < Count; b++)
                squish::Decompress(Decoded + 64 * b, Run + BlockBytes * b, squish::kDxt5);
            // Every block whole, four rows of four pixels; the pixels past the
            // image's right or bottom edge are then left out of the copies.
            for (int b = 0; b < Count; b++)
                for (int r = 0; r < 4; r++) PlaceFour(Strip[r] + 4 * b, Decoded + 64 * b + 16 * r);
            const int Columns = std::min(4 * Count, W - 4 * First);
            const size_t Bytes = sizeof(RGBApixel) * static_cast<size_t>(Columns);
            for (int r = 0; r < Rows; r++)
                std::memcpy(Row[r] + 4 * static_cast<size_t>(First), Strip[r], Bytes);
        }
    }
}

}  // namespace

void ExportTextures(const char* Path, int Count, const Texture* Textures, const unsigned char* Buff,
                    int BufferSize, const TextureSink& Sink, std::vector<std::string>* Failed,
                    std::ostream& Out) {
    if (Count <= 0 || Textures == nullptr) return;
    const ByteReader R(Buff, BufferSize);
    const std::string Base = Path != nullptr ? Path : "";
    // Block bytes this call may still decode: generous for overlapping entries
    // of real files, yet a bound on what a crafted directory can multiply.
    int64_t Budget = TextureBudgetFactor * int64_t{R.Size()};
    // One image serves every texture that fits in the pixels it holds, so
    // their memory comes from the system once; a larger texture gets a fresh
    // image, made after the old one is gone, so no two are held at once.
    std::optional<BMP> Image;
    size_t Held = 0;

    for (int t = 0; t < Count; t++) {
        const int W = Textures[t].Width;
        const int H = Textures[t].Height;
        const std::string Name = Base + "_tex" + std::to_string(t) + ".bmp";
        std::string Reason;
        const auto Refuse = [&](const std::string& Why) {
            if (Failed != nullptr)
                Failed->push_back(Name + ": texture N" + std::to_string(t + 1) + " " + Why);
        };

        const unsigned char* Data = nullptr;
        int BlocksWide = 0, BlocksHigh = 0;
        if (W > 0 && H > 0) {
            BlocksWide = (W + 3) / 4;
            BlocksHigh = (H + 3) / 4;
            const int64_t Bytes = int64_t{BlockBytes} * BlocksWide * BlocksHigh;
            Data = R.Bytes(Textures[t].StartLine, Bytes);
            if (Data == nullptr) {
                Refuse("has pixel data past the end of the model file");
                continue;
            }
            if (Bytes > Budget) {
                Refuse("would take the pixels decoded past " + std::to_string(TextureBudgetFactor) +
                       " times the model file's size");
                continue;
            }
            Budget -= Bytes;
        }

        try {
            const size_t Pixels =
                Data != nullptr ? static_cast<size_t>(W) * static_cast<size_t>(H) : 0;
            if (Pixels == 0 || Pixels > Held) {
                Image.reset();
                Held = 0;
                Image.emplace(Out);
            }
            BMP& Tex = *Image;
            // A side of 0 or less is refused by SetSize, which warns and keeps 1 x 1.
            Tex.SetSize(W, H);
            Held = std::max(Held, Pixels);
            Tex.SetBitDepth(32);
            if (Data != nullptr) DecodeBlocks(Tex, W, H, Data, BlocksWide, BlocksHigh);
            if (!Sink(Name, Tex, Reason) && Failed != nullptr)
                Failed->push_back(Name + ": " + Reason);
        } catch (const std::bad_alloc&) {
            Refuse("needs more memory than is free for its " + std::to_string(W) + " x " +
                   std::to_string(H) + " pixels");
        }
    }
}

void SaveTextures(char* Path, int TexuresCount, Texture*& Textures, unsigned char*& Buff,
                  int BufferSize, std::vector<std::string>* Failed, std::ostream& Out) {
    ExportTextures(
        Path, TexuresCount, Textures, Buff, BufferSize,
        [](const std::string& Name, BMP& Image, std::string& Reason) {
            return Image.WriteToFile(Name.c_str(), &Reason);
        },
        Failed, Out);
}
