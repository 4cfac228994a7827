#pragma once
// AML files for tests: a small textured mesh and a table of damaged files with what the reader
// says about each.
#include <string>
#include <vector>

#include "support/Bytes.h"

// Four positions, four vertices of position index, normal (zero) and unit-0 texture coordinates,
// two triangles: a unit quad in z = 0.
AmlMeshBlock texturedQuad();

struct DamagedCase {
    const char* name;
    Bytes bytes;
    const char* detail; // regular expression (ECMAScript) for the reader's detail text
};

std::vector<DamagedCase> damagedCases();
