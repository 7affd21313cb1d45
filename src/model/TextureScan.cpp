// Texture directory scan: marker search, directory allocation and the texture report.
#include "model/TextureScan.h"

#include <cstring>
#include <iostream>

#include "model/ByteReader.h"
#include "model/ModelLayout.h"

namespace {

namespace texture = layout::texture;

// The directory entry for a marker (or the region start) at offset At.
Texture EntryAt(const ByteReader& R, int64_t At) {
    return Texture{R.I16(At + texture::Width), R.I16(At + texture::Height),
                   static_cast<int32_t>(At + texture::PixelData)};
}

}  // namespace

std::vector<Texture> FindTextures(const unsigned char* Buff, int BufferSize, int TexStart) {
    const ByteReader R(Buff, BufferSize);
    const int64_t Size = R.Size();
    const int64_t Start = TexStart < 0 ? 0 : TexStart;

    std::vector<Texture> Found;
    // The region start counts as if a marker stood there.
    int64_t LastLine = TexStart;

    // A marker ends in its only non-zero byte, so look for that byte and check
    // the zeros before it. Every such byte that has a whole marker's room before it
    // in the region is a candidate, which finds exactly the markers a byte-by-byte
    // search finds: those whose bytes all lie in [Start, Size).
    const unsigned char* Region =
        Start + texture::MarkerSize <= Size ? R.Bytes(Start, Size - Start) : nullptr;
    if (Region != nullptr) {
        const unsigned char* End = Region + (Size - Start);
        const unsigned char* P = Region + (texture::MarkerSize - 1);
        while (P < End) {
            P = static_cast<const unsigned char*>(
                std::memchr(P, texture::MarkerLastByte, static_cast<size_t>(End - P)));
            if (P == nullptr) break;
            const unsigned char* M = P - (texture::MarkerSize - 1);
            bool Zeros = true;
            for (int k = 0; k < texture::MarkerSize - 1; k++) Zeros = Zeros && M[k] == 0;
            if (Zeros) {
                const int64_t i = Start + (M - Region);
                if (i - LastLine > texture::MinSpacing) Found.push_back(EntryAt(R, LastLine));
                LastLine = i;
            }
            ++P;
        }
    }
    // The last marker (or the region start, when there is none) always closes an entry.
    Found.push_back(EntryAt(R, LastLine));
    return Found;
}

void TexturesScan(unsigned char*& Buff, int BufferSize, int& TexturesCount, Texture*& Textures,
                  std::ostream& Out) {
    const ByteReader R(Buff, BufferSize);
    const int32_t TexCount = R.I32(layout::header::TextureCount);
    const int32_t TexStart = R.I32(layout::header::TextureStart);

    const std::vector<Texture> Found = FindTextures(Buff, BufferSize, TexStart);
    const int64_t Filled = static_cast<int64_t>(Found.size());

    // The header count sizes the directory and the report, so a hostile one
    // must not decide how much memory or output a small file costs.
    const bool Plausible = TexCount >= 0 && TexCount <= Filled + TextureCountSlack;
    const int Count = Plausible ? TexCount : TexCount < 0 ? 0 : static_cast<int>(Filled);

    Textures = new Texture[Count]();
    for (int k = 0; k < Count && k < Filled; k++) Textures[k] = Found[k];
    TexturesCount = Count;

    Out << std::endl;
    if (!Plausible)
        Out << "Texture count " << TexCount
            << " in the header is not plausible for this file; using " << Count << "." << std::endl;
    Out << "Textures count: " << Count << std::endl;
    for (int k = 0; k < Count; k++)
        Out << "Texture N" << k + 1 << ": " << Textures[k].Width << "x" << Textures[k].Height
            << "x32" << std::endl;
}

void ReleaseTextures(Texture*& Textures) {
    delete[] Textures;
    Textures = nullptr;
}
