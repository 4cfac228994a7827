#include "platform/web/ShaderRewrite.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <string>

namespace webgl {

const char* const modelViewUniform = "lmk_ModelViewMatrix";
const char* const projectionUniform = "lmk_ProjectionMatrix";
const char* const modelViewProjectionUniform = "lmk_ModelViewProjectionMatrix";
const char* const modelViewInverseUniform = "lmk_ModelViewMatrixInverse";
const char* const normalMatrixUniform = "lmk_NormalMatrix";

namespace {

bool isIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Names GLSL 1.10 leaves free that GLSL ES 3.00 reserves or defines: a shader's own identifier of
// that name is renamed.
const std::set<std::string> reservedInEs3 = {"texture", "layout",    "centroid", "flat",
                                             "smooth",  "uint",      "lowp",     "mediump",
                                             "highp",   "precision", "sampler3D"};

// Built-in names of the fixed-function pipeline the emulation does not feed.
const std::set<std::string> unsupported = {"gl_LightSource",
                                           "gl_LightModel",
                                           "gl_FrontMaterial",
                                           "gl_BackMaterial",
                                           "gl_FrontLightProduct",
                                           "gl_BackLightProduct",
                                           "gl_FrontLightModelProduct",
                                           "gl_BackLightModelProduct",
                                           "gl_Fog",
                                           "gl_FogCoord",
                                           "gl_FogFragCoord",
                                           "gl_TextureMatrix",
                                           "gl_TextureMatrixInverse",
                                           "gl_ClipVertex",
                                           "gl_EyePlaneS",
                                           "gl_ObjectPlaneS",
                                           "gl_BackColor",
                                           "gl_FrontSecondaryColor",
                                           "gl_BackSecondaryColor",
                                           "gl_SecondaryColor",
                                           "gl_ProjectionMatrixInverse",
                                           "gl_ModelViewProjectionMatrixInverse",
                                           "gl_ModelViewMatrixTranspose",
                                           "gl_ProjectionMatrixTranspose",
                                           "gl_ModelViewProjectionMatrixTranspose",
                                           "gl_NormalScale",
                                           "gl_DepthRange",
                                           "gl_PointSize",
                                           "gl_FragDepth",
                                           "gl_FrontFacing"};

size_t skipSpaces(const std::string& text, size_t at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) && text[at] != '\n') ++at;
    return at;
}

// Matches "[N]" at `at` (spaces allowed inside); gives N and the index after the bracket.
bool bracketIndex(const std::string& text, size_t at, int& index, size_t& end) {
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != '[') return false;
    at = skipSpaces(text, at + 1);
    size_t digits = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    if (at == digits || at - digits > 1) return false;
    index = text[digits] - '0';
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != ']') return false;
    end = at + 1;
    return true;
}

} // namespace

bool rewriteShader(ShaderStage stage, const std::string& source, std::string& rewritten, std::string& error) {
    const bool vertex = stage == ShaderStage::vertex;
    std::string body;
    body.reserve(source.size() + 256);
    std::set<std::string> inputs;   // fixed-function attributes the vertex shader reads
    std::set<std::string> uniforms; // matrices
    std::set<int> texCoordsWritten; // gl_TexCoord[N] in a vertex shader
    std::set<int> texCoordsRead;    // ... in a fragment shader
    bool frontColor = false;        // gl_FrontColor written / gl_Color read in a fragment shader
    bool fragColor = false;

    size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        // Comments pass through untouched.
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            size_t end = source.find('\n', i);
            if (end == std::string::npos) end = source.size();
            body.append(source, i, end - i);
            i = end;
            continue;
        }
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '*') {
            size_t end = source.find("*/", i + 2);
            end = end == std::string::npos ? source.size() : end + 2;
            body.append(source, i, end - i);
            i = end;
            continue;
        }
        // The version line is replaced by ES 3.00's.
        if (c == '#' && source.compare(i, 8, "#version") == 0) {
            size_t end = source.find('\n', i);
            i = end == std::string::npos ? source.size() : end;
            continue;
        }
        if (!isIdentifierStart(c) || (i > 0 && isIdentifierChar(source[i - 1]))) {
            body += c;
            ++i;
            continue;
        }
        size_t end = i;
        while (end < source.size() && isIdentifierChar(source[end])) ++end;
        const std::string word = source.substr(i, end - i);
        i = end;

        if (unsupported.count(word)) {
            error = "uses " + word + ", which the browser build's GL does not provide";
            return false;
        }
        if (word == "varying") {
            body += vertex ? "out" : "in";
        } else if (word == "attribute" && vertex) {
            body += "in";
        } else if (word == "texture2D" || word == "textureCube") {
            body += "texture";
        } else if (word == "texture2DProj") {
            body += "textureProj";
        } else if (word == "texture2DLod" || word == "textureCubeLod") {
            body += "textureLod";
        } else if (vertex && (word == "gl_Vertex" || word == "gl_Normal" || word == "gl_Color")) {
            inputs.insert(word);
            body += "lmk_" + word.substr(3);
        } else if (vertex && word.compare(0, 16, "gl_MultiTexCoord") == 0 && word.size() == 17 &&
                   word[16] >= '0' && word[16] <= '7') {
            inputs.insert(word);
            body += "lmk_" + word.substr(3);
        } else if (word == "ftransform" && vertex) {
            size_t open = skipSpaces(source, i);
            size_t close = open < source.size() && source[open] == '(' ? skipSpaces(source, open + 1) : open;
            if (close >= source.size() || source[close] != ')') {
                body += word;
                continue;
            }
            i = close + 1;
            inputs.insert("gl_Vertex");
            uniforms.insert(modelViewProjectionUniform);
            body += std::string("(") + modelViewProjectionUniform + " * lmk_Vertex)";
        } else if (word == "gl_ModelViewMatrix" || word == "gl_ProjectionMatrix" ||
                   word == "gl_ModelViewProjectionMatrix" || word == "gl_ModelViewMatrixInverse" ||
                   word == "gl_NormalMatrix") {
            const std::string name = "lmk_" + word.substr(3);
            uniforms.insert(name);
            body += name;
        } else if (word == "gl_TexCoord") {
            int unit = 0;
            size_t after = 0;
            if (!bracketIndex(source, i, unit, after)) {
                error = "indexes gl_TexCoord with anything but a constant 0 to 7";
                return false;
            }
            i = after;
            (vertex ? texCoordsWritten : texCoordsRead).insert(unit);
            body += "lmk_TexCoord" + std::to_string(unit);
        } else if (word == "gl_FrontColor" && vertex) {
            frontColor = true;
            body += "lmk_FrontColor";
        } else if (word == "gl_Color" && !vertex) {
            frontColor = true;
            body += "lmk_FrontColor";
        } else if (!vertex && word == "gl_FragColor") {
            fragColor = true;
            body += "lmk_FragColor";
        } else if (!vertex && word == "gl_FragData") {
            int index = 0;
            size_t after = 0;
            if (!bracketIndex(source, i, index, after) || index != 0) {
                error = "writes gl_FragData other than gl_FragData[0]";
                return false;
            }
            i = after;
            fragColor = true;
            body += "lmk_FragColor";
        } else if (reservedInEs3.count(word)) {
            body += "lmk_user_" + word;
        } else {
            body += word;
        }
    }

    std::string head = "#version 300 es\nprecision highp float;\nprecision highp int;\n";
    char line[160];
    for (const std::string& input : inputs) {
        const std::string name = input.substr(3);
        int location = vertexLocation;
        const char* type = "vec4";
        if (name == "Normal") {
            location = normalLocation;
            type = "vec3";
        } else if (name == "Color") {
            location = colorLocation;
        } else if (name.compare(0, 13, "MultiTexCoord") == 0) {
            location = texCoordLocation + (name[13] - '0');
        }
        snprintf(line, sizeof line, "layout(location = %d) in %s lmk_%s;\n", location, type, name.c_str());
        head += line;
    }
    for (const std::string& uniform : uniforms)
        head +=
            std::string("uniform ") + (uniform == normalMatrixUniform ? "mat3 " : "mat4 ") + uniform + ";\n";
    for (int unit : vertex ? texCoordsWritten : texCoordsRead)
        head += std::string(vertex ? "out" : "in") + " vec4 lmk_TexCoord" + std::to_string(unit) + ";\n";
    if (frontColor) head += std::string(vertex ? "out" : "in") + " vec4 lmk_FrontColor;\n";
    if (fragColor) head += "layout(location = 0) out vec4 lmk_FragColor;\n";
    // Compiler messages count the shader's own lines (a removed version line leaves an empty one).
    head += "#line 1\n";
    rewritten = head + body;
    return true;
}

} // namespace webgl
