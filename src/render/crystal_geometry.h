#pragma once

#include <cstdint>

#include "render/crystal_shape.h"

// Draws every object in list order, oldest first, growing each right after it is drawn.
void drawCrystals();

// The frame's pen, its count of cones started anew: the crystal geometry drawn with GL on the
// shared quadric, never more than the frame's bound of cones.
const ConePen& startFrameCones();

// How many cones the last frame drew.
std::int64_t conesInLastFrame();
