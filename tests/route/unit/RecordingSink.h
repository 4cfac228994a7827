#pragma once
// A sink of GL ES 3 calls for the route's unit tests, with no GL behind it: every call is recorded
// with its arguments as numbers (a pointer as its address, which for arrays is an offset into a
// buffer object), and the queries answer what the test scripted. startRecordingRoute() starts the
// route over it with everything fresh.
#include <GL/glew.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct SinkCall {
    std::string name; // without the gl prefix
    std::vector<double> arguments;
};

struct Recording {
    std::vector<SinkCall> calls;
    // The script: errors GetError gives in turn (then GL_NO_ERROR), GetIntegerv's answers, the
    // compile and link status, and the uniforms a program lacks (every other name has a location).
    std::deque<GLenum> errors;
    std::map<GLenum, std::vector<GLint>> integers;
    GLint compileStatus = GL_TRUE, linkStatus = GL_TRUE;
    std::set<std::string> missingUniforms;

    // What the calls left: each buffer's bytes, each uniform's location, each shader's stage, and
    // each attribute's array (the buffer bound when its pointer was set, as GL ES ties them),
    // whether it is enabled, and its current value.
    struct AttributeArray {
        std::vector<double> pointer; // size, type, normalized, stride, offset, buffer
        bool enabled = false;
        std::vector<double> current{0, 0, 0, 1};
    };
    std::map<GLuint, std::vector<unsigned char>> buffers;
    GLuint boundArrayBuffer = 0, lastName = 100;
    std::map<std::string, GLint> uniforms;
    std::map<GLuint, GLenum> shaderTypes;
    std::map<GLuint, AttributeArray> attributes;

    // The arguments of every call of `name`, in order.
    std::vector<std::vector<double>> of(const std::string& name) const;
    // Attribute `location` of vertex `index` as a draw reads it: from its array (of floats) when
    // enabled, otherwise its current value.
    std::vector<double> vertex(GLuint location, int index) const;
    // The last value a draw saw for the uniform (its location's last Uniform* call), or empty.
    std::vector<double> uniform(const std::string& name) const;
};

// The recording the sink writes to; fresh at each start.
extern Recording recording;
void startRecordingRoute();
