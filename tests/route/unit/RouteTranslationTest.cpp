// The GL route's translation of the engine's GL 2.1 calls, over a sink that records the GL ES 3
// calls it gets (no GL): what a draw then reads, the generated program's key, the order of errors
// and the answers to state queries.
#include <GL/glew.h>

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/glroute/ShaderRewrite.h"
#include "route/unit/RecordingSink.h"

namespace {

using Numbers = std::vector<double>;

const void* offset(uintptr_t bytes) {
    return reinterpret_cast<const void*>(bytes);
}

void drawElements() {
    glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_SHORT, nullptr);
}

} // namespace

// Each case draws in the same state as the one before, so the streamed buffer grows and is reused.
TEST(RouteTranslationTest, ImmediateModeDrawsTheTrianglesGlWould) {
    const struct {
        GLenum mode;
        int given;
        std::vector<int> drawn; // the given vertices, in the order the triangles take them
    } cases[] = {
        {GL_QUADS, 4, {0, 1, 2, 0, 2, 3}},
        {GL_QUADS, 10, {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}},
        {GL_TRIANGLES, 7, {0, 1, 2, 3, 4, 5}},
        {GL_QUADS, 3, {}},
        {GL_TRIANGLES, 2, {}},
    };
    startRecordingRoute();
    glBindBufferARB(GL_ARRAY_BUFFER, 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.given << " vertices");
        const size_t drawsBefore = recording.of("DrawArrays").size();
        glMultiTexCoord2fARB(GL_TEXTURE5, 0.25f, 0.5f);
        glBegin(c.mode);
        for (int v = 0; v < c.given; ++v) {
            glColor4f(v / 16.0f, 0, 0, 1);
            glMultiTexCoord2fARB(GL_TEXTURE3, 0, static_cast<float>(v));
            glVertex3f(static_cast<float>(v), 1, 2);
        }
        glEnd();
        const auto draws = recording.of("DrawArrays");
        if (c.drawn.empty()) {
            EXPECT_EQ(draws.size(), drawsBefore);
            continue;
        }
        ASSERT_EQ(draws.size(), drawsBefore + 1);
        EXPECT_EQ(draws.back(), (Numbers{GL_TRIANGLES, 0, static_cast<double>(c.drawn.size())}));
        for (size_t i = 0; i < c.drawn.size(); ++i) {
            const double v = c.drawn[i];
            EXPECT_EQ(recording.vertex(glroute::vertexLocation, i), (Numbers{v, 1, 2, 1})) << i;
            EXPECT_EQ(recording.vertex(glroute::colorLocation, i), (Numbers{v / 16, 0, 0, 1})) << i;
            EXPECT_EQ(recording.vertex(glroute::texCoordLocation + 3, i), (Numbers{0, v, 0, 1})) << i;
            // A unit past the streamed ones reads its current coordinates.
            EXPECT_EQ(recording.vertex(glroute::texCoordLocation + 5, i), (Numbers{0.25, 0.5, 0, 1})) << i;
        }
        EXPECT_EQ(recording.boundArrayBuffer, 7u);
    }
}

TEST(RouteTranslationTest, ClientArraysBecomeAttributePointers) {
    const struct {
        const char* what;
        std::function<void()> setUp;
        GLuint location;
        Numbers pointer; // size, type, normalized, stride, offset, buffer; none: the current value
        Numbers current;
    } cases[] = {
        {"vertices", [] { glVertexPointer(3, GL_FLOAT, 12, offset(16)); glEnableClientState(GL_VERTEX_ARRAY); },
         glroute::vertexLocation, {3, GL_FLOAT, 0, 12, 16, 7}, {}},
        {"normals in bytes", [] { glNormalPointer(GL_BYTE, 4, offset(8)); glEnableClientState(GL_NORMAL_ARRAY); },
         glroute::normalLocation, {3, GL_BYTE, 1, 4, 8, 7}, {}},
        {"colours in bytes",
         [] { glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr); glEnableClientState(GL_COLOR_ARRAY); },
         glroute::colorLocation, {4, GL_UNSIGNED_BYTE, 1, 0, 0, 7}, {}},
        {"secondary colours",
         [] { glSecondaryColorPointer(3, GL_FLOAT, 0, offset(4)); glEnableClientState(GL_SECONDARY_COLOR_ARRAY); },
         glroute::secondaryColorLocation, {3, GL_FLOAT, 0, 0, 4, 7}, {}},
        {"coordinates of the client-active unit",
         [] {
             glClientActiveTexture(GL_TEXTURE2);
             glTexCoordPointer(2, GL_FLOAT, 8, offset(4));
             glEnableClientState(GL_TEXTURE_COORD_ARRAY);
             glClientActiveTexture(GL_TEXTURE0);
         },
         glroute::texCoordLocation + 2, {2, GL_FLOAT, 0, 8, 4, 7}, {}},
        {"a generic attribute",
         [] { glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, offset(32)); glEnableVertexAttribArray(1); },
         1, {4, GL_UNSIGNED_BYTE, 1, 0, 32, 7}, {}},
        {"the buffer bound when the pointer was set",
         [] {
             glBindBufferARB(GL_ARRAY_BUFFER, 9);
             glVertexPointer(4, GL_FLOAT, 0, nullptr);
             glEnableClientState(GL_VERTEX_ARRAY);
             glBindBufferARB(GL_ARRAY_BUFFER, 7);
         },
         glroute::vertexLocation, {4, GL_FLOAT, 0, 0, 0, 9}, {}},
        {"an array switched off again",
         [] {
             glColorPointer(4, GL_FLOAT, 0, nullptr);
             glEnableClientState(GL_COLOR_ARRAY);
             drawElements();
             glDisableClientState(GL_COLOR_ARRAY);
             glColor4f(0.25f, 0.5f, 0.75f, 1);
         },
         glroute::colorLocation, {}, {0.25, 0.5, 0.75, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startRecordingRoute();
        glBindBufferARB(GL_ARRAY_BUFFER, 7);
        c.setUp();
        const GLuint bound = recording.boundArrayBuffer;
        drawElements();
        EXPECT_EQ(recording.of("DrawElements").back(), (Numbers{GL_TRIANGLES, 3, GL_UNSIGNED_SHORT, 0}));
        const Recording::AttributeArray& array = recording.attributes[c.location];
        EXPECT_EQ(array.enabled, !c.pointer.empty());
        if (c.pointer.empty())
            EXPECT_EQ(array.current, c.current);
        else
            EXPECT_EQ(array.pointer, c.pointer);
        EXPECT_EQ(recording.boundArrayBuffer, bound); // the engine's binding, as it left it
    }
}

// Drawn without a program, texture unit 0's environment and its texture's format become the
// generated program's key (its uniforms). Each case draws after the one before, so a key that
// changes must reach the program.
TEST(RouteTranslationTest, TextureEnvironmentsBecomeTheFixedProgramsKey) {
    const struct {
        const char* what;
        std::function<void()> setUp;
        Numbers mode, format, combine, scale; // none: not asked
    } cases[] = {
        {"texturing off", [] { glDisable(GL_TEXTURE_2D); }, {0}, {}, {}, {}},
        {"modulate RGBA", [] { glEnable(GL_TEXTURE_2D); glBindTexture(GL_TEXTURE_2D, 21); }, {1}, {1, 1}, {}, {}},
        {"replace alpha",
         [] { glBindTexture(GL_TEXTURE_2D, 22); glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE); },
         {2}, {0, 1}, {}, {}},
        {"decal RGB", [] { glBindTexture(GL_TEXTURE_2D, 23); glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL); },
         {4}, {1, 0}, {}, {}},
        {"add luminance",
         [] { glBindTexture(GL_TEXTURE_2D, 24); glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD); },
         {5}, {1, 0}, {}, {}},
        {"no texture bound", [] { glBindTexture(GL_TEXTURE_2D, 0); }, {0}, {}, {}, {}},
        {"combine with sources and scales",
         [] {
             glBindTexture(GL_TEXTURE_2D, 21);
             glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
             glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD);
             glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
             glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
             glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_TEXTURE);
             glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2);
             glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 4);
         },
         {3}, {1, 1}, {2, 0, 1, 1, 0, 0}, {2, 4}},
        {"combine modulating, scaled once",
         [] {
             glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
             glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1);
         },
         {3}, {1, 1}, {1, 0, 1, 1, 0, 0}, {2, 1}},
        {"another unit's environment leaves unit 0's, drawn with that unit active",
         [] {
             glActiveTexture(GL_TEXTURE1);
             glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
             glDisable(GL_TEXTURE_2D);
         },
         {3}, {1, 1}, {1, 0, 1, 1, 0, 0}, {2, 1}},
    };
    startRecordingRoute();
    const struct {
        GLuint texture;
        GLint format;
    } textures[] = {{21, GL_RGBA}, {22, GL_ALPHA}, {23, GL_RGB}, {24, GL_LUMINANCE}};
    for (const auto& t : textures) {
        glBindTexture(GL_TEXTURE_2D, t.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, t.format, 2, 2, 0, t.format, GL_UNSIGNED_BYTE, nullptr);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.setUp();
        drawElements();
        EXPECT_EQ(recording.uniform("uMode"), c.mode);
        const std::pair<const char*, const Numbers*> asked[] = {
            {"uFormat", &c.format}, {"uCombine", &c.combine}, {"uScale", &c.scale}};
        for (const auto& [uniform, expected] : asked)
            if (!expected->empty()) {
                EXPECT_EQ(recording.uniform(uniform), *expected) << uniform;
            }
    }
}

// The route's own error comes before the sink's, and only the first of the route's is kept until
// it is read, as GL keeps it.
TEST(RouteTranslationTest, ErrorsComeInGlsOrder) {
    static const float inMemory[3] = {};
    const struct {
        const char* what;
        std::function<void()> calls;
        std::vector<GLenum> sinkErrors, read;
    } cases[] = {
        {"the route's before the sink's", [] { glBegin(GL_LINES); }, {GL_OUT_OF_MEMORY},
         {GL_INVALID_ENUM, GL_OUT_OF_MEMORY, GL_NO_ERROR}},
        {"the sink's alone", [] {}, {GL_INVALID_FRAMEBUFFER_OPERATION}, {GL_INVALID_FRAMEBUFFER_OPERATION, GL_NO_ERROR}},
        {"the first of two", [] { glPopAttrib(); glEnd(); }, {}, {GL_STACK_UNDERFLOW, GL_NO_ERROR}},
        {"glBegin inside glBegin", [] { glBegin(GL_QUADS); glBegin(GL_QUADS); }, {}, {GL_INVALID_OPERATION}},
        {"sixteen attribute pushes",
         [] { for (int i = 0; i < 16; ++i) glPushAttrib(GL_VIEWPORT_BIT); }, {}, {GL_NO_ERROR}},
        {"seventeen", [] { for (int i = 0; i < 17; ++i) glPushAttrib(GL_VIEWPORT_BIT); }, {}, {GL_STACK_OVERFLOW}},
        {"an attribute group the route doesn't keep", [] { glPushAttrib(GL_COLOR_BUFFER_BIT); }, {}, {GL_INVALID_ENUM}},
        {"lighting switched off", [] { glDisable(GL_LIGHTING); glDisable(GL_LIGHT0); }, {}, {GL_NO_ERROR}},
        {"lighting switched on", [] { glEnable(GL_LIGHTING); }, {}, {GL_INVALID_ENUM}},
        {"seamless cube maps switched off", [] { glDisable(GL_TEXTURE_CUBE_MAP_SEAMLESS); }, {}, {GL_INVALID_ENUM}},
        {"an environment of another target", [] { glTexEnvi(GL_TEXTURE_2D, GL_TEXTURE_ENV_MODE, GL_REPLACE); }, {},
         {GL_INVALID_ENUM}},
        {"flat shading", [] { glShadeModel(GL_FLAT); }, {}, {GL_INVALID_ENUM}},
        {"an array in memory", [] { glVertexPointer(3, GL_FLOAT, 0, inMemory); }, {}, {GL_INVALID_OPERATION}},
        {"generic attribute 4", [] { glEnableVertexAttribArray(4); }, {}, {GL_INVALID_VALUE}},
        {"texture unit 8", [] { glClientActiveTexture(GL_TEXTURE8); }, {}, {GL_INVALID_ENUM}},
        {"a BGR picture", [] { glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_BGR, GL_UNSIGNED_BYTE, nullptr); },
         {}, {GL_INVALID_ENUM}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startRecordingRoute();
        recording.errors.assign(c.sinkErrors.begin(), c.sinkErrors.end());
        c.calls();
        for (GLenum expected : c.read) EXPECT_EQ(glGetError(), expected);
    }
    // A refused call reaches the sink not at all.
    EXPECT_TRUE(recording.of("TexImage2D").empty());
}

// In a fresh process: a GL call before the host started the route.
TEST(RouteTranslationTest, ACallBeforeStartUpEndsTheProgramSayingSo) {
    EXPECT_EXIT(glClear(GL_COLOR_BUFFER_BIT), testing::ExitedWithCode(1), "before the route was started");
}

// Queries the route answers from its own state, and those it asks the sink (scripted here).
TEST(RouteTranslationTest, StateQueriesAnswerAsGlWould) {
    const struct {
        const char* what;
        std::function<void()> setUp;
        GLenum pname;
        std::vector<GLint> expected;
        bool asksSink;
    } cases[] = {
        {"the viewport as set", [] { glViewport(1, 2, 3, 4); }, GL_VIEWPORT, {1, 2, 3, 4}, false},
        {"the viewport never set", [] {}, GL_VIEWPORT, {0, 0, 640, 480}, true},
        {"the viewport popped",
         [] {
             glViewport(1, 2, 3, 4);
             glPushAttrib(GL_VIEWPORT_BIT);
             glViewport(5, 6, 7, 8);
             glPopAttrib();
         },
         GL_VIEWPORT, {1, 2, 3, 4}, false},
        {"the model-view stack", [] { glPushMatrix(); glPushMatrix(); }, GL_MODELVIEW_STACK_DEPTH, {3}, false},
        {"the attribute stack", [] { glPushAttrib(GL_LIGHTING_BIT); }, GL_ATTRIB_STACK_DEPTH, {1}, false},
        {"the client-active unit", [] { glClientActiveTexture(GL_TEXTURE3); }, GL_CLIENT_ACTIVE_TEXTURE,
         {GL_TEXTURE3}, false},
        {"another unit's coordinates",
         [] {
             glBindBufferARB(GL_ARRAY_BUFFER, 7);
             glClientActiveTexture(GL_TEXTURE3);
             glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
             glClientActiveTexture(GL_TEXTURE0);
         },
         GL_TEXTURE_COORD_ARRAY_SIZE, {4}, false},
        {"GL 2.1's blend factor", [] {}, GL_BLEND_SRC, {GL_SRC_ALPHA}, true},
        {"the GL's own limit", [] {}, GL_MAX_TEXTURE_SIZE, {4096}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startRecordingRoute();
        recording.integers = {{GL_VIEWPORT, {0, 0, 640, 480}}, {GL_BLEND_SRC_RGB, {GL_SRC_ALPHA}},
                              {GL_MAX_TEXTURE_SIZE, {4096}}};
        c.setUp();
        recording.calls.clear();
        std::vector<GLint> answer(c.expected.size(), -1);
        glGetIntegerv(c.pname, answer.data());
        EXPECT_EQ(answer, c.expected);
        EXPECT_EQ(recording.of("GetIntegerv").size(), c.asksSink ? 1u : 0u);
    }

    // The blend colour reads back as given, where the sink blends with it in 8 bits.
    glBlendColor(0.125f, 0.5f, 1.5f, 0);
    GLfloat color[4];
    glGetFloatv(GL_BLEND_COLOR, color);
    EXPECT_EQ(Numbers(color, color + 4), (Numbers{0.125, 0.5, 1.5, 0}));
    EXPECT_EQ(recording.of("BlendColor").back(), (Numbers{32 / 255.0f, 128 / 255.0f, 1, 0}));
}

// A shader the route can't rewrite fails its compile with the route's log, without reaching the
// sink; otherwise the sink's status stands. A program of one stage links with the route's
// stand-in; one of none links as GL's fixed function, whatever the sink would say.
TEST(RouteTranslationTest, ShaderAndProgramStatusAsGlWould) {
    const char* const plain = "void main() { gl_FragColor = vec4(1.0); }";
    const char* const lit = "void main() { gl_FragColor = gl_LightSource[0].diffuse; }";
    const struct {
        const char* source; // none: a program without shaders
        GLint sinkStatus, compiled, linked;
        int compiledBySink, standIns;
    } cases[] = {
        {plain, GL_TRUE, GL_TRUE, GL_TRUE, 2, 1},
        {plain, GL_FALSE, GL_FALSE, GL_FALSE, 2, 1},
        {lit, GL_TRUE, GL_FALSE, GL_TRUE, 1, 1},
        {nullptr, GL_FALSE, GL_TRUE, GL_TRUE, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source ? c.source : "no shaders");
        startRecordingRoute();
        recording.compileStatus = recording.linkStatus = c.sinkStatus;
        const GLuint program = glCreateProgram();
        GLint compiled = GL_TRUE, linked = -1;
        if (c.source) {
            const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
            const GLcharARB* source = c.source;
            glShaderSourceARB(shader, 1, &source, nullptr);
            glCompileShader(shader);
            glGetObjectParameterivARB(shader, GL_COMPILE_STATUS, &compiled);
            glAttachShader(program, shader);
            char log[256] = "";
            glGetInfoLogARB(shader, sizeof log, nullptr, log);
            EXPECT_EQ(std::string(log).find("gl_LightSource") != std::string::npos, c.source == lit) << log;
        }
        glLinkProgram(program);
        glGetObjectParameterivARB(program, GL_LINK_STATUS, &linked);
        EXPECT_EQ(compiled, c.compiled);
        EXPECT_EQ(linked, c.linked);
        EXPECT_EQ(static_cast<int>(recording.of("CompileShader").size()), c.compiledBySink);
        EXPECT_EQ(static_cast<int>(recording.of("CreateShader").size()), c.standIns + (c.source ? 1 : 0));
    }
}
