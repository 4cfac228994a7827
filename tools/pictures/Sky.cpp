#include "pictures/Sky.h"

#include <cmath>
#include <vector>

#include "pictures/Picture.h"
#include "pictures/Render.h"

namespace {

// The low evening sun of the boulder field, a little above the horizon, as light on the stones.
const Vec3 kSunColour = {1.0f, 0.62f, 0.34f};
const float kPi = 3.14159265f;

// Colours below are display values (0 to 1) as the sky shows them, before the shader's light
// behind the subject is added.
//
// The sky holds four moods round the horizon, so each way the camera looks has a light of its own:
// the sunset toward the sun, an aurora night a quarter turn to its left, the moonlit night opposite
// the sun and a rose dusk on the last side, next to the sunset. Each mood is one family of hues in three calm bands,
// brightest along the horizon and darkening upward, and each mood's weight is the squared cosine
// of the azimuth from its centre: neighbours cross-fade over a quarter turn, so no view holds a
// wall between two colours. The sky stays dark: the light of the frame is the subject's and the
// glow the shader gathers behind it, and the beat's glow, which multiplies the frame several times
// over, then lands around the subject instead of on the whole sky.
struct Mood {
    Vec3 horizon;     // the glow along the horizon
    Vec3 band;        // the band some 10 to 20 degrees up
    Vec3 high;        // the sky from about 35 degrees up
    Vec3 groundLight; // light from that part of the sky on the stones, as linear light
    Vec3 cloudLit;    // the lit side of the clouds there
};
const Mood kMoods[4] = {
    // Sunset: amber along the horizon, coral above it, plum higher up.
    {{0.56f, 0.26f, 0.07f}, {0.27f, 0.085f, 0.08f}, {0.075f, 0.025f, 0.06f}, {0.09f, 0.05f, 0.03f},
     {0.62f, 0.3f, 0.16f}},
    // Aurora: sea green along the horizon under deep teal, fading to a blue-black night.
    {{0.05f, 0.27f, 0.25f}, {0.02f, 0.1f, 0.12f}, {0.008f, 0.03f, 0.055f}, {0.015f, 0.06f, 0.055f},
     {0.1f, 0.2f, 0.22f}},
    // Moonlit night: steel blue along the horizon, deep blue above, navy higher up.
    {{0.09f, 0.2f, 0.42f}, {0.035f, 0.07f, 0.2f}, {0.012f, 0.022f, 0.07f}, {0.02f, 0.04f, 0.08f},
     {0.2f, 0.24f, 0.34f}},
    // Rose dusk: rose along the horizon, violet above, indigo higher up.
    {{0.42f, 0.11f, 0.27f}, {0.17f, 0.05f, 0.2f}, {0.045f, 0.025f, 0.1f}, {0.07f, 0.03f, 0.04f},
     {0.46f, 0.22f, 0.32f}},
};
const Vec3 kZenith = {0.008f, 0.012f, 0.04f};

struct MoodWeights {
    float w[4];
};

MoodWeights moodWeights(Vec3 d) {
    const float sunAzimuth = std::atan2(kSunDirection.y, kSunDirection.x);
    const float azimuth = std::atan2(d.y, d.x);
    MoodWeights m;
    for (int i = 0; i < 4; ++i) {
        const float c = std::cos(azimuth - sunAzimuth - i * 0.5f * kPi);
        m.w[i] = c > 0.0f ? c * c : 0.0f;
    }
    return m;
}

template <class Field> Vec3 blendMoods(const MoodWeights& m, Field field) {
    Vec3 sum;
    for (int i = 0; i < 4; ++i) sum += kMoods[i].*field * m.w[i];
    return sum;
}

// The sky without clouds, aurora or stars; also the haze colour over the far field.
Vec3 skyGradient(Vec3 d) {
    const MoodWeights m = moodWeights(d);
    const float up = std::max(d.z, 0.0f);
    // Where two moods cross-fade the horizon dims a little, so their hues meet in the dark rather
    // than mixing into a grey at full strength.
    const float purity = m.w[0] * m.w[0] + m.w[1] * m.w[1] + m.w[2] * m.w[2] + m.w[3] * m.w[3];
    Vec3 c = mix(blendMoods(m, &Mood::horizon) * (0.7f + 0.3f * std::sqrt(purity)), blendMoods(m, &Mood::band),
                 smoothstep(0.0f, 0.2f, up));
    c = mix(c, blendMoods(m, &Mood::high), smoothstep(0.12f, 0.55f, up));
    c = mix(c, kZenith, smoothstep(0.5f, 1.0f, up));
    // Long, faint streaks of high haze along the bands, so they read as sky and not as a ramp.
    const float azimuth = std::atan2(d.y, d.x);
    c = c * (0.82f + 0.36f * fbm(azimuth * 1.6f + 5.0f, up * 16.0f, 3, 91));
    const float s = std::max(0.0f, dot(d, kSunDirection));
    // A wide warm glow round the sun and a tighter one a few degrees across.
    c += Vec3{0.3f, 0.12f, 0.025f} * (0.5f * std::pow(s, 12.0f)) + Vec3{0.4f, 0.2f, 0.04f} * std::pow(s, 120.0f);
    return c;
}

// How finely a face resolves the sky: the angle one texel spans at the middle of a face of this
// size and of a base face (kKivikkoBaseSize). Faces finer than the base faces carry detail the base
// faces can't hold: finer grain on the stones, wisps at the clouds' edges, finer rays in the aurora
// and fainter stars. A base face gets none of it, so it is the same picture as before, and a finer
// face averaged down to a base face's texels is about the base face.
struct Fineness {
    float texel;
    // How many octaves finer than a base face this face resolves: 0 for a base face, 1 for one
    // of twice its size.
    float finer;

    explicit Fineness(int size)
        : texel(2.0f / size), finer(std::log2((2.0f / kKivikkoBaseSize) / texel)) {}
    // The angle one texel spans toward d: a face's texels span less toward its edges.
    float texelToward(Vec3 d) const {
        return texel * std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)});
    }
};

// How strong the finer detail is. Its noise reaches +-0.5, so grain and wisps of 1 change the
// stones' albedo and the clouds' density by up to half; the rays add to the aurora's light (its
// own rays run from 0.55 to 1); the bumps rise and fall by up to this many times half their
// wavelength; each finer layer of stars is this much fainter than the one before.
const float kFinerGrain = 1.0f;
const float kFinerWisps = 1.25f;
const float kFinerRays = 0.5f;
const float kFinerBumps = 1.0f;
const float kFainterStars = 0.4f;

// Value noise in octaves of frequency 2^k over (x, y), each kept where this face holds it and a
// base face does not; `footprint` is one texel of this face measured in x and y. An octave's
// weight rises from 0 at two of this face's texels a wavelength to 1 at four, and falls back the
// same way over a base face's texels, so the weights add up to the number of octaves the face is
// finer by (1 for twice the base size) and to nothing on a base face. Each octave's amplitude is
// scaled by frequency^-roughness (0: all alike; 1: in step with the wavelength, as a surface's
// bumps). Centred on 0; within +-0.5 for roughness 0 and a face twice the base size.
float finerDetail(float x, float y, float footprint, const Fineness& fineness, uint32_t seed,
                  float roughness = 0.0f) {
    const float finer = fineness.finer;
    if (finer <= 0.0f || !(footprint > 0.0f)) return 0.0f;
    float sum = 0.0f;
    // Octaves start at the first whose wavelength spans fewer texels than the band's far edge.
    int k = std::max(0, static_cast<int>(std::floor(-std::log2(footprint) - finer - 2.0f)));
    // 2^24 keeps the noise's lattice coordinates within int over the field's 70 units.
    for (; k < 24; ++k) {
        const float frequency = std::ldexp(1.0f, k);
        // log2 of this face's texels in one wavelength
        const float texels = -std::log2(frequency * footprint);
        if (texels <= 1.0f) break;
        const float weight = clamp01(texels - 1.0f) - clamp01(texels - finer - 1.0f);
        if (weight > 0.0f)
            sum += weight * std::pow(frequency, -roughness) *
                   (valueNoise(x * frequency, y * frequency, seed + static_cast<uint32_t>(k)) - 0.5f);
    }
    return sum;
}

// Curtains of the aurora: folded ribbons along the azimuth with fine vertical rays, green at the
// lower edge shading to violet at the top; 0 outside its quarter of the sky.
Vec3 aurora(Vec3 d, float weight, const Fineness& fineness) {
    float up = d.z;
    if (weight < 0.02f || up < 0.02f || up > 0.8f) return {};
    float azimuth = std::atan2(d.y, d.x);
    // The curtain's lower edge wanders between about 8 and 16 degrees up.
    float fold = fbm(azimuth * 2.2f + 11.0f, 3.0f, 3, 61);
    float base = 0.14f + 0.14f * fold;
    float height = up - base;
    float lower = smoothstep(-0.02f, 0.02f, height);
    float fade = std::exp(-std::max(height, 0.0f) * 5.5f);
    float rays = 0.55f + 0.45f * fbm(azimuth * 40.0f, up * 2.0f, 3, 67);
    // Finer rays where the face holds them, measured across the rays (along the azimuth).
    const float rayFootprint = 40.0f * fineness.texelToward(d) / std::sqrt(std::max(1.0f - up * up, 0.01f));
    rays += kFinerRays * finerDetail(azimuth * 40.0f, up * 2.0f, rayFootprint, fineness, 1100);
    float ribbon =
        std::pow(1.0f - std::fabs(2.0f * fbm(azimuth * 3.4f - 4.0f, up * 1.5f, 3, 73) - 1.0f), 3.0f);
    float intensity = lower * fade * rays * (0.35f + 0.65f * ribbon) * weight;
    Vec3 colour = mix(Vec3{0.12f, 0.62f, 0.36f}, Vec3{0.3f, 0.12f, 0.42f}, smoothstep(0.0f, 0.25f, height));
    return colour * (intensity * 0.55f);
}

// One star at most in each cell of a grid over the sphere (2 x `cells` rows from the nadir to the
// zenith, 4 x `cells` columns round the horizon), a soft point a few tenths of a cell across.
float starLayer(Vec3 d, float cells, uint32_t seed) {
    float u = (std::atan2(d.y, d.x) / (2 * kPi) + 0.5f) * cells * 4.0f,
          v = std::asin(d.z) / kPi * cells * 2.0f;
    int cu = static_cast<int>(std::floor(u)), cv = static_cast<int>(std::floor(v));
    if (hash2(cu, cv, seed) > 0.04f) return 0.0f;
    float su = cu + 0.2f + 0.6f * hash2(cu, cv, seed + 1), sv = cv + 0.2f + 0.6f * hash2(cu, cv, seed + 2);
    // Cells shrink toward the zenith along u; measure the distance in v's units.
    float du = (u - su) * std::sqrt(std::max(1.0f - d.z * d.z, 0.01f)) * 0.5f, dv = v - sv;
    float r2 = du * du + dv * dv;
    return std::exp(-r2 * 18.0f) * (0.3f + 0.7f * std::pow(hash2(cu, cv, seed + 3), 3.0f));
}

// Stars, each a point about a base face's texel across, only where the night is. A finer face
// also holds fainter, smaller stars, on a grid as much finer as its texels are: a layer for each
// octave it is finer by, each fainter than the last.
float stars(Vec3 d, float night, const Fineness& fineness) {
    if (night < 0.05f || d.z < 0.05f) return 0.0f;
    float light = starLayer(d, 160.0f, 811);
    const float finer = fineness.finer;
    float brightness = 1.0f;
    for (int layer = 1; layer < finer + 1.0f; ++layer) {
        brightness *= kFainterStars;
        light += clamp01(finer - (layer - 1)) * brightness *
                 starLayer(d, std::ldexp(160.0f, layer), 811 + 10 * layer);
    }
    return light * night * smoothstep(0.05f, 0.3f, d.z);
}

// A disc on the sky: 1 inside `radius` (radians) from `centre`, 0 outside, with an edge a fifth
// of the radius wide.
float disc(Vec3 d, Vec3 centre, float radius) {
    const float angle = std::acos(std::min(1.0f, std::max(-1.0f, dot(d, centre))));
    return 1.0f - smoothstep(radius * 0.9f, radius * 1.1f, angle);
}

Vec3 sky(Vec3 d, const Fineness& fineness, float& discCover) {
    const MoodWeights m = moodWeights(d);
    Vec3 c = skyGradient(d);
    float up = std::max(d.z, 0.0f);
    float s = std::max(0.0f, dot(d, kSunDirection));
    float night = m.w[1] + m.w[2];
    c += Vec3{0.55f, 0.6f, 0.75f} * stars(d, night, fineness);
    c += aurora(d, m.w[1], fineness);
    // The moon's faint halo; its disc goes on top of the clouds below.
    float moon = std::max(0.0f, dot(d, kMoonDirection));
    c += Vec3{0.06f, 0.09f, 0.16f} * std::pow(moon, 300.0f);
    // Cloud deck on a plane: coordinates grow toward the horizon, where the deck fades into haze.
    float k = 1.0f / (up + 0.08f);
    float px = d.x * k * 1.3f + 3.0f, py = d.y * k * 1.3f - 5.0f;
    // Long bands swept across the sky, broken up by rounder billows; thinner on the night side.
    float bands = fbm(px * 0.55f + py * 0.25f, py * 1.6f - px * 0.2f, 5, 11);
    float billow = fbm(px * 1.1f, py * 1.1f, 6, 23);
    float density = smoothstep(0.46f + 0.1f * night, 0.8f, 0.55f * bands + 0.55f * billow - 0.05f);
    // Wisps where the face holds them, drawn out as the bands are and only where there is cloud.
    // One texel spans more of the deck toward the horizon, along the view most of all; the
    // footprint takes the mean of its two sides.
    const float across = 1.3f * k * fineness.texelToward(d);
    const float cloudFootprint = across * std::sqrt(1.0f + std::sqrt(d.x * d.x + d.y * d.y) * k);
    const float wisps =
        finerDetail(px * 0.55f + py * 0.25f, py * 1.6f - px * 0.2f, 1.6f * cloudFootprint, fineness, 1200);
    density = clamp01(density * (1.0f + kFinerWisps * wisps));
    // Light arrives from the sun side: compare with the density a little sunward.
    float sunward = fbm((px + kSunDirection.x * 0.12f) * 1.1f, (py + kSunDirection.y * 0.12f) * 1.1f, 6, 23);
    float lit = clamp01((billow - sunward) * 6.0f + 0.45f);
    Vec3 shadowSide = {0.035f, 0.022f, 0.03f};
    Vec3 litSide = blendMoods(m, &Mood::cloudLit);
    Vec3 cloud = mix(shadowSide, litSide, lit * (0.25f + 0.75f * std::pow(s, 1.5f)) + 0.15f * (1.0f - night));
    // Silver lining where thin cloud passes near the sun.
    cloud += Vec3{0.8f, 0.45f, 0.14f} * (std::pow(s, 24.0f) * (1.0f - density) * 0.9f);
    float fade = smoothstep(0.0f, 0.22f, up);
    c = mix(c, cloud, density * fade * 0.85f);
    // The sun and the moon stand clear of the clouds, brighter than any glow round them: a pale
    // gold sun about 4 degrees across and a pale blue moon about 3, faintly marked.
    const float sunDisc = disc(d, kSunDirection, kSunRadius);
    const float moonDisc = disc(d, kMoonDirection, kMoonRadius);
    const float mare = fbm(d.x * 90.0f + 7.0f, d.y * 90.0f + d.z * 60.0f, 3, 97);
    c = mix(c, Vec3{1.0f, 0.8f, 0.3f}, sunDisc);
    c = mix(c, Vec3{0.7f, 0.82f, 1.0f} * (0.82f + 0.18f * mare), moonDisc);
    discCover = std::max(sunDisc, moonDisc);
    return c;
}

// The boulder field: rounded stones on a jittered grid over gently rolling ground.
struct Stone {
    float x, y, radius, squash, tone;
};

// Stones whose centre lies within `clearRadius` of the eye are left out, so no stone fills a face.
float stoneLayer(float x, float y, float cell, float presence, float minRadius, float maxRadius,
                 float clearRadius, uint32_t seed, float* tone) {
    int cx = static_cast<int>(std::floor(x / cell)), cy = static_cast<int>(std::floor(y / cell));
    float best = -1.0f;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            int gx = cx + i, gy = cy + j;
            if (hash2(gx, gy, seed) > presence) continue;
            float sx = (gx + 0.15f + 0.7f * hash2(gx, gy, seed + 1)) * cell;
            float sy = (gy + 0.15f + 0.7f * hash2(gx, gy, seed + 2)) * cell;
            if (sx * sx + sy * sy < clearRadius * clearRadius) continue;
            float r = mix(minRadius, maxRadius, std::pow(hash2(gx, gy, seed + 3), 1.5f));
            float squash = mix(0.55f, 0.95f, hash2(gx, gy, seed + 4));
            float dx = x - sx, dy = y - sy;
            // Stones are a little longer along a random axis.
            float a = hash2(gx, gy, seed + 5) * 6.2831853f;
            float u = dx * std::cos(a) + dy * std::sin(a), v = -dx * std::sin(a) + dy * std::cos(a);
            float d2 = u * u * 0.7f + v * v;
            if (d2 >= r * r) continue;
            float h = squash * std::sqrt(r * r - d2) - 0.15f * r;
            if (h > best) {
                best = h;
                if (tone) *tone = hash2(gx, gy, seed + 6);
            }
        }
    return best;
}

float groundHeight(float x, float y) {
    return 0.35f * fbm(x * 0.05f, y * 0.05f, 3, 71) - 0.15f;
}

// Height of the field and, optionally, the tone of whatever stone is topmost there.
float fieldHeight(float x, float y, float* tone = nullptr) {
    float ground = groundHeight(x, y);
    float t0 = 0.5f, t1 = 0.5f;
    float big = stoneLayer(x, y, 3.0f, 0.85f, 0.4f, 1.4f, 4.0f, 101, &t0);
    float small = stoneLayer(x, y, 0.9f, 0.6f, 0.08f, 0.3f, 0.8f, 202, &t1);
    float h = ground;
    float detail = 0.0f;
    if (tone) *tone = -1.0f;
    if (big > -1.0f) {
        // Broad lumps break the domes into weathered blocks; fine grain roughens them.
        detail = 0.45f * (fbm(x * 0.9f, y * 0.9f, 2, 313) - 0.5f) +
                 0.22f * (fbm(x * 2.6f, y * 2.6f, 4, 303) - 0.5f);
        if (big + ground + detail > h) {
            h = big + ground + detail;
            if (tone) *tone = t0;
        }
    }
    if (small > -1.0f && small + ground > h) {
        h = small + ground;
        if (tone) *tone = t1;
    }
    return h;
}

// Heights sampled on a grid around the eye, so the march costs one bilinear lookup per step.
class HeightGrid {
public:
    HeightGrid(float extent, float spacing)
        : extent_(extent), spacing_(spacing), count_(static_cast<int>(2 * extent / spacing) + 2),
          heights_(size_t(count_) * count_) {
        std::vector<std::thread> threads;
        for (int w = 0; w < 2; ++w)
            threads.emplace_back([this, w] {
                for (int j = w; j < count_; j += 2)
                    for (int i = 0; i < count_; ++i)
                        heights_[size_t(j) * count_ + i] =
                            fieldHeight(-extent_ + i * spacing_, -extent_ + j * spacing_);
            });
        for (auto& t : threads) t.join();
    }
    float extent() const { return extent_; }
    float operator()(float x, float y) const {
        float gx = (x + extent_) / spacing_, gy = (y + extent_) / spacing_;
        if (gx < 0 || gy < 0 || gx >= count_ - 1 || gy >= count_ - 1) return groundHeight(x, y);
        int ix = static_cast<int>(gx), iy = static_cast<int>(gy);
        float tx = gx - ix, ty = gy - iy;
        const float* row = &heights_[size_t(iy) * count_ + ix];
        return mix(mix(row[0], row[1], tx), mix(row[count_], row[count_ + 1], tx), ty);
    }

private:
    float extent_, spacing_;
    int count_;
    std::vector<float> heights_;
};

const float kEyeHeight = 1.7f;
const float kFarDistance = 70.0f;

// Distance along the ray to the field, or a negative value when it escapes.
float marchField(const HeightGrid& grid, Vec3 origin, Vec3 d, float far) {
    float t = 0.05f, previousT = 0.0f;
    for (int step = 0; step < 400 && t < far; ++step) {
        Vec3 p = origin + d * t;
        if (p.z > 3.2f && d.z >= 0.0f) return -1.0f;
        float gap = p.z - grid(p.x, p.y);
        if (gap < 0.0f) {
            // Bisect between the last point above and this one below the surface.
            float lo = previousT, hi = t;
            for (int i = 0; i < 8; ++i) {
                float mid = 0.5f * (lo + hi);
                Vec3 q = origin + d * mid;
                (q.z - grid(q.x, q.y) < 0.0f ? hi : lo) = mid;
            }
            return 0.5f * (lo + hi);
        }
        previousT = t;
        t += std::max(0.02f + 0.004f * t, 0.45f * gap) + 0.012f * t;
    }
    return -1.0f;
}

// The stones' colour as shown, pressed toward the bright end: the field is dark but for its lit
// stones, so the beat's glow, which multiplies the whole frame, adds most where they catch light. The
// darkest levels go to black: the glow's blur keeps its levels in steps of four, which its layers
// add up to bands of sixteen, and over a dim smooth gradient those bands would be all one sees on
// the beat. Black adds nothing to the glow, so the dark field stays a picture.
const float kBlackLevel = 0.008f;

float pressShown(float shown) {
    float pressed = std::min(1.0f, 2.2f * std::pow(std::max(shown, 0.0f), 2.0f));
    return std::max(pressed - kBlackLevel, 0.0f) / (1.0f - kBlackLevel);
}

// The beat's glow multiplies the frame about four times over: a colour whose every channel is
// above a fifth of full scale turns white. Where cloud catches the sun the lowest channel would
// rise that far; it is held down, the others lowered with it, so the sky deepens into its hues on
// the beat instead of whitening. The sun and moon discs may keep more: a few pixels that whiten
// on the beat are a spark, and held as low they would be duller than the glow round them.
const float kLowestChannel = 0.15f;
const float kLowestChannelInDisc = 0.42f;

Vec3 keepAChannelLow(Vec3 shown, float discCover) {
    const float lowest = mix(kLowestChannel, kLowestChannelInDisc, discCover);
    float excess = std::max(std::min({shown.x, shown.y, shown.z}) - lowest, 0.0f);
    return {shown.x - excess, shown.y - excess, shown.z - excess};
}

// Light on the stones is computed as light and shown at this exposure.
const float kGroundExposure = 0.35f;

Vec3 fieldColour(const HeightGrid& grid, Vec3 d, float t, const Fineness& fineness) {
    Vec3 eye = {0, 0, kEyeHeight};
    Vec3 p = eye + d * t;
    float tone = 0.0f;
    fieldHeight(p.x, p.y, &tone);
    float e = 0.02f + 0.002f * t;
    Vec3 n = normalize(Vec3{fieldHeight(p.x - e, p.y) - fieldHeight(p.x + e, p.y),
                        fieldHeight(p.x, p.y - e) - fieldHeight(p.x, p.y + e), 2.0f * e});
    float grain = fbm(p.x * 6.0f, p.y * 6.0f + p.z * 3.0f, 3, 404);
    Vec3 albedo;
    if (tone < 0.0f) {
        // Gravel: dark soil speckled with small pale stones.
        float speck = valueNoise(p.x * 40.0f, p.y * 40.0f, 505);
        albedo = mix(Vec3{0.035f, 0.03f, 0.028f}, Vec3{0.09f, 0.075f, 0.06f}, grain);
        albedo = mix(albedo, Vec3{0.16f, 0.14f, 0.12f}, smoothstep(0.7f, 0.9f, speck) * 0.3f);
    } else
        albedo = mix(Vec3{0.07f, 0.066f, 0.062f}, Vec3{0.16f, 0.12f, 0.09f}, tone) * (0.55f + 0.9f * grain);
    if (fineness.finer > 0.0f) {
        // Finer grain and, on the stones, finer bumps where the face holds them. A texel spans
        // more of a surface seen aslant; the footprint takes the mean of its two sides.
        const float footprint = t * fineness.texelToward(d) / std::sqrt(std::max(-dot(n, d), 0.1f));
        const float grainFiner = finerDetail(p.x, p.y + p.z * 0.5f, footprint, fineness, 1300);
        albedo = albedo * (1.0f + kFinerGrain * grainFiner);
        if (tone >= 0.0f) {
            auto bump = [&](float x, float y) {
                return kFinerBumps * finerDetail(x, y, footprint, fineness, 1400, 1.0f);
            };
            const float dx = (bump(p.x + footprint, p.y) - bump(p.x - footprint, p.y)) / (2.0f * footprint);
            const float dy = (bump(p.x, p.y + footprint) - bump(p.x, p.y - footprint)) / (2.0f * footprint);
            n = normalize(Vec3{n.x - dx * n.z, n.y - dy * n.z, n.z});
        }
    }
    // Long evening shadows: march toward the sun over the grid.
    float shadow = 1.0f;
    if (t < grid.extent()) {
        Vec3 start = p + n * 0.03f;
        float st = 0.05f;
        for (int i = 0; i < 48 && st < 40.0f; ++i) {
            Vec3 q = start + kSunDirection * st;
            float gap = q.z - grid(q.x, q.y);
            if (gap < 0.0f) {
                shadow = 0.0f;
                break;
            }
            shadow = std::min(shadow, clamp01(8.0f * gap / st));
            st += std::max(0.05f, gap * 0.5f);
            if (q.z > 3.2f) break;
        }
    }
    float sunLight = std::max(0.0f, dot(n, kSunDirection)) * shadow;
    // Sky light from the mood of the sky the stone faces, brighter on tops that see more of it.
    const MoodWeights m = moodWeights(normalize(Vec3{n.x, n.y, 0.0f} + Vec3{d.x, d.y, 0.0f} * -0.5f));
    Vec3 skyLight = blendMoods(m, &Mood::groundLight) * (0.45f + 0.55f * n.z);
    Vec3 light = albedo * (kSunColour * (3.2f * sunLight) + skyLight * 6.0f);
    Vec3 c = {pressShown(std::pow(light.x, 1.0f / 2.2f) * kGroundExposure),
              pressShown(std::pow(light.y, 1.0f / 2.2f) * kGroundExposure),
              pressShown(std::pow(light.z, 1.0f / 2.2f) * kGroundExposure)};
    // Haze takes the colour of the horizon in that direction, so distance melts into the sky.
    // Looking steeply down the azimuth means nothing: the colours of all four moods would meet at
    // the nadir as a pinwheel, so steep rays take the haze of the moods evenly mixed.
    float horizontal = std::sqrt(d.x * d.x + d.y * d.y);
    Vec3 even = (kMoods[0].horizon + kMoods[1].horizon + kMoods[2].horizon + kMoods[3].horizon) * 0.25f;
    Vec3 hazeColour =
        mix(even, skyGradient(normalize(Vec3{d.x, d.y, 0.02f})), smoothstep(0.5f, 0.95f, horizontal)) * 0.8f;
    // Reaches full haze at the far distance, where rays that escape the field end.
    float haze = (1.0f - std::exp(-t * 0.03f)) / (1.0f - std::exp(-kFarDistance * 0.03f));
    return mix(c, hazeColour, haze);
}

// The colour shown in direction d, ready to store.
Vec3 kivikko(const HeightGrid& grid, Vec3 d, const Fineness& fineness) {
    if (d.z < 0.25f) {
        float t = marchField(grid, {0, 0, kEyeHeight}, d, kFarDistance);
        if (t > 0.0f) return keepAChannelLow(fieldColour(grid, d, t, fineness), 0.0f);
        if (d.z < 0.02f) return keepAChannelLow(skyGradient(normalize(Vec3{d.x, d.y, 0.02f})) * 0.8f, 0.0f);
    }
    float discCover = 0.0f;
    const Vec3 c = sky(d, fineness, discCover);
    return keepAChannelLow(c, discCover);
}

// The value a face stores for a colour shown: toByte stores v^(1/2.2); v = shown^1.1 makes that
// the square root, which the sky's shader squares.
float encodeShown(float shown) {
    return std::pow(std::max(shown, 0.0f), 1.1f);
}

// Four samples per pixel on a rotated grid: smooth stone silhouettes against the sky.
const float kSubsamples[4][2] = {{0.125f, 0.375f}, {0.375f, 0.875f}, {0.625f, 0.125f}, {0.875f, 0.625f}};

} // namespace

std::vector<std::string> writeKivikko(const std::string& dataDir, int size, const char* name) {
    HeightGrid grid(kFarDistance, 0.1f);
    const Fineness fineness(size);
    std::vector<std::string> written;
    for (int face = 0; face < 6; ++face) {
        Picture picture(size, size, 3);
        renderAdaptive(
            picture,
            [&](float x, float y) {
                // The faces hold the square root of the colour shown; the sky's shader squares
                // it, which keeps 8 bits of detail in the dark stones.
                Vec3 c = kivikko(grid, cubeFaceDirection(face, x - 0.5f, y - 0.5f, size), fineness);
                return Vec3{encodeShown(c.x), encodeShown(c.y), encodeShown(c.z)};
            },
            0.03f);
        char file[64];
        snprintf(file, sizeof file, "%s_c%02d", name, face);
        written.push_back(writeJpeg(dataDir, file, picture, 92));
    }
    return written;
}

namespace {

// Rounded rectangular light on the direction sphere: `centre` is where it faces from, `halfSize`
// its half extent in the tangent plane, `softness` the width of its falloff.
float softbox(Vec3 d, Vec3 centre, Vec3 upHint, float halfWidth, float halfHeight, float softness) {
    Vec3 c = normalize(centre);
    float facing = dot(d, c);
    if (facing <= 0.0f) return 0.0f;
    Vec3 right = normalize(cross(upHint, c));
    Vec3 up = cross(c, right);
    Vec3 q = d / facing;
    float u = std::fabs(dot(q, right)) - halfWidth, v = std::fabs(dot(q, up)) - halfHeight;
    float outside = std::sqrt(std::max(u, 0.0f) * std::max(u, 0.0f) + std::max(v, 0.0f) * std::max(v, 0.0f));
    float inside = std::min(std::max(u, v), 0.0f);
    return 1.0f - smoothstep(-softness, softness, outside + inside);
}

// Eye-space directions: +Y up, -Z ahead of the viewer, +Z behind.
Vec3 studio(Vec3 d) {
    float up = d.y;
    // A dark backdrop and a floor sweep graded from pale at the horizon to dark: chrome reads as a
    // mirror when what it mirrors has hard contrast, bright lights against near-black.
    Vec3 c = mix(Vec3{0.05f, 0.045f, 0.07f}, Vec3{0.14f, 0.13f, 0.19f}, smoothstep(-0.2f, 0.6f, up));
    if (up < 0.0f)
        c = mix(Vec3{0.42f, 0.36f, 0.34f}, Vec3{0.04f, 0.035f, 0.045f}, smoothstep(0.0f, -0.45f, up));
    c += Vec3{0.5f, 0.38f, 0.3f} * std::exp(-std::fabs(up) * 60.0f);
    c += Vec3{1.8f, 1.5f, 1.2f} * softbox(d, {-0.6f, 0.7f, 0.6f}, {0, 1, 0}, 0.55f, 0.35f, 0.03f);
    c += Vec3{1.1f, 0.9f, 0.7f} * softbox(d, {0.8f, 0.45f, 0.3f}, {0, 1, 0}, 0.25f, 0.25f, 0.03f);
    c += Vec3{0.45f, 0.55f, 1.5f} * softbox(d, {0.95f, 0.1f, -0.6f}, {0, 1, 0}, 0.06f, 0.9f, 0.015f);
    c += Vec3{0.45f, 0.55f, 1.5f} * softbox(d, {-0.95f, 0.1f, -0.6f}, {0, 1, 0}, 0.06f, 0.9f, 0.015f);
    c += Vec3{1.2f, 1.15f, 1.1f} * softbox(d, {0.0f, 1.0f, 0.05f}, {0, 0, -1}, 0.5f, 0.12f, 0.02f);
    return c;
}

Vec3 blueHour(Vec3 d) {
    float up = d.y;
    Vec3 horizon = {0.55f, 0.25f, 0.45f};
    Vec3 c = mix(horizon, Vec3{0.12f, 0.12f, 0.38f}, smoothstep(0.0f, 0.45f, up));
    c = mix(c, Vec3{0.02f, 0.02f, 0.09f}, smoothstep(0.4f, 1.0f, up));
    if (up < 0.0f) {
        // Dark water with a grid of neon reflections.
        float k = 1.0f / (-up + 0.05f);
        float gx = std::fabs(std::fmod(std::fabs(d.x * k) + 0.5f, 1.0f) - 0.5f);
        float gz = std::fabs(std::fmod(std::fabs(d.z * k) + 0.5f, 1.0f) - 0.5f);
        float line = std::max(1.0f - smoothstep(0.0f, 0.04f * k * 0.2f + 0.02f, gx),
                              1.0f - smoothstep(0.0f, 0.04f * k * 0.2f + 0.02f, gz));
        float fade = std::exp(-k * 0.08f);
        c = mix(Vec3{0.25f, 0.1f, 0.3f}, Vec3{0.01f, 0.01f, 0.03f}, smoothstep(0.0f, -0.3f, up));
        c += Vec3{0.1f, 0.6f, 0.9f} * (line * fade * 0.8f);
    }
    c += Vec3{1.2f, 0.3f, 0.9f} * softbox(d, {-0.7f, 0.25f, -0.7f}, {0, 1, 0}, 0.5f, 0.02f, 0.02f);
    c += Vec3{0.2f, 0.9f, 1.2f} * softbox(d, {0.7f, 0.45f, 0.7f}, {0, 1, 0}, 0.4f, 0.02f, 0.02f);
    c += Vec3{0.9f, 0.9f, 1.2f} * softbox(d, {0.0f, 0.8f, -0.6f}, {0, 1, 0}, 0.08f, 0.08f, 0.05f);
    return c;
}

Vec3 sunset(Vec3 d) {
    float up = d.y;
    Vec3 sun = normalize(Vec3{0.45f, 0.1f, 0.55f});
    float s = std::max(0.0f, dot(d, sun));
    Vec3 c = mix(Vec3{1.0f, 0.45f, 0.16f}, Vec3{0.55f, 0.18f, 0.35f}, smoothstep(0.0f, 0.25f, up));
    c = mix(c, Vec3{0.10f, 0.06f, 0.25f}, smoothstep(0.2f, 0.8f, up));
    c = mix(c, Vec3{0.02f, 0.02f, 0.08f}, smoothstep(0.7f, 1.0f, up));
    // Thin stripes of cloud lit from below.
    float k = 1.0f / (std::max(up, 0.0f) + 0.1f);
    float stripes = fbm(d.x * k * 0.6f, d.z * k * 4.0f, 4, 505);
    c = mix(c, Vec3{0.9f, 0.35f, 0.25f} * (0.6f + s),
            smoothstep(0.55f, 0.75f, stripes) * smoothstep(0.0f, 0.08f, up) * 0.7f);
    c += Vec3{1.0f, 0.6f, 0.3f} * (0.6f * std::pow(s, 16.0f)) +
         Vec3{1.2f, 1.0f, 0.7f} * smoothstep(0.997f, 0.999f, s);
    if (up < 0.0f) {
        // Sea: darkening toward the viewer, with the sun's glitter path.
        float glitter = std::pow(std::max(0.0f, dot(normalize(Vec3{d.x, -d.y, d.z}), sun)), 60.0f);
        float ripple = valueNoise(d.x * 80.0f, up * 400.0f, 606);
        c = mix(Vec3{0.35f, 0.14f, 0.18f}, Vec3{0.03f, 0.02f, 0.06f}, smoothstep(0.0f, -0.4f, up));
        c += Vec3{1.0f, 0.55f, 0.25f} * (glitter * (0.4f + 1.2f * ripple));
    }
    return c;
}

// A sphere map: the picture of a mirror ball seen from far along +Z in eye space. GL's sphere
// map lookup, s = r.x / m + 1/2 with m = 2 |r + (0, 0, 1)|, inverts to the normal below.
template <class Env> Picture sphereMap(int size, Env env) {
    Picture picture(size, size, 3);
    Vec3 behind = env(Vec3{0, 0, -1});
    renderPicture(picture, [&](int x, int y) {
        Vec3 sum;
        for (auto& s : kSubsamples) {
            float px = 2.0f * (x + s[0]) / size - 1.0f;
            float py = 2.0f * (size - y - s[1]) / size - 1.0f;
            float rr = px * px + py * py;
            if (rr >= 1.0f) {
                sum += behind;
                continue;
            }
            Vec3 n = {px, py, std::sqrt(1.0f - rr)};
            sum += env(Vec3{2 * n.z * n.x, 2 * n.z * n.y, 2 * n.z * n.z - 1});
        }
        return Shaded{sum * 0.25f};
    });
    return picture;
}

} // namespace

std::vector<std::string> writeEnvironmentMaps(const std::string& dataDir, int size) {
    return {writeJpeg(dataDir, "envi", sphereMap(size, studio), 92),
            writeJpeg(dataDir, "envi2", sphereMap(size, blueHour), 92),
            writeJpeg(dataDir, "envi3", sphereMap(size, sunset), 92)};
}
