#include "sketch/sketch_scene.h"

#include <GL/glut.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "app/state.h"
#include "model/idle_control.h"
#include "render/light.h"
#include "sketch/sketch_cost.h"

namespace {
SketchObject sketchObjectOf(const Crystal& c) {
    SketchObject o{};
    std::copy(std::begin(c.growth), std::end(c.growth), o.growth);
    o.maxSize = c.maxSize;
    o.x = c.x;
    o.y = c.y;
    o.z = c.z;
    o.spin = c.spin;
    o.level = c.level;
    o.kind = c.kind;
    o.texture = c.texture;
    o.parent = kNoParent;
    return o;
}

// What a sketch keeps of the program's state besides its objects, each value once: the
// settings, the turn and what the last gesture left behind. copy(kept, live) sees every pair.
template <typename SketchOrConst, typename Copy>
void keptValues(SketchOrConst& s, Copy copy) {
    copy(s.placeKind, placeKind);
    copy(s.crystalTexture, crystalTexture);
    copy(s.sideBranches, sideBranches);
    copy(s.armLayout, armLayout);
    copy(s.fractalThreshold, fractalThreshold);
    copy(s.snowSurface, snowSurface);
    copy(s.translucent, translucent);
    copy(s.rotateMode, rotateMode);
    copy(s.sceneRotation, sceneRotation);
    copy(s.allGrown, allGrown);
    copy(s.growthBoost, growthBoost);
    copy(s.lastDragX, lastDragX);
    copy(s.lastDragY, lastDragY);
    copy(s.mouseX, mouseX);
    copy(s.mouseY, mouseY);
    copy(s.prevMouseX, prevMouseX);
    copy(s.prevMouseY, prevMouseY);
}

template <typename T>
void assign(T& to, const T& from) {
    to = from;
}
template <typename T, std::size_t N>
void assign(T (&to)[N], const T (&from)[N]) {
    std::copy(from, from + N, to);
}

// Numbers the scene's objects first, then every other object a pointer of the scene names.
class ObjectTable {
public:
    explicit ObjectTable(Sketch& sketch) : sketch_(sketch) {}
    std::uint32_t indexOf(const Crystal* c) {
        const auto found = index_.find(c);
        if (found != index_.end()) return found->second;
        const auto index = static_cast<std::uint32_t>(sketch_.objects.size());
        index_.emplace(c, index);
        sketch_.objects.push_back(sketchObjectOf(*c));
        return index;
    }

private:
    Sketch& sketch_;
    std::unordered_map<const Crystal*, std::uint32_t> index_;
};
}  // namespace

Sketch captureSketch() {
    Sketch s;
    ObjectTable table(s);
    for (const Crystal* c : crystals) table.indexOf(c);
    s.listed = static_cast<std::uint32_t>(crystals.size());
    s.current = table.indexOf(currentCrystal);
    s.link = table.indexOf(linkCrystal);
    s.anchor = table.indexOf(anchorCrystal);
    // Only drawn objects look at their predecessor, so only the scene's keep theirs.
    for (std::uint32_t i = 0; i < s.listed; ++i) {
        const Crystal* parent = crystals[i]->parent;
        if (parent != nullptr) s.objects[i].parent = static_cast<std::int32_t>(table.indexOf(parent));
    }

    keptValues(s, [](auto& kept, const auto& live) { assign(kept, live); });
    s.lean = leanPosition();
    // Past that many draws (hundreds of hours of dragging) only the next lean is not kept.
    s.lean.draws = std::min(s.lean.draws, kMaxLeanDraws);
    return s;
}

void applySketch(const Sketch& s) {
    // Everything the keeper holds now is named only by what is replaced below.
    const std::size_t older = keptCrystalCount();
    std::vector<Crystal*> made;
    made.reserve(s.objects.size());
    for (const SketchObject& o : s.objects) {
        Crystal* c = keepCrystal(std::make_unique<Crystal>());
        setCrystalFrom(o, *c);
        made.push_back(c);
    }
    for (std::size_t i = 0; i < made.size(); ++i) {
        const std::int32_t parent = s.objects[i].parent;
        made[i]->setParent(parent == kNoParent ? nullptr : made[static_cast<std::size_t>(parent)]);
    }
    crystals.assign(made.begin(), made.begin() + s.listed);
    currentCrystal = made[s.current];
    linkCrystal = made[s.link];
    anchorCrystal = made[s.anchor];
    releaseKeptCrystalsBefore(older);

    keptValues(s, [](const auto& kept, auto& live) { assign(live, kept); });
    mouseDown = false;
    spinAngle = 0.0f;
    restoreLean(s.lean);

    applyBlend();
    requestIdleWhileNeeded();
    glutPostRedisplay();
}
