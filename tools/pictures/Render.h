#pragma once
// Runs a per-pixel function over a picture on a few threads. Each pixel is computed from its
// coordinates alone, so the result does not depend on how rows are shared out.
#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "pictures/Picture.h"

// shade(x, y) returns the linear colour and coverage of pixel (x, y), row 0 at the top.
struct Shaded {
    Vec3 colour;
    float alpha = 1.0f;
};

// Calls rowJob(y) for every row, shared among two workers: the machine's cores are shared with
// others, and the generator has a time budget, not a race to win.
inline void forEachRow(int height, const std::function<void(int)>& rowJob) {
    int workers = static_cast<int>(std::max(1u, std::min(2u, std::thread::hardware_concurrency())));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&rowJob, w, workers, height] {
            for (int y = w; y < height; y += workers) rowJob(y);
        });
    for (auto& t : threads) t.join();
}

inline void renderPicture(Picture& picture, const std::function<Shaded(int, int)>& shade) {
    forEachRow(picture.height, [&](int y) {
        for (int x = 0; x < picture.width; ++x) {
            Shaded s = shade(x, y);
            picture.setColour(x, y, s.colour, s.alpha);
        }
    });
}

// Antialiased rendering for costly scenes: one sample at every pixel centre, then four more on a
// rotated grid only where a pixel differs from a neighbour by more than `contrast` (linear).
// sample(x, y) takes continuous pixel coordinates, (0.5, 0.5) being the centre of the top-left pixel.
inline void renderAdaptive(Picture& picture, const std::function<Vec3(float, float)>& sample,
                           float contrast) {
    int w = picture.width, h = picture.height;
    std::vector<Vec3> centre(size_t(w) * h);
    forEachRow(h, [&](int y) {
        for (int x = 0; x < w; ++x) centre[size_t(y) * w + x] = sample(x + 0.5f, y + 0.5f);
    });
    static const float offsets[4][2] = {
        {0.125f, 0.375f}, {0.375f, 0.875f}, {0.625f, 0.125f}, {0.875f, 0.625f}};
    forEachRow(h, [&](int y) {
        for (int x = 0; x < w; ++x) {
            Vec3 c = centre[size_t(y) * w + x];
            float difference = 0.0f;
            for (int j = std::max(0, y - 1); j <= std::min(h - 1, y + 1); ++j)
                for (int i = std::max(0, x - 1); i <= std::min(w - 1, x + 1); ++i) {
                    Vec3 d = centre[size_t(j) * w + i] - c;
                    difference = std::max({difference, std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)});
                }
            if (difference > contrast) {
                Vec3 sum = c;
                for (auto& o : offsets) sum += sample(x + o[0], y + o[1]);
                c = sum * 0.2f;
            }
            picture.setColour(x, y, c);
        }
    });
}
