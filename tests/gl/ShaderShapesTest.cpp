// Shapes of GLSL 1.10 and 1.20 a material file may hold, compiled and linked by this tier's GL: the
// desktop's, and through the GL route GL ES 3's (the route tier builds this file too).
#include <GL/glew.h>

#include <string>

#include "resources/Resources.h"
#include "support/GLContext.h"

namespace {

class ShaderShapesTest : public GLTest {
protected:
    // Compiles and links the pair; a failure is fatal, naming the program.
    static GLuint build(const std::string& name, const std::string& vertex, const std::string& fragment) {
        return resources.shaders.addProgram("shapes " + name, vertex, fragment).program;
    }
};

} // namespace

// GLSL 1.10 and 1.20 that the desktop's GL compiles and links: names GLSL ES 3.00 reserves or defines,
// the preprocessor's work, line ends of any kind, and programs of one stage.
TEST_F(ShaderShapesTest, WhatTheDesktopLinksTheRouteLinks) {
    const char* const plainVertex = "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }";
    const struct {
        const char* what;
        const char* vertex; // "" for none
        const char* fragment;
    } pairs[] = {
        {"variables named as ES 3.00's keywords and reserved words", plainVertex,
         "uniform sampler2D sample; void main() { float filter = 1.0, active = 2.0, common = 3.0;\n"
         "  float invariant = 4.0; vec3 uvec3 = vec3(filter, active, common) * invariant;\n"
         "  gl_FragColor = texture2D(sample, gl_TexCoord[0].st) * vec4(uvec3, 1.0); }"},
        {"functions named as ES 3.00's built-ins", plainVertex,
         "float round(float x) { return floor(x + 0.5); } float trunc(float x) { return x - fract(x); }\n"
         "mat2 transpose(mat2 m) { return mat2(m[0][0], m[1][0], m[0][1], m[1][1]); }\n"
         "void main() { gl_FragColor = vec4(round(0.4), trunc(1.5), transpose(mat2(1.0))[0]); }"},
        {"GLSL 1.20 takes transpose and invariant itself", "#version 120\ninvariant varying vec4 v;\n"
         "void main() { v = vec4(transpose(mat2(2.0))[0], 0.0, 1.0); gl_Position = ftransform(); }",
         "#version 120\ninvariant varying vec4 v; void main() { gl_FragColor = v; }"},
        {"the precision idiom, and a precision qualifier's name as a variable", plainVertex,
         "#ifdef GL_ES\nprecision mediump float;\n#endif\nuniform vec4 tint;\n"
         "void main() { float highp = 0.5; gl_FragColor = tint * highp; }"},
        {"a space after #, a refused built-in in #if 0, a macro that indexes gl_TexCoord", plainVertex,
         "# version 110\n#define UNIT 0\n#define UV gl_TexCoord[UNIT].st\n#define SHADE(c) ((c) * 0.5)\n"
         "#if 0\nuniform vec4 lit = gl_LightSource[0].diffuse;\n#elif defined(UNIT) && UNIT < 1\n"
         "uniform sampler2D t;\n#else\n#error the wrong branch\n#endif\n"
         "void main() { gl_FragColor = SHADE(texture2D(t, UV)); }"},
        {"lines that end in CR alone", "#version 110\rvoid main() {\r  gl_Position = ftransform();\r}\r",
         "#version 110\r// a comment\rvoid main() {\r  gl_FragColor = vec4(0.5);\r}\r"},
        {"gl_FrontFacing and gl_FragDepth", plainVertex,
         "void main() { gl_FragColor = vec4(gl_FrontFacing ? 1.0 : 0.0); gl_FragDepth = 0.5; }"},
        {"a fragment shader alone", "",
         "uniform sampler2D t; void main() { gl_FragColor = gl_Color * texture2D(t, gl_TexCoord[1].st); }"},
        {"a vertex shader alone", "void main() { gl_FrontColor = gl_Color; gl_Position = ftransform(); }", ""},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.what);
        EXPECT_NE(build(pair.what, pair.vertex, pair.fragment), 0u);
    }
    // A program of no shaders links, as GL 2.1 links it, and draws as no program does.
    const GLuint empty = build("no shaders", "", "");
    EXPECT_NE(empty, 0u);
    EXPECT_EQ(glGetUniformLocation(empty, "anything"), -1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
