#include "demo/Random.h"

#include <cstdint>

namespace {
uint32_t randomState = 1;
} // namespace

int nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

void restartRandom() {
    randomState = 1;
}

float randomFraction(float x) {
    const float twoToMinus24 = 1.0f / 16777216.0f;
    return static_cast<float>(nextRandom() & 0xFFFFFF) * twoToMinus24 * x;
}

float randomRange(float a, float b) {
    return a + randomFraction(b - a);
}
