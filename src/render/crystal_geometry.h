#pragma once

#include "model/crystal.h"

// Draws every object in list order, oldest first, growing each right after it is drawn.
void drawCrystals();

void drawChunk(Crystal& crystal, float scale);
void drawArmsFour(Crystal& crystal, float scale);
void drawArmsTwo(Crystal& crystal, float scale);
// Fractal branches along the current +z axis; raises the crystal's level one station at a time.
void drawBranches(Crystal& crystal, float size, float depth);

// The pieces drawCrystals assembles an object from, each leaving the matrix as it found it.

// Degrees about (0, 0, -1) that turn the frame's +y onto the direction from parent to object.
float headingAngle(const Crystal& crystal);
// Moves into the object's heading frame: its position, the bank's tilt and its heading.
void enterHeadingFrame(const Crystal& crystal);
// In the spike frame: the long spike toward the parent and the one away from it, with branches.
void drawLongPair(Crystal& crystal);
// In the spike frame: a bridge to the previous object and a backward short spike when the two
// are small neighbouring crystals, otherwise both short spikes.
void drawShortPass(Crystal& crystal, const Crystal& previous);
// In the heading frame: the side arms that sideBranches and armLayout ask for.
void drawSideArms(Crystal& crystal);
// The whole object in its heading frame: spikes (the short pass only when the scene holds more
// than one object), side arms, or the chunk cone.
void drawObject(Crystal& crystal, const Crystal& previous, bool sceneHasOthers);
