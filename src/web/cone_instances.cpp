#include "web/cone_instances.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

ConeLook lookOf(const PipelineState& gl, bool textured) {
    ConeLook look;
    look.projection = gl.projection.back();
    look.light0 = gl.light0;
    look.material = gl.material;
    std::memcpy(look.sceneAmbient, gl.sceneAmbient, sizeof look.sceneAmbient);
    // What does not reach the picture stays zero, so it never tells two looks apart.
    if (!gl.lighting) std::memcpy(look.colour, gl.colour, sizeof look.colour);
    if (!textured) std::memcpy(look.texCoord, gl.texCoord, sizeof look.texCoord);
    look.lighting = gl.lighting;
    look.normalize = gl.normalize;
    look.textured = textured;
    look.raster = gl.raster;
    return look;
}
}  // namespace

bool operator==(const ConeLook& a, const ConeLook& b) {
    return std::memcmp(a.projection.m, b.projection.m, sizeof a.projection.m) == 0 && a.light0 == b.light0 &&
           a.material == b.material && same4(a.sceneAmbient, b.sceneAmbient) && same4(a.colour, b.colour) &&
           std::memcmp(a.texCoord, b.texCoord, sizeof a.texCoord) == 0 && a.lighting == b.lighting &&
           a.normalize == b.normalize && a.textured == b.textured && a.raster == b.raster;
}

bool instanceable(const PipelineState& gl, double baseRadius, double topRadius, double height,
                  int slices, int stacks) {
    const float* m = gl.modelView.back().m;
    const bool affine = m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && m[15] == 1.0f;
    const double deltaRadius = baseRadius - topRadius;
    const bool drawnAtAll = baseRadius >= 0.0 && topRadius >= 0.0 && height >= 0.0 &&
                            deltaRadius * deltaRadius + height * height > 0.0;
    return slices == kConeSlices && stacks == 1 && affine && drawnAtAll;
}

void recordCone(const PipelineState& gl, ConeBatch& batch, double baseRadius, double topRadius, double height,
                bool textured) {
    // A look is compared only after something that could change it was called: a frame sends
    // thousands of cones between one material and the next.
    const bool mayDiffer = batch.runs.empty() || batch.lookVersion != gl.lookVersion || batch.runs.back().look.textured != textured;
    if (mayDiffer) {
        ConeLook look = lookOf(gl, textured);
        if (batch.runs.empty() || batch.runs.back().look != look) {
            ConeRun run;
            run.look = look;
            run.first = batch.instances.size();
            batch.runs.push_back(run);
        }
        batch.lookVersion = gl.lookVersion;
    }
    const float* m = gl.modelView.back().m;
    ConeInstance& cone = batch.instances.emplace_back();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) cone.rows[r][c] = m[c * 4 + r];
    }
    cone.baseRadius = static_cast<float>(baseRadius);
    cone.topRadius = static_cast<float>(topRadius);
    cone.height = static_cast<float>(height);
    cone.unused = 0.0f;
    ++batch.runs.back().count;
}

void leaveConeAttributes(PipelineState& gl, double baseRadius, double topRadius, double height, bool textured) {
    const float deltaRadius = static_cast<float>(baseRadius - topRadius);
    const float length = static_cast<float>(std::sqrt(deltaRadius * deltaRadius + height * height));
    const ConeCircle& circle = coneCircle();
    const double ratio = static_cast<float>(height / length);
    gl.normal[0] = static_cast<float>(ratio * circle.sin[kConeSlices]);
    gl.normal[1] = static_cast<float>(ratio * circle.cos[kConeSlices]);
    gl.normal[2] = deltaRadius / length;
    if (textured && (gl.texCoord[0] != 0.0f || gl.texCoord[1] != 1.0f)) {
        gl.texCoord[0] = 0.0f;
        gl.texCoord[1] = 1.0f;
        ++gl.lookVersion;
    }
}

bool conesFull(const ConeBatch& batch) { return batch.instances.size() >= kBatchInstances; }

void emptyCones(ConeBatch& batch) {
    batch.instances.clear();
    batch.runs.clear();
}

const ConeCircle& coneCircle() {
    static const ConeCircle circle = [] {
        constexpr double kPi = 3.14159265358979323846;
        ConeCircle c{};
        for (int i = 0; i < kConeSlices; ++i) {
            const float angle = static_cast<float>(2 * kPi * i / kConeSlices);
            c.sin[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
            c.cos[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
        }
        c.sin[kConeSlices] = c.sin[0];
        c.cos[kConeSlices] = c.cos[0];
        return c;
    }();
    return circle;
}

namespace {
ConeUniform uniform(const char* name, int components, const float* values) {
    ConeUniform u{name, components, 1, {}};
    std::memcpy(u.values, values, static_cast<std::size_t>(components) * sizeof(float));
    return u;
}

ConeUniform flag(const char* name, bool on) {
    const float value = on ? 1.0f : 0.0f;
    return uniform(name, 1, &value);
}
}  // namespace

void coneUniforms(const ConeLook& look, ConeUniform out[kConeUniforms]) {
    const Light& light = look.light0;
    const FrontMaterial& m = look.material;
    const float position[4] = {light.position.x, light.position.y, light.position.z, light.position.w};
    const ConeUniform all[kConeUniforms] = {
        uniform("projection", 16, look.projection.m),
        flag("lighting", look.lighting),
        flag("normalizing", look.normalize),
        flag("textured", look.textured),
        flag("lightOn", light.enabled),
        uniform("lightPosition", 4, position),
        uniform("lightAmbient", 4, light.ambient),
        uniform("lightDiffuse", 4, light.diffuse),
        uniform("lightSpecular", 4, light.specular),
        uniform("materialAmbient", 4, m.ambient),
        uniform("materialDiffuse", 4, m.diffuse),
        uniform("materialSpecular", 4, m.specular),
        uniform("materialEmission", 4, m.emission),
        uniform("shininess", 1, &m.shininess),
        uniform("sceneAmbient", 4, look.sceneAmbient),
        uniform("currentColour", 4, look.colour),
        uniform("currentTexCoord", 2, look.texCoord),
    };
    std::copy(all, all + kConeUniforms, out);
}

ConeUniform coneCircleUniform() {
    const ConeCircle& c = coneCircle();
    ConeUniform u{"circle", 2, kConeSlices + 1, {}};
    for (int i = 0; i <= kConeSlices; ++i) {
        u.values[2 * i] = c.sin[i];
        u.values[2 * i + 1] = c.cos[i];
    }
    return u;
}

// Corner by corner, as the triangles' way sends a side of GLU's quad strip (strip corners 2i,
// 2i+1, 2i+3 and 2i, 2i+3, 2i+2): every corner of a side takes the colour lighting gives the
// strip's corner 2i+3, as flat shading takes it from the quad's last vertex.
const char* const kConeVertexShader = R"(#version 300 es
layout(location = 0) in vec4 row0;
layout(location = 1) in vec4 row1;
layout(location = 2) in vec4 row2;
layout(location = 3) in vec4 shape;  // base radius, top radius, height
uniform mat4 projection;
uniform vec2 circle[5];  // sine and cosine of each slice's angle
uniform bool lighting, normalizing, textured, lightOn;
uniform vec4 lightPosition, lightAmbient, lightDiffuse, lightSpecular;
uniform vec4 materialAmbient, materialDiffuse, materialSpecular, materialEmission;
uniform float shininess;
uniform vec4 sceneAmbient, currentColour;
uniform vec2 currentTexCoord;
out vec2 st;
flat out vec4 colour;

const int stripCorner[6] = int[6](0, 1, 3, 0, 3, 2);

vec3 corner(int slice, bool top) {
    float radius = top ? shape.y : shape.x;
    return vec3(radius * circle[slice], top ? shape.z : 0.0);
}

vec4 eyeOf(vec3 p) {
    vec4 q = vec4(p, 1.0);
    return vec4(dot(row0, q), dot(row1, q), dot(row2, q), 1.0);
}

// The inverse transpose of the model-view's upper 3 x 3, as its adjugate over its determinant.
vec3 eyeNormal(vec3 n) {
    vec3 c0 = vec3(row0.x, row1.x, row2.x);
    vec3 c1 = vec3(row0.y, row1.y, row2.y);
    vec3 c2 = vec3(row0.z, row1.z, row2.z);
    vec3 a0 = cross(c1, c2);
    float determinant = dot(c0, a0);
    if (determinant == 0.0) return vec3(0.0);
    return mat3(a0, cross(c2, c0), cross(c0, c1)) * n / determinant;
}

vec4 lit(vec4 eye, vec3 n) {
    if (!lighting) return currentColour;
    if (normalizing) {
        float len = length(n);
        if (len > 0.0) n /= len;
    }
    vec3 rgb = materialEmission.rgb + sceneAmbient.rgb * materialAmbient.rgb;
    if (lightOn) {
        vec3 l = lightPosition.w != 0.0 ? lightPosition.xyz / lightPosition.w - eye.xyz / eye.w : lightPosition.xyz;
        float lLength = length(l);
        if (lLength > 0.0) l /= lLength;
        float nDotL = dot(n, l);
        float specularFactor = 0.0;
        if (nDotL > 0.0) {
            vec3 h = l + vec3(0.0, 0.0, 1.0);
            float hLength = length(h);
            if (hLength > 0.0) h /= hLength;
            float nDotH = max(0.0, dot(n, h));
            specularFactor = shininess == 0.0 ? 1.0 : pow(nDotH, shininess);
        }
        rgb += lightAmbient.rgb * materialAmbient.rgb + max(0.0, nDotL) * lightDiffuse.rgb * materialDiffuse.rgb +
               specularFactor * lightSpecular.rgb * materialSpecular.rgb;
    }
    return vec4(clamp(rgb, 0.0, 1.0), clamp(materialDiffuse.a, 0.0, 1.0));
}

void main() {
    int side = gl_VertexID / 6;
    int strip = 2 * side + stripCorner[gl_VertexID % 6];
    int slice = strip / 2;
    vec4 eye = eyeOf(corner(slice, strip % 2 == 1));
    gl_Position = projection * eye;
    st = textured ? vec2(1.0 - float(slice) / 4.0, float(strip % 2)) : currentTexCoord;

    float deltaRadius = shape.x - shape.y;
    float length = sqrt(deltaRadius * deltaRadius + shape.z * shape.z);
    vec2 around = shape.z / length * circle[side + 1];
    vec3 normal = vec3(around, deltaRadius / length);
    vec4 c = lit(eyeOf(corner(side + 1, true)), eyeNormal(normal));
    colour = floor(c * 255.0 + 0.5) / 255.0;  // the 8 bits a corner's colour has the other way
}
)";

const char* const kFlatFragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D picture;
in vec2 st;
flat in vec4 colour;
out vec4 fragmentColour;
void main() {
    fragmentColour = texture(picture, st) * colour;
}
)";

}  // namespace fixedgl
