#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Growth levels per object: index 0 sizes the body, 1..14 the fractal
// sub-branches at successive branch stations.
constexpr int kGrowthLevels = 15;
constexpr int kMaxLevel = kGrowthLevels - 1;

// One placed object: a crystal (kind 0) or a chunk (kind 1).
class Crystal {
public:
    float growth[kGrowthLevels];
    float maxSize;
    float x, y, z;
    Crystal* parent;  // oriented toward it; not owned
    float spin;       // degrees, leans a chunk
    int32_t kind;
    float level;      // highest branch station drawn so far, a whole number
    int32_t texture;

    // An object at the origin, standing in for a missing predecessor.
    Crystal();
    // An object on the snow surface under the pixel (px, py); py counts from the bottom row.
    Crystal(float px, float py);

    Crystal(const Crystal&) = delete;
    Crystal& operator=(const Crystal&) = delete;

    float getLevel() const { return level; }
    // Raises level by one while it is below limit, never past kMaxLevel.
    void advanceLevel(float limit);
    void setParent(Crystal* p) { parent = p; }
};

// Distance of two objects in the x-y plane.
float crystalDistance(const Crystal* a, const Crystal* b);

// Hands an object to the scene's keeper: every object that anything may still point at
// (placed, default or undone) lives until the process exits, then is freed, or until a sketch
// opened over the scene has replaced them all.
Crystal* keepCrystal(std::unique_ptr<Crystal> crystal);

// How many objects the keeper holds.
std::size_t keptCrystalCount();

// Whether the keeper holds this object, so that it stays valid until exit.
bool isKeptCrystal(const Crystal* crystal);

// Frees the first `count` objects the keeper took (keptCrystalCount() before newer ones were
// made): only for a caller that has just replaced every pointer to them, as opening a sketch
// replaces the whole scene.
void releaseKeptCrystalsBefore(std::size_t count);
