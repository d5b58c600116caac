#pragma once

// Which objects touch: for printing, objects that touch are one part.

#include <cstdint>
#include <vector>

#include "sketch/model_mesh.h"

// A cone as the round rod that holds it: its axis from a to b, and its widest radius.
struct Capsule {
    Vec3 a, b;
    double radius;
    int object;
};

// For every object, the smallest object of the group it touches through any chain of objects.
// At most maxTests rod pairs are tested; past that, objects whose boxes overlap count as
// touching, which may join parts but never splits one.
std::vector<int> touchingGroups(const std::vector<Capsule>& capsules, int objectCount, std::int64_t maxTests);

// The shortest distance between two segments.
double segmentDistance(Vec3 p1, Vec3 q1, Vec3 p2, Vec3 q2);
