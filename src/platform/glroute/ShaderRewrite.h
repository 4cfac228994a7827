#pragma once
// GLSL 1.10 shader sources as GL ES 3 takes them: GLSL ES 3.00, with the built-in attributes and
// matrices of the fixed-function pipeline turned into declared inputs and uniforms that the route
// feeds (Draw.cpp). No GL here: the rewriting is text in, text out.
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

// Rewrites `source` for `stage`. Returns false with a reason ("uses gl_LightSource, which ...")
// when the source uses a part of the fixed-function pipeline the route does not provide
// (lighting, fog, texture matrices...).
bool rewriteShader(ShaderStage stage, const std::string& source, std::string& rewritten, std::string& error);

} // namespace glroute
