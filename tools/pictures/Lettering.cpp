#include "pictures/Lettering.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "pictures/Picture.h"
#include "pictures/Render.h"

namespace {

const char* const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// One face for the generator's lifetime; FreeType is not touched from the worker threads.
FT_Face boldFace() {
    static FT_Library library = nullptr;
    static FT_Face face = nullptr;
    if (face) return face;
    if (FT_Init_FreeType(&library) != 0) {
        fprintf(stderr, "make_pictures: FreeType could not start\n");
        exit(1);
    }
    if (FT_New_Face(library, kFontPath, 0, &face) != 0) {
        fprintf(stderr, "make_pictures: cannot load the font '%s' (Debian package fonts-dejavu-core)\n",
                kFontPath);
        exit(1);
    }
    return face;
}

void blurRows(const std::vector<float>& from, std::vector<float>& to, int w, int h, int r, bool vertical) {
    int lines = vertical ? w : h, length = vertical ? h : w;
    for (int line = 0; line < lines; ++line) {
        auto index = [&](int i) { return vertical ? size_t(i) * w + line : size_t(line) * w + i; };
        float sum = 0.0f;
        for (int i = -r; i <= r; ++i) sum += i >= 0 && i < length ? from[index(i)] : 0.0f;
        for (int i = 0; i < length; ++i) {
            to[index(i)] = sum / (2 * r + 1);
            int out = i - r, in = i + r + 1;
            if (out >= 0) sum -= from[index(out)];
            if (in < length) sum += from[index(in)];
        }
    }
}

} // namespace

Mask blurred(const Mask& mask, int radius) {
    Mask result = mask;
    std::vector<float> scratch(result.coverage.size());
    for (int pass = 0; pass < 3; ++pass) {
        blurRows(result.coverage, scratch, mask.width, mask.height, radius, false);
        blurRows(scratch, result.coverage, mask.width, mask.height, radius, true);
    }
    return result;
}

void drawText(Mask& mask, const std::string& text, int pixelSize, float centreX, float baselineY,
              float tracking) {
    FT_Face face = boldFace();
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    // First pass measures, second pass draws, so the text can be centred.
    float width = 0.0f;
    for (int pass = 0; pass < 2; ++pass) {
        float penX = pass == 0 ? 0.0f : std::round(centreX - width * 0.5f);
        FT_UInt previous = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(text[i]));
            if (previous) {
                FT_Vector kerning;
                FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
                penX += kerning.x / 64.0f;
            }
            if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0) continue;
            FT_GlyphSlot slot = face->glyph;
            if (pass == 1) {
                int left = static_cast<int>(std::lround(penX)) + slot->bitmap_left;
                int top = static_cast<int>(std::lround(baselineY)) - slot->bitmap_top;
                for (unsigned row = 0; row < slot->bitmap.rows; ++row)
                    for (unsigned col = 0; col < slot->bitmap.width; ++col) {
                        int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                        if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
                        float v = slot->bitmap.buffer[row * slot->bitmap.pitch + col] / 255.0f;
                        float& c = mask.coverage[size_t(y) * mask.width + x];
                        c = std::max(c, v);
                    }
            }
            penX += slot->advance.x / 64.0f + (i + 1 < text.size() ? tracking : 0.0f);
            previous = glyph;
        }
        if (pass == 0) width = penX;
    }
}

std::string writeLoading(const std::string& dataDir) {
    const int size = 512;
    Mask title(size, size), word(size, size);
    drawText(title, "Lumorakka", 70, size * 0.5f, 258.0f, 1.0f);
    drawText(word, "loading", 30, size * 0.5f, 332.0f, 7.0f);
    Mask halo = blurred(title, 9);
    Mask wordHalo = blurred(word, 4);
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float dx = (x - size * 0.5f) / size, dy = (y - size * 0.46f) / size;
        float r = std::sqrt(dx * dx + dy * dy);
        // The picture is shown on black with black bars beside it: the glow behind the title fades
        // to exact black well inside its edges, so the square leaves no visible border.
        Vec3 c = Vec3{0.032f, 0.02f, 0.08f} * (1.0f - smoothstep(0.0f, 0.44f, r));
        // A thin warm rule between the words, fading at both ends.
        float rule = (1.0f - smoothstep(0.0f, 1.2f, std::fabs(y - 292.5f))) *
                     (1.0f - smoothstep(60.0f, 150.0f, std::fabs(x - size * 0.5f)));
        c += Vec3{0.9f, 0.45f, 0.2f} * (rule * 0.8f);
        c += Vec3{0.45f, 0.12f, 0.55f} * (halo.at(x, y) * 1.4f);
        c += Vec3{0.25f, 0.2f, 0.55f} * (wordHalo.at(x, y) * 0.8f);
        // Title lettering: gold at the top of the letters to ember red at the baseline.
        float g = smoothstep(200.0f, 258.0f, static_cast<float>(y));
        Vec3 gold = mix(Vec3{1.0f, 0.86f, 0.52f}, Vec3{0.95f, 0.32f, 0.12f}, g);
        c = mix(c, gold, title.at(x, y));
        c = mix(c, Vec3{0.72f, 0.68f, 0.98f}, word.at(x, y));
        return Shaded{c};
    });
    return writePng(dataDir, "loading", picture);
}

std::string writeOverlay(const std::string& dataDir) {
    // A frame laid over the picture: darkened corners, faint scan lines and the group's name, all
    // carried by alpha so the scene shows through the middle.
    const int size = 512;
    Mask name(size, size);
    drawText(name, "VORKASTA", 18, size - 80.0f, size - 22.0f, 4.0f);
    Picture picture(size, size, 4);
    renderPicture(picture, [&](int x, int y) {
        float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size * 2 - 1;
        float corner = std::pow(std::pow(std::fabs(u), 4.0f) + std::pow(std::fabs(v), 4.0f), 0.25f);
        float vignette = smoothstep(0.7f, 1.05f, corner) * 0.85f;
        float scan = (y % 4 == 0) ? 0.12f : 0.0f;
        float text = name.at(x, y);
        float alpha = std::max({vignette, scan, text * 0.9f});
        Vec3 c = mix(Vec3{0.01f, 0.0f, 0.03f}, Vec3{1.0f, 0.8f, 0.55f}, text);
        return Shaded{c, alpha};
    });
    return writePng(dataDir, "overlay", picture);
}
