#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "geometry/AmlReader.h"
#include "geometry/ModelManager.h"
#include "geometry/SceneModel.h"
#include "support/AmlSamples.h"
#include "support/Bytes.h"
#include "support/GLContext.h"
#include "support/TempDir.h"

namespace {

class MeshDrawTest : public GLTest {
protected:
    // Reads one block as the loaders do and expands it.
    void loadBlock(const AmlMeshBlock& block) {
        ResDescMemory source(amlHeader(1).append(amlMesh(block)).data);
        ASSERT_EQ(readAml(source, meshes, [](const AmlError& e) { FAIL() << e.detail; }), 1);
        meshes[0].expandPositions();
        meshes[0].createBuffers();
    }
    Mesh& mesh() { return meshes[0]; }

    GrowArray<Mesh> meshes{1};
};

GLint integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

intptr_t pointer(GLenum name) {
    void* value = reinterpret_cast<void*>(-1);
    glGetPointerv(name, &value);
    return reinterpret_cast<intptr_t>(value);
}

GLint attribute(GLuint index, GLenum name) {
    GLint value = -1;
    glGetVertexAttribiv(index, name, &value);
    return value;
}

intptr_t attributePointer(GLuint index) {
    void* value = reinterpret_cast<void*>(-1);
    glGetVertexAttribPointerv(index, GL_VERTEX_ATTRIB_ARRAY_POINTER, &value);
    return reinterpret_cast<intptr_t>(value);
}

// Texture-coordinate arrays enabled on units 0 to 7; leaves the client-active unit as it found it.
std::vector<int> enabledTexCoordUnits() {
    GLint active = integer(GL_CLIENT_ACTIVE_TEXTURE);
    std::vector<int> units;
    for (int unit = 0; unit < 8; ++unit) {
        glClientActiveTexture(GL_TEXTURE0 + unit);
        if (glIsEnabled(GL_TEXTURE_COORD_ARRAY)) units.push_back(unit);
    }
    glClientActiveTexture(static_cast<GLenum>(active));
    return units;
}

void expectNothingEnabledOrBound() {
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_SECONDARY_COLOR_ARRAY));
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    EXPECT_TRUE(enabledTexCoordUnits().empty());
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING), 0);
    EXPECT_EQ(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);
}

} // namespace

TEST_F(MeshDrawTest, EnableArraysPointsPositionNormalAndTexCoordsAtTheirOffsets) {
    loadBlock(texturedQuad());
    ASSERT_EQ(mesh().stride, 8);
    mesh().enableArrays();

    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING), mesh().vertexBuffer);
    EXPECT_EQ(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING), mesh().indexBuffer);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_SIZE), 3);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_TYPE), GL_FLOAT);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_VERTEX_ARRAY_POINTER), 0);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BUFFER_BINDING), mesh().vertexBuffer);
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_EQ(integer(GL_NORMAL_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_NORMAL_ARRAY_POINTER), 12);
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(enabledTexCoordUnits(), std::vector<int>{0});
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_SIZE), 2);
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 24);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_SECONDARY_COLOR_ARRAY));
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);

    mesh().disableArrays();
    expectNothingEnabledOrBound();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawTest, ClientActiveUnitIsTheLastEnabledThenUnitZero) {
    AmlMeshBlock block = texturedQuad();
    block.attributes = {{1, 1}, {9, 3}, {6, 2}}; // unit 3 before unit 0 in the record
    loadBlock(block);
    mesh().enableArrays();
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE3);
    EXPECT_EQ(enabledTexCoordUnits(), (std::vector<int>{0, 3}));
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_SIZE), 3);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 12);
    glClientActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 24);
    mesh().disableArrays();
    expectNothingEnabledOrBound();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawTest, ColoursGenericAttributeAndUnboundCodes) {
    AmlMeshBlock block;
    block.attributes = {{1, 1}, {4, 4}, {5, 3}, {10, 3}, {3, 2}, {14, 1}, {15, 1}};
    block.positions = {0, 0, 0};
    block.words.assign(15, 0);
    block.vertexCount = 1;
    loadBlock(block);
    ASSERT_EQ(mesh().stride, 17);
    mesh().enableArrays();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_EQ(integer(GL_COLOR_ARRAY_SIZE), 4);
    EXPECT_EQ(integer(GL_COLOR_ARRAY_STRIDE), 68);
    EXPECT_EQ(pointer(GL_COLOR_ARRAY_POINTER), 12);
    EXPECT_TRUE(glIsEnabled(GL_SECONDARY_COLOR_ARRAY));
    EXPECT_EQ(integer(GL_SECONDARY_COLOR_ARRAY_SIZE), 3);
    EXPECT_EQ(pointer(GL_SECONDARY_COLOR_ARRAY_POINTER), 28);
    // Type 10 feeds unit 4 and the generic array at location 1; location 0 would alias gl_Vertex.
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_SIZE), 3);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED), GL_TRUE);
    EXPECT_EQ(attribute(1, GL_VERTEX_ATTRIB_ARRAY_STRIDE), 68);
    EXPECT_EQ(attributePointer(1), 40);
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE4);
    EXPECT_EQ(enabledTexCoordUnits(), std::vector<int>{4});
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 40);
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    mesh().disableArrays();
    expectNothingEnabledOrBound();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

namespace {

// A framebuffer object with one colour renderbuffer, bound while the object lives.
class PixelTarget {
public:
    explicit PixelTarget(int size) : size(size) {
        glGenFramebuffersEXT(1, &framebuffer);
        glGenRenderbuffersEXT(1, &colour);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, size, size);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                     colour);
        glViewport(0, 0, size, size);
    }
    ~PixelTarget() {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteRenderbuffersEXT(1, &colour);
        glDeleteFramebuffersEXT(1, &framebuffer);
    }
    bool complete() const {
        return glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    }
    std::vector<unsigned char> pixels() const {
        std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
        glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    int size;
    GLuint framebuffer = 0;
    GLuint colour = 0;
};

// A flat quad in z = 0 from (x0, -0.5) to (x1, 0.5) in one colour, with a normal slot to fill.
AmlMeshBlock colouredQuad(float x0, float x1, float r, float g, float b) {
    AmlMeshBlock block;
    block.attributes = {{1, 1}, {2, 3}, {4, 3}};
    block.positions = {x0, -0.5f, 0, x1, -0.5f, 0, x1, 0.5f, 0, x0, 0.5f, 0};
    for (uint32_t v = 0; v < 4; ++v) {
        block.words.push_back(v);
        for (float w : {0.0f, 0.0f, 0.0f, r, g, b}) block.words.push_back(floatWord(w));
    }
    block.vertexCount = 4;
    block.triangles = {0, 1, 2, 0, 2, 3};
    return block;
}

} // namespace

TEST_F(MeshDrawTest, ModelDrawsEveryMeshInOrderIntoATarget) {
    TempDir dir;
    AmlMeshBlock empty = colouredQuad(0, 0, 0, 0, 1);
    empty.triangles.clear();
    dir.write("data/quads.aml", amlHeader(3)
                                    .append(amlMesh(colouredQuad(-1.0f, 0.5f, 1, 0, 0)))
                                    .append(amlMesh(colouredQuad(-0.5f, 1.0f, 0, 1, 0)))
                                    .append(amlMesh(empty))
                                    .data);
    dir.write("data/nothing.aml", amlHeader(0).data);
    rovena::ModelManager models;
    models.load("quads");
    models.load("nothing");
    rovena::Model& quads = models.get("quads");
    quads.computeNormals();
    quads.createBuffers();
    models.get("nothing").createBuffers();

    const int size = 64;
    PixelTarget target(size);
    ASSERT_TRUE(target.complete());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glUseProgramObjectARB(0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    models.get("nothing").draw();
    std::vector<unsigned char> before = target.pixels();
    for (size_t i = 0; i < before.size(); i += 4) ASSERT_EQ(before[i] + before[i + 1] + before[i + 2], 0);

    quads.draw();
    expectNothingEnabledOrBound();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::vector<unsigned char> rgba = target.pixels();
    auto at = [&](float x, float y) {
        int column = static_cast<int>((x + 1) * 0.5f * size);
        int row = static_cast<int>((y + 1) * 0.5f * size);
        const unsigned char* p = &rgba[(static_cast<size_t>(row) * size + column) * 4];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(-0.8f, 0), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(0.0f, 0), (std::vector<int>{0, 255, 0})); // the later mesh covers the earlier one
    EXPECT_EQ(at(0.8f, 0.3f), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(at(0.0f, 0.8f), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(at(-0.8f, -0.8f), (std::vector<int>{0, 0, 0}));
    // Normals came from the triangles: the quads face the viewer.
    float normal[3];
    memcpy(normal, &quads[0].vertices[3], sizeof normal);
    EXPECT_EQ(normal[2], 1.0f);
}

TEST_F(MeshDrawTest, SceneModelWithBitZeroIsExpandedAndUploaded) {
    TempDir dir;
    dir.write("data/ovaali.AML", smallestAml().data);
    SceneModelTable table;
    static const char name[] = "sisa";
    ASSERT_EQ(loadSceneModel(table, "data/ovaali.AML", name, 1), 0);
    Mesh& mesh = table.entries.at(name)->meshes[0];
    EXPECT_EQ(mesh.stride, 3);
    ASSERT_TRUE(glIsBufferARB(static_cast<GLuint>(mesh.vertexBuffer)));
    ASSERT_TRUE(glIsBufferARB(static_cast<GLuint>(mesh.indexBuffer)));
    GLint bytes = 0;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(mesh.vertexBuffer));
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &bytes);
    EXPECT_EQ(bytes, 36);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLuint>(mesh.indexBuffer));
    glGetBufferParameterivARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &bytes);
    EXPECT_EQ(bytes, 6);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
