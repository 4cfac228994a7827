#pragma once
// The GL 2.1 route over GL ES 3: the fixed-function state the engine sets (matrix stacks, texture
// environments, client arrays, immediate-mode vertices, the attribute stack) kept in one struct,
// and drawn through the ES 3 sink (Es3.h) with generated or rewritten shaders. The same code runs
// in the browser over WebGL 2 and on the desktop over Mesa's GL ES 3. The entry points the engine
// calls are spread over this folder by subject; what they share is declared here.
#include <GL/glew.h>

#include <glm/mat4x4.hpp>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/glroute/Es3.h"
#include "platform/glroute/ShaderRewrite.h"

namespace glroute {

constexpr int textureUnits = 8;
constexpr int matrixStackDepth = 32;
constexpr int attribStackDepth = 16;
constexpr int genericArrays = 4; // generic vertex attributes keep indices 0 to 3
// Immediate mode carries the coordinates of this many texture units (the post-processing's blur
// reads four sets); the units above take their current value.
constexpr int immediateTexCoordUnits = 4;

struct MatrixStack {
    std::vector<glm::mat4> entries{glm::mat4(1.0f)};
    glm::mat4& top() { return entries.back(); }
};

struct TextureEnvironment {
    GLint mode = GL_MODULATE;
    GLint combineRgb = GL_MODULATE, combineAlpha = GL_MODULATE;
    GLint sourceRgb[2] = {GL_TEXTURE, GL_PREVIOUS};
    GLint sourceAlpha[2] = {GL_TEXTURE, GL_PREVIOUS};
    float rgbScale = 1, alphaScale = 1;
};

struct TextureUnit {
    bool texture2D = false, textureCube = false; // glEnable per unit
    GLuint bound2D = 0, boundCube = 0;
    TextureEnvironment environment;
};

struct TextureImage {
    GLenum base = GL_RGBA;
    GLint internalFormat = GL_RGBA;
    GLsizei width = 0, height = 0;
};

// A client array: where in a buffer object its values lie (the browser reads arrays only from
// buffer objects, so a pointer into memory is refused).
struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    GLintptr offset = 0;
    GLuint buffer = 0;
    bool normalized = false;
};

struct ImmediateVertex {
    float position[4];
    float normal[3];
    float color[4];
    float texCoord[immediateTexCoordUnits][4];
};

// glPushAttrib keeps the viewport group; the lighting group holds nothing here (nothing is lit).
struct AttribEntry {
    GLbitfield mask;
    GLint viewport[4];
    GLfloat depthRange[2];
};

// Locations of the matrices a rewritten shader declares; looked up once per link.
struct ProgramUniforms {
    bool looked = false;
    GLint modelView = -1, projection = -1, modelViewProjection = -1, modelViewInverse = -1, normalMatrix = -1;
    GLint textureMatrix[textureUnits] = {-1, -1, -1, -1, -1, -1, -1, -1}; // a stand-in vertex stage's
};

// A shader as its source left it: its stage and what it passes to the other stage.
struct ShaderRecord {
    bool vertex = false;
    bool rewritten = false; // false: no source, or one that could not be rewritten
    ShaderInterface interface;
};

// The program that draws when no shader is in use: vertex colour times texture unit 0 through its
// texture environment (FixedProgram.cpp). Its uniforms are set only when their values change.
struct FixedProgram {
    GLuint program = 0;
    GLint modelViewProjection = -1, textureMatrix = -1, texture = -1, mode = -1, formatFlags = -1, combine = -1,
          scale = -1;
    GLint lastMode = -1, lastFlags[2] = {-1, -1}, lastCombine[6] = {-1, -1, -1, -1, -1, -1};
    float lastScale[2] = {-1, -1};
};

struct State {
    Es3 es3;

    // Errors the route raises itself; glGetError reports them before the sink's.
    GLenum pendingError = GL_NO_ERROR;

    MatrixStack modelView, projection, textureMatrices[textureUnits];
    GLenum matrixMode = GL_MODELVIEW;
    int activeUnit = 0;       // glActiveTexture
    int clientActiveUnit = 0; // glClientActiveTexture

    TextureUnit units[textureUnits];
    // Each texture's level 0: its base format decides the texture environment's rules, and its
    // size what reading it back (glGetTexImage) and its queries give.
    std::map<GLuint, TextureImage> textureImages;

    std::vector<AttribEntry> attribStack;
    // The viewport and depth range as last set, kept here: asking WebGL would wait on the GPU process.
    GLint viewport[4] = {0, 0, 0, 0};
    GLfloat depthRange[2] = {0, 1};
    bool viewportKnown = false;
    // The blend colour as given (the sink gets it in 8 bits: see glBlendColor).
    GLfloat blendColor[4] = {0, 0, 0, 0};

    ClientArray vertexArray, normalArray, colorArray, secondaryColorArray, texCoordArrays[textureUnits];
    ClientArray genericArrayState[genericArrays];
    GLuint boundArrayBuffer = 0;
    unsigned realArraysEnabled = 0; // attribute arrays enabled in the sink, bit per location

    float currentColor[4] = {1, 1, 1, 1};
    float currentNormal[3] = {0, 0, 1};
    float currentTexCoords[textureUnits][4] = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1},
                                               {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};

    bool insideBegin = false;
    GLenum immediateMode = GL_TRIANGLES;
    std::vector<ImmediateVertex> immediateVertices; // as given; quads are split when drawn
    std::vector<ImmediateVertex> immediateTriangles;
    GLuint immediateBuffer = 0;
    size_t immediateBufferBytes = 0;

    std::set<GLuint> programs;
    std::map<GLuint, ProgramUniforms> programUniforms;
    std::map<GLuint, std::string> shaderRewriteErrors; // shaders whose source could not be rewritten
    std::map<GLuint, ShaderRecord> shaders;
    std::map<GLuint, std::vector<GLuint>> attachedShaders; // by program, as the engine attached them
    // A program of one stage links with the other stage standing in for GL's fixed function (the
    // route's shader, attached at link); one of none draws as no program does.
    std::map<GLuint, GLuint> standInShaders;
    std::set<GLuint> programsWithoutShaders;
    GLuint userProgram = 0;                            // glUseProgramObjectARB
    GLuint realProgram = 0;                            // what the sink has bound
    FixedProgram fixed;

    GLuint readFramebuffer = 0; // reads a texture back (glGetTexImage)
};

// Starts the route over `sink`: a fresh state, with nothing drawn, bound or raised yet, on which
// every entry point works from then on (a state started before is dropped). The host's start-up
// hands in its GL ES 3 (glewInit, in desktop/ and web/); tests hand in a sink that records.
void start(const Es3& sink);

// The state start() made; an entry point called before the route is started ends the program.
extern State* startedState;
[[noreturn]] void notStarted();
inline State& state() {
    if (!startedState) notStarted();
    return *startedState;
}

// Records `error` for glGetError unless an earlier one waits.
void raise(State& s, GLenum error);

// Draws with the state as it is: the program and its matrices (Draw.cpp), then the arrays.
void prepareProgram(State& s);
void prepareClientArrays(State& s);
void setRealArray(State& s, int location, bool enabled);
// The fixed-function program's texture environment for unit 0 (FixedProgram.cpp).
void prepareFixedProgram(State& s, const glm::mat4& modelViewProjection);

// The fixed-function array an enumerant names (the texture coordinates of the client-active unit);
// null for any other enumerant.
ClientArray* clientArray(State& s, GLenum array);
// Answers a query of the client arrays (their size, type, stride, buffer; the client-active unit).
// False for any other query.
bool arrayQuery(State& s, GLenum pname, GLint* data);

// The texture bound to `target` (GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP) on the active unit.
GLuint boundTexture(const State& s, GLenum target);

} // namespace glroute
