#pragma once

// Where the crystal geometry puts its cones. The geometry walks every object through the pen in
// use: the frame's pen draws with GL, others count the cones or record where they stand, so what
// is counted or recorded is exactly what a frame draws.

struct ConePen {
    void (*pushMatrix)();
    void (*popMatrix)();
    void (*rotate)(float degrees, float x, float y, float z);
    void (*translate)(float x, float y, float z);
    // A four-sided cone along +z from the origin: radius base there, radius top at z = height.
    void (*cone)(double base, double top, double height);
    // True once the pen takes no more cones; the walk then stops early.
    bool (*full)();
};

// The settings the geometry reads: those in force, or a sketch's while it is counted.
struct ShapeSettings {
    bool sideBranches;
    int armLayout;  // 0: four arms a side, 1: two
    float fractalThreshold;
};

// The walk goes through this pen, with these settings, while the guard lives; without one it
// goes nowhere.
class PenInUse {
public:
    PenInUse(const ConePen& pen, const ShapeSettings& settings);
    ~PenInUse();
    PenInUse(const PenInUse&) = delete;
    PenInUse& operator=(const PenInUse&) = delete;

private:
    const ConePen* previousPen_;
    const ShapeSettings* previousSettings_;
    ShapeSettings settings_;
};
