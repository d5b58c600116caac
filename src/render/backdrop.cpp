#include "render/backdrop.h"

#include <GL/glut.h>

#include <cmath>

#include "app/state.h"
#include "render/light.h"
#include "textures/textures.h"

namespace {
struct Corner {
    float s, t;
    float x, y, z;
};

// Both quads share one normal, tilted up toward the light, not the bank's own.
void drawTexturedQuad(unsigned textureName, const Corner (&corners)[4]) {
    setMaterial(backdropMaterial);
    const Point3 normal = normalizeVector(0.0f, 0.5f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glNormal3f(normal.x, normal.y, normal.z);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_POLYGON);
    for (const Corner& c : corners) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
}

const Corner backdropCorners[4] = {{0, 1, -2.7f, 2.7f, -10},
                                   {1, 1, 2.7f, 2.7f, -10},
                                   {1, 0, 2.7f, -2.7f, -10},
                                   {0, 0, -2.7f, -2.7f, -10}};

// Lower edge at z = 0, upper edge one unit farther away.
const Corner surfaceCorners[4] = {{0, 1, -1.5f, 1.5f, -1},
                                  {1, 1, 1.5f, 1.5f, -1},
                                  {1, 0, 1.5f, -1.5f, 0},
                                  {0, 0, -1.5f, -1.5f, 0}};
}  // namespace

Point3 normalizeVector(float x, float y, float z) {
    const float sum = static_cast<float>(static_cast<double>(x) * x + static_cast<double>(y) * y +
                                         static_cast<double>(z) * z);
    const double length = std::sqrt(static_cast<double>(sum));
    return Point3{static_cast<float>(x / length), static_cast<float>(y / length),
                  static_cast<float>(z / length)};
}

void drawBackdrop() { drawTexturedQuad(kBackdropTexture, backdropCorners); }

void drawSurface() {
    drawTexturedQuad(snowSurface != 0 ? kSnowTexture : kWhiteTexture, surfaceCorners);
}
