#pragma once
// One indexed triangle list with an interleaved vertex array: each vertex record is `stride`
// 32-bit words, and the attribute table says which words feed which built-in GL array.
// A mesh owns its CPU arrays; its GL buffers live until the context ends. Meshes are moved,
// never copied.
#include <cstdint>

// Attribute type codes: what an attribute holds and which GL array it feeds.
//  0 position (vertex array)          1 position index, a 32-bit integer (files only)
//  2 normal (normal array, 3 floats)  4 colour            5 secondary colour
//  6..13 texture coordinates of units 0..7; 10 also feeds the generic array at genericLocation
//  3, 14, 15 carried in the records but bound to nothing
class Mesh {
  public:
    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(Mesh&& other) noexcept;
    virtual ~Mesh();

    // Derives `stride` and `slotByType` from the attribute table. An attribute without a valid
    // type code prints "Error! Attrib type[i] = ..." on stdout and exits with status 1.
    void updateLayout();
    // Replaces the position index at the front of every record with the 3-float position and
    // frees the position table. Every position index must be below positionCount.
    void expandPositions();
    // Unit normal of a triangle from words 0..2 of its records; zero for a zero-area triangle.
    void faceNormal(int triangle, float normal[3]) const;
    // Smooth vertex normals into the type-2 attribute: the sum of the unit normals of the
    // triangles using each record, normalised. A record with a zero sum gets a zero normal.
    // Does nothing when the mesh has no normal attribute of at least 3 words.
    void computeNormals();
    // Needs a current GL context. Leaves both buffers bound.
    void createBuffers();
    // Binds both buffers and points every array the attributes feed. Leaves the client-active
    // texture unit at the last unit enabled.
    void enableArrays();
    // Unbinds both buffers, disables every array enableArrays can enable and leaves client-active
    // texture unit 0.
    void disableArrays();
    void draw();

    // Word offset of an attribute in each record: the components of the attributes before it.
    int attributeOffset(int attribute) const;

    int indexBuffer = -1;  // GL buffer holding `indices`
    int vertexBuffer = -1; // GL buffer holding `vertices`
    int positionCount = 0; // entries in `positions`; 0 after expansion
    int vertexCount = 0;
    int triangleCount = 0;
    int attributeCount = 0; // 0 to 16
    int components[16] = {};
    int types[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    float* positions = nullptr;   // 3 x positionCount
    uint32_t* vertices = nullptr; // stride x vertexCount words
    uint16_t* indices = nullptr;  // 3 x triangleCount
    // Generic attribute 0 aliases gl_Vertex in a compatibility context, so type 10 feeds 1.
    int genericLocation = 1;
    int slotByType[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int stride = 0; // words per vertex record
};
