#pragma once

#include <cstdint>

// The random lean of chunks comes from the standard library's generator. Frimel notes the seed
// and how many values it has drawn since, so that a kept sketch can put the generator back
// where it was and the next chunk leans as it would have.
struct LeanPosition {
    unsigned seed;
    std::uint64_t draws;
};

void seedLean(unsigned seed);
// The generator's next value in 0..32767.
int nextLeanDraw();
LeanPosition leanPosition();
// Seeds the generator again and draws as often as it had been drawn.
void restoreLean(LeanPosition position);

// The lean, in degrees, that a draw gives a new object: about -10.93 to 10.91.
float leanFromDraw(int draw);
