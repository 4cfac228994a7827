#pragma once
// Reading of AML model files (version 2), shared by both model loaders. No GL here: the reader
// fills meshes on the CPU, and the loaders word its errors in their own style.
//
// Layout, little-endian, no padding: "AML", version byte 2, int32 mesh count M, then M blocks of
// uint16 P, V, T, uint8 A, A (type, components) byte pairs, P float triples, V records of S words
// (S = the sum of the components; word 0 is an int32 index into the positions) and T uint16 triples.
#include <functional>
#include <string>

#include "geometry/Mesh.h"
#include "base/GrowArray.h"

class ResDesc;

struct AmlError {
    enum Kind { NotAml, WrongVersion, Damaged };
    Kind kind;
    int version;        // the version byte read, for WrongVersion
    std::string detail; // what is wrong, for Damaged: "mesh 0 has 17 attributes, not 1 to 16"
};

// Loaders end the process here. A report that returns makes readAml give up and return -1,
// leaving `meshes` part-filled and unfit for use.
using AmlErrorReport = std::function<void(const AmlError&)>;

// Reads from the source's current position to the last mesh block. `meshes` is reset to the file's
// mesh count, and one default mesh per block is appended and filled in place, with its layout
// derived; positions are not expanded. Anything that would read or index past an array is rejected
// before the array is allocated or used: truncation, a negative mesh count, counts the rest of the
// source can't hold, 0 or more than 16 attributes, type codes above 15, an attribute 0 that isn't
// the position index (1, 1), a second position index, an attribute with fewer or more words than
// the expansion or the draw reads for its type (a normal needs 3), position indices outside the
// positions and vertex indices outside the vertices. Returns the mesh count.
int readAml(ResDesc& source, GrowArray<Mesh>& meshes, const AmlErrorReport& report);

// The loaders' report: fatal, naming the file at `path` ("File '<path>' is damaged AML file: ...").
AmlErrorReport fatalAmlError(const std::string& path);
