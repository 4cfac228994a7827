#include "demo/FrameView.h"

#include <algorithm>

FrameView centredView(int surfaceWidth, int surfaceHeight, int largestHeight) {
    FrameView view;
    view.surfaceWidth = std::max(1, surfaceWidth);
    view.surfaceHeight = std::max(1, surfaceHeight);
    const long long w = view.surfaceWidth, h = std::min(view.surfaceHeight, std::max(1, largestHeight));
    // Rounded to the nearest pixel; the wider surface's w >= 4h / 3 holds the rounded width too.
    if (3 * w >= 4 * h) {
        view.height = static_cast<int>(h);
        view.width = static_cast<int>(std::max(1LL, (4 * h + 1) / 3));
    } else {
        view.width = static_cast<int>(w);
        view.height = static_cast<int>(std::max(1LL, std::min(h, (3 * w + 2) / 4)));
    }
    view.x = (view.surfaceWidth - view.width) / 2;
    view.y = (view.surfaceHeight - view.height) / 2;
    return view;
}

TargetSize scaledTarget(const FrameView& view, int widthAt800, int heightAt600) {
    TargetSize size;
    size.width =
        static_cast<int>(std::max(1LL, (static_cast<long long>(widthAt800) * view.width + 400) / 800));
    size.height =
        static_cast<int>(std::max(1LL, (static_cast<long long>(heightAt600) * view.height + 300) / 600));
    return size;
}

std::string viewProblem(const FrameView& view, const TargetSize& largestTarget, const ViewLimits& limits) {
    const std::string picture = std::to_string(view.width) + "x" + std::to_string(view.height);
    if (view.width > limits.viewportWidth || view.height > limits.viewportHeight)
        return "a picture of " + picture + " pixels is larger than this GL draws at once (" +
               std::to_string(limits.viewportWidth) + "x" + std::to_string(limits.viewportHeight) + ")";
    if (largestTarget.width > limits.textureSide || largestTarget.height > limits.textureSide)
        return "a picture of " + picture + " pixels needs render targets of " +
               std::to_string(largestTarget.width) + "x" + std::to_string(largestTarget.height) +
               " texels, and this GL makes them at most " + std::to_string(limits.textureSide) + " a side";
    return "";
}
