// AML model files as both loaders read them: the reader, then on every mesh it accepts the
// expansion of the positions and the normals, which read the records the reader let through.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResDescMemory source(std::vector<unsigned char>(data, data + size));
    GrowArray<Mesh> meshes(16);
    bool rejected = false;
    int count = readAml(source, meshes, [&rejected](const AmlError&) { rejected = true; });
    if (rejected || count < 0) return 0;
    for (Mesh& mesh : meshes) {
        mesh.expandPositions();
        mesh.computeNormals();
    }
    return 0;
}
