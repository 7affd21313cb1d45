// Builder-made models that seed the fuzzers and the soak test.
#pragma once

#include "ModelBuilder.h"

namespace SeedModels {

// A texture of the given size words whose blocks cover the sides rounded up to 4.
BuilderTexture MakeTexture(int16_t Width, int16_t Height, int Seed);

// Two objects with their own palettes and a translated matrix, two textures.
ModelBuilder Basic();
// One long strip with repeated entries (strip joins and degenerate faces).
ModelBuilder StripJoins();
// Three objects with markers at the edges of the marker range, textures with odd sides.
ModelBuilder EdgeMarkers();
// NaN and infinite positions and coordinates, a zero normal, slots past the
// palette, palette entries past the matrix table, index entries past the records.
ModelBuilder EdgeValues();

}  // namespace SeedModels
