#include "platform/glroute/ShaderRewrite.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace glroute {

const char* const modelViewUniform = "lmk_ModelViewMatrix";
const char* const projectionUniform = "lmk_ProjectionMatrix";
const char* const modelViewProjectionUniform = "lmk_ModelViewProjectionMatrix";
const char* const modelViewInverseUniform = "lmk_ModelViewMatrixInverse";
const char* const normalMatrixUniform = "lmk_NormalMatrix";

namespace {

// Names GLSL 1.10 leaves free that GLSL ES 3.00 reserves or defines: a shader's own identifier of
// that name is renamed.
const std::set<std::string> reservedInEs3 = {"texture", "layout",    "centroid", "flat",
                                             "smooth",  "uint",      "lowp",     "mediump",
                                             "highp",   "precision", "sampler3D"};

// Built-in names of the fixed-function pipeline the route does not feed.
const std::set<std::string> unsupported = {
    "gl_LightSource",          "gl_LightModel",
    "gl_FrontMaterial",        "gl_BackMaterial",
    "gl_FrontLightProduct",    "gl_BackLightProduct",
    "gl_FrontLightModelProduct", "gl_BackLightModelProduct",
    "gl_Fog",                  "gl_FogCoord",
    "gl_FogFragCoord",         "gl_TextureMatrix",
    "gl_TextureMatrixInverse", "gl_ClipVertex",
    "gl_EyePlaneS",            "gl_ObjectPlaneS",
    "gl_BackColor",            "gl_FrontSecondaryColor",
    "gl_BackSecondaryColor",   "gl_SecondaryColor",
    "gl_ProjectionMatrixInverse", "gl_ModelViewProjectionMatrixInverse",
    "gl_ModelViewMatrixTranspose", "gl_ProjectionMatrixTranspose",
    "gl_ModelViewProjectionMatrixTranspose", "gl_NormalScale",
    "gl_DepthRange",           "gl_PointSize",
    "gl_FragDepth",            "gl_FrontFacing"};

// Words whose GLSL ES 3.00 spelling is another word, in either stage.
const std::map<std::string, std::string> renamedFunctions = {{"texture2D", "texture"},
                                                             {"textureCube", "texture"},
                                                             {"texture2DProj", "textureProj"},
                                                             {"texture2DLod", "textureLod"},
                                                             {"textureCubeLod", "textureLod"}};

const std::set<std::string> matrices = {"gl_ModelViewMatrix", "gl_ProjectionMatrix", "gl_ModelViewProjectionMatrix",
                                        "gl_ModelViewMatrixInverse", "gl_NormalMatrix"};

bool isIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

size_t skipSpaces(const std::string& text, size_t at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) && text[at] != '\n') ++at;
    return at;
}

// Matches "[N]" at `at` with one digit N (spaces allowed inside); gives N and the index after it.
bool bracketIndex(const std::string& text, size_t at, int& index, size_t& end) {
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != '[') return false;
    at = skipSpaces(text, at + 1);
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    index = text[at] - '0';
    at = skipSpaces(text, at + 1);
    if (at >= text.size() || text[at] != ']') return false;
    end = at + 1;
    return true;
}

// One pass over a source: the rewritten body, and what it turned out to read and write of the
// fixed-function pipeline, which the header then declares.
struct Rewrite {
    const std::string& source;
    const bool vertex;
    size_t at = 0; // the next character of the source to read
    std::string body;
    std::set<std::string> inputs;   // attributes the vertex shader reads: "gl_Vertex", "gl_MultiTexCoord3"
    std::set<std::string> uniforms; // matrices
    std::set<int> texCoords;        // gl_TexCoord[N] written by a vertex or read by a fragment shader
    bool frontColor = false;        // gl_FrontColor written / gl_Color read in a fragment shader
    bool fragColor = false;
    std::string error;

    Rewrite(const std::string& text, ShaderStage stage) : source(text), vertex(stage == ShaderStage::vertex) {}

    // Comments pass through untouched; the version line gives way to ES 3.00's. True when one was
    // passed.
    bool passCommentOrVersion() {
        size_t end = std::string::npos;
        if (source.compare(at, 2, "//") == 0 || source.compare(at, 8, "#version") == 0) {
            end = source.find('\n', at);
            if (end == std::string::npos) end = source.size();
        } else if (source.compare(at, 2, "/*") == 0) {
            end = source.find("*/", at + 2);
            end = end == std::string::npos ? source.size() : end + 2;
        } else {
            return false;
        }
        if (source[at] != '#') body.append(source, at, end - at);
        at = end;
        return true;
    }

    // The built-in `word` becomes a declared input: gl_Vertex, gl_Normal, gl_Color, gl_MultiTexCoordN.
    bool attribute(const std::string& word) {
        const bool multiTexCoord = word.compare(0, 16, "gl_MultiTexCoord") == 0 && word.size() == 17 &&
                                   word[16] >= '0' && word[16] <= '7';
        if (!vertex || !(multiTexCoord || word == "gl_Vertex" || word == "gl_Normal" || word == "gl_Color"))
            return false;
        inputs.insert(word);
        body += "lmk_" + word.substr(3);
        return true;
    }

    // ftransform() is the position through the model-view-projection matrix.
    bool transform(const std::string& word) {
        if (!vertex || word != "ftransform") return false;
        const size_t open = skipSpaces(source, at);
        const size_t close = open < source.size() && source[open] == '(' ? skipSpaces(source, open + 1) : open;
        if (close >= source.size() || source[close] != ')') return false;
        at = close + 1;
        inputs.insert("gl_Vertex");
        uniforms.insert(modelViewProjectionUniform);
        body += std::string("(") + modelViewProjectionUniform + " * lmk_Vertex)";
        return true;
    }

    // gl_TexCoord[N], gl_FrontColor and gl_Color between the stages; gl_FragColor and gl_FragData[0]
    // as the one output. False with `error` set for a form the route can't pass on.
    bool varyingOrOutput(const std::string& word, bool& taken) {
        int index = 0;
        size_t after = 0;
        taken = true;
        if (word == "gl_TexCoord") {
            if (!bracketIndex(source, at, index, after) || index > 7) {
                error = "indexes gl_TexCoord with anything but a constant 0 to 7";
                return false;
            }
            at = after;
            texCoords.insert(index);
            body += "lmk_TexCoord" + std::to_string(index);
        } else if ((vertex && word == "gl_FrontColor") || (!vertex && word == "gl_Color")) {
            frontColor = true;
            body += "lmk_FrontColor";
        } else if (!vertex && word == "gl_FragColor") {
            fragColor = true;
            body += "lmk_FragColor";
        } else if (!vertex && word == "gl_FragData") {
            if (!bracketIndex(source, at, index, after) || index != 0) {
                error = "writes gl_FragData other than gl_FragData[0]";
                return false;
            }
            at = after;
            fragColor = true;
            body += "lmk_FragColor";
        } else {
            taken = false;
        }
        return true;
    }

    // Rewrites the identifier that starts at `at`. False with `error` set when the shader uses what
    // the route does not provide.
    bool identifier() {
        size_t end = at;
        while (end < source.size() && isIdentifierChar(source[end])) ++end;
        const std::string word = source.substr(at, end - at);
        at = end;
        if (unsupported.count(word)) {
            error = "uses " + word + ", which the GL route does not provide";
            return false;
        }
        bool taken = false;
        if (!varyingOrOutput(word, taken)) return false;
        if (taken || attribute(word) || transform(word)) return true;
        const auto renamed = renamedFunctions.find(word);
        if (word == "varying")
            body += vertex ? "out" : "in";
        else if (word == "attribute" && vertex)
            body += "in";
        else if (renamed != renamedFunctions.end())
            body += renamed->second;
        else if (matrices.count(word))
            body += *uniforms.insert("lmk_" + word.substr(3)).first;
        else if (reservedInEs3.count(word))
            body += "lmk_user_" + word;
        else
            body += word;
        return true;
    }

    bool run() {
        body.reserve(source.size() + 256);
        while (at < source.size()) {
            if (passCommentOrVersion()) continue;
            const char c = source[at];
            if (!isIdentifierStart(c) || (at > 0 && isIdentifierChar(source[at - 1]))) {
                body += c;
                ++at;
            } else if (!identifier()) {
                return false;
            }
        }
        return true;
    }

    // The version, precisions and declarations of everything the body was found to use.
    std::string header() const {
        // Samplers too: a low-precision one (ES's default) may be filtered in 8 bits, which leaves
        // the picture a level off here and there.
        std::string head = "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                           "precision highp sampler2D;\nprecision highp samplerCube;\n";
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
            head += std::string("uniform ") + (uniform == normalMatrixUniform ? "mat3 " : "mat4 ") + uniform + ";\n";
        const std::string qualifier = vertex ? "out" : "in";
        for (int unit : texCoords) head += qualifier + " vec4 lmk_TexCoord" + std::to_string(unit) + ";\n";
        if (frontColor) head += qualifier + " vec4 lmk_FrontColor;\n";
        if (fragColor) head += "layout(location = 0) out vec4 lmk_FragColor;\n";
        // Compiler messages count the shader's own lines (a removed version line leaves an empty one).
        return head + "#line 1\n";
    }
};

} // namespace

bool rewriteShader(ShaderStage stage, const std::string& source, std::string& rewritten, std::string& error) {
    Rewrite rewrite(source, stage);
    if (!rewrite.run()) {
        error = rewrite.error;
        return false;
    }
    rewritten = rewrite.header() + rewrite.body;
    return true;
}

} // namespace glroute
