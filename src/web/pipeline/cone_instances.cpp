#include "web/pipeline/cone_instances.h"

#include <cmath>
#include <cstring>

#include "web/pipeline/glu_shapes.h"

namespace fixedgl {
namespace {
bool same4(const float* a, const float* b) { return std::memcmp(a, b, 4 * sizeof(float)) == 0; }

bool operator==(const Light& a, const Light& b) {
    return a.enabled == b.enabled && std::memcmp(&a.position, &b.position, sizeof a.position) == 0 &&
           same4(a.ambient, b.ambient) && same4(a.diffuse, b.diffuse) && same4(a.specular, b.specular);
}

bool operator==(const FrontMaterial& a, const FrontMaterial& b) {
    return same4(a.ambient, b.ambient) && same4(a.diffuse, b.diffuse) && same4(a.specular, b.specular) &&
           same4(a.emission, b.emission) && std::memcmp(&a.shininess, &b.shininess, sizeof(float)) == 0;
}
}  // namespace

bool operator==(const ConeLook& a, const ConeLook& b) {
    return std::memcmp(a.projection.m, b.projection.m, sizeof a.projection.m) == 0 && a.light0 == b.light0 &&
           a.material == b.material && same4(a.sceneAmbient, b.sceneAmbient) && same4(a.colour, b.colour) &&
           std::memcmp(a.texCoord, b.texCoord, sizeof a.texCoord) == 0 && a.lighting == b.lighting &&
           a.normalize == b.normalize && a.textured == b.textured && a.raster == b.raster;
}

ConeLook coneLook(const FixedState& gl, bool textured) {
    ConeLook look;
    look.projection = gl.projection();
    look.light0 = gl.light0();
    look.material = gl.material();
    std::memcpy(look.sceneAmbient, gl.sceneAmbient(), sizeof look.sceneAmbient);
    // What does not reach the picture stays zero, so it never tells two looks apart.
    if (!gl.lighting()) std::memcpy(look.colour, gl.colour(), sizeof look.colour);
    if (!textured) std::memcpy(look.texCoord, gl.texCoord(), sizeof look.texCoord);
    look.lighting = gl.lighting();
    look.normalize = gl.normalizing();
    look.textured = textured;
    look.raster = gl.raster();
    return look;
}

ConeInstance coneInstance(const Mat4& modelView, double baseRadius, double topRadius, double height) {
    ConeInstance cone;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) cone.rows[r][c] = modelView.m[c * 4 + r];
    }
    cone.baseRadius = static_cast<float>(baseRadius);
    cone.topRadius = static_cast<float>(topRadius);
    cone.height = static_cast<float>(height);
    cone.unused = 0.0f;
    return cone;
}

bool instanceable(const FixedState& gl, double baseRadius, double topRadius, double height, int slices,
                  int stacks) {
    const double deltaRadius = baseRadius - topRadius;
    const bool drawnAtAll = baseRadius >= 0.0 && topRadius >= 0.0 && height >= 0.0 &&
                            deltaRadius * deltaRadius + height * height > 0.0;
    return slices == kConeSlices && stacks == 1 && affine(gl.modelView()) && drawnAtAll;
}

void leaveConeAttributes(FixedState& gl, double baseRadius, double topRadius, double height, bool textured) {
    const float deltaRadius = static_cast<float>(baseRadius - topRadius);
    const float length = static_cast<float>(std::sqrt(deltaRadius * deltaRadius + height * height));
    const ConeCircle& circle = coneCircle();
    const double ratio = static_cast<float>(height / length);
    gl.setNormal(static_cast<float>(ratio * circle.sin[kConeSlices]), static_cast<float>(ratio * circle.cos[kConeSlices]),
                 deltaRadius / length);
    if (textured) gl.setTexCoord(0.0f, 1.0f);
}

const ConeCircle& coneCircle() {
    static const ConeCircle circle = [] {
        double sin[kConeSlices + 1];
        double cos[kConeSlices + 1];
        sliceAngles(kConeSlices, sin, cos);
        ConeCircle c{};
        for (int i = 0; i <= kConeSlices; ++i) {
            c.sin[i] = static_cast<float>(sin[i]);
            c.cos[i] = static_cast<float>(cos[i]);
        }
        return c;
    }();
    return circle;
}

}  // namespace fixedgl
