#pragma once
// GLSL 1.10 and 1.20 shader sources as GL ES 3 takes them: GLSL ES 3.00, with the built-in
// attributes and matrices of the fixed-function pipeline turned into declared inputs and uniforms
// that the route feeds (Draw.cpp). The source is preprocessed first as the desktop's GL does it
// (GlslPreprocessor.h); a shader's own names that GLSL ES 3.00 reserves or defines are renamed. No
// GL here: the rewriting is text in, text out.
#include <set>
#include <string>

namespace glroute {

enum class ShaderStage { vertex, fragment };

// Attribute locations of the fixed-function arrays. Generic vertex attributes keep their own
// indices (0 to 3), so these start above them.
enum AttributeLocation {
    vertexLocation = 4,
    normalLocation = 5,
    colorLocation = 6,
    secondaryColorLocation = 7,
    texCoordLocation = 8, // units 0 to 7: 8 to 15
};

// The uniforms a rewritten shader may declare, set by the route before each draw.
extern const char* const modelViewUniform;           // mat4
extern const char* const projectionUniform;          // mat4
extern const char* const modelViewProjectionUniform; // mat4
extern const char* const modelViewInverseUniform;    // mat4
extern const char* const normalMatrixUniform;        // mat3
extern const char* const textureMatrixUniform;       // mat4, with the unit's number after it

// What passes between a rewritten shader and the other stage: gl_TexCoord[N] and the colour.
struct ShaderInterface {
    std::set<int> texCoords; // units written by a vertex or read by a fragment shader
    bool frontColor = false; // gl_FrontColor written, or gl_Color read by a fragment shader
};

// Rewrites `source` for `stage`. Returns false with a reason that completes "The shader ..."
// ("uses gl_LightSource, which ...") when the source uses a part of the fixed-function pipeline the
// route does not provide (lighting, fog, texture matrices...) or its preprocessing fails.
bool rewriteShader(ShaderStage stage, const std::string& source, std::string& rewritten, std::string& error,
                   ShaderInterface* interface = nullptr);

// GLSL ES 3.00 for the stage a one-stage program lacks, as GL 2.1's fixed-function stage would
// stand in for it: for a fragment shader alone, the position through the model-view-projection
// matrix and what it reads (the colour, each gl_TexCoord[N] through lmk_TextureMatrixN); for a
// vertex shader alone, its colour (white when it writes none), untextured.
std::string companionShader(ShaderStage missing, const ShaderInterface& present);

} // namespace glroute
