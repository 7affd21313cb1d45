// Geometry scan of the model buffer: object markers, index list, vertex records, matrices.
#pragma once

#include <iostream>
#include <vector>

#include "geometry/Vectors.h"

// The parsed model. Arrays are allocated with array-new by BufferScan and
// released by ReleaseModel; a copy of the record shares them.
//
// Counts always describe the arrays as allocated: every section that the
// header places partly outside the buffer is cut to the whole items inside it,
// and negative counts become 0. So for every k < Objects, ObjectsUsedMat[k]
// holds PerObjectMatCol[k] entries, and Mats1 and Mats2 hold Parts1 and Parts2
// matrices. Index entries, matrix slots and palette entries are stored as the
// file has them and may point outside their arrays; the OBJ writer checks them.
struct QMobject {
    int Objects;             // object markers accepted
    int* ObjectsVNumber;     // Objects + 1 entries: 0, then each object's strip length as stored
    int VNumber;             // entries in the index list
    int RVNumber;            // vertex records
    short* VerticesRange;    // the index list (VNumber entries)
    short** ObjectsUsedMat;  // per object, its matrix palette
    int* PerObjectMatCol;    // per object, the palette length as read (see PaletteLimit)
    Vector4f* Vertices;      // RVNumber positions
    Vector3f* Normals;       // RVNumber raw normals, as floats
    Vector2f* TexCoords;     // RVNumber texture coordinates
    int* UsedMatrix;         // RVNumber matrix slots, 0..255
    Mat4x4* Mats1;           // matrix table 1 (Parts1 entries)
    Mat4x4* Mats2;           // matrix table 2 (Parts2 entries)
    int Parts1;              // matrices in Mats1
    int Parts2;              // matrices in Mats2
};

// A matrix slot is one byte, so no vertex can reach a palette entry past 255;
// longer palettes are stored up to this many entries.
inline constexpr int PaletteLimit = 256;

// Offsets of the accepted object markers, in rising order: three equal floats
// in (0.2, 1.0) at p, p+4, p+8; after a marker at p the next candidate is p+41;
// at most DeclaredCount markers (none when it is 0 or negative).
std::vector<int> FindObjectMarkers(const unsigned char* Buff, int BufferSize, int DeclaredCount);

// Scans the BufferSize bytes at Buff and returns the model. Prints the empty
// line, "Objects count : N" and one "Object N<k> contains : <strip-2> polygons"
// line per object to Out. Never reads outside the buffer; allocates no more
// than a small multiple of BufferSize.
QMobject BufferScan(unsigned char*& Buff, int BufferSize, std::ostream& Out = std::cout);

// Releases every array of the record and zeroes it.
void ReleaseModel(QMobject& Model);
