#pragma once

// What the GLU calls Frimel makes send to OpenGL, computed without OpenGL.

#include <cstdint>
#include <vector>

namespace fixedgl {

// One glNormal3f / glTexCoord2f / glVertex3f group of a cylinder, in the order GLU sends them.
struct CylinderVertex {
    float normal[3];
    float texCoord[2];
    float position[3];
};

// The vertices gluCylinder sends for a filled, smooth-normal, outside-facing quadric, into `out`:
// one quad strip per stack, stack by stack, each of 2 x (slices + 1) vertices. Texture
// coordinates are filled in only when `textured`. Returns the number of strips, 0 for a
// cylinder GLU refuses (zero length).
int cylinderStrips(double baseRadius, double topRadius, double height, int slices, int stacks,
                   bool textured, std::vector<CylinderVertex>& out);

// The sine and cosine of each of `slices` angles round the circle as GLU works them out (the
// angle in float), the first repeated at the end: slices + 1 of each.
void sliceAngles(int slices, double* sin, double* cos);

// The side gluBuild2DMipmaps rescales an image side to before building its levels.
int mipmapSide(int side);

// The base level gluBuild2DMipmaps uploads for a tightly packed RGB image with rows aligned to
// 4 bytes: rescaled to mipmapSide() of each side as GLU scales it, returned without row padding.
std::vector<uint8_t> mipmapBaseLevel(int width, int height, const uint8_t* rgbRows,
                                     int* baseWidth, int* baseHeight);

}  // namespace fixedgl
