// The simple reference algorithms: the loader, the scans and the OBJ writer as first described, kept as
// oracles for the differential tests and as baselines for the benchmarks.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <vector>

#include "model/GeometryScan.h"
#include "model/TextureScan.h"

namespace literal {

// Opens Path with mode "rb", finds its size by seeking to the end, allocates
// that many bytes into Buff and reads them with one fread of one byte per
// index. Returns the size, or -1 (Buff null) when the file cannot be opened.
int LoadFile(const char* Path, unsigned char*& Buff);

// The geometry scan as three full walks over the buffer, each testing the
// marker (three floats read and compared) at every offset. Produces the same
// record and report lines as ::BufferScan, including its choices for sections
// that lie partly outside the buffer. Release the record with ReleaseModel.
QMobject BufferScan(const unsigned char* Buff, int BufferSize, std::ostream& Out);

// The texture marker search comparing the 8 marker bytes at every offset from
// the region start on; returns the entries it closes, like ::FindTextures.
std::vector<Texture> FindTextures(const unsigned char* Buff, int BufferSize, int TexStart);

// The texture scan around FindTextures above, with ::TexturesScan's directory
// and report. Release the directory with ReleaseTextures.
void TexturesScan(const unsigned char* Buff, int BufferSize, int& TexturesCount,
                  Texture*& Textures, std::ostream& Out);

// The OBJ writer as first described: for each entry, its position, texture
// coordinate and normal are compared with those of every earlier entry of
// the object, recomputing both sides' transforms each time; each face corner
// searches the whole list; every number goes through fprintf "%f" or "%i".
// Input that points outside its arrays is treated as ::WriteOBJ documents,
// so the two write the same bytes for every record.
void WriteOBJ(std::FILE* Out, const QMobject& QMModel);

}  // namespace literal
