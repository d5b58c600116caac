#include "sketch/sketch_cost.h"

#include <algorithm>
#include <iterator>

#include "render/cone_count.h"

void setCrystalFrom(const SketchObject& o, Crystal& c) {
    std::copy(std::begin(o.growth), std::end(o.growth), c.growth);
    c.maxSize = o.maxSize;
    c.x = o.x;
    c.y = o.y;
    c.z = o.z;
    c.spin = o.spin;
    c.level = o.level;
    c.kind = o.kind;
    c.texture = o.texture;
}

std::int64_t sketchConesAtRest(const Sketch& s, std::int64_t limit) {
    const ShapeSettings settings = {s.sideBranches, s.armLayout, s.fractalThreshold};
    const std::size_t listed = std::min<std::size_t>(s.listed, s.objects.size());
    // Two objects at a time: each one and the one before it, which a bridge reaches for.
    Crystal at[2];
    std::int64_t total = 0;
    for (std::size_t i = 0; i < listed && total <= limit; ++i) {
        Crystal& c = at[i % 2];
        setCrystalFrom(s.objects[i], c);
        const Crystal& previous = i == 0 ? c : at[(i - 1) % 2];
        total += objectConesAtRest(c, previous, listed > 1, settings, limit - total);
    }
    return total;
}
