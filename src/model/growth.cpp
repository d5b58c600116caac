#include "model/growth.h"

#include <cmath>

#include "app/state.h"

namespace {
// Past a size of about a thousand (a long hold), a float step may round to nothing, or onto the
// size itself, which the step never passes: the object would never finish and frames would be
// asked for without end. Such a step goes on to the next float instead.
float stepPastRounding(float grown, float from, float size) {
    if (grown <= from) grown = std::nextafter(from, HUGE_VALF);
    if (grown == size) grown = std::nextafter(grown, HUGE_VALF);
    return grown;
}
}  // namespace

void growCrystal(Crystal* c) {
    if (allGrown) return;
    const int top = static_cast<int>(c->getLevel());
    if (!(c->growth[top] < c->maxSize)) return;
    for (int j = 0; c->level + 1.0f > static_cast<float>(j); ++j) {
        float inc = static_cast<float>((static_cast<double>(c->maxSize) - c->growth[j]) * growthRate);
        if (inc < 0.0001) inc = static_cast<float>(0.0001);
        c->growth[j] = stepPastRounding(c->growth[j] + inc, c->growth[j], c->maxSize);
    }
}

void updateAllGrown() {
    // With nothing on the bank nothing can grow, and frames would be asked for in vain.
    if (crystals.empty()) {
        allGrown = true;
        return;
    }
    const Crystal* newest = crystals.back();
    const int top = static_cast<int>(newest->getLevel());
    // Grown as soon as the growth step would leave it as it is: a size met exactly grows no
    // further, and asking for frames for it would never end.
    allGrown = !(newest->growth[top] < newest->maxSize);
}
