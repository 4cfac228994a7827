#include "support/AmlSamples.h"

#include <climits>

// Position, normal and texture coordinates of unit 0, as the file stores them.
AmlMeshBlock texturedQuad() {
    AmlMeshBlock mesh;
    mesh.attributes = {{1, 1}, {2, 3}, {6, 2}};
    mesh.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    for (int v = 0; v < 4; ++v) {
        mesh.words.push_back(static_cast<uint32_t>(v));
        for (float w : {0.0f, 0.0f, 0.0f, 0.25f * v, 1.0f - 0.25f * v}) mesh.words.push_back(floatWord(w));
    }
    mesh.vertexCount = 4;
    mesh.triangles = {0, 1, 2, 0, 2, 3};
    return mesh;
}

std::vector<DamagedCase> damagedCases() {
    std::vector<DamagedCase> cases;
    auto withMesh = [](void (*edit)(AmlMeshBlock&)) {
        AmlMeshBlock block = texturedQuad();
        edit(block);
        return amlHeader(1).append(amlMesh(block));
    };
    Bytes good = amlHeader(1).append(amlMesh(texturedQuad()));
    auto cut = [&good](size_t length) {
        Bytes b;
        b.data.assign(good.data.begin(), good.data.begin() + static_cast<long>(length));
        return b;
    };
    // Header is 8 bytes; the mesh header 7; the attribute list 6; positions 48; records 96.
    cases.push_back({"TruncatedMeshCount", cut(6), "truncated in the mesh count"});
    cases.push_back(
        {"FileEndsInsideFirstMeshHeader", cut(11), "mesh count 1 needs at least 9 bytes, 3 remain"});
    cases.push_back({"TruncatedAttributeList",
                     amlHeader(1).append(Bytes().u16(0).u16(0).u16(0).u8(3).u8(1).u8(1)),
                     "truncated in the attribute list of mesh 0"});
    cases.push_back(
        {"TruncatedVertexRecords", cut(8 + 7 + 6 + 48 + 50), "mesh 0 needs 156 bytes .*, 98 remain"});
    cases.push_back({"TruncatedTriangleList", cut(good.size() - 1), "mesh 0 needs 156 bytes .*, 155 remain"});
    cases.push_back({"NegativeMeshCount", amlHeader(-1), "mesh count -1 is negative"});
    cases.push_back({"HugeMeshCount", amlHeader(INT_MAX).append(amlMesh(texturedQuad())),
                     "mesh count 2147483647 needs at least"});
    cases.push_back({"MeshCountBeyondFile", amlHeader(2).append(amlMesh(texturedQuad())),
                     "truncated in the header of mesh 1"});
    cases.push_back({"PositionCountBeyondFile",
                     amlHeader(1).append(Bytes().u16(60000).u16(0).u16(0).u8(1).u8(1).u8(1)),
                     "mesh 0 needs 720000 bytes"});
    cases.push_back({"VertexCountBeyondFile",
                     amlHeader(1).append(Bytes().u16(0).u16(65535).u16(0).u8(2).u8(1).u8(1).u8(3).u8(255)),
                     "mesh 0 needs 67107840 bytes"});
    cases.push_back({"TriangleCountBeyondFile",
                     amlHeader(1).append(Bytes().u16(0).u16(0).u16(65535).u8(1).u8(1).u8(1)),
                     "mesh 0 needs 393210 bytes"});
    cases.push_back({"NoAttributes", withMesh([](AmlMeshBlock& m) { m.attributes.clear(); }),
                     "mesh 0 has 0 attributes, not 1 to 16"});
    cases.push_back({"SeventeenAttributes",
                     withMesh([](AmlMeshBlock& m) { m.attributes.resize(17, std::make_pair(3, 0)); }),
                     "mesh 0 has 17 attributes, not 1 to 16"});
    cases.push_back({"TypeCodeAbove15", withMesh([](AmlMeshBlock& m) { m.attributes[2].first = 16; }),
                     "mesh 0 attribute 2 has type code 16, above 15"});
    cases.push_back({"FirstAttributeIsNotPositionIndex", withMesh([](AmlMeshBlock& m) {
                         m.attributes[0] = {0, 1};
                     }),
                     "mesh 0 attribute 0 is \\(0, 1\\), not the position index \\(1, 1\\)"});
    cases.push_back({"PositionIndexWithTwoWords", withMesh([](AmlMeshBlock& m) {
                         m.attributes[0] = {1, 2};
                     }),
                     "mesh 0 attribute 0 is \\(1, 2\\)"});
    // A second index of no words once made the expansion read the word past every record.
    cases.push_back({"SecondPositionIndexOfNoWords", withMesh([](AmlMeshBlock& m) {
                         m.attributes.push_back({1, 0});
                     }),
                     "mesh 0 attribute 3 is a second position index \\(type 1\\)"});
    cases.push_back({"SecondPositionIndexOfOneWord", withMesh([](AmlMeshBlock& m) {
                         m.attributes[2] = {1, 1};
                         m.attributes.push_back({6, 1});
                     }),
                     "mesh 0 attribute 2 is a second position index \\(type 1\\); only attribute 0 is one"});
    // Each array the draw feeds reads a fixed number of words, or GL refuses the size.
    struct Width {
        const char* name;
        int type, components;
        const char* detail;
    };
    const Width widths[] = {
        {"NormalOfTwoWords", 2, 2, "mesh 0 attribute 1 of type 2 has a component count of 2, not 3 to 255"},
        {"NormalOfNoWords", 2, 0, "mesh 0 attribute 1 of type 2 has a component count of 0"},
        {"GenericAttributeOfTwoWords", 10, 2,
         "mesh 0 attribute 1 of type 10 has a component count of 2, not 3 to 4"},
        {"ColourOfOneWord", 4, 1, "mesh 0 attribute 1 of type 4 has a component count of 1, not 3 to 4"},
        {"SecondaryColourOfFourWords", 5, 4,
         "mesh 0 attribute 1 of type 5 has a component count of 4, not 3 to 3"},
        {"TextureCoordinatesOfFiveWords", 7, 5,
         "mesh 0 attribute 1 of type 7 has a component count of 5, not 1 to 4"},
        {"PositionOfOneWord", 0, 1, "mesh 0 attribute 1 of type 0 has a component count of 1, not 2 to 4"},
    };
    for (const Width& w : widths) {
        AmlMeshBlock block = texturedQuad();
        block.attributes[1] = {w.type, w.components};
        cases.push_back({w.name, amlHeader(1).append(amlMesh(block)), w.detail});
    }
    cases.push_back({"PositionIndexOutsideTable", withMesh([](AmlMeshBlock& m) { m.words[3 * 6] = 4; }),
                     "mesh 0 vertex 3 has position index 4, outside 4 positions"});
    cases.push_back({"NegativePositionIndex", withMesh([](AmlMeshBlock& m) { m.words[6] = 0xffffffffu; }),
                     "mesh 0 vertex 1 has position index -1, outside 4 positions"});
    cases.push_back({"VertexIndexOutsideList", withMesh([](AmlMeshBlock& m) { m.triangles[4] = 4; }),
                     "mesh 0 triangle 1 has vertex index 4, outside 4 vertices"});
    return cases;
}
