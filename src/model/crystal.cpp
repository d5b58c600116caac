#include "model/crystal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "app/state.h"
#include "model/lean_random.h"
#include "model/surface_mapping.h"

Crystal::Crystal()
    : maxSize(0.2f),
      x(0.0f),
      y(0.0f),
      z(0.0f),
      parent(nullptr),
      spin(0.0f),
      kind(placeKind),
      level(0.0f),
      texture(crystalTexture) {
    for (float& g : growth) g = 0.001f;
}

Crystal::Crystal(float px, float py) : Crystal() {
    const Point3 p = screenToSurface(px, py);
    x = p.x;
    y = p.y;
    z = p.z;
    spin = leanFromDraw(nextLeanDraw());
}

void Crystal::advanceLevel(float limit) {
    if (level < limit && level < kMaxLevel) level = level + 1.0f;
}

float crystalDistance(const Crystal* a, const Crystal* b) {
    const double dx = static_cast<double>(b->x) - a->x;
    const double dy = static_cast<double>(b->y) - a->y;
    const float d2 = static_cast<float>(dx * dx + dy * dy);
    return static_cast<float>(std::sqrt(static_cast<double>(d2)));
}

namespace {
std::vector<std::unique_ptr<Crystal>>& keeper() {
    static std::vector<std::unique_ptr<Crystal>> kept;
    return kept;
}
}  // namespace

Crystal* keepCrystal(std::unique_ptr<Crystal> crystal) {
    keeper().push_back(std::move(crystal));
    return keeper().back().get();
}

std::size_t keptCrystalCount() { return keeper().size(); }

bool isKeptCrystal(const Crystal* crystal) {
    // Newest first: the objects asked about are nearly always recent ones.
    const auto& kept = keeper();
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        if (it->get() == crystal) return true;
    }
    return false;
}

void releaseKeptCrystalsBefore(std::size_t count) {
    auto& kept = keeper();
    kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(std::min(count, kept.size())));
}
