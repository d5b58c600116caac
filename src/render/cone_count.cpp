#include "render/cone_count.h"

#include <algorithm>

#include "app/state.h"
#include "render/crystal_shape.h"

namespace {
std::int64_t counted = 0;
std::int64_t countLimit = 0;

void noMatrix() {}
void noRotate(float, float, float, float) {}
void noTranslate(float, float, float) {}
void countCone(double, double, double) { ++counted; }
bool countedPastLimit() { return counted > countLimit; }
const ConePen kCounter = {noMatrix, noMatrix, noRotate, noTranslate, countCone, countedPastLimit};

// An object as it rests: every level it has reached grown to its maxSize and a little past it,
// as lower levels go on growing a step a frame while the top one catches up. Reaching a size can
// open further branch stations, which raise the level in turn, so the walk is repeated until the
// level holds.
std::int64_t countAtRest(Crystal& rest, const Crystal& previous, bool sceneHasOthers) {
    const float grown = rest.maxSize + kRestOvershoot;
    for (int round = 0; round <= kGrowthLevels; ++round) {
        const float levelBefore = rest.level;
        const int reached = static_cast<int>(rest.level);
        for (int j = 0; j <= reached; ++j) rest.growth[j] = std::max(rest.growth[j], grown);
        counted = 0;
        drawObject(rest, previous, sceneHasOthers);
        if (rest.level == levelBefore || countedPastLimit()) break;
    }
    return counted;
}
}  // namespace

void copyForRest(const Crystal& c, Crystal& rest) {
    std::copy(std::begin(c.growth), std::end(c.growth), rest.growth);
    rest.maxSize = c.maxSize;
    rest.x = c.x;
    rest.y = c.y;
    rest.z = c.z;
    rest.parent = c.parent;
    rest.spin = c.spin;
    rest.kind = c.kind;
    rest.level = c.level;
    rest.texture = c.texture;
}

std::int64_t settleAtRest(Crystal& rest, const Crystal& previous, bool sceneHasOthers,
                          const ShapeSettings& settings, std::int64_t limit) {
    countLimit = std::max<std::int64_t>(limit, 0);
    const PenInUse counting(kCounter, settings);
    return countAtRest(rest, previous, sceneHasOthers);
}

std::int64_t objectConesAtRest(const Crystal& c, const Crystal& previous, bool sceneHasOthers,
                               const ShapeSettings& settings, std::int64_t limit) {
    Crystal rest;
    copyForRest(c, rest);
    return settleAtRest(rest, previous, sceneHasOthers, settings, limit);
}

std::int64_t sceneConesAtRest(const ShapeSettings& settings, std::int64_t limit) {
    std::int64_t total = 0;
    const std::size_t count = crystals.size();
    for (std::size_t i = 0; i < count && total <= limit; ++i) {
        const Crystal& previous = *crystals[i == 0 ? 0 : i - 1];
        total += objectConesAtRest(*crystals[i], previous, count > 1, settings, limit - total);
    }
    return total;
}

bool sceneWithinBound(const ShapeSettings& settings) {
    return sceneConesAtRest(settings, kFrameConeBound) <= kFrameConeBound;
}
