#include <cmath>

#include <gtest/gtest.h>

#include "demo/Content.h"
#include "demo/Timeline.h"

namespace {

// The clock turns a music position in milliseconds into seconds this way.
float timeFromMilliseconds(int positionMs) {
    return static_cast<float>(positionMs * 0.001);
}

} // namespace

TEST(TimelineTest, SceneBoundariesUseTheSinglePrecisionMusicTime) {
    struct Case {
        float timeSeconds;
        Scene scene;
    } cases[] = {
        {0.0f, Scene::figure},
        {20.499f, Scene::figure},
        {20.5f, Scene::metaballs},
        // 30400 ms is 30.399999618... in single precision, still before the sequence.
        {timeFromMilliseconds(30400), Scene::metaballs},
        {timeFromMilliseconds(30401), Scene::sequence},
        {205.999f, Scene::sequence},
        {206.0f, Scene::over},
        {timeFromMilliseconds(236000), Scene::over},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeSeconds);
        EXPECT_EQ(sceneAt(c.timeSeconds), c.scene);
    }
}

TEST(TimelineTest, SequenceRowChangesEveryEightBeats) {
    EXPECT_EQ(sequenceRow(timeFromMilliseconds(30401)), 0);
    // The first millisecond of each row, and the last millisecond before it.
    for (int row = 1; row <= 47; ++row) {
        SCOPED_TRACE(row);
        const double startSeconds = 30.4 + row * 3.6923076923076925;
        const int firstMs = static_cast<int>(std::ceil(startSeconds * 1000 + 0.5));
        EXPECT_EQ(sequenceRow(timeFromMilliseconds(firstMs)), row);
        EXPECT_EQ(sequenceRow(timeFromMilliseconds(firstMs - 2)), row - 1);
    }
    EXPECT_EQ(sequenceRow(205.999f), 47);
    EXPECT_LT(sequenceRow(205.999f), objectSequenceRows);
}

TEST(TimelineTest, OverlayFlashesOnEvenBeatsAndTheEighthBeatsPredecessor) {
    const float pulse = 0.75f;
    // Beat counts 1, 3 and 5 modulo 8 are dark; 0, 2, 4, 6 and 7 flash.
    const bool flashes[8] = {true, false, true, false, true, false, true, true};
    for (int beatCount = 0; beatCount < 32; ++beatCount) {
        SCOPED_TRACE(beatCount);
        EXPECT_EQ(flashValue(pulse, beatCount), flashes[beatCount % 8] ? pulse : 0.0f);
    }
    // After a backward seek the pulse exceeds 1 and the flash follows it unclamped.
    EXPECT_EQ(flashValue(101.0f, 2), 101.0f);
}

// The metaball camera sways sideways with the flash, and only sideways; a row's scale stretches
// the sequence orbit about the height offset of 5 without turning it.
TEST(TimelineTest, FlashSwaysTheMetaballCameraAndRowScaleStretchesTheOrbit) {
    const float tm = 25.0f;
    const Vec3 still = sceneEye(Scene::metaballs, tm, 0, 1);
    const Vec3 swayed = sceneEye(Scene::metaballs, tm, 1, 1);
    EXPECT_NEAR(swayed.x - still.x, 0.3f, 1e-5f);
    EXPECT_EQ(swayed.y, still.y);
    EXPECT_EQ(swayed.z, still.z);

    const float ts = 110.0f;
    const Vec3 near = sceneEye(Scene::sequence, ts, 0, 0.1f);
    const Vec3 far = sceneEye(Scene::sequence, ts, 1, 3.0f);
    EXPECT_NEAR(far.x / near.x, 30.0, 1e-3);
    EXPECT_NEAR((far.y - 5) / (near.y - 5), 30.0, 1e-3);
    EXPECT_NEAR(far.z / near.z, 30.0, 1e-3);
}

TEST(TimelineTest, GlowIsSteadyInTheFirstSceneAndPulsesAfter) {
    EXPECT_EQ(glowStrength(Scene::figure, 0.9f), 0.5f);
    EXPECT_EQ(glowStrength(Scene::metaballs, 0.9f), 0.9f);
    EXPECT_EQ(glowStrength(Scene::sequence, 0.0f), 0.0f);
}
