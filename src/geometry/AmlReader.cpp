#include "geometry/AmlReader.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "base/FatalError.h"
#include "geometry/ResDesc.h"

namespace {

// The smallest mesh block: P, V, T, A and one attribute descriptor.
constexpr long kSmallestMeshBytes = 2 + 2 + 2 + 1 + 2;

// How many words each type code may have: as many as the expansion and the draw read from it
// (Mesh.h), so neither reads past a record. The draw points GL's arrays with the component count
// as their size, and GL refuses sizes it doesn't take, leaving the array on an earlier pointer.
struct WordRange {
    int least, most;
};
constexpr WordRange kWordsByType[16] = {
    {2, 4},   //  0 position: glVertexPointer
    {1, 1},   //  1 position index, one int32 word
    {3, 255}, //  2 normal: glNormalPointer reads 3 floats
    {0, 255}, //  3 carried, bound to nothing
    {3, 4},   //  4 colour
    {3, 3},   //  5 secondary colour
    {1, 4},   //  6 texture coordinates, unit 0
    {1, 4},   //  7
    {1, 4},   //  8
    {1, 4},   //  9
    {3, 4},   // 10 unit 4, and the generic attribute, which reads 3 floats
    {1, 4},   // 11
    {1, 4},   // 12
    {1, 4},   // 13
    {0, 255}, // 14 carried
    {0, 255}, // 15 carried
};

class AmlInput {
public:
    AmlInput(ResDesc& source, const AmlErrorReport& report) : source(source), report(report) {}

    // Where the source ends, so counts can be weighed against what is left before allocating.
    bool findEnd() {
        long start = source.tell();
        if (start < 0 || source.seek(0, SEEK_END) != 0) return damaged("its size can't be told");
        end = source.tell();
        if (end < start || source.seek(static_cast<int>(start), SEEK_SET) != 0)
            return damaged("its size can't be told");
        return true;
    }
    long long remaining() { return end - source.tell(); }

    bool fail(AmlError::Kind kind, int version) {
        report(AmlError{kind, version, std::string()});
        return false;
    }
    bool damaged(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char detail[256];
        va_list args;
        va_start(args, format);
        vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
        report(AmlError{AmlError::Damaged, 0, detail});
        return false;
    }
    bool truncated(int mesh, const char* part) {
        return damaged("truncated in the %s of mesh %d", part, mesh);
    }

    bool readMesh(int index, GrowArray<Mesh>& meshes);
    bool checkIndices(int index, const Mesh& mesh);

    ResDesc& source;
    const AmlErrorReport& report;
    long end = 0;
};

bool AmlInput::readMesh(int index, GrowArray<Mesh>& meshes) {
    uint16_t positionCount, vertexCount, triangleCount;
    uint8_t attributeCount;
    if (!source.tryReadU16(positionCount) || !source.tryReadU16(vertexCount) ||
        !source.tryReadU16(triangleCount) || !source.tryReadU8(attributeCount))
        return truncated(index, "header");
    if (attributeCount < 1 || attributeCount > 16)
        return damaged("mesh %d has %d attributes, not 1 to 16", index, attributeCount);

    uint8_t types[16], components[16];
    int recordWords = 0;
    for (int i = 0; i < attributeCount; ++i) {
        if (!source.tryReadU8(types[i]) || !source.tryReadU8(components[i]))
            return truncated(index, "attribute list");
        if (types[i] > 15)
            return damaged("mesh %d attribute %d has type code %d, above 15", index, i, types[i]);
        recordWords += components[i];
    }
    if (types[0] != 1 || components[0] != 1)
        return damaged("mesh %d attribute 0 is (%d, %d), not the position index (1, 1)", index, types[0],
                       components[0]);
    // The expansion reads the one index at word 0; a second one would leave the layout pointing
    // at the later, and its width could put it past the record.
    for (int i = 1; i < attributeCount; ++i) {
        if (types[i] == 1)
            return damaged(
                "mesh %d attribute %d is a second position index (type 1); only attribute 0 is one", index,
                i);
        const WordRange& range = kWordsByType[types[i]];
        if (components[i] < range.least || components[i] > range.most)
            return damaged("mesh %d attribute %d of type %d has a component count of %d, not %d to %d", index,
                           i, types[i], components[i], range.least, range.most);
    }

    long long needed = 12LL * positionCount + 4LL * recordWords * vertexCount + 6LL * triangleCount;
    long long left = remaining();
    if (needed > left)
        return damaged("mesh %d needs %lld bytes for %d positions, %d vertices and %d triangles, %lld remain",
                       index, needed, positionCount, vertexCount, triangleCount, left);

    Mesh& mesh = meshes.appendDefault();
    mesh.positionCount = positionCount;
    mesh.vertexCount = vertexCount;
    mesh.triangleCount = triangleCount;
    mesh.attributeCount = attributeCount;
    for (int i = 0; i < attributeCount; ++i) {
        mesh.types[i] = types[i];
        mesh.components[i] = components[i];
    }
    // A read of no bytes reports failure, so empty tables are not read at all.
    mesh.positions = new float[3 * static_cast<size_t>(positionCount)];
    if (positionCount > 0 && !source.read(mesh.positions, 12 * positionCount))
        return truncated(index, "positions");
    mesh.vertices = new uint32_t[static_cast<size_t>(recordWords) * vertexCount];
    for (int v = 0; v < vertexCount; ++v)
        if (!source.read(mesh.vertices + static_cast<size_t>(v) * recordWords, 4 * recordWords))
            return truncated(index, "vertex records");
    mesh.indices = new uint16_t[3 * static_cast<size_t>(triangleCount)];
    if (triangleCount > 0 && !source.read(mesh.indices, 6 * triangleCount))
        return truncated(index, "triangle list");

    mesh.updateLayout();
    return checkIndices(index, mesh);
}

bool AmlInput::checkIndices(int index, const Mesh& mesh) {
    // The position index is word 0 of each record, the one type-1 attribute.
    for (int v = 0; v < mesh.vertexCount; ++v) {
        int32_t position = static_cast<int32_t>(mesh.vertices[static_cast<size_t>(v) * mesh.stride]);
        if (position < 0 || position >= mesh.positionCount)
            return damaged("mesh %d vertex %d has position index %d, outside %d positions", index, v,
                           position, mesh.positionCount);
    }
    for (int i = 0; i < 3 * mesh.triangleCount; ++i)
        if (mesh.indices[i] >= mesh.vertexCount)
            return damaged("mesh %d triangle %d has vertex index %d, outside %d vertices", index, i / 3,
                           mesh.indices[i], mesh.vertexCount);
    return true;
}

} // namespace

int readAml(ResDesc& source, GrowArray<Mesh>& meshes, const AmlErrorReport& report) {
    AmlInput input(source, report);
    if (!input.findEnd()) return -1;

    // A short read gives 0, which fails these comparisons like any other wrong byte.
    static const uint8_t magic[3] = {'A', 'M', 'L'};
    for (uint8_t expected : magic) {
        if (source.readU8() != expected) {
            input.fail(AmlError::NotAml, 0);
            return -1;
        }
    }
    uint8_t version = source.readU8();
    if (version != 2) {
        input.fail(AmlError::WrongVersion, version);
        return -1;
    }

    uint32_t countWord;
    if (!source.tryReadU32(countWord)) {
        input.damaged("truncated in the mesh count");
        return -1;
    }
    int32_t meshCount = static_cast<int32_t>(countWord);
    long long left = input.remaining();
    if (meshCount < 0) {
        input.damaged("mesh count %d is negative", meshCount);
        return -1;
    }
    if (meshCount > left / kSmallestMeshBytes) {
        input.damaged("mesh count %d needs at least %lld bytes, %lld remain", meshCount,
                      meshCount * static_cast<long long>(kSmallestMeshBytes), left);
        return -1;
    }

    meshes.reset(meshCount);
    for (int i = 0; i < meshCount; ++i)
        if (!input.readMesh(i, meshes)) return -1;
    return meshCount;
}

AmlErrorReport fatalAmlError(const std::string& path) {
    return [path](const AmlError& error) {
        switch (error.kind) {
        case AmlError::NotAml:
            fatalError("File '%s' is not AML file (or is format version 0).\n", path.c_str());
        case AmlError::WrongVersion:
            fatalError("File '%s' is not AML format 2 file (format = %d).\n", path.c_str(), error.version);
        case AmlError::Damaged:
            fatalError("File '%s' is damaged AML file: %s.\n", path.c_str(), error.detail.c_str());
        }
    };
}
