#pragma once
// The preprocessor of a GLSL 1.10 or 1.20 shader, run as the desktop's GL runs it (GL_ES not
// defined), so that the rewriting to GLSL ES 3.00 sees what the desktop compiles: macros expanded,
// the branches of #if, #ifdef and #ifndef taken, comments gone, any line end (LF, CRLF, CR) read as
// one. The text keeps the source's lines: a directive, a comment's lines and a branch not taken
// leave empty lines, so compiler messages count the shader's own lines. No GL here.
#include <string>

namespace glroute {

struct PreprocessedShader {
    std::string text;  // one line per line of the source; #line and #pragma stay as written
    int version = 110; // from #version; 110 without it
};

// False with a reason that completes "The shader ..." ("has #else without #if on line 4").
bool preprocessShader(const std::string& source, PreprocessedShader& result, std::string& error);

} // namespace glroute
