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

std::string writeNyrkki(const std::string& dataDir) {
    const int size = 512;
    // The square picture is stretched over the 4:3 view, so it is drawn 3/4 as wide as it should look.
    const float squeeze = 0.75f;
    const float pixel = 2.0f / size;
    Mask fill(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float u = ((x + 0.5f) * pixel - 1.0f) / squeeze, v = 1.0f - (y + 0.5f) * pixel;
            fill.coverage[size_t(y) * size + x] =
                1.0f - smoothstep(-pixel, pixel, fistFill(u * 1.15f, v * 1.15f + 0.05f));
        }
    Mask glow = blurred(fill, 14);
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float u = ((x + 0.5f) * pixel - 1.0f) / squeeze, v = 1.0f - (y + 0.5f) * pixel;
        float r = std::sqrt(u * u + v * v), a = std::atan2(v, u);
        // An impact burst behind the fist: sharp rays and a ring, dimming to black at the edge.
        float rays = std::pow(std::fabs(std::cos(a * 8.0f)), 18.0f) * (1.0f - smoothstep(0.35f, 0.95f, r));
        float ring = std::exp(-std::pow((r - 0.74f) / 0.025f, 2.0f));
        float fade = 1.0f - smoothstep(0.85f, 1.0f, r);
        Vec3 c = Vec3{0.55f, 0.15f, 0.75f} * (rays * 0.55f * fade) + Vec3{0.9f, 0.45f, 0.2f} * (ring * 0.7f);
        c += Vec3{0.9f, 0.4f, 0.9f} * (glow.at(x, y) * 0.6f);
        float inside = fill.at(x, y);
        if (inside > 0.0f) {
            float fu = u * 1.15f, fv = v * 1.15f + 0.05f;
            // White-hot in the middle, glowing orange toward the outline and down the wrist.
            float depth = smoothstep(-0.12f, 0.0f, fistFill(fu, fv));
            Vec3 hot = mix(Vec3{1.0f, 0.96f, 0.82f}, Vec3{1.0f, 0.5f, 0.16f},
                           std::max(depth, smoothstep(-0.3f, -0.75f, fv)));
            float line = 1.0f - smoothstep(0.008f, 0.02f, creases(fu, fv));
            hot = mix(hot, Vec3{0.35f, 0.08f, 0.12f}, 0.85f * line);
            // The arm fades out below the hand.
            inside *= 1.0f - smoothstep(-0.55f, -0.72f, fv);
            c = mix(c, hot, inside);
        }
        return Shaded{c * fade + Vec3{0.9f, 0.45f, 0.2f} * (ring * 0.7f * (1.0f - fade))};
    });
    return writePng(dataDir, "nyrkki", picture);
}
