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
#include <string>

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

// An entry's pixel data: a grid of BlocksWide x BlocksHigh blocks at Data, or no data for an
// entry with a side of 0 or less; or why the entry is refused.
struct PixelData {
    const unsigned char* Data = nullptr;
    int BlocksWide = 0, BlocksHigh = 0;
    std::string Refusal;
};

// The pixel data of T, which must lie wholly inside the buffer and fit in the Budget of block
// bytes that the export may still decode; taken from the budget when it does.
PixelData Locate(const ByteReader& R, const Texture& T, int64_t& Budget) {
    PixelData P;
    if (T.Width <= 0 || T.Height <= 0) return P;
    P.BlocksWide = (T.Width + 3) / 4;
    P.BlocksHigh = (T.Height + 3) / 4;
    const int64_t Bytes = int64_t{BlockBytes} * P.BlocksWide * P.BlocksHigh;
    P.Data = R.Bytes(T.StartLine, Bytes);
    if (P.Data == nullptr)
        P.Refusal = "has pixel data past the end of the model file";
    else if (Bytes > Budget)
        P.Refusal = "would take the pixels decoded past " + std::to_string(TextureBudgetFactor) +
                    " times the model file's size";
    else
        Budget -= Bytes;
    return P;
}

// One image serves every texture that fits in the pixels it holds, so their
// memory comes from the system once; a larger texture gets a fresh image, made
// after the old one is gone, so no two are held at once.
class ReusedImage {
public:
    explicit ReusedImage(std::ostream& Messages) : Messages_(Messages) {}

    // The image at W x H pixels and 32 bits, for a texture of Pixels pixels (0 without pixel
    // data: a side of 0 or less is refused by SetSize, which warns and keeps 1 x 1). Throws
    // std::bad_alloc when the pixels cannot be allocated.
    BMP& Sized(int W, int H, size_t Pixels) {
        if (Pixels == 0 || Pixels > Held_) {
            Image_.reset();
            Held_ = 0;
            Image_.emplace(Messages_);
        }
        Image_->SetSize(W, H);
        Held_ = std::max(Held_, Pixels);
        Image_->SetBitDepth(32);
        return *Image_;
    }

private:
    std::ostream& Messages_;
    std::optional<BMP> Image_;
    size_t Held_ = 0;
};

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
    ReusedImage Image(Out);

    for (int t = 0; t < Count; t++) {
        const int W = Textures[t].Width;
        const int H = Textures[t].Height;
        const std::string Name = Base + "_tex" + std::to_string(t) + ".bmp";
        PixelData P = Locate(R, Textures[t], Budget);
        std::string Reason;
        try {
            if (P.Refusal.empty()) {
                const size_t Pixels =
                    P.Data != nullptr ? static_cast<size_t>(W) * static_cast<size_t>(H) : 0;
                BMP& Tex = Image.Sized(W, H, Pixels);
                if (P.Data != nullptr) DecodeBlocks(Tex, W, H, P.Data, P.BlocksWide, P.BlocksHigh);
                if (!Sink(Name, Tex, Reason) && Failed != nullptr)
                    Failed->push_back(Name + ": " + Reason);
            }
        } catch (const std::bad_alloc&) {
            P.Refusal = "needs more memory than is free for its " + std::to_string(W) + " x " +
                        std::to_string(H) + " pixels";
        }
        if (!P.Refusal.empty() && Failed != nullptr)
            Failed->push_back(Name + ": texture N" + std::to_string(t + 1) + " " + P.Refusal);
    }
}

void SaveTextures(char* Path, int TexuresCount, Texture*& Textures, unsigned char*& Buff,
                  int BufferSize, std::vector<std::string>* Failed, std::ostream& Out,
                  const OutputPolicy& Policy) {
    ExportTextures(
        Path, TexuresCount, Textures, Buff, BufferSize,
        [&Policy](const std::string& Name, BMP& Image, std::string& Reason) {
            return Image.WriteToFile(Name.c_str(), &Reason, &Policy);
        },
        Failed, Out);
}
