#pragma once

// The shape of crystals and chunks: which cones an object is made of and where they stand. Every
// piece walks through the pen in use (render/cone_pen.h), so the same code draws a frame, counts
// its cones and records them; each piece leaves the pen's matrix as it found it.

#include "model/crystal.h"
#include "render/cone_pen.h"

// Degrees about (0, 0, -1) that turn the frame's +y onto the direction from parent to object.
float headingAngle(const Crystal& crystal);
// Moves into the object's heading frame: its position, the bank's tilt and its heading.
void enterHeadingFrame(const Crystal& crystal);

void drawChunk(Crystal& crystal, float scale);
void drawArmsFour(Crystal& crystal, float scale);
void drawArmsTwo(Crystal& crystal, float scale);
// Fractal branches along the current +z axis; raises the crystal's level one station at a time.
void drawBranches(Crystal& crystal, float size, float depth);

// In the spike frame: the long spike toward the parent and the one away from it, with branches.
void drawLongPair(Crystal& crystal);
// In the spike frame: a bridge to the previous object and a backward short spike when the two
// are small neighbouring crystals, otherwise both short spikes.
void drawShortPass(Crystal& crystal, const Crystal& previous);
// In the heading frame: the side arms that the settings ask for.
void drawSideArms(Crystal& crystal);
// The whole object in its heading frame: spikes (the short pass only when the scene holds more
// than one object), side arms, or the chunk cone.
void drawObject(Crystal& crystal, const Crystal& previous, bool sceneHasOthers);

// The settings in force, as the frame's walk reads them.
ShapeSettings settingsInForce();
