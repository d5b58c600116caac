#include "model/growth.h"

#include "app/state.h"

void growCrystal(Crystal* c) {
    if (allGrown) return;
    const int top = static_cast<int>(c->getLevel());
    if (!(c->growth[top] < c->maxSize)) return;
    for (int j = 0; c->level + 1.0f > static_cast<float>(j); ++j) {
        float inc = static_cast<float>((static_cast<double>(c->maxSize) - c->growth[j]) * growthRate);
        if (inc < 0.0001) inc = static_cast<float>(0.0001);
        c->growth[j] = c->growth[j] + inc;
    }
}

void updateAllGrown() {
    if (crystals.empty()) return;
    const Crystal* newest = crystals.back();
    const int top = static_cast<int>(newest->getLevel());
    allGrown = !(newest->growth[top] <= newest->maxSize);
}
