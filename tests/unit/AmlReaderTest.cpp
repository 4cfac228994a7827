#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <regex>
#include <string>

#include "geometry/AmlReader.h"
#include "support/AmlSamples.h"
#include "support/Bytes.h"

namespace {

struct ReadResult {
    int meshCount = 0;
    std::vector<AmlError> errors;
    GrowArray<Mesh> meshes{16};
    long position = 0; // where reading stopped
};

void readInto(ReadResult& result, const Bytes& bytes) {
    ResDescMemory source(bytes.data);
    result.meshCount = readAml(source, result.meshes, [&](const AmlError& e) { result.errors.push_back(e); });
    result.position = source.position;
}

std::vector<AmlError> errorsOf(const Bytes& bytes) {
    ReadResult result;
    readInto(result, bytes);
    return result.errors;
}

float floatAt(const Mesh& mesh, int vertex, int word) {
    float value;
    memcpy(&value, &mesh.vertices[vertex * mesh.stride + word], sizeof value);
    return value;
}

Bytes twoMeshFile() {
    return amlHeader(2).append(amlMesh(texturedQuad())).append(amlMesh(texturedQuad()));
}

} // namespace

TEST(AmlReader, SmallestFileLoadsAsOneTriangleAndExpandsToItsPositions) {
    Bytes file = smallestAml();
    ASSERT_EQ(file.size(), 71u);
    ReadResult r;
    readInto(r, file);
    ASSERT_TRUE(r.errors.empty());
    ASSERT_EQ(r.meshCount, 1);
    ASSERT_EQ(r.meshes.count, 1);
    Mesh& mesh = r.meshes[0];
    EXPECT_EQ(mesh.positionCount, 3);
    EXPECT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(mesh.triangleCount, 1);
    EXPECT_EQ(mesh.stride, 1);
    EXPECT_EQ(r.position, 71);

    mesh.expandPositions();
    EXPECT_EQ(mesh.stride, 3);
    EXPECT_EQ(mesh.positions, nullptr);
    EXPECT_EQ(mesh.positionCount, 0);
    const float expected[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (int v = 0; v < 3; ++v)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(floatAt(mesh, v, k), expected[v][k]);
    EXPECT_EQ(mesh.slotByType[0], 0);
}

TEST(AmlReader, RejectsWrongMagicAtTheFirstMismatch) {
    ReadResult amx;
    readInto(amx, Bytes().raw({'A', 'M', 'X', 2, 1, 0, 0, 0}));
    ASSERT_EQ(amx.errors.size(), 1u);
    EXPECT_EQ(amx.errors[0].kind, AmlError::NotAml);
    EXPECT_EQ(amx.position, 3);
    EXPECT_EQ(amx.meshCount, -1);

    ReadResult xml;
    readInto(xml, Bytes().raw({'X', 'M', 'L', 2}));
    EXPECT_EQ(xml.position, 1);
    // Too short to hold the magic reads as a wrong byte.
    EXPECT_EQ(errorsOf(Bytes().raw({'A', 'M'})).at(0).kind, AmlError::NotAml);
    EXPECT_EQ(errorsOf(Bytes()).at(0).kind, AmlError::NotAml);
}

TEST(AmlReader, RejectsOtherVersionsWithTheVersionRead) {
    ReadResult r;
    readInto(r, amlHeader(0, 3));
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].kind, AmlError::WrongVersion);
    EXPECT_EQ(r.errors[0].version, 3);
    // A file that ends after the magic has version 0.
    EXPECT_EQ(errorsOf(Bytes().raw({'A', 'M', 'L'})).at(0).version, 0);
}

TEST(AmlReader, EmptyModelAndEmptyTriangleListLoad) {
    ReadResult none;
    readInto(none, amlHeader(0));
    EXPECT_TRUE(none.errors.empty());
    EXPECT_EQ(none.meshCount, 0);
    EXPECT_EQ(none.meshes.count, 0);

    AmlMeshBlock mesh;
    mesh.attributes = {{1, 1}};
    mesh.positions = {1, 2, 3};
    mesh.words = {0};
    mesh.vertexCount = 1;
    ReadResult noTriangles;
    readInto(noTriangles, amlHeader(1).append(amlMesh(mesh)));
    ASSERT_TRUE(noTriangles.errors.empty());
    EXPECT_EQ(noTriangles.meshes[0].triangleCount, 0);
    EXPECT_EQ(noTriangles.meshes[0].vertexCount, 1);
}

TEST(AmlReader, ExpansionPutsPositionFirstAndKeepsOtherAttributes) {
    AmlMeshBlock block = texturedQuad();
    Bytes file = amlHeader(1).append(amlMesh(block));
    ReadResult r;
    readInto(r, file);
    ASSERT_TRUE(r.errors.empty());
    Mesh& mesh = r.meshes[0];
    EXPECT_EQ(mesh.stride, 6); // 24-byte records in the file
    mesh.expandPositions();
    EXPECT_EQ(mesh.stride, 8);
    ASSERT_EQ(mesh.attributeCount, 3);
    EXPECT_EQ(mesh.types[0], 0);
    EXPECT_EQ(mesh.components[0], 3);
    EXPECT_EQ(mesh.types[1], 2);
    EXPECT_EQ(mesh.components[1], 3);
    EXPECT_EQ(mesh.types[2], 6);
    EXPECT_EQ(mesh.components[2], 2);
    EXPECT_EQ(mesh.slotByType[0], 0);
    EXPECT_EQ(mesh.slotByType[2], 1);
    EXPECT_EQ(mesh.slotByType[6], 2);
    for (int v = 0; v < 4; ++v) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(floatAt(mesh, v, k), block.positions[3 * v + k]);
        EXPECT_EQ(floatAt(mesh, v, 6), 0.25f * v);
        EXPECT_EQ(floatAt(mesh, v, 7), 1.0f - 0.25f * v);
    }
}

TEST(AmlReader, SharedPositionIndicesGiveIdenticalCopies) {
    AmlMeshBlock block;
    block.attributes = {{1, 1}, {4, 3}};
    block.positions = {0, 0, 0, 1, 1, 1, 6, 7, 8};
    block.words = {2, floatWord(1), floatWord(0), floatWord(0), 2, floatWord(0), floatWord(1), floatWord(0),
                   0, floatWord(0), floatWord(0), floatWord(1)};
    block.vertexCount = 3;
    block.triangles = {0, 1, 2};
    ReadResult r;
    readInto(r, amlHeader(1).append(amlMesh(block)));
    ASSERT_TRUE(r.errors.empty());
    Mesh& mesh = r.meshes[0];
    mesh.expandPositions();
    for (int v = 0; v < 2; ++v)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(floatAt(mesh, v, k), 6.0f + k);
    EXPECT_EQ(floatAt(mesh, 0, 3), 1.0f);
    EXPECT_EQ(floatAt(mesh, 1, 3), 0.0f);
    EXPECT_EQ(floatAt(mesh, 1, 4), 1.0f);
    // Writing one copy leaves the other alone.
    mesh.vertices[0] = floatWord(99);
    EXPECT_EQ(floatAt(mesh, 1, 0), 6.0f);
}

TEST(AmlReader, RejectsEachDamagedFileWithItsReason) {
    for (const DamagedCase& c : damagedCases()) {
        SCOPED_TRACE(c.name);
        ReadResult r;
        readInto(r, c.bytes);
        EXPECT_EQ(r.meshCount, -1);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.errors[0].kind, AmlError::Damaged);
        EXPECT_TRUE(std::regex_search(r.errors[0].detail, std::regex(c.detail))) << r.errors[0].detail;
    }
}

// Every way a download or a copy can be cut short must be reported, never read past.
TEST(AmlReader, EveryTruncationOfAGoodFileIsRejected) {
    Bytes good = twoMeshFile();
    ASSERT_TRUE(errorsOf(good).empty());
    for (size_t length = 0; length < good.size(); ++length) {
        Bytes cut;
        cut.data.assign(good.data.begin(), good.data.begin() + static_cast<long>(length));
        ReadResult r;
        readInto(r, cut);
        EXPECT_EQ(r.meshCount, -1) << "length " << length;
        EXPECT_EQ(r.errors.size(), 1u) << "length " << length;
    }
}

// Single corrupted bytes either load into a mesh that keeps every invariant or are rejected.
TEST(AmlReader, CorruptedBytesNeverYieldAnInconsistentMesh) {
    Bytes good = twoMeshFile();
    for (size_t at = 0; at < good.size(); ++at) {
        for (unsigned value : {0x00u, 0x01u, 0x10u, 0x7fu, 0x80u, 0xffu}) {
            Bytes bad = good;
            bad.data[at] = static_cast<unsigned char>(value);
            ReadResult r;
            readInto(r, bad);
            if (!r.errors.empty()) continue;
            ASSERT_EQ(r.meshes.count, r.meshCount);
            for (Mesh& mesh : r.meshes) {
                SCOPED_TRACE(testing::Message() << "byte " << at << " = " << value);
                for (int i = 0; i < 3 * mesh.triangleCount; ++i) ASSERT_LT(mesh.indices[i], mesh.vertexCount);
                mesh.expandPositions();
                mesh.computeNormals();
                int normalSlot = mesh.slotByType[2];
                if (normalSlot < 0 || mesh.components[normalSlot] < 3) continue;
                int n = mesh.attributeOffset(mesh.slotByType[2]);
                for (int v = 0; v < mesh.vertexCount; ++v)
                    for (int k = 0; k < 3; ++k) EXPECT_FALSE(std::isnan(floatAt(mesh, v, n + k)));
            }
        }
    }
}

// Inputs the model fuzz target found on the reader as it was, kept as they came out of it.
TEST(AmlReader, FuzzedFilesThatReadPastTheRecordsAreRejected) {
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        const char* detail;
    };
    const Case cases[] = {
        // Attributes (1, 1), (1, 0), (0, 0), (0, 0): the index check read the word after each
        // one-word record (heap-buffer-overflow in checkIndices).
        {"SecondIndexOfNoWords",
         {0x41, 0x4d, 0x4c, 0x02, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x04, 0x01,
          0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
          0x00, 0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x02, 0x00, 0xcf, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0xcf, 0x02, 0x00, 0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0xcf, 0x03, 0x00},
         "mesh 0 attribute 1 is a second position index"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file;
        file.data = c.bytes;
        const std::vector<AmlError> errors = errorsOf(file);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].detail.find(c.detail), std::string::npos) << errors[0].detail;
    }
}
