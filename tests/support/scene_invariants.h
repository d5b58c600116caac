#pragma once

#include <gtest/gtest.h>

// What must hold between any two toolkit callbacks, however hostile the input was.

// Every pointer Frimel holds (current, link, anchor, each scene object and its parent) reaches
// an object the keeper owns; levels are whole numbers in 0..14; sizes and positions are finite
// and placed objects lie on the snow; sceneRotation is a rotation, the identity outside rotate
// mode.
testing::AssertionResult sceneIsSound();

// A 4x4 column-major matrix that turns about the origin: orthonormal, determinant 1.
testing::AssertionResult isRotation(const float m[16]);

testing::AssertionResult allFinite(const float* values, int count);

// Between callbacks: matrix mode GL_MODELVIEW with only the identity on its stack, a finite
// projection, and no OpenGL error pending.
testing::AssertionResult glStateIsSound();
