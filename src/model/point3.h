#pragma once

// A point or vector in scene or trackball space, passed by value.
struct Point3 {
    float x;
    float y;
    float z;
};
