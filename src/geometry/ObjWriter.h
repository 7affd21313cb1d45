// Wavefront OBJ writer: every object's transformed, de-duplicated positions, texture coordinates,
// normals and faces.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "io/OutputFile.h"
#include "model/GeometryScan.h"

// Writes the OBJ text of QMModel to Out. Linear in the index list: equal values
// are found by hashing with the writer's equality (+0 equals -0, NaN equals
// nothing) and numbered in order of first occurrence, and each vertex's
// position, texture coordinate and normal are computed once per object.
//
// Input that points outside its arrays is handled as follows:
// - an index entry outside the vertex records (negative ones included) has no
//   position, texture coordinate or normal: it adds no line, and every
//   triangle with such a corner is dropped;
// - a matrix slot beyond the object's palette, or a palette entry outside
//   matrix table 1, places the vertex with the identity matrix;
// - a negative strip length gives an empty stretch and does not move the start
//   of the next one; stretches are cut at the end of the index list.
// Returns false when Out failed.
bool WriteOBJ(std::ostream& Out, const QMobject& QMModel);

// Writes the file named Path followed by ".obj" (Path is a NUL-terminated
// string in an array of PathCapacity bytes; it is not changed).
// The file appears complete or not at all (OutputFile). Returns true when it
// was written; otherwise "<file name>: <reason>" is appended to *Failed when
// Failed is given. The file is written under Policy (OutputFile).
bool SaveOBJ(char* Path, QMobject QMModel, std::vector<std::string>* Failed = nullptr,
             const OutputPolicy& Policy = {});
