// The OpenGL 2.1 subset the engine uses, emulated on WebGL 2 (see include/GL/glew.h). The real
// WebGL calls are the emscripten_gl* names, so these definitions can keep the GL names the engine
// calls.
#include <GL/glew.h>
#include <GL/glu.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/web/GLMatrix.h"
#include "platform/web/ShaderRewrite.h"

using webgl::Matrix;

namespace {

constexpr int textureUnits = 8;
constexpr int matrixStackDepth = 32;
constexpr int attribStackDepth = 16;
constexpr int genericArrays = 4; // generic vertex attributes keep indices 0 to 3

// --- Errors the emulation itself raises; glGetError reports them before WebGL's. -----------------

GLenum pendingError = GL_NO_ERROR;

void raise(GLenum error) {
    if (pendingError == GL_NO_ERROR) pendingError = error;
}

// --- Matrix stacks -----------------------------------------------------------------------------

struct MatrixStack {
    std::vector<Matrix> entries{webgl::identityMatrix()};
    Matrix& top() { return entries.back(); }
};

MatrixStack modelView, projection, textureMatrices[textureUnits];
GLenum matrixMode = GL_MODELVIEW;
int activeUnit = 0;       // glActiveTexture
int clientActiveUnit = 0; // glClientActiveTexture

MatrixStack& currentStack() {
    if (matrixMode == GL_PROJECTION) return projection;
    if (matrixMode == GL_TEXTURE) return textureMatrices[activeUnit];
    return modelView;
}

void multiplyCurrent(const Matrix& matrix) {
    Matrix& top = currentStack().top();
    top = webgl::multiply(top, matrix);
}

// --- Fixed-function state ------------------------------------------------------------------------

struct TextureEnvironment {
    GLint mode = GL_MODULATE;
    GLint combineRgb = GL_MODULATE, combineAlpha = GL_MODULATE;
    GLint sourceRgb[2] = {GL_TEXTURE, GL_PREVIOUS};
    GLint sourceAlpha[2] = {GL_TEXTURE, GL_PREVIOUS};
    float rgbScale = 1, alphaScale = 1;
};

struct UnitState {
    bool texture2D = false, textureCube = false; // glEnable per unit
    GLuint bound2D = 0, boundCube = 0;
    TextureEnvironment environment;
};

UnitState units[textureUnits];
bool lighting = false;
unsigned lightsEnabled = 0; // bit per light
GLenum shadeModel = GL_SMOOTH;

// Base format of each texture's level 0, for the texture environment's rules.
std::map<GLuint, GLenum> textureFormats;
// Faces whose level-0 mipmaps are asked for, per cube map: mipmaps are made once all six are there.
std::map<GLuint, unsigned> cubeFacesWithMipmaps;

struct AttribEntry {
    GLbitfield mask;
    bool lighting;
    unsigned lightsEnabled;
    GLenum shadeModel;
    GLint viewport[4];
    GLfloat depthRange[2];
};
std::vector<AttribEntry> attribStack;
// The viewport and depth range as last set, kept here: asking WebGL would wait on the GPU process.
GLint viewport[4] = {0, 0, 0, 0};
GLfloat depthRange[2] = {0, 1};
bool viewportKnown = false;

// --- Vertex data ---------------------------------------------------------------------------------

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    GLintptr offset = 0;
    GLuint buffer = 0;
    bool normalized = false;
};

ClientArray vertexArray, normalArray, colorArray, secondaryColorArray, texCoordArrays[textureUnits];
ClientArray genericArrayState[genericArrays];
GLuint boundArrayBuffer = 0;

float currentColor[4] = {1, 1, 1, 1};
float currentNormal[3] = {0, 0, 1};
// Immediate mode carries the coordinates of this many texture units (the post-processing's blur
// reads four sets); the units above take their current value.
constexpr int immediateTexCoordUnits = 4;
float currentTexCoords[textureUnits][4] = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1},
                                           {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};

struct ImmediateVertex {
    float position[4];
    float normal[3];
    float color[4];
    float texCoord[immediateTexCoordUnits][4];
};
bool insideBegin = false;
GLenum immediateMode = GL_TRIANGLES;
std::vector<ImmediateVertex> immediateVertices;
std::vector<ImmediateVertex> immediateTriangles;
GLuint immediateBuffer = 0;
size_t immediateBufferBytes = 0;

// Real attribute arrays enabled in WebGL, bit per location.
unsigned realArraysEnabled = 0;

void setRealArray(int location, bool enabled) {
    const unsigned bit = 1u << location;
    if (enabled == ((realArraysEnabled & bit) != 0)) return;
    if (enabled) {
        emscripten_glEnableVertexAttribArray(location);
        realArraysEnabled |= bit;
    } else {
        emscripten_glDisableVertexAttribArray(location);
        realArraysEnabled &= ~bit;
    }
}

// --- Programs ------------------------------------------------------------------------------------

struct ProgramUniforms {
    bool looked = false;
    GLint modelView = -1, projection = -1, modelViewProjection = -1, modelViewInverse = -1, normalMatrix = -1;
};

std::set<GLuint> programs;
std::map<GLuint, ProgramUniforms> programUniforms;
std::map<GLuint, std::string> shaderRewriteErrors; // shaders whose source could not be rewritten
std::map<GLuint, bool> shaderFailed;
GLuint userProgram = 0; // glUseProgramObjectARB
GLuint realProgram = 0; // what WebGL has bound

// The fixed-function pipeline for drawing without a program: vertex colour times texture unit 0
// through its texture environment.
const char* const fixedVertexSource = R"(#version 300 es
layout(location = 4) in vec4 aVertex;
layout(location = 6) in vec4 aColor;
layout(location = 8) in vec4 aTexCoord;
uniform mat4 uModelViewProjection;
uniform mat4 uTextureMatrix;
out vec4 vColor;
out vec4 vTexCoord;
void main() {
    vColor = aColor;
    vTexCoord = uTextureMatrix * aTexCoord;
    gl_Position = uModelViewProjection * aVertex;
}
)";

const char* const fixedFragmentSource = R"(#version 300 es
precision highp float;
uniform sampler2D uTexture;
uniform int uMode;            // 0 no texture, 1 modulate, 2 replace, 3 combine, 4 decal, 5 add
uniform bool uTexHasColor;    // false for alpha textures
uniform bool uTexHasAlpha;    // false for RGB and luminance textures
uniform ivec2 uCombine;       // functions for RGB and alpha: 0 replace, 1 modulate, 2 add
uniform ivec4 uSources;       // RGB arg 0, 1, alpha arg 0, 1: 0 texture, 1 primary colour
uniform vec2 uScale;          // RGB and alpha scale of the combiner
in vec4 vColor;
in vec4 vTexCoord;
layout(location = 0) out vec4 fragColor;

vec4 source(int which, vec4 texel) {
    return which == 0 ? texel : vColor;
}

float combine(int function, float a, float b) {
    if (function == 0) return a;
    if (function == 1) return a * b;
    return a + b;
}

void main() {
    if (uMode == 0) {
        fragColor = vColor;
        return;
    }
    vec4 texel = texture(uTexture, vTexCoord.st / vTexCoord.q);
    vec3 rgb;
    float alpha;
    if (uMode == 1) {
        rgb = uTexHasColor ? vColor.rgb * texel.rgb : vColor.rgb;
        alpha = vColor.a * texel.a;
    } else if (uMode == 2) {
        rgb = uTexHasColor ? texel.rgb : vColor.rgb;
        alpha = uTexHasAlpha ? texel.a : vColor.a;
    } else if (uMode == 4) {
        rgb = uTexHasAlpha ? mix(vColor.rgb, texel.rgb, texel.a) : texel.rgb;
        alpha = vColor.a;
    } else if (uMode == 5) {
        rgb = uTexHasColor ? min(vColor.rgb + texel.rgb, vec3(1.0)) : vColor.rgb;
        alpha = vColor.a * texel.a;
    } else {
        vec4 rgb0 = source(uSources.x, texel), rgb1 = source(uSources.y, texel);
        vec4 alpha0 = source(uSources.z, texel), alpha1 = source(uSources.w, texel);
        rgb = vec3(combine(uCombine.x, rgb0.r, rgb1.r), combine(uCombine.x, rgb0.g, rgb1.g),
                   combine(uCombine.x, rgb0.b, rgb1.b)) * uScale.x;
        alpha = combine(uCombine.y, alpha0.a, alpha1.a) * uScale.y;
    }
    fragColor = clamp(vec4(rgb, alpha), 0.0, 1.0);
}
)";

struct FixedProgram {
    GLuint program = 0;
    GLint modelViewProjection, textureMatrix, texture, mode, texHasColor, texHasAlpha, combine, sources,
        scale;
} fixed;

GLuint compileFixed(GLenum stage, const char* source) {
    GLuint shader = emscripten_glCreateShader(stage);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "The browser build's fixed-function shader does not compile: %s\n", log);
    }
    return shader;
}

void makeFixedProgram() {
    fixed.program = emscripten_glCreateProgram();
    emscripten_glAttachShader(fixed.program, compileFixed(GL_VERTEX_SHADER, fixedVertexSource));
    emscripten_glAttachShader(fixed.program, compileFixed(GL_FRAGMENT_SHADER, fixedFragmentSource));
    emscripten_glLinkProgram(fixed.program);
    auto uniform = [](const char* name) { return emscripten_glGetUniformLocation(fixed.program, name); };
    fixed.modelViewProjection = uniform("uModelViewProjection");
    fixed.textureMatrix = uniform("uTextureMatrix");
    fixed.texture = uniform("uTexture");
    fixed.mode = uniform("uMode");
    fixed.texHasColor = uniform("uTexHasColor");
    fixed.texHasAlpha = uniform("uTexHasAlpha");
    fixed.combine = uniform("uCombine");
    fixed.sources = uniform("uSources");
    fixed.scale = uniform("uScale");
}

void bindRealProgram(GLuint program) {
    if (program == realProgram) return;
    emscripten_glUseProgram(program);
    realProgram = program;
}

int combineFunction(GLint function) {
    if (function == GL_REPLACE) return 0;
    if (function == GL_ADD) return 2;
    return 1;
}

int combineSource(GLint source) {
    return source == GL_TEXTURE ? 0 : 1; // unit 0: the previous stage is the primary colour
}

// Selects the program for a draw and gives it the matrices and, for the fixed pipeline, the
// texture environment of unit 0.
void prepareProgram() {
    const Matrix mvp = webgl::multiply(projection.top(), modelView.top());
    if (userProgram != 0) {
        bindRealProgram(userProgram);
        ProgramUniforms& u = programUniforms[userProgram];
        if (!u.looked) {
            u.modelView = emscripten_glGetUniformLocation(userProgram, webgl::modelViewUniform);
            u.projection = emscripten_glGetUniformLocation(userProgram, webgl::projectionUniform);
            u.modelViewProjection =
                emscripten_glGetUniformLocation(userProgram, webgl::modelViewProjectionUniform);
            u.modelViewInverse = emscripten_glGetUniformLocation(userProgram, webgl::modelViewInverseUniform);
            u.normalMatrix = emscripten_glGetUniformLocation(userProgram, webgl::normalMatrixUniform);
            u.looked = true;
        }
        if (u.modelView >= 0) emscripten_glUniformMatrix4fv(u.modelView, 1, GL_FALSE, modelView.top().m);
        if (u.projection >= 0) emscripten_glUniformMatrix4fv(u.projection, 1, GL_FALSE, projection.top().m);
        if (u.modelViewProjection >= 0)
            emscripten_glUniformMatrix4fv(u.modelViewProjection, 1, GL_FALSE, mvp.m);
        if (u.modelViewInverse >= 0) {
            const Matrix inverse = webgl::inverse(modelView.top());
            emscripten_glUniformMatrix4fv(u.modelViewInverse, 1, GL_FALSE, inverse.m);
        }
        if (u.normalMatrix >= 0) {
            float normal[9];
            webgl::normalMatrix(modelView.top(), normal);
            emscripten_glUniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, normal);
        }
        return;
    }
    if (fixed.program == 0) makeFixedProgram();
    bindRealProgram(fixed.program);
    emscripten_glUniformMatrix4fv(fixed.modelViewProjection, 1, GL_FALSE, mvp.m);
    emscripten_glUniformMatrix4fv(fixed.textureMatrix, 1, GL_FALSE, textureMatrices[0].top().m);
    const UnitState& unit = units[0];
    int mode = 0;
    if (unit.texture2D && unit.bound2D != 0) {
        switch (unit.environment.mode) {
        case GL_REPLACE:
            mode = 2;
            break;
        case GL_COMBINE:
            mode = 3;
            break;
        case GL_DECAL:
            mode = 4;
            break;
        case GL_ADD:
            mode = 5;
            break;
        default:
            mode = 1;
            break;
        }
    }
    emscripten_glUniform1i(fixed.mode, mode);
    if (mode == 0) return;
    // Texture unit 0 holds unit 0's 2D texture: the engine binds it there itself.
    emscripten_glUniform1i(fixed.texture, 0);
    auto found = textureFormats.find(unit.bound2D);
    const GLenum format = found == textureFormats.end() ? GL_RGBA : found->second;
    emscripten_glUniform1i(fixed.texHasColor, format != GL_ALPHA);
    emscripten_glUniform1i(fixed.texHasAlpha,
                           format == GL_RGBA || format == GL_ALPHA || format == GL_LUMINANCE_ALPHA);
    const TextureEnvironment& env = unit.environment;
    emscripten_glUniform2i(fixed.combine, combineFunction(env.combineRgb), combineFunction(env.combineAlpha));
    emscripten_glUniform4i(fixed.sources, combineSource(env.sourceRgb[0]), combineSource(env.sourceRgb[1]),
                           combineSource(env.sourceAlpha[0]), combineSource(env.sourceAlpha[1]));
    emscripten_glUniform2f(fixed.scale, env.rgbScale, env.alphaScale);
}

// Feeds one fixed-function input from its array, or from its current value when the array is off.
void prepareArray(int location, const ClientArray& array, const float* value, int components) {
    if (!array.enabled) {
        setRealArray(location, false);
        float v[4] = {0, 0, 0, 1};
        for (int i = 0; i < components; ++i) v[i] = value[i];
        emscripten_glVertexAttrib4fv(location, v);
        return;
    }
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, array.buffer);
    emscripten_glVertexAttribPointer(location, array.size, array.type, array.normalized, array.stride,
                                     reinterpret_cast<const void*>(array.offset));
    setRealArray(location, true);
}

void prepareClientArrays() {
    static const float zero[4] = {0, 0, 0, 1};
    prepareArray(webgl::vertexLocation, vertexArray, zero, 4);
    prepareArray(webgl::normalLocation, normalArray, currentNormal, 3);
    prepareArray(webgl::colorLocation, colorArray, currentColor, 4);
    prepareArray(webgl::secondaryColorLocation, secondaryColorArray, zero, 4);
    for (int unit = 0; unit < textureUnits; ++unit)
        prepareArray(webgl::texCoordLocation + unit, texCoordArrays[unit], currentTexCoords[unit], 4);
    for (int index = 0; index < genericArrays; ++index) {
        const ClientArray& array = genericArrayState[index];
        if (array.enabled)
            prepareArray(index, array, zero, 4);
        else
            setRealArray(index, false);
    }
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, boundArrayBuffer);
}

ClientArray* clientArray(GLenum array) {
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &vertexArray;
    case GL_NORMAL_ARRAY:
        return &normalArray;
    case GL_COLOR_ARRAY:
        return &colorArray;
    case GL_SECONDARY_COLOR_ARRAY:
        return &secondaryColorArray;
    case GL_TEXTURE_COORD_ARRAY:
        return &texCoordArrays[clientActiveUnit];
    default:
        return nullptr;
    }
}

void setPointer(ClientArray& array, GLint size, GLenum type, GLsizei stride, const void* pointer,
                bool normalized) {
    // WebGL reads arrays only from buffer objects: a pointer into memory can't be drawn.
    if (boundArrayBuffer == 0 && pointer != nullptr) {
        raise(GL_INVALID_OPERATION);
        return;
    }
    array.size = size;
    array.type = type;
    array.stride = stride;
    array.offset = reinterpret_cast<GLintptr>(pointer);
    array.buffer = boundArrayBuffer;
    array.normalized = normalized;
}

void addImmediateVertex(float x, float y, float z) {
    if (!insideBegin) return;
    ImmediateVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.position[3] = 1;
    memcpy(v.normal, currentNormal, sizeof v.normal);
    memcpy(v.color, currentColor, sizeof v.color);
    memcpy(v.texCoord, currentTexCoords, sizeof v.texCoord);
    immediateVertices.push_back(v);
}

void immediateArray(int location, int components, size_t offset) {
    emscripten_glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, sizeof(ImmediateVertex),
                                     reinterpret_cast<const void*>(offset));
    setRealArray(location, true);
}

bool capIsEmulated(GLenum cap, bool enable) {
    switch (cap) {
    case GL_TEXTURE_2D:
        units[activeUnit].texture2D = enable;
        return true;
    case GL_TEXTURE_CUBE_MAP:
        units[activeUnit].textureCube = enable;
        return true;
    case GL_LIGHTING:
        lighting = enable;
        return true;
    case GL_NORMALIZE:
    case GL_COLOR_MATERIAL:
        return true;
    default:
        if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + 8) {
            const unsigned bit = 1u << (cap - GL_LIGHT0);
            lightsEnabled = enable ? lightsEnabled | bit : lightsEnabled & ~bit;
            return true;
        }
        return false;
    }
}

GLenum baseFormat(GLint internalFormat, GLenum format) {
    switch (internalFormat) {
    case GL_ALPHA8:
        return GL_ALPHA;
    case GL_LUMINANCE8:
        return GL_LUMINANCE;
    case GL_LUMINANCE8_ALPHA8:
        return GL_LUMINANCE_ALPHA;
    case GL_RGB8:
        return GL_RGB;
    case GL_RGBA8:
        return GL_RGBA;
    case 1:
        return GL_LUMINANCE;
    case 2:
        return GL_LUMINANCE_ALPHA;
    case 3:
        return GL_RGB;
    case 4:
        return GL_RGBA;
    default:
        return internalFormat != 0 ? static_cast<GLenum>(internalFormat) : format;
    }
}

GLuint boundTexture(GLenum target) {
    const UnitState& unit = units[activeUnit];
    return target == GL_TEXTURE_2D ? unit.bound2D : unit.boundCube;
}

bool isCubeFace(GLenum target) {
    return target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
}

} // namespace

extern "C" {

// --- Immediate mode ------------------------------------------------------------------------------

void glBegin(GLenum mode) {
    if (insideBegin || (mode != GL_TRIANGLES && mode != GL_QUADS)) {
        raise(insideBegin ? GL_INVALID_OPERATION : GL_INVALID_ENUM);
        return;
    }
    insideBegin = true;
    immediateMode = mode;
    immediateVertices.clear();
}

void glEnd(void) {
    if (!insideBegin) {
        raise(GL_INVALID_OPERATION);
        return;
    }
    insideBegin = false;
    const std::vector<ImmediateVertex>* drawn = &immediateVertices;
    if (immediateMode == GL_QUADS) {
        // Each quad a, b, c, d as the triangles a b c and a c d, GL's own split.
        immediateTriangles.clear();
        for (size_t q = 0; q + 3 < immediateVertices.size(); q += 4) {
            const ImmediateVertex* v = &immediateVertices[q];
            for (int corner : {0, 1, 2, 0, 2, 3}) immediateTriangles.push_back(v[corner]);
        }
        drawn = &immediateTriangles;
    }
    const size_t count = immediateMode == GL_QUADS ? drawn->size() : drawn->size() / 3 * 3;
    if (count == 0) return;

    prepareProgram();
    if (immediateBuffer == 0) emscripten_glGenBuffers(1, &immediateBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, immediateBuffer);
    const size_t bytes = count * sizeof(ImmediateVertex);
    if (bytes > immediateBufferBytes) {
        emscripten_glBufferData(GL_ARRAY_BUFFER, bytes, drawn->data(), GL_STREAM_DRAW);
        immediateBufferBytes = bytes;
    } else {
        emscripten_glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, drawn->data());
    }
    immediateArray(webgl::vertexLocation, 4, offsetof(ImmediateVertex, position));
    immediateArray(webgl::normalLocation, 3, offsetof(ImmediateVertex, normal));
    immediateArray(webgl::colorLocation, 4, offsetof(ImmediateVertex, color));
    for (int unit = 0; unit < immediateTexCoordUnits; ++unit)
        immediateArray(webgl::texCoordLocation + unit, 4,
                       offsetof(ImmediateVertex, texCoord) + unit * 4 * sizeof(float));
    // Every other array is off inside glBegin/glEnd: those units read their current coordinates.
    for (int location = 0; location < 16; ++location) {
        if (location == webgl::vertexLocation || location == webgl::normalLocation ||
            location == webgl::colorLocation ||
            (location >= webgl::texCoordLocation &&
             location < webgl::texCoordLocation + immediateTexCoordUnits))
            continue;
        setRealArray(location, false);
        if (location >= webgl::texCoordLocation)
            emscripten_glVertexAttrib4fv(location, currentTexCoords[location - webgl::texCoordLocation]);
    }
    emscripten_glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count));
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, boundArrayBuffer);
}

void glVertex2f(GLfloat x, GLfloat y) {
    addImmediateVertex(x, y, 0);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    addImmediateVertex(x, y, z);
}
void glVertex3fv(const GLfloat* v) {
    addImmediateVertex(v[0], v[1], v[2]);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    currentNormal[0] = x;
    currentNormal[1] = y;
    currentNormal[2] = z;
}

void glNormal3fv(const GLfloat* v) {
    glNormal3f(v[0], v[1], v[2]);
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    currentColor[0] = r;
    currentColor[1] = g;
    currentColor[2] = b;
    currentColor[3] = a;
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    glColor4f(r, g, b, 1);
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    glMultiTexCoord2fARB(GL_TEXTURE0, s, t);
}

void glMultiTexCoord2fARB(GLenum texture, GLfloat s, GLfloat t) {
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= textureUnits) {
        raise(GL_INVALID_ENUM);
        return;
    }
    currentTexCoords[unit][0] = s;
    currentTexCoords[unit][1] = t;
    currentTexCoords[unit][2] = 0;
    currentTexCoords[unit][3] = 1;
}

// --- Matrices ------------------------------------------------------------------------------------

void glMatrixMode(GLenum mode) {
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE) {
        raise(GL_INVALID_ENUM);
        return;
    }
    matrixMode = mode;
}

void glLoadIdentity(void) {
    currentStack().top() = webgl::identityMatrix();
}

void glLoadMatrixf(const GLfloat* m) {
    memcpy(currentStack().top().m, m, sizeof(Matrix::m));
}

void glMultMatrixf(const GLfloat* m) {
    Matrix matrix;
    memcpy(matrix.m, m, sizeof matrix.m);
    multiplyCurrent(matrix);
}

void glPushMatrix(void) {
    MatrixStack& stack = currentStack();
    if (static_cast<int>(stack.entries.size()) >= matrixStackDepth) {
        raise(GL_STACK_OVERFLOW);
        return;
    }
    stack.entries.push_back(stack.top());
}

void glPopMatrix(void) {
    MatrixStack& stack = currentStack();
    if (stack.entries.size() <= 1) {
        raise(GL_STACK_UNDERFLOW);
        return;
    }
    stack.entries.pop_back();
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    multiplyCurrent(webgl::translation(x, y, z));
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    multiplyCurrent(webgl::scaling(x, y, z));
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    multiplyCurrent(webgl::rotation(angle, x, y, z));
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    multiplyCurrent(webgl::orthographic(left, right, bottom, top, zNear, zFar));
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    multiplyCurrent(webgl::perspective(fovy, aspect, zNear, zFar));
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    multiplyCurrent(webgl::lookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ));
}

// --- Attribute stack and fixed-function state ----------------------------------------------------

void glPushAttrib(GLbitfield mask) {
    if (static_cast<int>(attribStack.size()) >= attribStackDepth) {
        raise(GL_STACK_OVERFLOW);
        return;
    }
    // Only the groups the engine saves are kept; asking for others is an error here rather than a
    // silent partial save.
    if (mask & ~static_cast<GLbitfield>(GL_LIGHTING_BIT | GL_VIEWPORT_BIT)) raise(GL_INVALID_ENUM);
    AttribEntry entry = {};
    entry.mask = mask;
    entry.lighting = lighting;
    entry.lightsEnabled = lightsEnabled;
    entry.shadeModel = shadeModel;
    if (mask & GL_VIEWPORT_BIT) {
        if (!viewportKnown) {
            emscripten_glGetIntegerv(GL_VIEWPORT, viewport);
            viewportKnown = true;
        }
        memcpy(entry.viewport, viewport, sizeof viewport);
        memcpy(entry.depthRange, depthRange, sizeof depthRange);
    }
    attribStack.push_back(entry);
}

void glPopAttrib(void) {
    if (attribStack.empty()) {
        raise(GL_STACK_UNDERFLOW);
        return;
    }
    const AttribEntry entry = attribStack.back();
    attribStack.pop_back();
    if (entry.mask & GL_LIGHTING_BIT) {
        lighting = entry.lighting;
        lightsEnabled = entry.lightsEnabled;
        shadeModel = entry.shadeModel;
    }
    if (entry.mask & GL_VIEWPORT_BIT) {
        glViewport(entry.viewport[0], entry.viewport[1], entry.viewport[2], entry.viewport[3]);
        glDepthRangef(entry.depthRange[0], entry.depthRange[1]);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    viewport[0] = x;
    viewport[1] = y;
    viewport[2] = width;
    viewport[3] = height;
    viewportKnown = true;
    emscripten_glViewport(x, y, width, height);
}

void glDepthRangef(GLfloat zNear, GLfloat zFar) {
    depthRange[0] = zNear < 0 ? 0 : zNear > 1 ? 1 : zNear;
    depthRange[1] = zFar < 0 ? 0 : zFar > 1 ? 1 : zFar;
    emscripten_glDepthRangef(zNear, zFar);
}

void glTexEnvi(GLenum target, GLenum pname, GLint param) {
    if (target != GL_TEXTURE_ENV) {
        raise(GL_INVALID_ENUM);
        return;
    }
    TextureEnvironment& env = units[activeUnit].environment;
    switch (pname) {
    case GL_TEXTURE_ENV_MODE:
        env.mode = param;
        break;
    case GL_COMBINE_RGB:
        env.combineRgb = param;
        break;
    case GL_COMBINE_ALPHA:
        env.combineAlpha = param;
        break;
    case GL_SOURCE0_RGB:
        env.sourceRgb[0] = param;
        break;
    case GL_SOURCE1_RGB:
        env.sourceRgb[1] = param;
        break;
    case GL_SOURCE0_ALPHA:
        env.sourceAlpha[0] = param;
        break;
    case GL_SOURCE1_ALPHA:
        env.sourceAlpha[1] = param;
        break;
    case GL_RGB_SCALE:
        env.rgbScale = static_cast<float>(param);
        break;
    case GL_ALPHA_SCALE:
        env.alphaScale = static_cast<float>(param);
        break;
    default:
        raise(GL_INVALID_ENUM);
        break;
    }
}

void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    if (target == GL_TEXTURE_ENV && (pname == GL_RGB_SCALE || pname == GL_ALPHA_SCALE)) {
        TextureEnvironment& env = units[activeUnit].environment;
        (pname == GL_RGB_SCALE ? env.rgbScale : env.alphaScale) = param;
        return;
    }
    glTexEnvi(target, pname, static_cast<GLint>(param));
}

void glShadeModel(GLenum mode) {
    // Only smooth shading is drawn; flat would need flat-qualified inputs in every shader.
    if (mode != GL_SMOOTH)
        raise(GL_INVALID_ENUM);
    else
        shadeModel = mode;
}

void glClearDepth(GLclampd depth) {
    emscripten_glClearDepthf(static_cast<GLfloat>(depth));
}

void glHint(GLenum target, GLenum mode) {
    // Perspective-correct interpolation is what WebGL always does.
    if (target == GL_PERSPECTIVE_CORRECTION_HINT) return;
    emscripten_glHint(target, mode);
}

void glEnable(GLenum cap) {
    if (!capIsEmulated(cap, true)) emscripten_glEnable(cap);
}

void glDisable(GLenum cap) {
    if (!capIsEmulated(cap, false)) emscripten_glDisable(cap);
}

void glBlendColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    // An 8-bit framebuffer blends with the constant in its own 8 bits, as Mesa does: the glow's
    // blur multiplies by strength / 4 five times over, and 0.125 kept exact rounds a dim texel to
    // black where 32/255 keeps it, which brightens the whole frame by 16 levels after the layers.
    auto level = [](GLfloat value) {
        value = value < 0 ? 0 : value > 1 ? 1 : value;
        return static_cast<GLfloat>(static_cast<int>(value * 255 + 0.5f)) / 255;
    };
    emscripten_glBlendColor(level(r), level(g), level(b), level(a));
}

// --- Client arrays -------------------------------------------------------------------------------

void glEnableClientState(GLenum array) {
    if (ClientArray* found = clientArray(array))
        found->enabled = true;
    else
        raise(GL_INVALID_ENUM);
}

void glDisableClientState(GLenum array) {
    if (ClientArray* found = clientArray(array))
        found->enabled = false;
    else
        raise(GL_INVALID_ENUM);
}

void glClientActiveTexture(GLenum texture) {
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= textureUnits)
        raise(GL_INVALID_ENUM);
    else
        clientActiveUnit = unit;
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    setPointer(vertexArray, size, type, stride, pointer, false);
}

void glNormalPointer(GLenum type, GLsizei stride, const void* pointer) {
    setPointer(normalArray, 3, type, stride, pointer, type != GL_FLOAT);
}

void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    setPointer(colorArray, size, type, stride, pointer, type != GL_FLOAT);
}

void glSecondaryColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    setPointer(secondaryColorArray, size, type, stride, pointer, type != GL_FLOAT);
}

void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    setPointer(texCoordArrays[clientActiveUnit], size, type, stride, pointer, false);
}

void glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                           const void* pointer) {
    if (index >= genericArrays) {
        raise(GL_INVALID_VALUE);
        return;
    }
    setPointer(genericArrayState[index], size, type, stride, pointer, normalized);
}

void glEnableVertexAttribArray(GLuint index) {
    if (index >= genericArrays)
        raise(GL_INVALID_VALUE);
    else
        genericArrayState[index].enabled = true;
}

void glDisableVertexAttribArray(GLuint index) {
    if (index >= genericArrays)
        raise(GL_INVALID_VALUE);
    else
        genericArrayState[index].enabled = false;
}

void glBindBufferARB(GLenum target, GLuint buffer) {
    if (target == GL_ARRAY_BUFFER) boundArrayBuffer = buffer;
    emscripten_glBindBuffer(target, buffer);
}

void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                         const void* indices) {
    // The range is only a hint; WebGL checks the indices against the buffers itself.
    (void)start;
    (void)end;
    prepareProgram();
    prepareClientArrays();
    emscripten_glDrawElements(mode, count, type, indices);
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    prepareProgram();
    prepareClientArrays();
    emscripten_glDrawElements(mode, count, type, indices);
}

// --- Textures ------------------------------------------------------------------------------------

void glActiveTexture(GLenum texture) {
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= textureUnits) {
        raise(GL_INVALID_ENUM);
        return;
    }
    activeUnit = unit;
    emscripten_glActiveTexture(texture);
}

void glBindTexture(GLenum target, GLuint texture) {
    if (target == GL_TEXTURE_2D)
        units[activeUnit].bound2D = texture;
    else if (target == GL_TEXTURE_CUBE_MAP)
        units[activeUnit].boundCube = texture;
    emscripten_glBindTexture(target, texture);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    if (format == GL_BGR || format == GL_BGRA) {
        // WebGL takes no BGR order; the engine's pictures arrive as RGB and RGBA.
        raise(GL_INVALID_ENUM);
        return;
    }
    const GLenum base = baseFormat(internalFormat, format);
    // ES 3.0 takes the unsized alpha and luminance formats only as themselves.
    GLint internal = internalFormat;
    if (base == GL_ALPHA || base == GL_LUMINANCE || base == GL_LUMINANCE_ALPHA || internalFormat <= 4)
        internal = static_cast<GLint>(base);
    if (level == 0) textureFormats[boundTexture(isCubeFace(target) ? GL_TEXTURE_CUBE_MAP : target)] = base;
    emscripten_glTexImage2D(target, level, internal, width, height, border, format, type, pixels);
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data) {
    glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
    if (target == GL_TEXTURE_2D) {
        emscripten_glGenerateMipmap(GL_TEXTURE_2D);
    } else if (isCubeFace(target)) {
        unsigned& faces = cubeFacesWithMipmaps[units[activeUnit].boundCube];
        faces |= 1u << (target - GL_TEXTURE_CUBE_MAP_POSITIVE_X);
        if (faces == 0x3f) emscripten_glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    }
    return 0;
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
    if (format != GL_RGB || type != GL_UNSIGNED_BYTE) {
        emscripten_glReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    // WebGL reads RGBA bytes; RGB rows are packed from them at the pack alignment.
    GLint alignment = 4;
    emscripten_glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    emscripten_glPixelStorei(GL_PACK_ALIGNMENT, 4);
    emscripten_glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    emscripten_glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    const size_t row = (static_cast<size_t>(width) * 3 + alignment - 1) / alignment * alignment;
    unsigned char* out = static_cast<unsigned char*>(pixels);
    for (GLsizei r = 0; r < height; ++r)
        for (GLsizei c = 0; c < width; ++c)
            memcpy(out + r * row + c * 3, &rgba[(static_cast<size_t>(r) * width + c) * 4], 3);
}

// --- Shader objects ------------------------------------------------------------------------------

void glShaderSourceARB(GLhandleARB shader, GLsizei count, const GLcharARB** strings, const GLint* lengths) {
    std::string source;
    for (GLsizei i = 0; i < count; ++i)
        source.append(strings[i],
                      lengths && lengths[i] >= 0 ? static_cast<size_t>(lengths[i]) : strlen(strings[i]));
    GLint type = 0;
    emscripten_glGetShaderiv(shader, GL_SHADER_TYPE, &type);
    const webgl::ShaderStage stage =
        type == GL_VERTEX_SHADER ? webgl::ShaderStage::vertex : webgl::ShaderStage::fragment;
    std::string rewritten, error;
    if (!webgl::rewriteShader(stage, source, rewritten, error)) {
        shaderRewriteErrors[shader] = "The shader " + error + ".";
        return;
    }
    shaderRewriteErrors.erase(shader);
    const char* text = rewritten.c_str();
    emscripten_glShaderSource(shader, 1, &text, nullptr);
}

void glCompileShader(GLuint shader) {
    if (shaderRewriteErrors.count(shader)) return;
    emscripten_glCompileShader(shader);
}

GLuint glCreateProgram(void) {
    const GLuint program = emscripten_glCreateProgram();
    programs.insert(program);
    return program;
}

void glLinkProgram(GLuint program) {
    emscripten_glLinkProgram(program);
    programUniforms.erase(program);
}

void glUseProgramObjectARB(GLhandleARB program) {
    userProgram = program;
    bindRealProgram(program);
}

void glGetObjectParameterivARB(GLhandleARB object, GLenum pname, GLint* params) {
    if (programs.count(object)) {
        emscripten_glGetProgramiv(object, pname, params);
    } else if (pname == GL_COMPILE_STATUS && shaderRewriteErrors.count(object)) {
        *params = GL_FALSE;
    } else {
        emscripten_glGetShaderiv(object, pname, params);
    }
}

void glGetInfoLogARB(GLhandleARB object, GLsizei maxLength, GLsizei* length, GLcharARB* infoLog) {
    auto rewriteError = shaderRewriteErrors.find(object);
    if (rewriteError != shaderRewriteErrors.end() && maxLength > 0) {
        const size_t used = std::min(rewriteError->second.size(), static_cast<size_t>(maxLength - 1));
        memcpy(infoLog, rewriteError->second.data(), used);
        infoLog[used] = '\0';
        if (length) *length = static_cast<GLsizei>(used);
        return;
    }
    if (programs.count(object))
        emscripten_glGetProgramInfoLog(object, maxLength, length, infoLog);
    else
        emscripten_glGetShaderInfoLog(object, maxLength, length, infoLog);
}

// --- Queries -------------------------------------------------------------------------------------

void glGetIntegerv(GLenum pname, GLint* data) {
    switch (pname) {
    case GL_MAX_TEXTURE_COORDS:
        *data = textureUnits;
        return;
    case GL_ATTRIB_STACK_DEPTH:
        *data = static_cast<GLint>(attribStack.size());
        return;
    case GL_MODELVIEW_STACK_DEPTH:
        *data = static_cast<GLint>(modelView.entries.size());
        return;
    case GL_PROJECTION_STACK_DEPTH:
        *data = static_cast<GLint>(projection.entries.size());
        return;
    case GL_MATRIX_MODE:
        *data = static_cast<GLint>(matrixMode);
        return;
    case GL_VIEWPORT:
        if (!viewportKnown) break;
        memcpy(data, viewport, sizeof viewport);
        return;
    default:
        break;
    }
    emscripten_glGetIntegerv(pname, data);
}

void glGetFloatv(GLenum pname, GLfloat* data) {
    if (pname == GL_MODELVIEW_MATRIX)
        memcpy(data, modelView.top().m, sizeof(Matrix::m));
    else if (pname == GL_PROJECTION_MATRIX)
        memcpy(data, projection.top().m, sizeof(Matrix::m));
    else
        emscripten_glGetFloatv(pname, data);
}

GLenum glGetError(void) {
    if (pendingError != GL_NO_ERROR) {
        const GLenum error = pendingError;
        pendingError = GL_NO_ERROR;
        return error;
    }
    return emscripten_glGetError();
}

// --- The extension loader ------------------------------------------------------------------------

GLenum glewInit(void) {
    return GLEW_OK;
}

const GLubyte* glewGetErrorString(GLenum error) {
    return reinterpret_cast<const GLubyte*>(error == GLEW_OK ? "No error" : "Unknown error");
}

} // extern "C"
