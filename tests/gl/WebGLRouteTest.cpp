// The browser build's GL route, checked against the desktop GL it stands in for: every shader the
// show loads, rewritten to GLSL ES 3.00, compiles and links (Mesa takes ES 3.00 sources through
// ARB_ES3_compatibility), and the emulated matrix stack builds the matrices GL and GLU build.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/PostProcess.h"
#include "gpu/MaterialFile.h"
#include "platform/web/GLMatrix.h"
#include "platform/web/ShaderRewrite.h"
#include "support/GLContext.h"
#include "support/ShowContent.h"

namespace {

using webgl::ShaderStage;

// Compiles one rewritten stage with the desktop GL; "" when it compiles, else the log.
std::string compileLog(GLuint shader, const std::string& source) {
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return "";
    char log[2048] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    return log;
}

struct ShaderPair {
    std::string name, vertex, fragment;
};

std::vector<ShaderPair> showShaders() {
    std::vector<ShaderPair> pairs;
    const std::string data = buildDataDir();
    for (const auto& entry : std::filesystem::directory_iterator(data + "/materials")) {
        MaterialFile material;
        std::string error;
        EXPECT_TRUE(parseMaterialText(readWholeFile(entry.path().string()), material, error)) << error;
        pairs.push_back({entry.path().filename().string(), material.vertexSource, material.fragmentSource});
    }
    pairs.push_back({"distort2", readWholeFile(data + "/shaders/distort2.vs"),
                     readWholeFile(data + "/shaders/distort2.fs")});
    for (const PassShaderSources& pass : passShaderSources())
        pairs.push_back({pass.name, pass.vertex, pass.fragment});
    return pairs;
}

void expectMatrixNear(const webgl::Matrix& emulated, GLenum stack, const char* what) {
    GLfloat desktop[16];
    glGetFloatv(stack, desktop);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(emulated.m[i], desktop[i], 1e-5f * std::fmax(1.0f, std::fabs(desktop[i])))
            << what << " [" << i << "]";
}

// The pair rewritten to ES 3.00, compiled and linked: the program, or 0 with the failure recorded.
GLuint linkAsEs3(const std::string& vertexSource, const std::string& fragmentSource) {
    std::string vertex, fragment, error;
    if (!webgl::rewriteShader(ShaderStage::vertex, vertexSource, vertex, error) ||
        !webgl::rewriteShader(ShaderStage::fragment, fragmentSource, fragment, error)) {
        ADD_FAILURE() << error;
        return 0;
    }
    GLuint stages[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
    EXPECT_EQ(compileLog(stages[0], vertex), "") << vertex;
    EXPECT_EQ(compileLog(stages[1], fragment), "") << fragment;
    GLuint program = glCreateProgram();
    glAttachShader(program, stages[0]);
    glAttachShader(program, stages[1]);
    glLinkProgram(program);
    glDeleteShader(stages[0]);
    glDeleteShader(stages[1]);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        ADD_FAILURE() << "not linked:\n" << vertex << "\n" << fragment;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

class WebGLRouteTest : public GLTest {};

} // namespace

TEST_F(WebGLRouteTest, EveryShaderOfTheShowCompilesAndLinksAsEs3) {
    if (!GLEW_ARB_ES3_compatibility) GTEST_SKIP() << "this GL takes no GLSL ES 3.00";
    const std::vector<ShaderPair> pairs = showShaders();
    ASSERT_GE(pairs.size(), 10u);
    for (const ShaderPair& pair : pairs) {
        SCOPED_TRACE(pair.name);
        const GLuint program = linkAsEs3(pair.vertex, pair.fragment);
        // The emulation feeds the position through the matrix uniforms and the fixed locations.
        if (program && pair.vertex.find("ftransform") != std::string::npos) {
            EXPECT_GE(glGetUniformLocation(program, webgl::modelViewProjectionUniform), 0);
            EXPECT_EQ(glGetAttribLocation(program, "lmk_Vertex"), webgl::vertexLocation);
        }
        glDeleteProgram(program);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Shapes of GLSL 1.10 the show's shaders don't use today but a material file may: each pair must
// come out as ES 3.00 that compiles and links, with its stages' interfaces still matching.
TEST_F(WebGLRouteTest, OtherFixedFunctionShapesCompileAndLinkAsEs3) {
    if (!GLEW_ARB_ES3_compatibility) GTEST_SKIP() << "this GL takes no GLSL ES 3.00";
    const struct {
        const char* what;
        const char* vertex;
        const char* fragment;
    } pairs[] = {
        {"colour and two texture units through gl_FrontColor and gl_TexCoord",
         "void main() { gl_FrontColor = gl_Color; gl_TexCoord[0] = gl_MultiTexCoord0;\n"
         "  gl_TexCoord[1] = gl_MultiTexCoord1; gl_Position = ftransform ( ); }",
         "uniform sampler2D a; uniform samplerCube b;\n"
         "void main() { gl_FragData[0] = gl_Color * texture2D(a, gl_TexCoord[0].st)\n"
         "  + textureCube(b, gl_TexCoord[ 1 ].xyz); }"},
        {"a generic attribute and every matrix",
         "attribute vec3 tangent; varying vec3 v;\n"
         "void main() { v = gl_NormalMatrix * tangent + (gl_ModelViewMatrixInverse * gl_Vertex).xyz;\n"
         "  gl_Position = gl_ProjectionMatrix * gl_ModelViewMatrix * gl_Vertex; }",
         "varying vec3 v; void main() { gl_FragColor = vec4(normalize(v), 1.0); }"},
        {"the projection and texture lookups with a level",
         "varying vec4 p; void main() { p = gl_ModelViewProjectionMatrix * gl_Vertex; gl_Position = p; }",
         "uniform sampler2D t; varying vec4 p;\n"
         "void main() { gl_FragColor = texture2DProj(t, p) + texture2DLod(t, p.xy, 0.0); }"},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.what);
        glDeleteProgram(linkAsEs3(pair.vertex, pair.fragment));
    }
}

TEST_F(WebGLRouteTest, RefusesWhatTheEmulationDoesNotFeedAndKeepsCommentsAndLines) {
    std::string out, error;
    // Lighting state is not emulated: the shader is refused by name instead of drawing black.
    EXPECT_FALSE(webgl::rewriteShader(
        ShaderStage::fragment, "void main() { gl_FragColor = gl_LightSource[0].diffuse; }", out, error));
    EXPECT_NE(error.find("gl_LightSource"), std::string::npos);
    EXPECT_FALSE(
        webgl::rewriteShader(ShaderStage::vertex, "void main() { gl_TexCoord[i] = vec4(0.0); }", out, error));
    // A name ES 3.00 reserves is renamed; a comment's words are left alone; line 3 stays line 3.
    ASSERT_TRUE(webgl::rewriteShader(ShaderStage::fragment,
                                     "#version 110\n// gl_Vertex in a comment\nuniform sampler2D texture;\n"
                                     "void main() { gl_FragColor = texture2D(texture, vec2(0.0)); }\n",
                                     out, error));
    EXPECT_NE(out.find("// gl_Vertex in a comment\nuniform sampler2D lmk_user_texture;"), std::string::npos)
        << out;
    EXPECT_NE(out.find("texture(lmk_user_texture, vec2(0.0))"), std::string::npos) << out;
    EXPECT_EQ(out.find("lmk_Vertex"), std::string::npos) << out;
    const std::string body = out.substr(out.find("#line 1\n") + 8);
    EXPECT_EQ(body.substr(0, 27), "\n// gl_Vertex in a comment\n");
}

TEST_F(WebGLRouteTest, MatrixStackBuildsWhatGLAndGLUBuild) {
    struct Step {
        const char* what;
        void (*desktop)();
        webgl::Matrix (*emulated)();
    };
    const Step steps[] = {
        {"gluPerspective", [] { gluPerspective(90, 4.0 / 3.0, 0.1, 10000.0); },
         [] { return webgl::perspective(90, 4.0 / 3.0, 0.1, 10000.0); }},
        {"gluLookAt", [] { gluLookAt(7.3, 9.1, -4.2, 0, 0, 0, 0, 1, 0); },
         [] { return webgl::lookAt(7.3, 9.1, -4.2, 0, 0, 0, 0, 1, 0); }},
        {"glRotatef about x", [] { glRotatef(-90, 1, 0, 0); }, [] { return webgl::rotation(-90, 1, 0, 0); }},
        {"glRotatef about a slanted axis", [] { glRotatef(37, 1, 2, 3); },
         [] { return webgl::rotation(37, 1, 2, 3); }},
        {"glOrtho", [] { glOrtho(0, 1024, 0, 512, -2, 2); },
         [] { return webgl::orthographic(0, 1024, 0, 512, -2, 2); }},
        {"glTranslatef", [] { glTranslatef(0, 0, -1); }, [] { return webgl::translation(0, 0, -1); }},
        {"glScalef", [] { glScalef(400, 400, 400); }, [] { return webgl::scaling(400, 400, 400); }},
    };
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    webgl::Matrix composed = webgl::identityMatrix();
    for (const Step& step : steps) {
        glPushMatrix();
        glLoadIdentity();
        step.desktop();
        expectMatrixNear(step.emulated(), GL_MODELVIEW_MATRIX, step.what);
        glPopMatrix();
        // In sequence, as the show composes them.
        step.desktop();
        composed = webgl::multiply(composed, step.emulated());
        expectMatrixNear(composed, GL_MODELVIEW_MATRIX, step.what);
    }
    // The inverse undoes the composed matrix; the normal matrix is its transposed upper 3x3.
    const webgl::Matrix identity = webgl::multiply(webgl::inverse(composed), composed);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(identity.m[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-3f) << i;
    const webgl::Matrix view = webgl::lookAt(7.3, 9.1, -4.2, 0, 0, 0, 0, 1, 0);
    const webgl::Matrix scaledView = webgl::multiply(view, webgl::scaling(2, 2, 2));
    float normal[9];
    webgl::normalMatrix(scaledView, normal);
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            EXPECT_NEAR(normal[column * 3 + row], view.m[column * 4 + row] / 2, 1e-5f)
                << row << "," << column;
    glPopMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
