// contact_sheet [build directory] [output.png]: renders every model under every material the show
// puts on it, with the sky behind, through the engine's own loaders, and writes one labelled PNG
// for reviewing the content at a glance. Runs in the build directory (default: the current one),
// where the engine finds data/; the output defaults to contact-sheet.png there.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "demo/Camera.h"
#include "image/Image.h"
#include "platform/Window.h"
#include "resources/Resources.h"

namespace {

const int tileWidth = 256;
const int tileHeight = 192;
const int supersample = 2; // each tile is drawn at twice its size and averaged down
const int columns = 5;
const int labelHeight = 16;
const char* const fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Tile {
    std::string label;
    std::string material; // empty: the sky alone
    std::string model;
    float eye[3];
    bool marbleLight;
};

// The show's orbit for a content row of scale s at time t: the object is not scaled, the camera
// distance is, and the height keeps its constant 5.
Tile orbitTile(const std::string& material, const std::string& model, float scale, double t) {
    Tile tile;
    tile.material = material;
    tile.model = model;
    tile.eye[0] = static_cast<float>(8 * scale * std::sin(0.85 * t));
    tile.eye[1] = static_cast<float>(5 * scale * std::cos(0.45 * t) + 5);
    tile.eye[2] = static_cast<float>(10 * scale * std::cos(0.95 * t));
    tile.marbleLight = material == "marble" || material == "m1";
    char scaleText[16];
    snprintf(scaleText, sizeof scaleText, "%g", scale);
    tile.label = material + " " + model + " x" + scaleText;
    return tile;
}

struct Row {
    const char* material;
    const char* model;
    float scale;
};

// Rows 0 to 24 of the show's sequence; the later rows repeat these pairs.
const Row showRows[] = {
    {"m1", "pah", 1.5f},    {"m6", "bakteeri1", 1}, {"m9", "ninja", 2},     {"m2", "bakteeri1", 1},
    {"m9", "ninja", 1},     {"m8", "pah", 3},       {"m2", "pah", 3},       {"m3", "bakteeri1", 1.7f},
    {"m7", "ninja", 2},     {"m5", "pah", 2},       {"m4", "ninja", 2},     {"m3", "bakteeri1", 2},
    {"m8", "ninja", 2},     {"m9", "pah", 2},       {"m1", "ninja", 2},     {"m9", "pah", 2},
    {"m3", "bakteeri1", 2}, {"m8", "ninja", 2},     {"m5", "bakteeri1", 2}, {"m9", "pah", 2},
    {"m3", "demoni", 2},    {"m7", "pah", 0.1f},    {"m9", "ninja", 2},     {"m5", "demoni", 2},
    {"m7", "pah", 3},
};

std::vector<Tile> sheetTiles() {
    std::vector<Tile> tiles;
    // Scene 1: the ninja under marble, seen from its orbit at t = 3 s.
    Tile hero;
    hero.material = "marble";
    hero.model = "ninja";
    hero.eye[0] = static_cast<float>(8 * std::sin(0.55 * 3.0));
    hero.eye[1] = static_cast<float>(7 * std::cos(0.35 * 3.0) + 5);
    hero.eye[2] = static_cast<float>(8 * std::cos(0.55 * 3.0));
    hero.marbleLight = true;
    hero.label = "marble ninja (scene 1)";
    tiles.push_back(hero);
    // Each distinct pair once, from the middle of the first row that shows it.
    const int rowCount = sizeof showRows / sizeof showRows[0];
    for (int i = 0; i < rowCount; ++i) {
        bool seen = false;
        for (int j = 0; j < i; ++j)
            seen = seen || (std::string(showRows[j].material) == showRows[i].material &&
                            std::string(showRows[j].model) == showRows[i].model);
        if (seen) continue;
        double t = 30.4 + 3.6923076923076925 * (i + 0.5);
        tiles.push_back(orbitTile(showRows[i].material, showRows[i].model, showRows[i].scale, t));
    }
    // The 0.1 rows bring the camera within a unit of the axis at height 5: every other model from
    // there too, under the paint those rows use, in case a row's model ever changes.
    for (const char* model : {"ninja", "bakteeri1", "demoni"})
        tiles.push_back(orbitTile("m7", model, 0.1f, 30.4 + 3.6923076923076925 * 21.5));
    Tile sky;
    sky.eye[0] = 8;
    sky.eye[1] = 5;
    sky.eye[2] = 0;
    sky.marbleLight = false;
    sky.label = "sky, looking down";
    tiles.push_back(sky);
    sky.eye[1] = -5;
    sky.label = "sky, looking up";
    tiles.push_back(sky);
    return tiles;
}

void openContext() {
    std::string reason;
    bool video = false;
    for (int attempt = 0; attempt < 5 && !(video = initVideo(reason)); ++attempt) usleep(200 * 1000);
    WindowRequest request;
    request.title = "contact sheet";
    request.hidden = true;
    if (!video || !createWindow(request, reason)) {
        fprintf(stderr, "contact_sheet needs a display (try xvfb-run -a): %s\n", reason.c_str());
        exit(1);
    }
    glewExperimental = GL_TRUE;
    GLenum status = glewInit();
    if (status != GLEW_OK) {
        fprintf(stderr, "glewInit failed: %s\n", reinterpret_cast<const char*>(glewGetErrorString(status)));
        exit(1);
    }
    glGetError(); // glewInit may leave GL_INVALID_ENUM behind
}

// The show's own start-up loads, in its order, with its texture state changes between them.
void loadContent() {
    for (const char* model : {"pah", "ninja", "pallo", "bakteeri1", "demoni"}) {
        resources.models.load(model);
        resources.models.get(model).computeNormals();
        resources.models.get(model).createBuffers();
    }
    for (const char* name : {"rt0", "rt1", "rt2"})
        resources.textures.upload(name, 1024, 512, nullptr, GL_RGBA8, GL_RGBA);
    resources.textures.upload("rt.glow", 256, 128, nullptr, GL_RGBA8, GL_RGBA);
    resources.textures.upload("rt.blur", 256, 256, nullptr, GL_RGBA8, GL_RGBA);
    resources.textures.setFilter(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
    for (const char* picture : {"overlay", "envi", "envi2", "envi3", "nyrkki"})
        resources.textures.load2D(picture, -1, -1);
    struct Load {
        const char* name;
        const char* file;
    };
    const Load loads[] = {
        {"test", "data/materials/test.mat"},
        {"show_normals", "data/materials/show_normals.mat"},
        {"pp.invert", "data/materials/pp_invert.mat"},
        {"particle.test", "data/materials/particle_test.mat"},
        {"particle2.test", "data/materials/particle2_test.mat"},
        {"marble", "data/materials/marble.mat"},
        {"testcube", "data/materials/carpaint.mat"},
        {"kivikko skybox", "data/materials/skybox.mat"},
        {"m1", "data/materials/marble.mat"},
        {"m2", "data/materials/foo1.mat"},
        {"m3", "data/materials/foo2.mat"},
        {"m4", "data/materials/foo3.mat"},
        {"m5", "data/materials/foo4.mat"},
        {"m6", "data/materials/foo5.mat"},
        {"m7", "data/materials/carpaint.mat"},
        {"m8", "data/materials/carpaint2.mat"},
        {"m9", "data/materials/carpaint3.mat"},
    };
    int index = 0;
    for (const Load& load : loads) {
        // Textures first named by the first five files repeat; later ones are clamped.
        if (index++ == 5) resources.textures.setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, -1);
        resources.materials.loadMaterialFile(load.name, load.file);
    }
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
    sceneCamera.setPosition(tile.eye[0], tile.eye[1], tile.eye[2]);
    sceneCamera.setTarget(0, 0, 0);
    sceneCamera.setFov(90);
    sceneCamera.apply();
    glRotatef(-90, 1, 0, 0);
    if (!tile.material.empty()) {
        resources.materials.use(tile.material);
        if (tile.marbleLight) resources.shaders.setUniform3i("uLightPos", 0, 1, 0);
        resources.models.get(tile.model).draw();
        resources.materials.unuse();
    }
    resources.materials.use("kivikko skybox");
    glScalef(400, 400, 400);
    resources.models.get("pallo").draw();
    resources.materials.unuse();
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

    openContext();
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    loadContent();
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
