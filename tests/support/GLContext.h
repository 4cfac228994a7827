#pragma once
// GL tests share one hidden 800x600 window with a compatibility context and GLEW loaded.
// Error reports go to a sink that never blocks.
#include <gtest/gtest.h>

// Opens the context on first use; later calls only make sure it is there.
void ensureGLContext();

class GLTest : public ::testing::Test {
protected:
    void SetUp() override { ensureGLContext(); }
};
