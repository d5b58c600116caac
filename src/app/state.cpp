#include "app/state.h"

#define IDENTITY_MATRIX {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}

std::vector<Crystal*> crystals;
Crystal* currentCrystal = nullptr;
Crystal* linkCrystal = nullptr;
// Made before main runs, while placeKind and crystalTexture are still 0 (constant-initialised).
Crystal* anchorCrystal = keepCrystal(std::make_unique<Crystal>());
GLUquadric* quadric = nullptr;

int placeKind = 0;
int crystalTexture = 0;
bool sideBranches = false;
int armLayout = 0;
float fractalThreshold = 0.24f;
int snowSurface = 0;
float translucent = 0.0f;
int rotateMode = 0;

const float growthRate = 0.04f;
const float tiltAngle = 18.431219f;

bool mouseDown = false;
int mouseX = 0, mouseY = 0;
int prevMouseX = 0, prevMouseY = 0;
float lastDragX = 0.0f, lastDragY = 0.0f;
float growthBoost = 0.0f;
bool allGrown = false;
Point3 spinAxis = {0.0f, 0.0f, 0.0f};
float spinAngle = 0.0f;

int windowWidth = 0, windowHeight = 0;
float sceneRotation[16] = IDENTITY_MATRIX;
float viewMatrix[16] = IDENTITY_MATRIX;
