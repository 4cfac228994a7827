#include "platform/glroute/ShaderRewrite.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "platform/glroute/GlslPreprocessor.h"

namespace glroute {

const char* const modelViewUniform = "lmk_ModelViewMatrix";
const char* const projectionUniform = "lmk_ProjectionMatrix";
const char* const modelViewProjectionUniform = "lmk_ModelViewProjectionMatrix";
const char* const modelViewInverseUniform = "lmk_ModelViewMatrixInverse";
const char* const normalMatrixUniform = "lmk_NormalMatrix";
const char* const textureMatrixUniform = "lmk_TextureMatrix";

namespace {

// Names GLSL 1.10 leaves free that GLSL ES 3.00 reserves or defines (its keywords, the words it
// keeps for later, its built-in functions and macros): a shader's own identifier of that name is
// renamed. Those GLSL 1.20 takes itself carry 120 and are renamed only in a 1.10 shader.
const std::map<std::string, int> reservedInEs3 = {
    // keywords and types
    {"layout", 0}, {"centroid", 120}, {"flat", 0}, {"smooth", 0}, {"case", 0}, {"invariant", 120},
    {"uint", 0}, {"uvec2", 0}, {"uvec3", 0}, {"uvec4", 0}, {"lowp", 0}, {"mediump", 0}, {"highp", 0},
    {"precision", 0}, {"mat2x2", 120}, {"mat2x3", 120}, {"mat2x4", 120}, {"mat3x2", 120}, {"mat3x3", 120},
    {"mat3x4", 120}, {"mat4x2", 120}, {"mat4x3", 120}, {"mat4x4", 120}, {"samplerCubeShadow", 0},
    {"sampler2DArray", 0}, {"sampler2DArrayShadow", 0}, {"isampler2D", 0}, {"isampler3D", 0},
    {"isamplerCube", 0}, {"isampler2DArray", 0}, {"usampler2D", 0}, {"usampler3D", 0}, {"usamplerCube", 0},
    {"usampler2DArray", 0},
    // kept for later
    {"coherent", 0}, {"restrict", 0}, {"readonly", 0}, {"writeonly", 0}, {"resource", 0}, {"atomic_uint", 0},
    {"noperspective", 0}, {"patch", 0}, {"sample", 0}, {"subroutine", 0}, {"common", 0}, {"partition", 0},
    {"active", 0}, {"superp", 0}, {"filter", 0}, {"image1D", 0}, {"image2D", 0}, {"image3D", 0},
    {"imageCube", 0}, {"iimage1D", 0}, {"iimage2D", 0}, {"iimage3D", 0}, {"iimageCube", 0}, {"uimage1D", 0},
    {"uimage2D", 0}, {"uimage3D", 0}, {"uimageCube", 0}, {"image1DArray", 0}, {"image2DArray", 0},
    {"iimage1DArray", 0}, {"iimage2DArray", 0}, {"uimage1DArray", 0}, {"uimage2DArray", 0},
    {"imageBuffer", 0}, {"iimageBuffer", 0}, {"uimageBuffer", 0}, {"sampler1DArray", 0},
    {"sampler1DArrayShadow", 0}, {"isampler1D", 0}, {"isampler1DArray", 0}, {"usampler1D", 0},
    {"usampler1DArray", 0}, {"isampler2DRect", 0}, {"usampler2DRect", 0}, {"samplerBuffer", 0},
    {"isamplerBuffer", 0}, {"usamplerBuffer", 0}, {"sampler2DMS", 0}, {"isampler2DMS", 0},
    {"usampler2DMS", 0}, {"sampler2DMSArray", 0}, {"isampler2DMSArray", 0}, {"usampler2DMSArray", 0},
    // built-in functions
    {"sinh", 0}, {"cosh", 0}, {"tanh", 0}, {"asinh", 0}, {"acosh", 0}, {"atanh", 0}, {"round", 0},
    {"roundEven", 0}, {"trunc", 0}, {"modf", 0}, {"isnan", 0}, {"isinf", 0}, {"floatBitsToInt", 0},
    {"floatBitsToUint", 0}, {"intBitsToFloat", 0}, {"uintBitsToFloat", 0}, {"packSnorm2x16", 0},
    {"unpackSnorm2x16", 0}, {"packUnorm2x16", 0}, {"unpackUnorm2x16", 0}, {"packHalf2x16", 0},
    {"unpackHalf2x16", 0}, {"outerProduct", 120}, {"transpose", 120}, {"determinant", 0}, {"inverse", 0},
    {"texture", 0}, {"textureSize", 0}, {"textureProj", 0}, {"textureLod", 0}, {"textureOffset", 0},
    {"texelFetch", 0}, {"texelFetchOffset", 0}, {"textureProjOffset", 0}, {"textureLodOffset", 0},
    {"textureProjLod", 0}, {"textureProjLodOffset", 0}, {"textureGrad", 0}, {"textureGradOffset", 0},
    {"textureProjGrad", 0}, {"textureProjGradOffset", 0},
    // macros
    {"GL_ES", 0}, {"GL_FRAGMENT_PRECISION_HIGH", 0}};

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
    "gl_DepthRange",           "gl_PointSize"};

// Words whose GLSL ES 3.00 spelling is another word, in either stage.
const std::map<std::string, std::string> renamedFunctions = {
    {"texture2D", "texture"},         {"texture3D", "texture"},         {"textureCube", "texture"},
    {"texture2DProj", "textureProj"}, {"texture3DProj", "textureProj"}, {"texture2DLod", "textureLod"},
    {"texture3DLod", "textureLod"},   {"textureCubeLod", "textureLod"}, {"texture2DProjLod", "textureProjLod"},
    {"texture3DProjLod", "textureProjLod"}};

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

// Matches "[N]" at `at` with a decimal constant N (spaces allowed inside, as a macro's expansion
// leaves them); gives N (99 for anything above) and the index after it.
bool bracketIndex(const std::string& text, size_t at, int& index, size_t& end) {
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != '[') return false;
    at = skipSpaces(text, at + 1);
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    index = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        index = std::min(99, index * 10 + (text[at] - '0'));
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != ']') return false;
    end = at + 1;
    return true;
}

// One pass over a source: the rewritten body, and what it turned out to read and write of the
// fixed-function pipeline, which the header then declares.
struct Rewrite {
    const std::string& source; // preprocessed
    const bool vertex;
    const int version; // of GLSL: 110 or 120
    size_t at = 0; // the next character of the source to read
    std::string body;
    std::set<std::string> inputs;   // attributes the vertex shader reads: "gl_Vertex", "gl_MultiTexCoord3"
    std::set<std::string> uniforms; // matrices
    std::set<int> texCoords;        // gl_TexCoord[N] written by a vertex or read by a fragment shader
    bool frontColor = false;        // gl_FrontColor written / gl_Color read in a fragment shader
    bool fragColor = false;
    std::string error;

    Rewrite(const std::string& text, ShaderStage stage, int version)
        : source(text), vertex(stage == ShaderStage::vertex), version(version) {}

    // The identifier after `from`, past blanks and line ends; empty when none follows.
    std::string nextWord(size_t from) const {
        while (from < source.size() && std::isspace(static_cast<unsigned char>(source[from]))) ++from;
        size_t end = from;
        while (end < source.size() && isIdentifierChar(source[end])) ++end;
        return source.substr(from, end - from);
    }

    bool reservedHere(const std::string& word) const {
        const auto found = reservedInEs3.find(word);
        return found != reservedInEs3.end() && (found->second == 0 || version < found->second);
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
        // GLSL 1.20 lets a fragment shader's varying be invariant to match the vertex shader's;
        // GLSL ES 3.00 takes invariance on outputs alone and needs no match.
        if (!vertex && word == "invariant" && !reservedHere(word) && nextWord(at) == "varying")
            return true;
        if (word == "varying")
            body += vertex ? "out" : "in";
        else if (word == "attribute" && vertex)
            body += "in";
        else if (renamed != renamedFunctions.end())
            body += renamed->second;
        else if (matrices.count(word))
            body += *uniforms.insert("lmk_" + word.substr(3)).first;
        else if (reservedHere(word))
            body += "lmk_user_" + word;
        else
            body += word;
        return true;
    }

    bool run() {
        body.reserve(source.size() + 256);
        while (at < source.size()) {
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
                           "precision highp sampler2D;\nprecision highp samplerCube;\nprecision highp sampler3D;\n"
                           "precision highp sampler2DShadow;\n";
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
        // Compiler messages count the shader's own lines (the preprocessor leaves every line in place).
        return head + "#line 1\n";
    }
};

} // namespace

bool rewriteShader(ShaderStage stage, const std::string& source, std::string& rewritten, std::string& error,
                   ShaderInterface* interface) {
    PreprocessedShader preprocessed;
    if (!preprocessShader(source, preprocessed, error)) return false;
    Rewrite rewrite(preprocessed.text, stage, preprocessed.version);
    if (!rewrite.run()) {
        error = rewrite.error;
        return false;
    }
    rewritten = rewrite.header() + rewrite.body;
    if (interface) {
        interface->texCoords = rewrite.texCoords;
        interface->frontColor = rewrite.frontColor;
    }
    return true;
}

std::string companionShader(ShaderStage missing, const ShaderInterface& present) {
    std::string text = "#version 300 es\nprecision highp float;\n";
    if (missing == ShaderStage::vertex) {
        // GL's own vertex stage: the position through the matrices, the colour and each texture
        // coordinate the fragment shader reads through their matrices.
        text += "layout(location = " + std::to_string(vertexLocation) + ") in vec4 lmk_Vertex;\nuniform mat4 " +
                modelViewProjectionUniform + ";\n";
        std::string main = std::string("    gl_Position = ") + modelViewProjectionUniform + " * lmk_Vertex;\n";
        if (present.frontColor) {
            text += "layout(location = " + std::to_string(colorLocation) +
                    ") in vec4 lmk_Color;\nout vec4 lmk_FrontColor;\n";
            main += "    lmk_FrontColor = clamp(lmk_Color, 0.0, 1.0);\n";
        }
        for (int unit : present.texCoords) {
            const std::string n = std::to_string(unit);
            text += "layout(location = " + std::to_string(texCoordLocation + unit) + ") in vec4 lmk_MultiTexCoord" +
                    n + ";\nuniform mat4 " + textureMatrixUniform + n + ";\nout vec4 lmk_TexCoord" + n + ";\n";
            main += "    lmk_TexCoord" + n + " = " + textureMatrixUniform + n + " * lmk_MultiTexCoord" + n + ";\n";
        }
        return text + "void main() {\n" + main + "}\n";
    }
    // A vertex shader alone: its colour as GL's own fragment stage passes it on untextured.
    text += "layout(location = 0) out vec4 lmk_FragColor;\n";
    if (!present.frontColor) return text + "void main() { lmk_FragColor = vec4(1.0); }\n";
    return text + "in vec4 lmk_FrontColor;\nvoid main() { lmk_FragColor = lmk_FrontColor; }\n";
}

} // namespace glroute
