// The GL route's shaders, compiled by GL ES 3 itself: every shader of the show and the other
// shapes of GLSL 1.10 a material file may use come out as GLSL ES 3.00 that compiles and links; what
// the route can't feed is refused, naming the file. The rewriting alone is tested without a GL
// (unit/ShaderRewriteTest.cpp).
#include <GL/glew.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demo/PostProcess.h"
#include "gpu/MaterialFile.h"
#include "platform/glroute/ShaderRewrite.h"
#include "resources/Resources.h"
#include "support/GLContext.h"
#include "support/ShowContent.h"
#include "support/TempDir.h"

namespace {

class RouteShaderTest : public GLTest {
protected:
    // Compiles and links the pair through the route; a failure is fatal, naming the program.
    static GLuint build(const std::string& name, const std::string& vertex, const std::string& fragment) {
        return resources.shaders.addProgram("route " + name, vertex, fragment).program;
    }
};

} // namespace

TEST_F(RouteShaderTest, EveryShaderOfTheShowCompilesAndLinks) {
    const std::string data = buildDataDir();
    int built = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data + "/materials")) {
        SCOPED_TRACE(entry.path().string());
        MaterialFile material;
        std::string error;
        ASSERT_TRUE(parseMaterialText(readWholeFile(entry.path().string()), material, error)) << error;
        const GLuint program =
            build(entry.path().filename().string(), material.vertexSource, material.fragmentSource);
        // The position reaches the program through the matrix uniform and the fixed location.
        if (material.vertexSource.find("ftransform") != std::string::npos) {
            EXPECT_GE(glGetUniformLocation(program, glroute::modelViewProjectionUniform), 0);
            EXPECT_EQ(glGetAttribLocation(program, "lmk_Vertex"), glroute::vertexLocation);
        }
        ++built;
    }
    build("distort2", readWholeFile(data + "/shaders/distort2.vs"), readWholeFile(data + "/shaders/distort2.fs"));
    for (const PassShaderSources& pass : passShaderSources()) build(pass.name, pass.vertex, pass.fragment);
    EXPECT_GE(built, 10);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Shapes of GLSL 1.10 the show's shaders don't use today but a material file may.
TEST_F(RouteShaderTest, OtherFixedFunctionShapesCompileAndLink) {
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
        EXPECT_NE(build(pair.what, pair.vertex, pair.fragment), 0u);
    }
}

using RouteShaderDeathTest = RouteShaderTest;

// Lighting is not fed: a shader that reads it would draw black, so it is refused, by its file.
TEST_F(RouteShaderDeathTest, ShaderUsingLightingIsRefusedNamingTheFile) {
    TempDir scratch;
    scratch.write("data/materials/lit.mat", "%VERTEX_SHADER\nvoid main() { gl_Position = ftransform(); }\n"
                                            "%FRAGMENT_SHADER\n"
                                            "void main() { gl_FragColor = gl_LightSource[0].diffuse; }\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("lit", "data/materials/lit.mat"), testing::ExitedWithCode(1),
                "Error compiling fragment shader 'SHD\\$lit': data/materials/lit\\.mat: The shader uses "
                "gl_LightSource, which the GL route does not provide\\.");
    scratch.write("data/materials/indexed.mat", "%VERTEX_SHADER\nuniform int i;\n"
                                                "void main() { gl_TexCoord[i] = vec4(0.0); }\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("indexed", "data/materials/indexed.mat"),
                testing::ExitedWithCode(1),
                "data/materials/indexed\\.mat: The shader indexes gl_TexCoord with anything but a constant");
}
