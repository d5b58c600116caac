#pragma once

// Cones drawn by the graphics card: each gluCylinder of four slices and one stack becomes one
// instance (its model-view and its shape), and cones lit and textured alike share one draw. The
// instances reach the vertex shader as texels, four a cone, which it fetches by its vertex's
// number: a software renderer draws each instance of an instanced draw as a draw of its own,
// slower than the triangles' way. The shader (shading.cpp) builds the corners GLU would send and
// lights them as the triangles are lit, so the picture is the one the triangles' way gives.

#include <cstddef>

#include "web/pipeline/fixed_state.h"

namespace fixedgl {

// The only cone the shader builds: four slices, one stack, GLU's quad strip of ten corners
// drawn as two triangles a side.
constexpr int kConeSlices = 4;
constexpr int kConeStripCorners = 2 * (kConeSlices + 1);
// A draw list holds at most this many cones; their texture holds a row of kConesPerRow cones for
// every kConesPerRow of them, four texels a cone.
constexpr std::size_t kListCones = 8192;
constexpr int kConesPerRow = 256;
constexpr int kTexelsPerCone = 4;
constexpr int kConeTextureWidth = kTexelsPerCone * kConesPerRow;
constexpr int kConeTextureRows = static_cast<int>(kListCones) / kConesPerRow;

// Everything a cone's corners depend on besides its own matrix and shape: the same for all the
// cones of one run.
struct ConeLook {
    Mat4 projection;
    Light light0;
    FrontMaterial material;
    float sceneAmbient[4] = {};
    float colour[4] = {};    // lights an unlit cone
    float texCoord[2] = {};  // every corner's, when the quadric gives none
    bool lighting = false;
    bool normalize = false;
    bool textured = false;  // the quadric gives texture coordinates
    RasterState raster;
};
bool operator==(const ConeLook& a, const ConeLook& b);
inline bool operator!=(const ConeLook& a, const ConeLook& b) { return !(a == b); }

// The state's bits a cone's look is made of.
constexpr unsigned kConeLookBits = kDirtyProjection | kDirtyLighting | kDirtyColour | kDirtyTexCoord | kDirtyRaster;
ConeLook coneLook(const FixedState& gl, bool textured);

// One cone, four RGBA float texels: the first three rows of its model-view (the last is
// 0 0 0 1), then its shape.
struct ConeInstance {
    float rows[3][4];
    float baseRadius, topRadius, height, unused;
};
static_assert(sizeof(ConeInstance) == kTexelsPerCone * 4 * sizeof(float), "four RGBA texels a cone");
ConeInstance coneInstance(const Mat4& modelView, double baseRadius, double topRadius, double height);

// Whether a gluCylinder can go the instanced way under the state: the shape the shader builds,
// a model-view without projective part, and a cone GLU would draw at all.
bool instanceable(const FixedState& gl, double baseRadius, double topRadius, double height, int slices,
                  int stacks);

// Leaves the current normal and texture coordinate as GLU's last vertex of the cone leaves them.
void leaveConeAttributes(FixedState& gl, double baseRadius, double topRadius, double height, bool textured);

// The sine and cosine of each slice's angle as GLU works them out, the first repeated at the end.
struct ConeCircle {
    float sin[kConeSlices + 1];
    float cos[kConeSlices + 1];
};
const ConeCircle& coneCircle();

}  // namespace fixedgl
