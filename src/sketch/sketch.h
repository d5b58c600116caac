#pragma once

// A sketch: everything that decides Frimel's picture and what drawing on from it does, as plain
// values. The scene's objects come first, oldest first; after them the objects that the scene's
// pointers (the current, link and anchor objects, and predecessors) still name although they
// are no longer drawn. Of those only what can still matter is kept: they have no predecessor.

#include <cstdint>
#include <string>
#include <vector>

#include "model/crystal.h"
#include "model/lean_random.h"

constexpr int kNoParent = -1;

struct SketchObject {
    float growth[kGrowthLevels];
    float maxSize;
    float x, y, z;
    float spin;
    float level;
    std::int32_t kind;
    std::int32_t texture;
    std::int32_t parent;  // index into Sketch::objects, or kNoParent
};

struct Sketch {
    std::vector<SketchObject> objects;
    std::uint32_t listed = 0;  // the first `listed` objects are the scene, in drawing order
    std::uint32_t current = 0, link = 0, anchor = 0;

    // Settings, as the program holds them (a sketch is only ever filled from the program or read
    // from text, so these start at nothing in particular). The turn is kept only while rotate
    // mode is on: otherwise it is none.
    std::int32_t placeKind = 0;
    std::int32_t crystalTexture = 0;
    bool sideBranches = false;
    std::int32_t armLayout = 0;
    float fractalThreshold = 0.0f;
    std::int32_t snowSurface = 0;
    float translucent = 0.0f;
    std::int32_t rotateMode = 0;
    float sceneRotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // What the last gesture left behind, which the next one may still read.
    bool allGrown = true;
    float growthBoost = 0.0f;
    float lastDragX = 0.0f, lastDragY = 0.0f;
    std::int32_t mouseX = 0, mouseY = 0, prevMouseX = 0, prevMouseY = 0;
    LeanPosition lean = {1, 0};
};

// Limits of what a sketch may hold, so that one from anywhere is safe to open.
constexpr std::uint32_t kMaxSketchObjects = 100000;
constexpr std::uint64_t kMaxLeanDraws = 100000000;  // putting the generator back takes < 1 s
constexpr float kMaxSketchSize = 1.0e6f;             // growth and maxSize

// Whether every value and reference of a sketch is one the program can take; why not, if not.
bool checkSketch(const Sketch& sketch, std::string& why);
