// Texture directory scan: finds the textures stored in the model buffer.
#pragma once

#include <cstdint>
#include <iostream>
#include <vector>

#include "model/ModelLayout.h"

// One texture of the model file: its size as stored, and the buffer offset of
// the first byte of its DXT5 pixel data.
struct Texture {
    int16_t Width;
    int16_t Height;
    int32_t StartLine;
};

// Scans Buff[0, BufferSize) from TexStart on and returns every entry the scan
// closes, in file order: one for each marker (layout::texture) that the next marker follows by
// more than layout::texture::MinSpacing bytes, one for the last marker, and, when the
// first marker lies that far after TexStart (or there is none), one first
// entry made from TexStart itself. The result always holds at least one entry
// and at most BufferSize / (MinSpacing + 1) + 2.
//
// Buff may be null only when BufferSize is 0. A negative TexStart starts the
// search at 0; markers count only where all their bytes lie inside the buffer. A
// size word outside the buffer reads as 0. StartLine is the marker offset plus
// layout::texture::PixelData, wrapped to 32 bits (a TexStart near INT32_MAX gives a negative one).
std::vector<Texture> FindTextures(const unsigned char* Buff, int BufferSize, int TexStart);

// How many more textures than the scan finds a header may declare and still be believed.
inline constexpr int TextureCountSlack = 64;

// Reads the texture count and region start from the header, scans the region with
// FindTextures, allocates the directory with array-new and prints the report to Out:
//   an empty line, "Textures count: <n>", then "Texture N<k+1>: <W>x<H>x32" per entry.
//
// The header count is used as it stands when it lies in [0, found + TextureCountSlack]. A
// negative count gives an empty directory and a larger one a directory of the
// entries found, so hostile headers cannot make the directory or the report
// outgrow the file; either case adds the line
//   "Texture count <n> in the header is not plausible for this file; using <m>."
// after the empty line. TexturesCount receives the directory's size. Entries
// the scan does not fill are all zero. Release the directory with
// ReleaseTextures. Nothing outside Buff[0, BufferSize) is read.
void TexturesScan(unsigned char*& Buff, int BufferSize, int& TexturesCount, Texture*& Textures,
                  std::ostream& Out = std::cout);

// Releases a directory allocated by TexturesScan and sets the pointer to null.
void ReleaseTextures(Texture*& Textures);
