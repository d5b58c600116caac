#pragma once

// The OpenGL 1.1 state Frimel sets, as plain data: matrix stacks, the current attributes, one
// positional light with the front material, and the raster state that decides when a run of
// triangles must be drawn apart from the one before. Every setter marks what it changed in the
// dirty bits, so whatever reads the state (the cones' look) knows when to look again without any
// caller's help. It knows nothing of WebGL; the native tests compare it with Mesa.

#include <vector>

#include "web/pipeline/gl_math.h"

namespace fixedgl {

// GL enumerants the state understands, with OpenGL's own values.
enum : unsigned {
    kPolygon = 0x0009,      // GL_POLYGON
    kQuadStrip = 0x0008,    // GL_QUAD_STRIP
    kTriangles = 0x0004,    // GL_TRIANGLES
    kQuads = 0x0007,        // GL_QUADS
    kModelView = 0x1700,    // GL_MODELVIEW
    kProjection = 0x1701,   // GL_PROJECTION
    kLighting = 0x0B50,     // GL_LIGHTING
    kLight0 = 0x4000,       // GL_LIGHT0
    kNormalize = 0x0BA1,    // GL_NORMALIZE
    kTexture2D = 0x0DE1,    // GL_TEXTURE_2D
    kDepthTest = 0x0B71,    // GL_DEPTH_TEST
    kBlend = 0x0BE2,        // GL_BLEND
};

// What a setter changed, for whoever keeps something derived from the state.
enum DirtyBit : unsigned {
    kDirtyProjection = 1u << 0,
    kDirtyLighting = 1u << 1,  // light 0, the material, lighting or normalizing turned on or off
    kDirtyColour = 1u << 2,    // the current colour
    kDirtyTexCoord = 1u << 3,  // the current texture coordinate
    kDirtyRaster = 1u << 4,    // texture bound, texturing, blending, depth test
    kAllDirtyBits = (1u << 5) - 1,
};

// Everything a draw depends on besides its vertices and, for cones, their lighting.
struct RasterState {
    unsigned texture = 0;  // texture name bound while the triangles were sent
    bool texturing = false;
    bool blending = false;
    bool depthTest = false;
};
bool operator==(const RasterState& a, const RasterState& b);
inline bool operator!=(const RasterState& a, const RasterState& b) { return !(a == b); }

struct Light {
    bool enabled = false;
    Vec4 position{0, 0, 1, 0};  // eye coordinates, transformed when it was set
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {1, 1, 1, 1};  // light 0's defaults; only light 0 is kept
    float specular[4] = {1, 1, 1, 1};
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

// Starts as OpenGL does.
class FixedState {
public:
    // Matrix stacks; each call acts on the stack the matrix mode selects.
    void setMatrixMode(unsigned mode);
    void loadIdentity();
    void pushMatrix();
    void popMatrix();  // a pop of the last matrix is ignored, as GL ignores it
    void multMatrix(const Mat4& m);
    // glTranslatef and glRotatef: the same as multiplying by translationMatrix or rotationMatrix,
    // bit for bit, but a turn about an axis changes only the two columns it mixes.
    void translate(float x, float y, float z);
    void rotate(float degrees, float x, float y, float z);
    const Mat4& modelView() const { return modelView_.back(); }
    const Mat4& projection() const { return projection_.back(); }

    // Current attributes.
    void setNormal(float x, float y, float z);
    void setTexCoord(float s, float t);
    void setColour(float r, float g, float b, float a);
    const float* normal() const { return normal_; }
    const float* texCoord() const { return texCoord_; }
    const float* colour() const { return colour_; }

    // Light 0 and the front material; pname uses GL's values (GL_POSITION, GL_AMBIENT, ...).
    // The light position is transformed by the current model-view matrix, as glLightfv does.
    void setLight0(unsigned pname, const float* values);
    void setFrontMaterial(unsigned pname, const float* values);
    const Light& light0() const { return light0_; }
    const FrontMaterial& material() const { return material_; }
    const float* sceneAmbient() const { return sceneAmbient_; }
    bool lighting() const { return lighting_; }
    bool normalizing() const { return normalize_; }

    // glEnable and glDisable of the capabilities above; any other is ignored.
    void setCapability(unsigned capability, bool on);
    void bindTexture(unsigned name);
    const RasterState& raster() const { return raster_; }

    void setViewport(const Viewport& viewport) { viewport_ = viewport; }
    const Viewport& viewport() const { return viewport_; }

    // The DirtyBits set since they were last cleared.
    unsigned dirtyBits() const { return dirty_; }
    void clearDirtyBits(unsigned bits) { dirty_ &= ~bits; }

private:
    std::vector<Mat4>& currentStack() { return matrixMode_ == kProjection ? projection_ : modelView_; }
    void matrixChanged() {
        if (matrixMode_ == kProjection) dirty_ |= kDirtyProjection;
    }

    // The last element of each stack is the current matrix.
    std::vector<Mat4> modelView_{identityMatrix()};
    std::vector<Mat4> projection_{identityMatrix()};
    unsigned matrixMode_ = kModelView;

    float normal_[3] = {0, 0, 1};
    float texCoord_[2] = {0, 0};
    float colour_[4] = {1, 1, 1, 1};

    Light light0_;
    FrontMaterial material_;
    float sceneAmbient_[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    bool lighting_ = false;
    bool normalize_ = false;

    RasterState raster_;
    Viewport viewport_;
    unsigned dirty_ = kAllDirtyBits;
};

}  // namespace fixedgl
