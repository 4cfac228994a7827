#include <GL/glew.h>
#include <gmock/gmock.h>
#include <sstream>
#include <string>

#include "resources/Resources.h"
#include "support/GLContext.h"
#include "support/TempDir.h"
#include "support/TestPictures.h"

namespace {

const char* const vertexSource = "void main() { gl_Position = ftransform(); }\n";
const char* const uniformFragment =
    "uniform ivec3 uLightPos;\n"
    "uniform int uCount;\n"
    "void main() { gl_FragColor = vec4(vec3(uLightPos) * float(uCount), 1.0); }\n";

class ShaderTest : public GLTest {
protected:
    void TearDown() override {
        if (!resources.shaders.current.empty()) resources.shaders.unuse();
    }

    static GLint attachedObjects(GLhandleARB program) {
        GLint count = -1;
        glGetObjectParameterivARB(program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &count);
        return count;
    }

    TempDir scratch;
};

// The one line of a fatal report that starts with `head`, as stderr shows it.
std::string reportLine(const std::string& output, const std::string& head) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(head, 0) == 0) return line;
    return "";
}

} // namespace

TEST_F(ShaderTest, MissingOrEmptySourceLeavesItsStageOut) {
    scratch.write("data/shaders/only.vs", vertexSource);
    rovena::ShaderManager& shaders = resources.shaders;
    for (const char* fragmentPath : {"", "data/shaders/absent.fs", "data/shaders"}) {
        SCOPED_TRACE(fragmentPath);
        rovena::Shader& shader = shaders.addProgramFiles("vertexOnly", "data/shaders/only.vs", fragmentPath);
        EXPECT_EQ(attachedObjects(shader.program), 1);
        EXPECT_EQ(shaders.get("vertexOnly").program, shader.program);
    }
    EXPECT_EQ(rovena::ShaderManager::readText("data/shaders/only.vs"), vertexSource);
    EXPECT_EQ(rovena::ShaderManager::readText("data/shaders/absent.fs"), "");
    EXPECT_EQ(readFileBytes("data/shaders/absent.fs"), nullptr);
    char* bytes = readFileBytes("data/shaders/only.vs");
    ASSERT_NE(bytes, nullptr);
    EXPECT_STREQ(bytes, vertexSource);
    delete[] bytes;
}

TEST_F(ShaderTest, UniformsReachTheProgramInUse) {
    rovena::ShaderManager& shaders = resources.shaders;
    GLhandleARB program = shaders.addProgram("uniforms", vertexSource, uniformFragment).program;
    shaders.use("uniforms");
    GLint inUse = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
    EXPECT_EQ(static_cast<GLhandleARB>(inUse), program);
    shaders.setUniform3i("uLightPos", 0, 1, -7);
    shaders.setUniform1i("uCount", 3);
    shaders.setUniform1i("notAUniform", 3); // location -1: GL ignores it
    GLint light[3] = {9, 9, 9}, count = 0;
    glGetUniformivARB(program, glGetUniformLocationARB(program, "uLightPos"), light);
    glGetUniformivARB(program, glGetUniformLocationARB(program, "uCount"), &count);
    EXPECT_EQ(light[0], 0);
    EXPECT_EQ(light[1], 1);
    EXPECT_EQ(light[2], -7);
    EXPECT_EQ(count, 3);
    shaders.unuse();
    glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
    EXPECT_EQ(inUse, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderTest, ProgramPairIsStoredUnderTheCallersKey) {
    scratch.write("data/shaders/pair.vs", vertexSource);
    scratch.write("data/shaders/pair.fs", uniformFragment);
    ProgramTable programs;
    static const char key[] = "pair";
    loadProgramPair(programs, "data/shaders/pair", key);
    ASSERT_EQ(programs.count(key), 1u);
    GLhandleARB program = programs[key];
    EXPECT_EQ(attachedObjects(program), 2);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    EXPECT_EQ(linked, 1);
}

using ShaderDeathTest = ShaderTest;

TEST_F(ShaderDeathTest, CompileErrorNamesStageAndRegistryName) {
    scratch.write("data/materials/broken.mat",
                  std::string("%VERTEX_SHADER\n") + vertexSource +
                      "%FRAGMENT_SHADER\nvoid main() { gl_FragColor = oops; }\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("broken", "data/materials/broken.mat"),
                testing::ExitedWithCode(1), "Error compiling fragment shader 'SHD\\$broken': ");
    EXPECT_EXIT(resources.shaders.addProgram("badVertex", "void main() { nonsense }", ""),
                testing::ExitedWithCode(1), "Error compiling vertex shader 'badVertex': ");
    scratch.write("data/shaders/bad.vs", vertexSource);
    scratch.write("data/shaders/bad.fs", "void main() { gl_FragColor = oops; }\n");
    ProgramTable programs;
    EXPECT_EXIT(loadProgramPair(programs, "data/shaders/bad", "bad"), testing::ExitedWithCode(1),
                "Error compiling fragment shader: ");
}

// Every compile error names the file its source came from: a shader pair's file, a material file,
// a registry program's file. An empty file is a syntax error like any other.
TEST_F(ShaderDeathTest, CompileErrorsNameTheSourceFile) {
    scratch.write("data/shaders/empty.vs", "");
    scratch.write("data/shaders/empty.fs", uniformFragment);
    ProgramTable programs;
    EXPECT_EXIT(loadProgramPair(programs, "data/shaders/empty", "empty"), testing::ExitedWithCode(1),
                "Error compiling vertex shader: data/shaders/empty\\.vs: ");
    scratch.write("data/materials/broken.mat",
                  std::string("%VERTEX_SHADER\n") + vertexSource +
                      "%FRAGMENT_SHADER\nvoid main() { gl_FragColor = oops; }\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("broken", "data/materials/broken.mat"),
                testing::ExitedWithCode(1),
                "Error compiling fragment shader 'SHD\\$broken': data/materials/broken\\.mat: ");
    scratch.write("data/shaders/bad.vs", "void main() { nonsense }\n");
    EXPECT_EXIT(resources.shaders.addProgramFiles("files", "data/shaders/bad.vs", ""), testing::ExitedWithCode(1),
                "Error compiling vertex shader 'files': data/shaders/bad\\.vs: ");
}

TEST_F(ShaderDeathTest, LongLogsAreCutToFitTheReport) {
    // Dozens of undeclared names: the compiler's log runs to kilobytes.
    std::string source = "void main() {\n";
    for (int i = 0; i < 60; ++i) source += "  gl_FragColor = undeclaredName" + std::to_string(i) + ";\n";
    source += "}\n";
    auto cutToFit = [](const std::string& output) {
        std::string line = reportLine(output, "Error compiling fragment shader 'verbose': ");
        return !line.empty() && line.size() <= 511 && line.compare(line.size() - 3, 3, "...") == 0;
    };
    EXPECT_EXIT(resources.shaders.addProgram("verbose", "", source), testing::ExitedWithCode(1),
                testing::Truly(cutToFit));
}

TEST_F(ShaderDeathTest, SetWithNoProgramInUseIsFatal) {
    EXPECT_EXIT(resources.shaders.setUniform1i("uCount", 1), testing::ExitedWithCode(1),
                "No such shader: ''\\.");
    EXPECT_EXIT(resources.shaders.setUniform3i("uLightPos", 0, 1, 0), testing::ExitedWithCode(1),
                "No such shader: ''\\.");
}

TEST_F(ShaderDeathTest, OverlongBasePathIsRefused) {
    ProgramTable programs;
    std::string fits(252, 'p'), tooLong(253, 'p');
    loadProgramPair(programs, fits.c_str(), "fits"); // no files: an empty program, linked
    EXPECT_EXIT(loadProgramPair(programs, tooLong.c_str(), "long"), testing::ExitedWithCode(1),
                "Shader base path is 253 bytes long, at most 252 fit");
}
