// The whole model pipeline on one buffer, with the output and heap bounds every file must keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/GeometryScan.h"

// What one buffer gave: the OBJ text, and a line for each check it failed.
struct Exercised {
    std::string Obj;
    // "<bound> = <got>, limit <limit>" for each bound of Bounds.h broken, and a line naming the
    // first difference when the OBJ text is not ReferenceOBJ's; empty when all holds.
    std::vector<std::string> Broken;
};

// Scans an exact-size copy of Data[0, Size) for geometry and textures, writes
// the OBJ text and every BMP image to counting streams, releases everything,
// and checks the OBJ text against ReferenceOBJ's and every output against
// its bound in Bounds.h. Sizes past 2^31 - 1 give an empty result.
Exercised ExerciseModel(const uint8_t* Data, size_t Size);

// The OBJ text of M from a plain, independent implementation of the writer's rules.
std::string ReferenceOBJ(const QMobject& M);
