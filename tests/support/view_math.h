#pragma once

#include <GL/gl.h>

#include <array>

using Matrix4 = std::array<double, 16>;  // column-major, as OpenGL returns it

// What gluPerspective(30, aspect, 1, 15) makes: the program's projection, worked out by hand.
Matrix4 frimelPerspective(double aspect);

// The current value of GL_PROJECTION_MATRIX or GL_MODELVIEW_MATRIX.
Matrix4 readGlMatrix(GLenum which);

// Largest difference between two matrices' entries.
double matrixDistance(const Matrix4& a, const Matrix4& b);

struct WindowPosition {
    double x, y, depth;
};

// Where an eye-space point lands in a width x height window under frimelPerspective.
WindowPosition eyeToWindow(double x, double y, double z, int width, int height);
