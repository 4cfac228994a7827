#pragma once
// The program's one pseudo-random sequence: 15-bit values (0 to 32767) from a linear congruential
// generator that starts from state 1 and is never seeded, so every run draws the same numbers.
// The loading screen's tints and the metaball masses take turns on it.

// Next value of the sequence, 0 to 32767.
int nextRandom();
// Puts the sequence back at its start (state 1).
void restartRandom();

// x times the next value's fraction of 2^24, in single precision. With 15-bit values the
// fraction stays below 2^-9.
float randomFraction(float x);
// a + randomFraction(b - a).
float randomRange(float a, float b);
