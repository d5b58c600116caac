#pragma once

// How the layer lights and colours, in C++ for the triangles (lit per face on the main thread)
// and in GLSL for the cones (lit in their vertex shader): both halves in shading.cpp, side by
// side, with the uniforms that carry a cone run's look to its shader.

#include <string>

#include "web/pipeline/cone_instances.h"
#include "web/pipeline/fixed_state.h"

namespace fixedgl {

// The colour lighting gives a vertex at eyePosition with eyeNormal (already in eye
// coordinates; normalized here when GL_NORMALIZE is on), clamped to [0, 1], alpha from the
// diffuse material: one light, no attenuation or spot, one-sided, infinite viewer. Without
// lighting, the current colour.
void litColour(const FixedState& gl, Vec4 eyePosition, const float eyeNormal[3], const float currentColour[4],
               float out[4]);

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
// Texture units: the picture's, and the one the cones' instances are fetched from.
constexpr int kPictureUnit = 0;
constexpr int kConeInstanceUnit = 1;

// The cone's vertex shader comes in variants, by how a run's look is lit.
enum ConeShaderVariant { kUnlitCones, kMatteCones, kShinyCones, kConeShaderVariants };
int coneShaderVariant(const ConeLook& look);

// GLSL ES 3.00 sources: a variant of the cone's vertex shader, the triangles' vertex shader (its
// attributes at the locations below), and the fragment shader both share.
std::string coneVertexShader(int variant);
extern const char* const kTrianglesVertexShader;
extern const char* const kFlatFragmentShader;
enum TriangleAttribute { kClipPosition = 0, kTexCoord = 1, kFaceColour = 2 };

}  // namespace fixedgl
