#pragma once
// The show's beat grid: 130 beats per minute, beat k (k = 1, 2, ...) at k x 60/130 - 0.2 seconds of
// music time. The clock counts beats on it, the timeline steps the sequence by it, and the music
// puts its kicks on it, so the picture flashes with the sound.

constexpr double beatsPerMinute = 130;
constexpr double beatSeconds = 60.0 / beatsPerMinute;
// The grid runs this far ahead of whole beats of the music's start.
constexpr double beatOffsetSeconds = 0.2;

// Music time of beat k, seconds.
constexpr double beatTimeSeconds(int k) {
    return k * beatSeconds - beatOffsetSeconds;
}
