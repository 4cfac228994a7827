#include <GL/glew.h>

#include "support/GLContext.h"

using ContextTest = GLTest;

// Shaders, framebuffer objects and the fixed-function arrays all need a compatibility context.
TEST_F(ContextTest, CompatibilityContextHasTheExtensionsTheEngineUses) {
    EXPECT_TRUE(GLEW_ARB_shading_language_100);
    EXPECT_TRUE(GLEW_ARB_shader_objects);
    EXPECT_TRUE(GLEW_EXT_framebuffer_object);
    EXPECT_TRUE(GLEW_ARB_vertex_buffer_object);
    GLint depth = 0;
    glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_GE(depth, 16);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
