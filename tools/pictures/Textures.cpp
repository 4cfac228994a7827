#include "pictures/Textures.h"

#include <cmath>

#include "pictures/Picture.h"
#include "pictures/Render.h"

namespace {

Vec3 hue(float h) {
    return {clamp01(std::fabs(h * 6 - 3) - 1), clamp01(2 - std::fabs(h * 6 - 2)),
            clamp01(2 - std::fabs(h * 6 - 4))};
}

// Test pattern: an 8 x 8 grid of coloured cells with crosshairs, tiling seamlessly.
Picture testGrid() {
    const int size = 256, cell = 32;
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        int cx = x / cell, cy = y / cell;
        int lx = x % cell, ly = y % cell;
        Vec3 base = mix(hue((cx + cy * 3 % 8) / 8.0f), Vec3{0.5f, 0.5f, 0.5f}, 0.45f) *
                    ((cx + cy) % 2 ? 0.55f : 0.85f);
        bool border = lx == 0 || ly == 0;
        bool cross = (std::abs(lx - cell / 2) < 1 && std::abs(ly - cell / 2) < 5) ||
                     (std::abs(ly - cell / 2) < 1 && std::abs(lx - cell / 2) < 5);
        Vec3 c = border ? Vec3{0.02f, 0.02f, 0.03f} : cross ? Vec3{1, 1, 1} : base;
        // The top-left cell is marked so the texture's orientation shows on a model.
        if (cx == 0 && cy == 0 && lx > 4 && ly > 4 && lx < 12 && ly < 12) c = {1.0f, 0.9f, 0.1f};
        return Shaded{c};
    });
    return picture;
}

// A soft round particle as a single channel: the engine makes it an alpha texture.
Picture particle() {
    const int size = 256;
    Picture picture(size, size, 1);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size * 2 - 1;
            float rr = u * u + v * v;
            float a = std::exp(-rr * 5.0f) * (1.0f - smoothstep(0.8f, 1.0f, std::sqrt(rr)));
            picture.at(x, y)[0] = static_cast<uint8_t>(std::lround(clamp01(a) * 255.0f));
        }
    return picture;
}

// A four-pointed spark with colour and alpha: a hot core and thin rays.
Picture spark() {
    const int size = 256;
    Picture picture(size, size, 4);
    renderPicture(picture, [&](int x, int y) {
        float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size * 2 - 1;
        float r = std::sqrt(u * u + v * v);
        float edge = 1.0f - smoothstep(0.7f, 1.0f, r);
        float core = std::exp(-r * r * 60.0f);
        float rays =
            (std::exp(-std::fabs(u) * 90.0f) + std::exp(-std::fabs(v) * 90.0f)) * std::exp(-r * 3.5f);
        float diagonals = (std::exp(-std::fabs(u - v) * 120.0f) + std::exp(-std::fabs(u + v) * 120.0f)) *
                          std::exp(-r * 6.0f) * 0.5f;
        float halo = std::exp(-r * r * 8.0f) * 0.25f;
        float intensity = clamp01(core + rays + diagonals + halo) * edge;
        Vec3 c = mix(Vec3{0.6f, 0.35f, 1.0f}, Vec3{1.0f, 0.9f, 0.75f}, clamp01(core * 2 + rays * 0.8f));
        return Shaded{c, intensity};
    });
    return picture;
}

// CIE 1931 colour matching as sums of Gaussians (a published analytic fit), wavelength in nm.
Vec3 colourMatch(float nm) {
    auto g = [nm](float mu, float s1, float s2) {
        float t = (nm - mu) / (nm < mu ? s1 : s2);
        return std::exp(-0.5f * t * t);
    };
    float x = 1.056f * g(599.8f, 37.9f, 31.0f) + 0.362f * g(442.0f, 16.0f, 26.7f) -
              0.065f * g(501.1f, 20.4f, 26.2f);
    float y = 0.821f * g(568.8f, 46.9f, 40.5f) + 0.286f * g(530.9f, 16.3f, 31.1f);
    float z = 1.217f * g(437.0f, 11.8f, 36.0f) + 0.681f * g(459.0f, 26.0f, 13.8f);
    return {x, y, z};
}

Vec3 xyzToLinearRgb(Vec3 c) {
    return {3.2406f * c.x - 1.5372f * c.y - 0.4986f * c.z, -0.9689f * c.x + 1.8758f * c.y + 0.0415f * c.z,
            0.0557f * c.x - 0.2040f * c.y + 1.0570f * c.z};
}

// Soap-film interference colours: s is the cosine of the viewing angle, t the film thickness
// from 0 to 900 nm. Two-beam reflection with multiple-bounce normalisation, integrated over the
// visible spectrum and scaled so that a perfect mirror would be white.
Picture thinFilm() {
    const int size = 256;
    const float filmIndex = 1.33f;
    const float r1 = (1.0f - filmIndex) / (1.0f + filmIndex), r2 = -r1;
    Vec3 white;
    for (float nm = 380; nm <= 780; nm += 5) white += colourMatch(nm);
    Vec3 whiteRgb = xyzToLinearRgb(white);
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float cosView = (x + 0.5f) / size;
        float thickness = 900.0f * (size - y - 0.5f) / size;
        float sin2 = (1.0f - cosView * cosView) / (filmIndex * filmIndex);
        float cosFilm = std::sqrt(1.0f - sin2);
        Vec3 sum;
        for (float nm = 380; nm <= 780; nm += 5) {
            float phase = 4.0f * 3.14159265f * filmIndex * thickness * cosFilm / nm;
            float re = r1 + r2 * std::cos(phase), im = r2 * std::sin(phase);
            float dre = 1.0f + r1 * r2 * std::cos(phase), dim = r1 * r2 * std::sin(phase);
            float reflectance = (re * re + im * im) / (dre * dre + dim * dim);
            sum += colourMatch(nm) * reflectance;
        }
        Vec3 rgb = xyzToLinearRgb(sum);
        rgb = {rgb.x / whiteRgb.x, rgb.y / whiteRgb.y, rgb.z / whiteRgb.z};
        // A soap film reflects a few per cent; lift it so the colours carry on their own.
        rgb *= 5.0f;
        return Shaded{{std::max(rgb.x, 0.0f), std::max(rgb.y, 0.0f), std::max(rgb.z, 0.0f)}};
    });
    return picture;
}

// Noise for the marble, stored flat: the shader reads it once, along a slant through the stone, in
// place of evaluating lattice noise per pixel. Each side spans kMarbleNoiseCells lattice cells. Red
// holds turbulence (four octaves of folded value noise, the veins' bend), green a soft cloud at 2.3
// and 5.1 times the lattice (the stone's mottling). The shader mirrors the coordinates at the
// edges, so the picture need not tile.
constexpr int kMarbleNoiseCells = 6;

Picture marbleNoise() {
    const int size = 256;
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float u = (x + 0.5f) / size * kMarbleNoiseCells, v = (y + 0.5f) / size * kMarbleNoiseCells;
        float turbulence = 0, amplitude = 0.5f, pu = u, pv = v;
        for (int octave = 0; octave < 4; ++octave) {
            turbulence += amplitude * std::fabs(2.0f * valueNoise(pu, pv, 900 + octave) - 1.0f);
            pu = pu * 2.07f + 1.7f;
            pv = pv * 2.07f + 9.2f;
            amplitude *= 0.5f;
        }
        float cloud =
            (0.5f * valueNoise(u * 2.3f, v * 2.3f, 950) + 0.25f * valueNoise(u * 5.1f, v * 5.1f, 951)) /
            0.75f;
        // Stored as they are, not as colours: undo the display gamma the writer applies.
        return Shaded{{std::pow(turbulence / 0.9375f, 2.2f), std::pow(cloud, 2.2f), 0.0f}};
    });
    return picture;
}

} // namespace

std::vector<std::string> writeMaterialTextures(const std::string& dataDir) {
    return {writePng(dataDir, "testgrid", testGrid()), writePng(dataDir, "particle", particle()),
            writePng(dataDir, "spark", spark()), writePng(dataDir, "thinfilm", thinFilm()),
            writePng(dataDir, "marblenoise", marbleNoise())};
}
