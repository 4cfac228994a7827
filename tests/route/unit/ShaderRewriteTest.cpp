// The GL route's shader rewriting, without a GL: what it refuses and why, and what it keeps.
#include <gtest/gtest.h>
#include <string>

#include "platform/glroute/ShaderRewrite.h"

// What the route can't read is refused with a reason, the shader's line and no crash.
TEST(ShaderRewriteTest, PreprocessingFailuresSayWhyAndWhere) {
    const struct {
        const char* source;
        const char* says;
    } cases[] = {
        {"void main() {}\n#error not for the browser", "stops at #error on line 2: not for the browser"},
        {"#version 130\nvoid main() {}", "asks for GLSL 130 on line 1; the GL route takes GLSL 110 and 120"},
        {"void main() {}\n#version 110", "has #version on line 2, after the start of the shader"},
        {"#if 1\nvoid main() {}", "has an #if on line 1 without its #endif"},
        {"#endif", "has #endif without #if on line 1"},
        {"void main() {}\n\n/* never closed", "has a comment that never ends, from line 3"},
        {"#define F(a, b) a\nfloat x = F(1);", "calls the macro F on line 2 with 1 arguments; it takes 2"},
        {"#if 1 / 0\n#endif", "divides by zero in #if on line 1"},
        {"#define A(x) A(x) A(x)\n#define B(x) A(A(A(A(x))))\n#define C B(B(B(B(B(1)))))\nC", "expands its macros"},
        {"#pragmatic\n", "has the directive #pragmatic on line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string out, error;
        EXPECT_FALSE(glroute::rewriteShader(glroute::ShaderStage::fragment, c.source, out, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(ShaderRewriteTest, ReservedNamesAreRenamedCommentsDroppedAndLinesKept) {
    std::string out, error;
    // A name ES 3.00 reserves is renamed; a comment's words are not read; line 3 stays line 3.
    ASSERT_TRUE(glroute::rewriteShader(glroute::ShaderStage::fragment,
                                       "#version 110\n// gl_Vertex in a comment\nuniform sampler2D texture;\n"
                                       "void main() { gl_FragColor = texture2D(texture, vec2(0.0)); }\n",
                                       out, error));
    EXPECT_NE(out.find("uniform sampler2D lmk_user_texture;"), std::string::npos) << out;
    EXPECT_NE(out.find("texture(lmk_user_texture, vec2(0.0))"), std::string::npos) << out;
    EXPECT_EQ(out.find("lmk_Vertex"), std::string::npos) << out;
    const std::string body = out.substr(out.find("#line 1\n") + 8);
    EXPECT_EQ(body.rfind("\n\nuniform sampler2D lmk_user_texture;\n", 0), 0u) << body;
}
