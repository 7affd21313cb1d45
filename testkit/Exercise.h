// The whole model pipeline on one buffer, with the output and heap bounds every file must keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/GeometryScan.h"

// Scans an exact-size copy of Data[0, Size) for geometry and textures, writes
// the OBJ text and every BMP image to counting streams, releases everything
// and returns the OBJ text. Aborts, printing what broke to standard error, when the OBJ text
// differs from ReferenceOBJ's or an output breaks its bound:
// - OBJ text: each index-list entry (2 file bytes) adds at most one "v" line
//   (3 + 3 x 48 + 3 = 150 bytes with the longest "%f" floats), one "vt" line
//   (111), one "vn" line of unit or NaN components (34) and one face line of
//   three 10-digit triples (101): 198 bytes per file byte; each object (a
//   marker takes 41 bytes at least) adds 163 bytes of comments and group
//   lines, and the file opens with a 38-byte comment;
// - images: at most Size / 501 + 2 directory entries are found, and the
//   header count may exceed that by 64;
// - BMP bytes: at most 8 x Size block bytes are decoded (the texture budget),
//   16 block bytes give at most 64 pixel bytes, and each image adds its
//   54-byte headers (an image without pixel data is 1 x 1);
// - report: one line per object and per texture under 64 bytes, and two
//   warning lines per image;
// - heap (measured under AddressSanitizer): 21 x Size + 4 MiB, measured on a
//   file built for the worst case (a marker every 41 bytes, each with a whole
//   palette, every header section spanning the file, one texture as large as
//   the file) at 20 x Size plus the OBJ writer's fixed buffers.
std::string ExerciseModel(const uint8_t* Data, size_t Size);

// The OBJ text of M from a plain, independent implementation of the writer's rules.
std::string ReferenceOBJ(const QMobject& M);
