// The fixed-function pipeline for drawing without a program: vertex colour times texture unit 0
// through its texture environment (modulate, replace, decal, add, or the combiner with its
// scales), in one generated program.
#include <cstdio>
#include <cstring>
#include <glm/gtc/type_ptr.hpp>

#include "platform/glroute/RouteState.h"
#include "platform/glroute/ShaderRewrite.h"

namespace glroute {
namespace {

const char* const fixedVertexSource = R"(#version 300 es
layout(location = 4) in vec4 aVertex;
layout(location = 6) in vec4 aColor;
layout(location = 8) in vec4 aTexCoord;
uniform mat4 uModelViewProjection;
uniform mat4 uTextureMatrix;
out vec4 vColor;
out vec4 vTexCoord;
void main() {
    vColor = clamp(aColor, 0.0, 1.0); // GL clamps the current colour before it is interpolated
    vTexCoord = uTextureMatrix * aTexCoord;
    gl_Position = uModelViewProjection * aVertex;
}
)";

const char* const fixedFragmentSource = R"(#version 300 es
precision highp float;
precision highp sampler2D;
uniform sampler2D uTexture;
uniform int uMode;     // 0 no texture, 1 modulate, 2 replace, 3 combine, 4 decal, 5 add
uniform ivec2 uFormat; // the texture has colour (not alpha alone), has alpha
uniform int uCombine[6]; // functions for RGB and alpha (0 replace, 1 modulate, 2 add), then the
                         // sources of RGB 0 and 1 and alpha 0 and 1 (0 texture, 1 primary colour)
uniform vec2 uScale;   // RGB and alpha scale of the combiner
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
    bool hasColor = uFormat.x != 0, hasAlpha = uFormat.y != 0;
    vec3 rgb;
    float alpha;
    if (uMode == 1) {
        rgb = hasColor ? vColor.rgb * texel.rgb : vColor.rgb;
        alpha = vColor.a * texel.a;
    } else if (uMode == 2) {
        rgb = hasColor ? texel.rgb : vColor.rgb;
        alpha = hasAlpha ? texel.a : vColor.a;
    } else if (uMode == 4) {
        rgb = hasAlpha ? mix(vColor.rgb, texel.rgb, texel.a) : texel.rgb;
        alpha = vColor.a;
    } else if (uMode == 5) {
        rgb = hasColor ? min(vColor.rgb + texel.rgb, vec3(1.0)) : vColor.rgb;
        alpha = vColor.a * texel.a;
    } else {
        vec4 rgb0 = source(uCombine[2], texel), rgb1 = source(uCombine[3], texel);
        vec4 alpha0 = source(uCombine[4], texel), alpha1 = source(uCombine[5], texel);
        rgb = vec3(combine(uCombine[0], rgb0.r, rgb1.r), combine(uCombine[0], rgb0.g, rgb1.g),
                   combine(uCombine[0], rgb0.b, rgb1.b)) * uScale.x;
        alpha = combine(uCombine[1], alpha0.a, alpha1.a) * uScale.y;
    }
    fragColor = clamp(vec4(rgb, alpha), 0.0, 1.0);
}
)";

GLuint compileFixed(const Es3& es3, GLenum stage, const char* source) {
    const GLuint shader = es3.CreateShader(stage);
    es3.ShaderSource(shader, 1, &source, nullptr);
    es3.CompileShader(shader);
    GLint ok = 0;
    es3.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        es3.GetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "The GL route's fixed-function shader does not compile: %s\n", log);
    }
    return shader;
}

void makeFixedProgram(State& s) {
    const Es3& es3 = s.es3;
    FixedProgram& fixed = s.fixed;
    fixed.program = es3.CreateProgram();
    es3.AttachShader(fixed.program, compileFixed(es3, GL_VERTEX_SHADER, fixedVertexSource));
    es3.AttachShader(fixed.program, compileFixed(es3, GL_FRAGMENT_SHADER, fixedFragmentSource));
    es3.LinkProgram(fixed.program);
    auto uniform = [&](const char* name) { return es3.GetUniformLocation(fixed.program, name); };
    fixed.modelViewProjection = uniform("uModelViewProjection");
    fixed.textureMatrix = uniform("uTextureMatrix");
    fixed.texture = uniform("uTexture");
    fixed.mode = uniform("uMode");
    fixed.formatFlags = uniform("uFormat");
    fixed.combine = uniform("uCombine");
    fixed.scale = uniform("uScale");
    es3.UseProgram(fixed.program);
    s.realProgram = fixed.program;
    // Texture unit 0 holds unit 0's 2D texture: the engine binds it there itself.
    es3.Uniform1i(fixed.texture, 0);
}

int environmentMode(GLint mode) {
    switch (mode) {
    case GL_REPLACE:
        return 2;
    case GL_COMBINE:
        return 3;
    case GL_DECAL:
        return 4;
    case GL_ADD:
        return 5;
    default:
        return 1;
    }
}

int combineFunction(GLint function) {
    if (function == GL_REPLACE) return 0;
    if (function == GL_ADD) return 2;
    return 1;
}

int combineSource(GLint source) {
    return source == GL_TEXTURE ? 0 : 1; // unit 0: the previous stage is the primary colour
}

} // namespace

void prepareFixedProgram(State& s, const glm::mat4& modelViewProjection) {
    if (s.fixed.program == 0) makeFixedProgram(s);
    const Es3& es3 = s.es3;
    FixedProgram& fixed = s.fixed;
    if (s.realProgram != fixed.program) {
        es3.UseProgram(fixed.program);
        s.realProgram = fixed.program;
    }
    es3.UniformMatrix4fv(fixed.modelViewProjection, 1, GL_FALSE, glm::value_ptr(modelViewProjection));
    const TextureUnit& unit = s.units[0];
    const GLint mode = unit.texture2D && unit.bound2D != 0 ? environmentMode(unit.environment.mode) : 0;
    if (mode != fixed.lastMode) {
        es3.Uniform1i(fixed.mode, mode);
        fixed.lastMode = mode;
    }
    if (mode == 0) return;
    es3.UniformMatrix4fv(fixed.textureMatrix, 1, GL_FALSE, glm::value_ptr(s.textureMatrices[0].top()));
    auto found = s.textureImages.find(unit.bound2D);
    const GLenum format = found == s.textureImages.end() ? GL_RGBA : found->second.base;
    const GLint flags[2] = {format != GL_ALPHA,
                            format == GL_RGBA || format == GL_ALPHA || format == GL_LUMINANCE_ALPHA};
    if (memcmp(flags, fixed.lastFlags, sizeof flags) != 0) {
        es3.Uniform2iv(fixed.formatFlags, 1, flags);
        memcpy(fixed.lastFlags, flags, sizeof flags);
    }
    if (mode != 3) return;
    const TextureEnvironment& env = unit.environment;
    const GLint combine[6] = {combineFunction(env.combineRgb),   combineFunction(env.combineAlpha),
                              combineSource(env.sourceRgb[0]),   combineSource(env.sourceRgb[1]),
                              combineSource(env.sourceAlpha[0]), combineSource(env.sourceAlpha[1])};
    if (memcmp(combine, fixed.lastCombine, sizeof combine) != 0) {
        es3.Uniform1iv(fixed.combine, 6, combine);
        memcpy(fixed.lastCombine, combine, sizeof combine);
    }
    if (env.rgbScale != fixed.lastScale[0] || env.alphaScale != fixed.lastScale[1]) {
        const GLfloat scale[2] = {env.rgbScale, env.alphaScale};
        es3.Uniform2fv(fixed.scale, 1, scale);
        fixed.lastScale[0] = env.rgbScale;
        fixed.lastScale[1] = env.alphaScale;
    }
}

} // namespace glroute
