#include <cmath>

#include "pictures/Lettering.h"
#include "pictures/Picture.h"
#include "pictures/Render.h"

namespace {

// Signed distance to a box of half size (hx, hy) centred at (cx, cy) with corners rounded by r.
float roundedBox(float x, float y, float cx, float cy, float hx, float hy, float r) {
    float qx = std::fabs(x - cx) - hx + r, qy = std::fabs(y - cy) - hy + r;
    float outside =
        std::sqrt(std::max(qx, 0.0f) * std::max(qx, 0.0f) + std::max(qy, 0.0f) * std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

struct FistParts {
    float fingers[4];
    float thumb;
    float hand;
    float wrist;
};

// The raised fist seen from the front, knuckles up, in a square frame of [-1, 1] with +y up.
FistParts fist(float x, float y) {
    FistParts f;
    const float centres[4] = {-0.27f, -0.09f, 0.09f, 0.27f};
    const float tops[4] = {0.30f, 0.35f, 0.34f, 0.27f};
    for (int i = 0; i < 4; ++i) {
        float bottom = -0.04f, top = tops[i];
        f.fingers[i] =
            roundedBox(x, y, centres[i], 0.5f * (top + bottom), 0.092f, 0.5f * (top - bottom), 0.09f);
    }
    // The thumb folds across the front of the fingers, rising a little to the right.
    float tx = x + 0.12f, ty = y + 0.02f - 0.18f * (x + 0.12f);
    f.thumb = roundedBox(tx, ty, 0.0f, 0.0f, 0.25f, 0.07f, 0.07f);
    f.hand = roundedBox(x, y, -0.01f, -0.17f, 0.37f, 0.2f, 0.14f);
    f.wrist = roundedBox(x, y, 0.0f, -0.5f, 0.21f, 0.2f, 0.05f);
    return f;
}

float fistFill(float x, float y) {
    FistParts f = fist(x, y);
    float d = std::min({f.fingers[0], f.fingers[1], f.fingers[2], f.fingers[3], f.thumb, f.hand, f.wrist});
    return d;
}

// Distance to the creases that separate fingers and thumb, inside the fill: finger outlines
// above the thumb, the fold across each finger, and the thumb's outline.
float creases(float x, float y) {
    FistParts f = fist(x, y);
    float d = std::fabs(f.thumb);
    for (float finger : f.fingers) {
        d = std::min(d, std::fabs(finger));
        if (finger < 0.0f) d = std::min(d, std::fabs(y - 0.16f));
    }
    if (f.thumb < 0.0f) return std::fabs(f.thumb);
    return y < -0.06f ? std::fabs(f.thumb) : d;
}

} // namespace

// 0.6 as shown on screen, in the linear light the writer takes.
const float kFlashShown = 0.325f;

std::string writeNyrkki(const std::string& dataDir) {
    const int size = 512;
    // The square picture is stretched over the 4:3 view, so it is drawn 3/4 as wide as it should look.
    const float squeeze = 0.75f;
    const float pixel = 2.0f / size;
    // The flash is added over the whole frame at the beat, when the glow is brightest too: the fist
    // is a glowing outline with an empty middle, so the subject behind it stays in sight, and
    // nothing in the picture is near white.
    auto fistAt = [&](int x, int y, float& fu, float& fv) {
        float u = ((x + 0.5f) * pixel - 1.0f) / squeeze, v = 1.0f - (y + 0.5f) * pixel;
        fu = u * 1.05f;
        fv = v * 1.05f + 0.05f;
    };
    Mask outline(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float fu, fv;
            fistAt(x, y, fu, fv);
            float d = std::fabs(fistFill(fu, fv));
            // The arm ends in the outline's fade below the hand.
            float arm = 1.0f - smoothstep(-0.55f, -0.72f, fv);
            outline.coverage[size_t(y) * size + x] = (1.0f - smoothstep(0.014f, 0.014f + 2 * pixel, d)) * arm;
        }
    Mask glow = blurred(outline, 10);
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float u = ((x + 0.5f) * pixel - 1.0f) / squeeze, v = 1.0f - (y + 0.5f) * pixel;
        float r = std::sqrt(u * u + v * v), a = std::atan2(v, u);
        float fu, fv;
        fistAt(x, y, fu, fv);
        // An impact burst around the edge: short rays outside a thin ring, dimming to black.
        float rays = std::pow(std::fabs(std::cos(a * 8.0f)), 24.0f) * smoothstep(0.8f, 0.86f, r) *
                     (1.0f - smoothstep(0.9f, 1.0f, r));
        float ring = std::exp(-std::pow((r - 0.8f) / 0.012f, 2.0f)) +
                     0.15f * std::exp(-std::pow((r - 0.8f) / 0.04f, 2.0f));
        Vec3 c = Vec3{0.1f, 0.03f, 0.14f} * rays + Vec3{0.3f, 0.13f, 0.05f} * ring;
        c += Vec3{0.08f, 0.025f, 0.1f} * glow.at(x, y);
        // Finger and thumb creases inside the outline, fainter than the outline itself.
        float inside = fistFill(fu, fv) < 0.0f ? 1.0f - smoothstep(-0.55f, -0.72f, fv) : 0.0f;
        float crease = (1.0f - smoothstep(0.006f, 0.014f, creases(fu, fv))) * inside;
        c = mix(c, Vec3{0.2f, 0.08f, 0.04f}, crease * 0.8f);
        // The outline: warm orange, hotter along the knuckles than down the wrist.
        Vec3 hot = mix(Vec3{0.36f, 0.2f, 0.08f}, Vec3{0.3f, 0.08f, 0.12f}, smoothstep(0.1f, -0.6f, fv));
        c = mix(c, hot, outline.at(x, y));
        // Shown at six tenths of the colours above: the flash lands on the glow's peak, when the
        // bright parts of the frame are already at white.
        return Shaded{c * (kFlashShown * (1.0f - smoothstep(0.92f, 1.0f, r)))};
    });
    return writePng(dataDir, "nyrkki", picture);
}
