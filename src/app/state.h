#pragma once

// Frimel's process-wide state: every toolkit callback reads and changes these.

#include <GL/glu.h>

#include <vector>

#include "model/crystal.h"
#include "model/point3.h"

// The scene.
extern std::vector<Crystal*> crystals;  // oldest first: drawing and undo order
extern Crystal* currentCrystal;         // what the hold-to-grow boost enlarges
extern Crystal* linkCrystal;            // predecessor of the next click-placed object
extern Crystal* anchorCrystal;          // last object a drag accepted
extern GLUquadric* quadric;             // every cone is drawn with it

// Settings chosen by the user.
extern int placeKind;  // 0 crystal, 1 chunk
extern int crystalTexture;
extern bool sideBranches;
extern int armLayout;  // 0: four arms a side, 1: two
extern float fractalThreshold;
extern int snowSurface;
extern float translucent;
extern int rotateMode;

// Fixed tuning values.
extern const float growthRate;
extern const float tiltAngle;

// Pointer and growth state of the current gesture.
extern bool mouseDown;
extern int mouseX, mouseY;  // rows counted from the bottom
extern int prevMouseX, prevMouseY;
extern float lastDragX, lastDragY;  // toolkit rows, not flipped
extern float growthBoost;
extern bool allGrown;
extern Point3 spinAxis;
extern float spinAngle;

// View state.
extern int windowWidth, windowHeight;
extern float sceneRotation[16];
extern float viewMatrix[16];
