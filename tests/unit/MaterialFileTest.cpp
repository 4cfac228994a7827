#include <gtest/gtest.h>

#include <string>

#include "gpu/MaterialFile.h"

namespace {

const unsigned int target2D = 0x0DE1, target3D = 0x806F, target1D = 0x0DE0, targetCube = 0x8513;

MaterialFile parseOk(const std::string& text) {
    MaterialFile material;
    std::string error;
    EXPECT_TRUE(parseMaterialText(text, material, error)) << error;
    return material;
}

std::string parseError(const std::string& text) {
    MaterialFile material;
    std::string error;
    EXPECT_FALSE(parseMaterialText(text, material, error));
    return error;
}

} // namespace

TEST(MaterialFile, SectionsFollowMarkersInAnyOrderAndTexturesKeepFileOrder) {
    MaterialFile m = parseOk("// before any marker\n"
                             "%FRAGMENT_SHADER\n"
                             "void main() {}\n"
                             "%TEX2D baseMap = marble\n"
                             "more fragment\n"
                             "%VERTEX_SHADER here\n"
                             "vertex line\n"
                             "%TEXCUBE envMap = sky\n"
                             "%FRAGMENT_SHADER\n"
                             "last fragment\r\n"
                             "%TEX3D volume = noise\n"
                             "%TEX1D ramp = gradient");
    EXPECT_EQ(m.vertexSource, "// before any marker\nvertex line\n");
    EXPECT_EQ(m.fragmentSource, "void main() {}\nmore fragment\nlast fragment\r\n");
    ASSERT_EQ(m.textures.count, 4);
    struct Expected {
        unsigned int target;
        const char* uniform;
        const char* texture;
    };
    const Expected expected[] = {{target2D, "baseMap", "marble"},
                                 {targetCube, "envMap", "sky"},
                                 {target3D, "volume", "noise"},
                                 {target1D, "ramp", "gradient"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.textures[i].target, expected[i].target) << i;
        EXPECT_EQ(m.textures[i].uniform, expected[i].uniform) << i;
        EXPECT_EQ(m.textures[i].texture, expected[i].texture) << i;
    }
}

TEST(MaterialFile, TextureLinesOnlyGiveEmptySources) {
    MaterialFile m = parseOk("%TEX2D a = one\n%TEX2D b = one\n");
    EXPECT_EQ(m.vertexSource, "");
    EXPECT_EQ(m.fragmentSource, "");
    ASSERT_EQ(m.textures.count, 2);
    EXPECT_EQ(m.textures[1].uniform, "b");
    EXPECT_EQ(m.textures[1].texture, "one");
}

TEST(MaterialFile, TextureLineSpellings) {
    struct Case {
        const char* line;
        const char* type; // null: the line must fail
        const char* uniform;
        const char* texture;
    };
    const std::string longType(80, 'T'), longestType(79, 'T');
    const std::string longName(256, 'n'), longestName(255, 'n');
    const Case cases[] = {
        {"%TEX2D tex0 =marble\n", "2D", "tex0", "marble"},
        {"%TEX 2D tex0 = marble\n", "2D", "tex0", "marble"},
        {"%TEX2D\ttex0\t=\tmarble trailing words\n", "2D", "tex0", "marble"},
        {"   %TEX2D tex0 = marble\n", "2D", "tex0", "marble"}, // indented lines are accepted
        {"%TEXCUBE env = sky\r\n", "CUBE", "env", "sky"},
        {"%TEX2D tex0=marble\n", nullptr, nullptr, nullptr},
        {"%TEX2D tex0 = \n", nullptr, nullptr, nullptr},
        {"%TEX2D tex0\n", nullptr, nullptr, nullptr},
        {"%TEX\n", nullptr, nullptr, nullptr},
        {"  // the sampler comes from a %TEX line\n", nullptr, nullptr, nullptr},
        {"x %TEX2D tex0 = marble\n", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string type, uniform, texture;
        int fields = scanTextureLine(c.line, type, uniform, texture);
        if (c.type) {
            ASSERT_EQ(fields, 3);
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(uniform, c.uniform);
            EXPECT_EQ(texture, c.texture);
            EXPECT_EQ(parseOk(c.line).textures.count, 1);
        } else {
            EXPECT_NE(fields, 3);
            EXPECT_EQ(parseError(c.line),
                      std::string("Read error in material file, line:\n'") + c.line + "'");
        }
    }

    // Tokens at their bound are taken whole; one byte more is a read error.
    std::string type, uniform, texture;
    EXPECT_EQ(scanTextureLine("%TEX" + longestType + " u = t\n", type, uniform, texture), 3);
    EXPECT_EQ(type, longestType);
    EXPECT_EQ(scanTextureLine("%TEX2D " + longestName + " = " + longestName, type, uniform, texture), 3);
    EXPECT_EQ(uniform, longestName);
    EXPECT_EQ(texture, longestName);
    for (const std::string& line :
         {"%TEX" + longType + " u = t\n", "%TEX2D " + longName + " = t\n", "%TEX2D u = " + longName + "\n"}) {
        EXPECT_EQ(scanTextureLine(line, type, uniform, texture), -1);
        EXPECT_EQ(parseError(line).rfind("Read error in material file, line:\n'", 0), 0u);
    }
}

TEST(MaterialFile, UnknownTextureTypeIsNamedWithItsLine) {
    EXPECT_EQ(parseError("%TEX2d a = b\n"), "Invalid texture type '2d' in line '%TEX2d a = b\n'");
    EXPECT_EQ(parseError("%TEXcube a = b\n"), "Invalid texture type 'cube' in line '%TEXcube a = b\n'");
}

TEST(MaterialFile, LinesLongerThanAReadContinueAsTheNextLine) {
    // A marker past the 510th byte of a physical line is a line of its own, and long source
    // lines reach the source whole.
    std::string longSource(700, 'a');
    MaterialFile m = parseOk(longSource + "\n" + std::string(510, 'b') + "%FRAGMENT_SHADER\nfrag\n");
    EXPECT_EQ(m.vertexSource, longSource + "\n" + std::string(510, 'b'));
    EXPECT_EQ(m.fragmentSource, "frag\n");
}
