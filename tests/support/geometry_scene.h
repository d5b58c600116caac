#pragma once

#include "model/crystal.h"
#include "support/feedback_capture.h"

// Opens the program's window if needed (600 x 600), empties the scene and puts the drawing
// settings back to their start values, with allGrown set so nothing grows unless a test
// clears it.
void startGeometryScene();

// An object on the snow bank at (x, y), appended to the scene, every growth level set to size.
// Lives until the process ends, like every placed object.
Crystal* addObject(int kind, float x, float y, Crystal* parent, float size, float maxSize);
Crystal* addCrystal(float x, float y, Crystal* parent, float size, float maxSize);
// An object on the bank that is not in the scene: a parent that was undone, or a stand-in.
Crystal* offSceneObject(float x, float y);

// The bank's height at y: objects sit on the plane of the surface quad.
float bankZ(float y);

// Window position of the point (fx, fy, fz) of an object's frame, worked out independently of
// the drawing code: the frame's +y axis lies along the bank direction (upX, upY), its +x is
// that direction turned a right angle clockwise, its +z is the bank's normal; the frame is
// then tilted with the bank (18.431219 degrees about -x) and moved to the object.
WindowPoint projectFramePoint(const Crystal& c, double upX, double upY, double fx, double fy, double fz);
// Window position of the object's own position.
WindowPoint projectPosition(const Crystal& c);
