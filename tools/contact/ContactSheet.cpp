// contact_sheet [build directory] [output.png]: renders every model under every material the show
// puts on it, with the sky behind, through the engine's own loaders, and writes one labelled PNG
// for reviewing the content at a glance. Runs in the build directory (default: the current one),
// where the engine finds data/; the output defaults to contact-sheet.png there.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "demo/Content.h"
#include "demo/Timeline.h"
#include "image/Image.h"
#include "resources/Resources.h"
#include "shell/Shell.h"

namespace {

const int tileWidth = 256;
const int tileHeight = 192;
const int supersample = 2; // each tile is drawn at twice its size and averaged down
const int columns = 5;
const int labelHeight = 16;
const char* const fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A tile is either a scene drawn exactly as the show draws it at a time, or a pair (or the sky
// alone, for no material) seen from a chosen eye.
struct Tile {
    std::string label;
    Scene scene = Scene::over; // Scene::over: the pair below
    float time = 0;            // seconds
    std::string material;
    std::string model;
    Vec3 eye;
};

std::string scaleLabel(float scale) {
    char text[16];
    snprintf(text, sizeof text, "%g", scale);
    return text;
}

std::vector<Tile> sheetTiles() {
    std::vector<Tile> tiles;
    // Scene 1: the ninja under marble at t = 3 s.
    Tile hero;
    hero.scene = Scene::figure;
    hero.time = 3.0f;
    hero.label = "marble ninja (scene 1)";
    tiles.push_back(hero);
    // Each distinct pair once, from the middle of the first row that shows it (rows 25 on repeat
    // earlier pairs).
    for (int i = 0; i < 25; ++i) {
        const ContentRow& row = objectSequence[i];
        bool seen = false;
        for (int j = 0; j < i; ++j)
            seen =
                seen || (objectSequence[j].material == row.material && objectSequence[j].model == row.model);
        if (seen) continue;
        Tile tile;
        tile.scene = Scene::sequence;
        tile.time = static_cast<float>(sequenceStartSeconds + sequenceRowSeconds * (i + 0.5));
        tile.label = row.material + " " + row.model + " x" + scaleLabel(row.scale);
        tiles.push_back(tile);
    }
    // The 0.1 rows bring the camera within a unit of the axis at height 5: every other model from
    // there too, under the paint those rows use, in case a row's model ever changes.
    const float nearTime = static_cast<float>(sequenceStartSeconds + sequenceRowSeconds * 21.5);
    for (const char* model : {"ninja", "bakteeri1", "demoni"}) {
        Tile tile;
        tile.material = "m7";
        tile.model = model;
        tile.eye = sceneEye(Scene::sequence, nearTime, 0, 0.1f);
        tile.label = std::string("m7 ") + model + " x0.1";
        tiles.push_back(tile);
    }
    Tile sky;
    sky.eye = {8, 5, 0};
    sky.label = "sky, looking down";
    tiles.push_back(sky);
    sky.eye.y = -5;
    sky.label = "sky, looking up";
    tiles.push_back(sky);
    return tiles;
}

// The show's own start-up in a hidden window: every model, render target, picture and material in
// the show's order, with its texture state changes between them.
void startUp() {
    startShow(ShowOptions::headless("contact sheet"));
}

// An off-screen colour and depth target of the supersampled tile size.
void makeTarget() {
    const int w = tileWidth * supersample, h = tileHeight * supersample;
    GLuint frame = 0, colour = 0, depth = 0;
    glGenFramebuffersEXT(1, &frame);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frame);
    glGenRenderbuffersEXT(1, &colour);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, w, h);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
    glGenRenderbuffersEXT(1, &depth);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, w, h);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        fprintf(stderr, "contact_sheet: the off-screen target is incomplete\n");
        exit(1);
    }
    glViewport(0, 0, w, h);
}

// Draws one tile as the show draws a frame of its scene, before the post passes; returns RGB
// rows, top row first, at the tile size.
std::vector<unsigned char> renderTile(const Tile& tile) {
    glClearColor(0.3f, 0.3f, 0.6f, 0.1f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glLoadIdentity();
    if (tile.scene != Scene::over) {
        drawSceneSubject(tile.scene, tile.time, 0);
    } else {
        placeCamera(tile.eye);
        if (!tile.material.empty()) {
            useSceneMaterial(tile.material);
            resources.models.get(tile.model).draw();
            resources.materials.unuse();
        }
    }
    drawSkyBox(tile.scene != Scene::over ? subjectMaterial(tile.scene, tile.time) : tile.material);
    glFinish();

    const int w = tileWidth * supersample, h = tileHeight * supersample;
    std::vector<unsigned char> big(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, big.data());
    std::vector<unsigned char> small(size_t(tileWidth) * tileHeight * 3);
    for (int y = 0; y < tileHeight; ++y)
        for (int x = 0; x < tileWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < supersample; ++dy)
                    for (int dx = 0; dx < supersample; ++dx)
                        sum += big[(size_t(y * supersample + dy) * w + x * supersample + dx) * 3 + c];
                // GL rows run bottom up; the sheet's run top down.
                small[(size_t(tileHeight - 1 - y) * tileWidth + x) * 3 + c] = static_cast<unsigned char>(
                    (sum + supersample * supersample / 2) / (supersample * supersample));
            }
    return small;
}

// Writes `text` in white on the dark strip under a tile, left-aligned at (x, baseline).
void drawLabel(FT_Face face, std::vector<unsigned char>& sheet, int sheetWidth, int x, int baseline,
               const std::string& text) {
    for (char ch : text) {
        if (FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        int left = x + face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
        for (unsigned int row = 0; row < bitmap.rows; ++row)
            for (unsigned int column = 0; column < bitmap.width; ++column) {
                int px = left + int(column), py = top + int(row);
                if (px < 0 || px >= sheetWidth || py < 0 || py >= int(sheet.size() / 3 / sheetWidth))
                    continue;
                int coverage = bitmap.buffer[row * bitmap.pitch + column];
                unsigned char* pixel = &sheet[(size_t(py) * sheetWidth + px) * 3];
                for (int c = 0; c < 3; ++c)
                    pixel[c] = static_cast<unsigned char>(pixel[c] + (255 - pixel[c]) * coverage / 255);
            }
        x += int(face->glyph->advance.x >> 6);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3) {
        fprintf(stderr, "usage: contact_sheet [build directory] [output.png]\n");
        return 2;
    }
    if (argc >= 2 && chdir(argv[1]) != 0) {
        fprintf(stderr, "contact_sheet: cannot enter '%s'\n", argv[1]);
        return 1;
    }
    std::string output = argc == 3 ? argv[2] : "contact-sheet.png";

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontPath, 0, &face) != 0) {
        fprintf(stderr, "contact_sheet: cannot load the font '%s' (Debian package fonts-dejavu-core)\n",
                fontPath);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, 11);

    startUp();
    makeTarget();

    std::vector<Tile> tiles = sheetTiles();
    const int rows = (int(tiles.size()) + columns - 1) / columns;
    const int cellHeight = tileHeight + labelHeight;
    const int sheetWidth = columns * tileWidth, sheetHeight = rows * cellHeight;
    std::vector<unsigned char> sheet(size_t(sheetWidth) * sheetHeight * 3, 24);
    for (size_t i = 0; i < tiles.size(); ++i) {
        std::vector<unsigned char> pixels = renderTile(tiles[i]);
        int left = int(i % columns) * tileWidth, top = int(i / columns) * cellHeight;
        for (int y = 0; y < tileHeight; ++y)
            std::copy(pixels.begin() + size_t(y) * tileWidth * 3,
                      pixels.begin() + size_t(y + 1) * tileWidth * 3,
                      sheet.begin() + (size_t(top + y) * sheetWidth + left) * 3);
        drawLabel(face, sheet, sheetWidth, left + 4, top + tileHeight + 12, tiles[i].label);
    }
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        fprintf(stderr, "contact_sheet: GL error 0x%x while drawing\n", error);
        return 1;
    }

    Image image;
    image.width = sheetWidth;
    image.height = sheetHeight;
    image.channels = 3;
    image.bytesPerPixel = 3;
    image.rowBytes = sheetWidth * 3;
    image.pixels = sheet.data();
    // write_png reports its failures on stderr only; a stale sheet must not pass for a new one.
    remove(output.c_str());
    write_png(output.c_str(), image);
    if (access(output.c_str(), F_OK) != 0) return 1;
    printf("contact_sheet: %zu tiles to %s\n", tiles.size(), output.c_str());
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
