#pragma once

// Cones drawn by the graphics card: each gluCylinder of four slices and one stack becomes one
// instance (its model-view and its shape), and cones lit and textured alike share one instanced
// draw. The vertex shader builds the corners GLU would send and lights them as the pipeline does,
// so the picture is the one the triangles' way gives. Plain data here, no WebGL: the native tests
// run the same shader under Mesa.

#include <cstddef>
#include <vector>

#include "web/fixed_pipeline.h"

namespace fixedgl {

// Everything a cone's corners depend on besides its own matrix and shape: the same for all the
// cones of one draw.
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

// One cone: the first three rows of its model-view (the last is 0 0 0 1) and its shape.
struct ConeInstance {
    float rows[3][4];
    float baseRadius, topRadius, height, unused;
};

struct ConeRun {
    ConeLook look;
    std::size_t first = 0;  // of ConeBatch::instances
    std::size_t count = 0;
};

struct ConeBatch {
    std::vector<ConeInstance> instances;
    std::vector<ConeRun> runs;
    unsigned lookVersion = 0;  // PipelineState::lookVersion when the last run's look was taken
};

// The only cone the shader builds: four slices, one stack, corner by corner as drawn.
constexpr int kConeSlices = 4;
constexpr int kConeCorners = 6 * kConeSlices;  // two triangles a side
constexpr int kConeTriangles = 2 * kConeSlices;

// Whether a gluCylinder can go the instanced way under the pipeline's state: the shape the
// shader builds, a model-view without projective part, and a cone GLU would draw at all.
bool instanceable(const PipelineState& gl, double baseRadius, double topRadius, double height,
                  int slices, int stacks);

// Adds the cone to the batch, opening a run when its look differs from the last run's.
void recordCone(const PipelineState& gl, ConeBatch& batch, double baseRadius, double topRadius, double height,
                bool textured);

// Leaves the current normal and texture coordinate as GLU's last vertex of the cone leaves them.
void leaveConeAttributes(PipelineState& gl, double baseRadius, double topRadius, double height, bool textured);

// A batch is drawn once it holds this many cones, as the triangles' batch is when full.
constexpr std::size_t kBatchInstances = 8192;
bool conesFull(const ConeBatch& batch);
void emptyCones(ConeBatch& batch);

// The sine and cosine of each slice's angle as GLU works them out, the first repeated at the end.
struct ConeCircle {
    float sin[kConeSlices + 1];
    float cos[kConeSlices + 1];
};
const ConeCircle& coneCircle();

// A uniform of the cone shader as a run's look sets it: `components` floats (16 for a matrix)
// for each of `count` elements. Booleans go as 0 or 1, which a bool uniform takes from a float.
struct ConeUniform {
    const char* name;
    int components;
    int count;
    float values[16];
};
constexpr int kConeUniforms = 17;
void coneUniforms(const ConeLook& look, ConeUniform out[kConeUniforms]);
// The circle, set once: it is the same for every cone.
ConeUniform coneCircleUniform();

// GLSL ES 3.00 sources: the cone's vertex shader, and the fragment shader both ways share.
extern const char* const kConeVertexShader;
extern const char* const kFlatFragmentShader;

}  // namespace fixedgl
