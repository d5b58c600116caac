#pragma once

// The cones of a scene as they stand, for anything that takes the crystals elsewhere: the crystal
// geometry walked with a pen that keeps its own matrix stack and notes every cone.

#include <cstdint>
#include <vector>

#include "render/cone_count.h"

struct RecordedCone {
    // Column-major, as GL keeps it: from the cone's own frame (the cone along +z from the origin)
    // to the scene's coordinates, before the camera and the scene's turn.
    float matrix[16];
    double base, top, height;  // radius at the origin, radius at z = height, length
    int object;                // the object's place in the scene, oldest first
    int texture;               // its texture name
};

// Every cone of the frame the scene in `crystals` comes to rest at, under the settings in force,
// in drawing order. Empty when the scene would pass limit cones.
std::vector<RecordedCone> recordSceneAtRest(std::int64_t limit = kFrameConeBound);
