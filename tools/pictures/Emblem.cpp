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
    // The flash is added over the whole frame at the beat, when the glow is brightest too, so it
    // frames the subject and leaves it alone: a ring round the edge of the view with an impact
    // burst of rays outside it and a small fist on its crown, and nothing inside. In the frame's
    // units (half its height) the ring's radius is 0.9: across the stretched view that leaves its
    // sides at 0.645 of the half-width, clear of the middle where the subject stands. Nothing in
    // the picture is near white.
    const float ringRadius = 0.86f;
    // The fist, in its own frame of [-1, 1], sits on the ring at the top, scaled down to a badge
    // that reaches from a little inside the ring to the frame's top edge.
    const float fistScale = 0.28f;
    auto lookAt = [&](int x, int y, float& u, float& v) {
        u = ((x + 0.5f) * pixel - 1.0f) / squeeze;
        v = 1.0f - (y + 0.5f) * pixel;
    };
    auto fistAt = [&](float u, float v, float& fu, float& fv) {
        fu = u / fistScale;
        fv = (v - ringRadius) / fistScale - 0.12f;
    };
    Mask shape(size, size), fistCover(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float u, v, fu, fv;
            lookAt(x, y, u, v);
            fistAt(u, v, fu, fv);
            // The wrist ends in a fade into the ring below the hand.
            const float fist = (1.0f - smoothstep(0.0f, 0.6f * pixel / fistScale, fistFill(fu, fv))) *
                               (1.0f - smoothstep(-0.4f, -0.58f, fv));
            const float r = std::sqrt(u * u + v * v);
            const float ring = 1.0f - smoothstep(0.008f, 0.008f + 1.5f * pixel, std::fabs(r - ringRadius));
            fistCover.coverage[size_t(y) * size + x] = fist;
            shape.coverage[size_t(y) * size + x] = std::max(fist, ring);
        }
    Mask glow = blurred(shape, 8);
    // The ring stands out from the fist by a dark margin round the hand.
    Mask margin = blurred(fistCover, 4);
    Picture picture(size, size, 3);
    renderPicture(picture, [&](int x, int y) {
        float u, v, fu, fv;
        lookAt(x, y, u, v);
        fistAt(u, v, fu, fv);
        const float r = std::sqrt(u * u + v * v), a = std::atan2(v, u);
        // The impact burst: long and short rays alternating outside the ring, dimming to black by
        // the frame's edge, and none behind the fist.
        const float spokes = std::pow(std::fabs(std::cos(a * 8.0f)), 60.0f);
        const float between = std::pow(std::fabs(std::sin(a * 8.0f)), 120.0f);
        const float reach = ringRadius + 0.1f + 0.22f * spokes;
        float rays = (spokes + 0.6f * between) * smoothstep(ringRadius + 0.02f, ringRadius + 0.06f, r) *
                     (1.0f - smoothstep(reach - 0.1f, reach + 0.08f, r));
        rays *= 1.0f - smoothstep(0.3f, 0.2f, std::fabs(a - 1.5708f)) * smoothstep(0.0f, 0.5f, v);
        const float ringCore = 1.0f - smoothstep(0.008f, 0.008f + 1.5f * pixel, std::fabs(r - ringRadius));
        Vec3 c = Vec3{0.12f, 0.035f, 0.16f} * rays + Vec3{0.08f, 0.025f, 0.1f} * glow.at(x, y);
        // The ring: warm orange, hotter toward the fist.
        const Vec3 ringColour = mix(Vec3{0.3f, 0.08f, 0.12f}, Vec3{0.36f, 0.2f, 0.08f}, smoothstep(-0.6f, 0.9f, v));
        c = mix(c, ringColour, ringCore * (1.0f - margin.at(x, y)));
        // The fist: a solid badge with darker creases between the fingers and round the thumb.
        const float fist = fistCover.at(x, y);
        const float crease = 1.0f - smoothstep(0.02f, 0.05f, creases(fu, fv));
        const Vec3 hot = mix(Vec3{0.36f, 0.2f, 0.08f}, Vec3{0.3f, 0.08f, 0.12f}, smoothstep(0.1f, -0.6f, fv));
        c = mix(c, mix(hot, Vec3{0.16f, 0.05f, 0.04f}, crease * 0.8f), fist);
        // Shown at six tenths of the colours above: the flash lands on the glow's peak, when the
        // bright parts of the frame are already at white.
        return Shaded{c * kFlashShown};
    });
    return writePng(dataDir, "nyrkki", picture);
}
