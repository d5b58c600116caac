#include "web/pipeline/shading.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace fixedgl {
namespace {
void copy4(const float* from, float* to) { std::memcpy(to, from, 4 * sizeof(float)); }

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
}  // namespace

// Mirrored by lit() in the cone shader below.
void litColour(const FixedState& gl, Vec4 eyePosition, const float eyeNormal[3], const float currentColour[4],
               float out[4]) {
    if (!gl.lighting()) {
        copy4(currentColour, out);
        return;
    }
    const FrontMaterial& m = gl.material();
    float n[3] = {eyeNormal[0], eyeNormal[1], eyeNormal[2]};
    if (gl.normalizing()) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            for (float& v : n) v /= length;
        }
    }
    float rgb[3];
    for (int k = 0; k < 3; ++k) rgb[k] = m.emission[k] + gl.sceneAmbient()[k] * m.ambient[k];
    const Light& light = gl.light0();
    if (light.enabled) {
        float l[3];
        if (light.position.w != 0.0f) {
            l[0] = light.position.x / light.position.w - eyePosition.x / eyePosition.w;
            l[1] = light.position.y / light.position.w - eyePosition.y / eyePosition.w;
            l[2] = light.position.z / light.position.w - eyePosition.z / eyePosition.w;
        } else {
            l[0] = light.position.x;
            l[1] = light.position.y;
            l[2] = light.position.z;
        }
        const float lLength = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
        if (lLength > 0.0f) {
            for (float& v : l) v /= lLength;
        }
        const float nDotL = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
        float specularFactor = 0.0f;
        if (nDotL > 0.0f) {
            float h[3] = {l[0], l[1], l[2] + 1.0f};
            const float hLength = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            if (hLength > 0.0f) {
                for (float& v : h) v /= hLength;
            }
            const float nDotH = std::max(0.0f, n[0] * h[0] + n[1] * h[1] + n[2] * h[2]);
            specularFactor = m.shininess == 0.0f ? 1.0f : std::pow(nDotH, m.shininess);
        }
        const float diffuseFactor = std::max(0.0f, nDotL);
        for (int k = 0; k < 3; ++k) {
            rgb[k] += light.ambient[k] * m.ambient[k] +
                      diffuseFactor * light.diffuse[k] * m.diffuse[k] +
                      specularFactor * light.specular[k] * m.specular[k];
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = clamp01(rgb[k]);
    out[3] = clamp01(m.diffuse[3]);
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

namespace {
// One corner of GLU's quad strip a vertex, numbered cone by cone. Flat shading takes a triangle's
// colour from its last corner: the strip's corner 2i+3 for the first triangle of side i, 2i+2 for
// the second, both of slice i+1, and the side's colour is what lighting gives the corner 2i+3.
// So every corner is lit as the top corner of its own slice is. lit() mirrors litColour above.
const char* const kConeShaderBody = R"(
uniform highp sampler2D cones;  // four texels a cone: its model-view's rows, then its shape
uniform mat4 projection;
uniform vec2 circle[SLICES + 1];  // sine and cosine of each slice's angle
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
    int cone = gl_VertexID / STRIP_CORNERS;
    int strip = gl_VertexID - STRIP_CORNERS * cone;
    ivec2 at = ivec2(TEXELS_PER_CONE * (cone % CONES_PER_ROW), cone / CONES_PER_ROW);
    row0 = texelFetch(cones, at, 0);
    row1 = texelFetch(cones, at + ivec2(1, 0), 0);
    row2 = texelFetch(cones, at + ivec2(2, 0), 0);
    shape = texelFetch(cones, at + ivec2(3, 0), 0);
    int slice = strip / 2;
    bool top = strip % 2 == 1;
    vec3 position = corner(slice, top);
    vec4 eye = eyeOf(position);
    gl_Position = projection * eye;
    st = textured ? vec2(1.0 - float(slice) / float(SLICES), float(top)) : currentTexCoord;

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
    // The shader's numbers are the C++ ones.
    source += "#define SLICES " + std::to_string(kConeSlices) + "\n";
    source += "#define STRIP_CORNERS " + std::to_string(kConeStripCorners) + "\n";
    source += "#define CONES_PER_ROW " + std::to_string(kConesPerRow) + "\n";
    source += "#define TEXELS_PER_CONE " + std::to_string(kTexelsPerCone) + "\n";
    return source + kConeShaderBody;
}

// Clip-space corners with their texture coordinate and the face's colour, as immediate mode
// computed them: the shaders only sample and modulate (GL_MODULATE with RGB textures). A flat
// output takes the colour of a triangle's last corner, where immediate mode put it.
const char* const kTrianglesVertexShader = R"(#version 300 es
layout(location = 0) in vec4 clipPosition;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 faceColour;
out vec2 st;
flat out vec4 colour;
void main() {
    gl_Position = clipPosition;
    st = texCoord;
    colour = faceColour;
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
