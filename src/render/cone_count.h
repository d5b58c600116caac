#pragma once

// What a frame costs: the cones of the frame a scene comes to rest at (every object grown to its
// maxSize at every level it reaches, and by as much past it as growth goes), counted by walking
// the crystal geometry with a pen that only counts. Nothing that would take a scene past the bound is let in, so no input can make a
// frame slower than the bound allows.

#include <cstdint>

#include "model/crystal.h"
#include "render/cone_pen.h"

// The most cones a scene's frame may draw. A frame of this many cones takes some 0.7 s in the
// page on software rendering, twice the desktop's; ordinary play stays far below it.
constexpr std::int64_t kFrameConeBound = 150000;

// How far past its maxSize a level may grow before the object rests: a level past its size
// still gains 0.0001 a frame while the top level catches up, for a few hundred frames at most.
constexpr float kRestOvershoot = 0.1f;

// Turns `rest`, a copy of an object (copyForRest), into the object as it rests, under these
// settings, and gives its cones; previous is the object before it in the scene. Counting stops
// just past limit, so a result above limit means "too many".
std::int64_t settleAtRest(Crystal& rest, const Crystal& previous, bool sceneHasOthers,
                          const ShapeSettings& settings, std::int64_t limit);
// Everything of an object that its shape depends on, its predecessor included.
void copyForRest(const Crystal& from, Crystal& to);

// Cones of this object in the frame at rest, without changing it.
std::int64_t objectConesAtRest(const Crystal& crystal, const Crystal& previous, bool sceneHasOthers,
                               const ShapeSettings& settings, std::int64_t limit);

// The same for the whole scene in `crystals`.
std::int64_t sceneConesAtRest(const ShapeSettings& settings, std::int64_t limit = kFrameConeBound);

// Whether the scene's frame at rest stays within the bound under these settings.
bool sceneWithinBound(const ShapeSettings& settings);
