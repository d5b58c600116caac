#pragma once

#include "model/point3.h"

Point3 crossProduct(Point3 a, Point3 b);
float dotProduct(Point3 a, Point3 b);
float vectorLength(Point3 v);

// Turns the pointer's move since the last step into spinAxis and spinAngle (double the arc).
void trackball();

// One step of a rotate-mode drag: trackball(), then the turn folded into sceneRotation.
// Degenerate steps (no move, parallel points, a window too small to measure) leave it alone.
void trackballStep();

// Back to the unrotated scene.
void resetRotation();
