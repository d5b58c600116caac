#pragma once

#include "model/point3.h"

// (x, y, z) scaled to unit length, the squared length rounded to float first.
Point3 normalizeVector(float x, float y, float z);

// The winter picture, fixed 10 units in front of the eye.
void drawBackdrop();
// The snow bank in world coordinates: white or snow texture by snowSurface.
void drawSurface();
