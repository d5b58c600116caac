#include "model/lean_random.h"

#include <cstdlib>

namespace {
LeanPosition position = {1, 0};  // the generator's state before anything seeds it
}  // namespace

void seedLean(unsigned seed) {
    std::srand(seed);
    position = LeanPosition{seed, 0};
}

// The lean is scaled for values up to 32767; where RAND_MAX is larger only the top 15 bits are
// kept, so the lean stays within about 11 degrees.
int nextLeanDraw() {
    ++position.draws;
    return std::rand() / (RAND_MAX / 32768 + 1);
}

LeanPosition leanPosition() { return position; }

void restoreLean(LeanPosition p) {
    seedLean(p.seed);
    for (std::uint64_t i = 0; i < p.draws; ++i) nextLeanDraw();
}

float leanFromDraw(int draw) { return static_cast<float>((draw / 1000.0f - 16.4) / 1.5); }
