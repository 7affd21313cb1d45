// Texture export: decodes each texture's DXT5 blocks and writes it as a 32-bit BMP file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/Bmp.h"
#include "io/OutputFile.h"
#include "model/TextureScan.h"

// Receives each finished image and the file name it belongs under; returns
// whether the image was stored, and otherwise sets Reason. The image may be
// reused for a later texture once the call returns.
using TextureSink =
    std::function<bool(const std::string& FileName, BMP& Image, std::string& Reason)>;

// The block bytes one export may decode, as a multiple of the model file's size.
inline constexpr int TextureBudgetFactor = 8;

// Builds one 32-bit image per directory entry t (0 <= t < Count) and hands it
// to Sink under the name Path + "_tex" + t + ".bmp".
//
// Path must be a NUL-terminated text (null counts as empty); Textures must
// hold Count entries; Buff must hold BufferSize bytes. Pixel data is a grid of
// ceil(W/4) x ceil(H/4) DXT5 blocks of 16 bytes from the entry's StartLine on,
// rows of blocks from top to bottom; each block is decoded once and the pixels
// that fall outside the W x H image are dropped. An entry with a side of 0 or
// less decodes nothing and gives the 1 x 1 image (the image class warns).
//
// Nothing outside Buff[0, BufferSize) is read. An entry is skipped when its
// pixel data does not lie wholly inside the buffer, when it would take the
// block bytes decoded by this call past TextureBudgetFactor x BufferSize (so
// overlapping entries of a crafted file cannot multiply the output), or when
// its pixels cannot be allocated. For each skipped entry and each image Sink
// refused, "<file name>: <reason>" is appended to *Failed when it is not null;
// the reason names the texture as the report does ("texture N1" for entry 0).
// The image class's messages go to Out. Count <= 0 does nothing.
void ExportTextures(const char* Path, int Count, const Texture* Textures, const unsigned char* Buff,
                    int BufferSize, const TextureSink& Sink,
                    std::vector<std::string>* Failed = nullptr, std::ostream& Out = std::cout);

// ExportTextures with each image written to its file by BMP::WriteToFile,
// under Policy. Path is not changed.
void SaveTextures(char* Path, int TexuresCount, Texture*& Textures, unsigned char*& Buff,
                  int BufferSize, std::vector<std::string>* Failed = nullptr,
                  std::ostream& Out = std::cout, const OutputPolicy& Policy = {});
