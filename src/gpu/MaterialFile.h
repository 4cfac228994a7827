#pragma once
// The material file format, without GL. A file is read as lines of at most 510 bytes (a longer
// line continues as the next one). A line containing "%TEX" is a texture line
// "%TEX<type> <uniform> = <texture>"; "%VERTEX_SHADER" and "%FRAGMENT_SHADER" switch the section
// that every other line is appended to, the vertex source to begin with.
#include <string>

#include "base/GrowArray.h"

namespace rovena {

struct TextureBinding {
    unsigned int target = 0; // GL_TEXTURE_2D, _3D, _1D or GL_TEXTURE_CUBE_MAP
    std::string uniform;     // sampler uniform in the material's program
    std::string texture;     // name in the texture manager
};

} // namespace rovena

struct MaterialFile {
    std::string vertexSource;
    std::string fragmentSource;
    GrowArray<rovena::TextureBinding> textures{16}; // file order; binding i uses texture unit i
};

// Longest tokens a texture line may hold, in bytes; a longer one makes the line a read error.
constexpr size_t materialTypeBytes = 79;
constexpr size_t materialNameBytes = 255;
// Longest line one read gives, newline included.
constexpr size_t materialLineBytes = 510;

// Scans "%TEX<type> <uniform> = <texture>" as scanf's "%%TEX%s %s = %s" would: blanks before
// "%TEX", before each token and around "=" are skipped (none are needed between "%TEX" and the
// type, or after "="), and text after the texture is ignored. Returns how many fields were
// found, or -1 when a token is longer than its bound.
int scanTextureLine(const std::string& line, std::string& type, std::string& uniform, std::string& texture);

// Parses a whole file. On failure returns false with the text of the fatal report in `error`.
bool parseMaterialText(const std::string& text, MaterialFile& material, std::string& error);
