#pragma once

// What a sketch costs to draw: the cones of the frame its scene comes to rest at, counted by the
// same walk that bounds the live scene, so that no sketch opens into a frame past the bound.

#include <cstdint>

#include "model/crystal.h"
#include "sketch/sketch.h"

// Gives a Crystal an object's values; its predecessor is left for the caller to link.
void setCrystalFrom(const SketchObject& object, Crystal& crystal);

// Cones of the sketch's frame at rest, under its own settings; counting stops just past limit.
std::int64_t sketchConesAtRest(const Sketch& sketch, std::int64_t limit);
