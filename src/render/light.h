#pragma once

// Reflectance of a surface: ambient, diffuse and specular RGBA, then the specular exponent.
struct Material {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float shininess;
};

// Crystals and chunks: diffuse alpha 0.6, which translucent mode blends with.
extern const Material crystalMaterial;
// The backdrop and the snow surface: opaque.
extern const Material backdropMaterial;

extern const float lightPosition[4];
extern const float lightAmbient[4];
extern const float lightDiffuse[4];
extern const float lightSpecular[4];

// The one light, fixed relative to the viewer; also loads the bottom-of-stack identity.
void initLights();
void setMaterial(Material m);
// Switches blending to match translucent and asks for a redisplay.
void applyBlend();
