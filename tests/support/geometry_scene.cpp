#include "support/geometry_scene.h"

#include <cmath>
#include <memory>

#include "app/state.h"
#include "render/light.h"
#include "support/test_window.h"
#include "textures/textures.h"

void startGeometryScene() {
    startFrimelWindow();
    if (windowWidth != 600 || windowHeight != 600) resizeWindow(600, 600);
    crystals.clear();
    sideBranches = true;
    armLayout = 1;
    fractalThreshold = 0.24f;
    allGrown = true;
    rotateMode = 0;
    translucent = 0.0f;
    applyBlend();
}

float bankZ(float y) { return -(y / 3.0f) - 0.5f; }

Crystal* offSceneObject(float x, float y) {
    Crystal* c = keepCrystal(std::make_unique<Crystal>());
    c->x = x;
    c->y = y;
    c->z = bankZ(y);
    return c;
}

Crystal* addObject(int kind, float x, float y, Crystal* parent, float size, float maxSize) {
    Crystal* c = offSceneObject(x, y);
    c->kind = kind;
    c->texture = static_cast<int>(kWhiteIceTexture);
    c->parent = parent;
    c->maxSize = maxSize;
    for (float& g : c->growth) g = size;
    crystals.push_back(c);
    return c;
}

Crystal* addCrystal(float x, float y, Crystal* parent, float size, float maxSize) {
    return addObject(0, x, y, parent, size, maxSize);
}

WindowPoint projectFramePoint(const Crystal& c, double upX, double upY, double fx, double fy, double fz) {
    const double length = std::hypot(upX, upY);
    const double ux = upX / length;
    const double uy = upY / length;
    // In the bank's untilted plane.
    const double px = fx * uy + fy * ux;
    const double py = -fx * ux + fy * uy;
    const double pz = fz;
    const double tilt = 18.431219 * 3.141592653589793 / 180.0;
    const double wy = py * std::cos(tilt) + pz * std::sin(tilt);
    const double wz = -py * std::sin(tilt) + pz * std::cos(tilt);
    return projectToWindow(c.x + px, c.y + wy, c.z + wz);
}

WindowPoint projectPosition(const Crystal& c) { return projectToWindow(c.x, c.y, c.z); }
