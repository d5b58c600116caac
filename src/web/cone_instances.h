#pragma once

// Cones drawn by the graphics card: each gluCylinder of four slices and one stack becomes one
// instance (its model-view and its shape), and cones lit and textured alike share one draw. The
// instances reach the vertex shader as texels, four a cone, which it fetches by its vertex's
// number: a software renderer draws each instance of an instanced draw as a draw of its own,
// slower than the triangles' way. The shader builds the corners GLU would send and lights them
// as the pipeline does, so the picture is the one the triangles' way gives. Plain data here, no
// WebGL: the native tests run the same shader under Mesa.

#include <cstddef>
#include <cstdint>
#include <string>
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

// One cone, four RGBA float texels: the first three rows of its model-view (the last is
// 0 0 0 1), then its shape.
struct ConeInstance {
    float rows[3][4];
    float baseRadius, topRadius, height, unused;
};

struct ConeRun {
    ConeLook look;
    std::size_t first = 0;  // of ConeBatch::indices
    std::size_t count = 0;
};

// The corners of the batch's triangles, cone after cone, in the strip's numbering that the shader
// reads its vertex's number in: corners 2i, 2i+1, 2i+3 and 2i, 2i+3, 2i+2 for side i, as the
// triangles' way sends them, less a pointed cone's first triangles, which cover nothing. Nearly
// every cone of a crystal is pointed, so this spares the graphics nearly half the cones' triangles.
struct ConeBatch {
    std::vector<ConeInstance> instances;
    std::vector<std::uint32_t> indices;
    std::vector<ConeRun> runs;
    unsigned lookVersion = 0;  // PipelineState::lookVersion when the last run's look was taken
};

// The only cone the shader builds: four slices, one stack, GLU's quad strip of ten corners
// drawn as two triangles a side.
constexpr int kConeSlices = 4;
constexpr int kConeStripCorners = 2 * (kConeSlices + 1);

// Whether a gluCylinder can go the instanced way under the pipeline's state: the shape the
// shader builds, a model-view without projective part, and a cone GLU would draw at all.
bool instanceable(const PipelineState& gl, double baseRadius, double topRadius, double height,
                  int slices, int stacks);

// Adds the cone to the batch, opening a run when its look differs from the last run's.
void recordCone(const PipelineState& gl, ConeBatch& batch, double baseRadius, double topRadius, double height,
                bool textured);

// Leaves the current normal and texture coordinate as GLU's last vertex of the cone leaves them.
void leaveConeAttributes(PipelineState& gl, double baseRadius, double topRadius, double height, bool textured);

// A batch is drawn once it holds this many cones, as the triangles' batch is when full. Its
// texture holds a row of kConesPerRow cones for every kConesPerRow of them.
constexpr std::size_t kBatchInstances = 8192;
constexpr int kConesPerRow = 256;
constexpr int kConeTextureWidth = 4 * kConesPerRow;
constexpr int kConeTextureRows = static_cast<int>(kBatchInstances) / kConesPerRow;
// The texture rows a batch fills, its last row padded out so that whole rows go up at once.
int padToRows(ConeBatch& batch);
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
constexpr int kConeUniforms = 16;
void coneUniforms(const ConeLook& look, ConeUniform out[kConeUniforms]);
// The circle, set once: it is the same for every cone.
ConeUniform coneCircleUniform();

// The cone's vertex shader comes in variants, by how a run's look is lit.
enum ConeShaderVariant { kUnlitCones, kMatteCones, kShinyCones, kConeShaderVariants };
int coneShaderVariant(const ConeLook& look);

// GLSL ES 3.00 sources: a variant of the cone's vertex shader, and the fragment shader both
// ways share.
std::string coneVertexShader(int variant);
extern const char* const kFlatFragmentShader;

}  // namespace fixedgl
