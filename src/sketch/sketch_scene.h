#pragma once

// Frimel's state as a sketch and back.

#include "sketch/sketch.h"

// The scene, the settings and what the last gesture left, as they are now.
Sketch captureSketch();

// Puts a sketch checked by checkSketch in place of the scene and settings: the objects are made
// anew and every older one is freed (no pointer to one may outlive the call), the button counts
// as up, the generator of the lean is put back, and a frame is asked for.
void applySketch(const Sketch& sketch);
