#include "gpu/MaterialFile.h"

#include <cstring>

namespace {

// GL's texture target values; this module stays free of GL headers.
const unsigned int textureTarget1D = 0x0DE0;
const unsigned int textureTarget2D = 0x0DE1;
const unsigned int textureTarget3D = 0x806F;
const unsigned int textureTargetCube = 0x8513;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skipBlanks(const std::string& line, size_t& at) {
    while (at < line.size() && isBlank(line[at])) ++at;
}

// Reads one run of non-blanks after any blanks. Returns false when there is none.
bool readToken(const std::string& line, size_t& at, std::string& token) {
    skipBlanks(line, at);
    size_t start = at;
    while (at < line.size() && !isBlank(line[at])) ++at;
    token.assign(line, start, at - start);
    return at > start;
}

std::string readError(const std::string& line) {
    return "Read error in material file, line:\n'" + line + "'";
}

} // namespace

int scanTextureLine(const std::string& line, std::string& type, std::string& uniform, std::string& texture) {
    size_t at = 0;
    skipBlanks(line, at);
    if (line.compare(at, 4, "%TEX") != 0) return 0;
    at += 4;
    if (!readToken(line, at, type)) return 0;
    if (type.size() > materialTypeBytes) return -1;
    if (!readToken(line, at, uniform)) return 1;
    if (uniform.size() > materialNameBytes) return -1;
    skipBlanks(line, at);
    if (at >= line.size() || line[at] != '=') return 2;
    ++at;
    if (!readToken(line, at, texture)) return 2;
    if (texture.size() > materialNameBytes) return -1;
    return 3;
}

bool parseMaterialText(const std::string& text, MaterialFile& material, std::string& error) {
    std::string* section = &material.vertexSource;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - start > materialLineBytes) end = start + materialLineBytes;
        std::string line(text, start, end - start);
        start = end;

        if (line.find("%TEX") != std::string::npos) {
            std::string type, uniform, texture;
            if (scanTextureLine(line, type, uniform, texture) != 3) {
                error = readError(line);
                return false;
            }
            unsigned int target;
            if (type == "2D")
                target = textureTarget2D;
            else if (type == "3D")
                target = textureTarget3D;
            else if (type == "1D")
                target = textureTarget1D;
            else if (type == "CUBE")
                target = textureTargetCube;
            else {
                error = "Invalid texture type '" + type + "' in line '" + line + "'";
                return false;
            }
            rovena::TextureBinding& binding = material.textures.appendDefault();
            binding.target = target;
            binding.uniform = uniform;
            binding.texture = texture;
        } else if (line.find("%VERTEX_SHADER") != std::string::npos) {
            section = &material.vertexSource;
        } else if (line.find("%FRAGMENT_SHADER") != std::string::npos) {
            section = &material.fragmentSource;
        } else {
            *section += line;
        }
    }
    return true;
}
