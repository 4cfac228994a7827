#pragma once
// One indexed triangle list with an interleaved vertex array: each vertex record is `stride`
// 32-bit words, and the attribute table says which words feed which built-in GL array.
// A mesh owns its CPU arrays; its GL buffers live until the context ends.
#include <cstdint>

class Mesh {
public:
    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(Mesh&& other) noexcept;
    virtual ~Mesh();

    void updateLayout();
    void expandPositions();
    void faceNormal(int triangle, float normal[3]) const;
    void computeNormals();
    void createBuffers();
    void enableArrays();
    void disableArrays();
    void draw();

    int indexBuffer = -1;  // GL buffer holding `indices`
    int vertexBuffer = -1; // GL buffer holding `vertices`
    int positionCount = 0; // entries in `positions`; 0 after expansion
    int vertexCount = 0;
    int triangleCount = 0;
    int attributeCount = 0; // 0 to 16
    int components[16] = {};
    int types[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    float* positions = nullptr;  // 3 x positionCount
    uint32_t* vertices = nullptr; // stride x vertexCount words
    uint16_t* indices = nullptr;  // 3 x triangleCount
    // Generic attribute 0 aliases gl_Vertex in a compatibility context, so type 10 feeds 1.
    int genericLocation = 1;
    int slotByType[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int stride = 0; // words per vertex record
};
