#include "web/cone_instances.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

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
    const double deltaRadius = baseRadius - topRadius;
    const bool drawnAtAll = baseRadius >= 0.0 && topRadius >= 0.0 && height >= 0.0 &&
                            deltaRadius * deltaRadius + height * height > 0.0;
    return slices == kConeSlices && stacks == 1 && affine(gl.modelView.back()) && drawnAtAll;
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
            run.first = batch.indices.size();
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
    const std::uint32_t base = static_cast<std::uint32_t>(batch.instances.size() - 1) * kConeStripCorners;
    const bool pointed = cone.topRadius == 0.0f;
    for (std::uint32_t side = 0; side < kConeSlices; ++side) {
        const std::uint32_t at = base + 2 * side;
        if (!pointed) batch.indices.insert(batch.indices.end(), {at, at + 1, at + 3});
        batch.indices.insert(batch.indices.end(), {at, at + 3, at + 2});
    }
    batch.runs.back().count = batch.indices.size() - batch.runs.back().first;
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

int padToRows(ConeBatch& batch) {
    const std::size_t rows = (batch.instances.size() + kConesPerRow - 1) / kConesPerRow;
    batch.instances.resize(rows * kConesPerRow, ConeInstance{});
    return static_cast<int>(rows);
}

void emptyCones(ConeBatch& batch) {
    batch.instances.clear();
    batch.indices.clear();
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
    // A light at a point goes as the point (divided as the triangles' way divides it), flagged by
    // w = 1; a light at infinity as its direction, with w = 0.
    const Vec4& p = light.position;
    const float position[4] = {p.w != 0.0f ? p.x / p.w : p.x, p.w != 0.0f ? p.y / p.w : p.y,
                               p.w != 0.0f ? p.z / p.w : p.z, p.w != 0.0f ? 1.0f : 0.0f};
    const ConeUniform all[] = {
        uniform("projection", 16, look.projection.m),
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
    static_assert(sizeof all / sizeof all[0] == kConeUniforms, "one location a uniform");
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

static_assert(kConeStripCorners == 10 && kConesPerRow == 256, "the cone shader's own numbers");

namespace {
// One corner of GLU's quad strip a vertex, numbered cone by cone. Flat shading takes a triangle's
// colour from its last corner: the strip's corner 2i+3 for the first triangle of side i, 2i+2 for
// the second, both of slice i+1, and the side's colour is what lighting gives the corner 2i+3.
// So every corner is lit as the top corner of its own slice is.
const char* const kConeShaderBody = R"(
uniform highp sampler2D cones;  // four texels a cone: its model-view's rows, then its shape
uniform mat4 projection;
uniform vec2 circle[5];  // sine and cosine of each slice's angle
uniform bool normalizing, textured, lightOn;
uniform vec4 lightPosition, lightAmbient, lightDiffuse, lightSpecular;
uniform vec4 materialAmbient, materialDiffuse, materialSpecular, materialEmission;
uniform float shininess;
uniform vec4 sceneAmbient, currentColour;
uniform vec2 currentTexCoord;
out vec2 st;
flat out vec4 colour;

vec4 row0, row1, row2, shape;  // shape: base radius, top radius, height

vec3 corner(int slice, bool top) {
    float radius = top ? shape.y : shape.x;
    return vec3(radius * circle[slice], top ? shape.z : 0.0);
}

vec4 eyeOf(vec3 p) {
    vec4 q = vec4(p, 1.0);
    return vec4(dot(row0, q), dot(row1, q), dot(row2, q), 1.0);
}

// The inverse transpose of the model-view's upper 3 x 3, as its adjugate over its determinant;
// a normal about to be normalized needs only the determinant's sign.
vec3 eyeNormal(vec3 n) {
    vec3 c0 = vec3(row0.x, row1.x, row2.x);
    vec3 c1 = vec3(row0.y, row1.y, row2.y);
    vec3 c2 = vec3(row0.z, row1.z, row2.z);
    vec3 a0 = cross(c1, c2);
    float determinant = dot(c0, a0);
    if (determinant == 0.0) return vec3(0.0);
    vec3 m = mat3(a0, cross(c2, c0), cross(c0, c1)) * n;
    if (!normalizing) return m / determinant;
    return determinant < 0.0 ? -m : m;
}

vec3 unit(vec3 v) {
    float square = dot(v, v);
    return square > 0.0 ? v * inversesqrt(square) : v;
}

vec4 lit(vec4 eye, vec3 n) {
    if (normalizing) n = unit(n);
    vec3 rgb = materialEmission.rgb + sceneAmbient.rgb * materialAmbient.rgb;
    if (lightOn) {
        vec3 l = lightPosition.w != 0.0 ? lightPosition.xyz - eye.xyz : lightPosition.xyz;  // eye.w is 1
        l = unit(l);
        float nDotL = dot(n, l);
        vec3 shine = lightSpecular.rgb * materialSpecular.rgb;
        float specularFactor = 0.0;
#if SHINY
        if (nDotL > 0.0) {
            vec3 h = unit(l + vec3(0.0, 0.0, 1.0));
            float nDotH = max(0.0, dot(n, h));
            specularFactor = shininess == 0.0 ? 1.0 : pow(nDotH, shininess);
        }
#endif
        rgb += lightAmbient.rgb * materialAmbient.rgb + max(0.0, nDotL) * lightDiffuse.rgb * materialDiffuse.rgb +
               specularFactor * shine;
    }
    return vec4(clamp(rgb, 0.0, 1.0), clamp(materialDiffuse.a, 0.0, 1.0));
}

void main() {
    int cone = gl_VertexID / 10;
    int strip = gl_VertexID - 10 * cone;
    ivec2 at = ivec2(4 * (cone % 256), cone / 256);
    row0 = texelFetch(cones, at, 0);
    row1 = texelFetch(cones, at + ivec2(1, 0), 0);
    row2 = texelFetch(cones, at + ivec2(2, 0), 0);
    shape = texelFetch(cones, at + ivec2(3, 0), 0);
    int slice = strip / 2;
    bool top = strip % 2 == 1;
    vec3 position = corner(slice, top);
    vec4 eye = eyeOf(position);
    gl_Position = projection * eye;
    st = textured ? vec2(1.0 - float(slice) / 4.0, float(top)) : currentTexCoord;

#if LIT
    float deltaRadius = shape.x - shape.y;
    float length = sqrt(deltaRadius * deltaRadius + shape.z * shape.z);
    vec3 normal = vec3(shape.z / length * circle[slice], deltaRadius / length);
#endif
#if LIT
    vec4 c = lit(top ? eye : eyeOf(corner(slice, true)), eyeNormal(normal));
#else
    vec4 c = currentColour;
#endif
    colour = floor(c * 255.0 + 0.5) / 255.0;  // the 8 bits a corner's colour has the other way
}
)";

}  // namespace

int coneShaderVariant(const ConeLook& look) {
    if (!look.lighting) return kUnlitCones;
    const float* l = look.light0.specular;
    const float* m = look.material.specular;
    const bool shines = look.light0.enabled && (l[0] * m[0] != 0.0f || l[1] * m[1] != 0.0f || l[2] * m[2] != 0.0f);
    return shines ? kShinyCones : kMatteCones;
}

// A software renderer runs both sides of a branch: each variant holds only the code it runs.
std::string coneVertexShader(int variant) {
    std::string source = "#version 300 es\n";
    source += variant == kUnlitCones ? "#define LIT 0\n" : "#define LIT 1\n";
    source += variant == kShinyCones ? "#define SHINY 1\n" : "#define SHINY 0\n";
    return source + kConeShaderBody;
}

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
