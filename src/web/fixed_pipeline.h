#pragma once

// The OpenGL 1.1 subset Frimel calls, as plain data and arithmetic: matrix stacks, immediate
// mode, one positional light with the front material, flat shading, and the raster state that
// decides when a batch of triangles must be drawn apart from the one before.
// It knows nothing of WebGL: the web build's entry points feed it and draw what it collects, and
// the native tests compare what it computes with Mesa's answers for the same calls.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "web/gl_math.h"

namespace fixedgl {

// GL enumerants the pipeline understands, with OpenGL's own values.
enum : unsigned {
    kPolygon = 0x0009,      // GL_POLYGON
    kQuadStrip = 0x0008,    // GL_QUAD_STRIP
    kTriangles = 0x0004,    // GL_TRIANGLES
    kQuads = 0x0007,        // GL_QUADS
    kModelView = 0x1700,    // GL_MODELVIEW
    kProjection = 0x1701,   // GL_PROJECTION
    kFlat = 0x1D00,         // GL_FLAT
    kSmooth = 0x1D01,       // GL_SMOOTH
};

// Everything a draw of the browser's batch depends on besides its vertices.
struct RasterState {
    unsigned texture = 0;  // texture name bound while the triangles were sent
    bool texturing = false;
    bool blending = false;
    bool depthTest = false;
};
bool operator==(const RasterState& a, const RasterState& b);
inline bool operator!=(const RasterState& a, const RasterState& b) { return !(a == b); }

// One corner of the frame's triangles, ready for the rasterizer: clip coordinates, texture
// coordinate and the colour, in 8-bit channels, of the face whose triangle it ends. WebGL takes
// a flat colour from a triangle's last corner, so each face's colour is put on the corner that
// ends its triangles, and a corner that faces share is sent once.
struct OutVertex {
    float clip[4];
    float s, t;
    std::uint8_t rgba[4];
};

// A stretch of consecutive triangles drawn under one raster state.
struct DrawRun {
    RasterState state;
    std::size_t first = 0;  // of FrameBatch::indices
    std::size_t count = 0;  // indices, three per triangle
};

// The triangles of a frame so far, in the order they were sent, as corners and the indices of
// three corners a triangle, the last one giving its colour.
struct FrameBatch {
    std::vector<OutVertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<DrawRun> runs;
};

struct Light {
    bool enabled = false;
    Vec4 position{0, 0, 1, 0};  // eye coordinates, transformed when it was set
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {0, 0, 0, 1};  // light 0's defaults are white; only light 0 is kept
    float specular[4] = {0, 0, 0, 1};
};

struct FrontMaterial {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0, 0, 0, 1};
    float emission[4] = {0, 0, 0, 1};
    float shininess = 0;
};

struct Viewport {
    int x = 0, y = 0, width = 0, height = 0;
};

// A vertex as glVertex3f sent it, with the attributes current at that moment.
struct SentVertex {
    float position[3];
    float normal[3];
    float s, t;
    float colour[4];
};

struct PipelineState {
    // Matrix stacks; the last element is the current matrix.
    std::vector<Mat4> modelView{identityMatrix()};
    std::vector<Mat4> projection{identityMatrix()};
    unsigned matrixMode = kModelView;

    // Current attributes.
    float normal[3] = {0, 0, 1};
    float texCoord[2] = {0, 0};
    float colour[4] = {1, 1, 1, 1};

    Light light0;
    FrontMaterial material;
    float sceneAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    unsigned shadeModel = kSmooth;
    bool lighting = false;
    bool normalize = false;

    RasterState raster;  // texture bound, texturing, blending and depth test as enabled now
    Viewport viewport;
    // Counts the calls that may change how a cone is lit, textured or projected, so the cones'
    // batch compares looks only after one.
    unsigned lookVersion = 0;

    // Between begin and end: the primitive and its vertices.
    bool inPrimitive = false;
    unsigned primitive = 0;
    std::vector<SentVertex> sent;

    FrameBatch batch;
};

// PipelineState starts as OpenGL does, with light 0's white diffuse and specular defaults.
void resetPipeline(PipelineState& gl);

// Matrix stack calls; each acts on the stack that matrixMode selects.
void setMatrixMode(PipelineState& gl, unsigned mode);
void loadIdentity(PipelineState& gl);
void pushMatrix(PipelineState& gl);
void popMatrix(PipelineState& gl);   // a pop of the last matrix is ignored, as GL ignores it
void multMatrix(PipelineState& gl, const Mat4& m);
// glTranslatef and glRotatef: the same as multiplying by translationMatrix or rotationMatrix,
// bit for bit, but a turn about an axis changes only the two columns it mixes.
void translate(PipelineState& gl, float x, float y, float z);
void rotate(PipelineState& gl, float degrees, float x, float y, float z);
const Mat4& currentMatrix(const PipelineState& gl);  // of the stack matrixMode selects

// Light 0 and the front material; pname uses GL's values (GL_POSITION, GL_AMBIENT, ...).
// The light position is transformed by the current model-view matrix, as glLightfv does.
void setLight0(PipelineState& gl, unsigned pname, const float* values);
void setFrontMaterial(PipelineState& gl, unsigned pname, const float* values);

// Immediate mode. vertex() records the vertex with the current normal, texture coordinate
// and colour; end() turns the primitive into flat-shaded triangles appended to the batch.
void begin(PipelineState& gl, unsigned primitive);
void vertex(PipelineState& gl, float x, float y, float z);
void end(PipelineState& gl);

// The colour lighting gives a vertex at eyePosition with eyeNormal (already in eye
// coordinates; normalized here when GL_NORMALIZE is on), clamped to [0, 1], alpha from the
// diffuse material. Without lighting, the current colour.
void litColour(const PipelineState& gl, Vec4 eyePosition, const float eyeNormal[3],
               const float currentColour[4], float out[4]);

// Window coordinates of a clip-space point under the viewport, depth range [0, 1].
void windowCoordinates(const Viewport& viewport, const float clip[4], double out[3]);

// A batch is drawn as soon as it holds this many triangles (or corners), so a huge frame needs
// no more memory than a small one. Its runs are drawn in order, so the picture is the same.
constexpr std::size_t kBatchTriangles = 16384;
bool batchFull(const FrameBatch& batch);

// Empties a batch whose draws have been issued. Room far beyond a full batch (left by a single
// huge primitive) is given back, so one frame does not keep it for the rest of the session.
void emptyBatch(FrameBatch& batch);

}  // namespace fixedgl
