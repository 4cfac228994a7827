#pragma once
// Compiling and linking GLSL programs through the ARB shader objects: the one path behind the
// shader registry and the program pair. A failure is fatal: the caller's head, then GL's info log
// (at most logBytes of it), cut to fit the 512-byte report and then ending in "...".

// Compiles one stage (GL_VERTEX_SHADER_ARB or GL_FRAGMENT_SHADER_ARB) from `length` bytes of
// source, or up to its NUL for a length of -1. With checkEachCall a GL error after any of the calls
// is fatal too.
unsigned int compileStage(unsigned int stage, const char* source, int length, const char* failureHead,
                          int logBytes, bool checkEachCall = false);

// Links the program.
void linkProgram(unsigned int program, const char* failureHead, int logBytes);
// Programs linked so far in this process: the show builds all of its own before its first frame.
int programsLinked();

// A pending GL error is fatal: "GL error 0x%04x!".
void checkGLError();

// The report behind both: the head kept whole, the log cut to what fits.
[[noreturn]] void fatalWithLog(const char* head, const char* log);
