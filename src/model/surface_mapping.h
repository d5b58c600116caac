#pragma once

#include "model/point3.h"

// Pixel column / bottom-up pixel row to units of half the window height, centred on the window.
float normalizedX(int px);
float normalizedY(int py);

// The point of the sloping snow plane under a pixel (column, bottom-up row).
// Closed form: it reads only windowWidth and windowHeight, not the GL matrices.
Point3 screenToSurface(float px, float py);

// Whether a point lies on the 3 x 3 surface quad, edges included. Non-finite points do not.
bool onSurface(float x, float y);
