#include "web/pipeline/fixed_state.h"

#include <cstring>

namespace fixedgl {
namespace {
// GL's names for the light and material parameters.
enum : unsigned {
    kAmbient = 0x1200,
    kDiffuse = 0x1201,
    kSpecular = 0x1202,
    kPosition = 0x1203,
    kEmission = 0x1600,
    kShininess = 0x1601,
    kAmbientAndDiffuse = 0x1602,
};

void copy4(const float* from, float* to) { std::memcpy(to, from, 4 * sizeof(float)); }

// Columns j < k of an affine matrix turned by the 2 x 2 block (b_jj b_jk / b_kj b_kk) of a
// turn about the third axis; the sums are the full product's, less terms that are zero.
void turnColumns(float* m, int j, int k, float bjj, float bjk, float bkj, float bkk) {
    for (int i = 0; i < 3; ++i) {
        const float aj = m[4 * j + i];
        const float ak = m[4 * k + i];
        m[4 * j + i] = aj * bjj + ak * bkj;
        m[4 * k + i] = aj * bjk + ak * bkk;
    }
}
}  // namespace

bool operator==(const RasterState& a, const RasterState& b) {
    // The bound texture matters only while texturing is on.
    return a.texturing == b.texturing && (!a.texturing || a.texture == b.texture) &&
           a.blending == b.blending && a.depthTest == b.depthTest;
}

void FixedState::setMatrixMode(unsigned mode) {
    if (mode == kModelView || mode == kProjection) matrixMode_ = mode;
}

void FixedState::loadIdentity() {
    matrixChanged();
    currentStack().back() = identityMatrix();
}

void FixedState::pushMatrix() {
    std::vector<Mat4>& stack = currentStack();
    stack.push_back(stack.back());
}

void FixedState::popMatrix() {
    matrixChanged();
    std::vector<Mat4>& stack = currentStack();
    if (stack.size() > 1) stack.pop_back();
}

void FixedState::multMatrix(const Mat4& m) {
    matrixChanged();
    Mat4& top = currentStack().back();
    top = multiply(top, m);
}

void FixedState::translate(float x, float y, float z) {
    Mat4& top = currentStack().back();
    if (!affine(top)) {
        multMatrix(translationMatrix(x, y, z));
        return;
    }
    matrixChanged();
    float* m = top.m;
    for (int i = 0; i < 3; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

void FixedState::rotate(float degrees, float x, float y, float z) {
    Mat4& top = currentStack().back();
    const bool aboutZ = x == 0.0f && y == 0.0f && z != 0.0f;
    const bool aboutY = x == 0.0f && z == 0.0f && y != 0.0f;
    const bool aboutX = y == 0.0f && z == 0.0f && x != 0.0f;
    if (!(aboutX || aboutY || aboutZ) || !affine(top)) {
        multMatrix(rotationMatrix(degrees, x, y, z));
        return;
    }
    matrixChanged();
    float s = 0.0f;
    float c = 1.0f;
    turnSines(degrees, &s, &c);
    if (aboutZ) turnColumns(top.m, 0, 1, c, z < 0.0f ? s : -s, z < 0.0f ? -s : s, c);
    if (aboutY) turnColumns(top.m, 0, 2, c, y < 0.0f ? -s : s, y < 0.0f ? s : -s, c);
    if (aboutX) turnColumns(top.m, 1, 2, c, x < 0.0f ? s : -s, x < 0.0f ? -s : s, c);
}

// The normal is no part of any derived state: each vertex takes its own.
void FixedState::setNormal(float x, float y, float z) {
    normal_[0] = x;
    normal_[1] = y;
    normal_[2] = z;
}

// Set at every cone's end: marked only when it changes, so thousands of cones in a row compare
// no looks.
void FixedState::setTexCoord(float s, float t) {
    if (texCoord_[0] == s && texCoord_[1] == t) return;
    texCoord_[0] = s;
    texCoord_[1] = t;
    dirty_ |= kDirtyTexCoord;
}

void FixedState::setColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    copy4(colour, colour_);
    dirty_ |= kDirtyColour;
}

void FixedState::setLight0(unsigned pname, const float* values) {
    dirty_ |= kDirtyLighting;
    switch (pname) {
    case kAmbient: copy4(values, light0_.ambient); break;
    case kDiffuse: copy4(values, light0_.diffuse); break;
    case kSpecular: copy4(values, light0_.specular); break;
    case kPosition:
        light0_.position = transform(modelView(), Vec4{values[0], values[1], values[2], values[3]});
        break;
    default: break;
    }
}

void FixedState::setFrontMaterial(unsigned pname, const float* values) {
    dirty_ |= kDirtyLighting;
    FrontMaterial& m = material_;
    switch (pname) {
    case kAmbient: copy4(values, m.ambient); break;
    case kDiffuse: copy4(values, m.diffuse); break;
    case kSpecular: copy4(values, m.specular); break;
    case kEmission: copy4(values, m.emission); break;
    case kShininess: m.shininess = values[0]; break;
    case kAmbientAndDiffuse:
        copy4(values, m.ambient);
        copy4(values, m.diffuse);
        break;
    default: break;
    }
}

void FixedState::setCapability(unsigned capability, bool on) {
    switch (capability) {
    case kLighting: lighting_ = on; dirty_ |= kDirtyLighting; break;
    case kLight0: light0_.enabled = on; dirty_ |= kDirtyLighting; break;
    case kNormalize: normalize_ = on; dirty_ |= kDirtyLighting; break;
    case kTexture2D: raster_.texturing = on; dirty_ |= kDirtyRaster; break;
    case kDepthTest: raster_.depthTest = on; dirty_ |= kDirtyRaster; break;
    case kBlend: raster_.blending = on; dirty_ |= kDirtyRaster; break;
    default: break;
    }
}

void FixedState::bindTexture(unsigned name) {
    raster_.texture = name;
    dirty_ |= kDirtyRaster;
}

}  // namespace fixedgl
