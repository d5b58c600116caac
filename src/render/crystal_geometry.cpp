#include "render/crystal_geometry.h"

#include <GL/glut.h>

#include <algorithm>
#include <cstddef>

#include "app/state.h"
#include "model/growth.h"
#include "render/cone_count.h"
#include "render/light.h"

namespace {
void pushMatrix() { glPushMatrix(); }
void popMatrix() { glPopMatrix(); }
void rotate(float degrees, float x, float y, float z) { glRotatef(degrees, x, y, z); }
void translate(float x, float y, float z) { glTranslatef(x, y, z); }
// Scenes are let in only when their frame at rest stays within the bound, so a frame never meets
// this; it holds all the same for a scene that no check foresaw.
std::int64_t conesThisFrame = 0;
void cone(double base, double top, double height) {
    if (++conesThisFrame > kFrameConeBound) return;
    gluCylinder(quadric, base, top, height, 4, 1);
}
bool frameFull() { return conesThisFrame >= kFrameConeBound; }
std::int64_t conesOfLastFrame = 0;
const ConePen kGlPen = {pushMatrix, popMatrix, rotate, translate, cone, frameFull};
}  // namespace

const ConePen& startFrameCones() {
    conesThisFrame = 0;
    return kGlPen;
}

void drawCrystals() {
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1.0f, 1.0f, 1.0f);
    setMaterial(crystalMaterial);
    const PenInUse drawing(startFrameCones(), settingsInForce());
    const std::size_t count = crystals.size();
    for (std::size_t i = 0; i < count; ++i) {
        Crystal* c = crystals[i];
        const Crystal* previous = crystals[i == 0 ? 0 : i - 1];
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(c->texture));
        glPushMatrix();
        enterHeadingFrame(*c);
        drawObject(*c, *previous, count > 1);
        glPopMatrix();
        if (!allGrown) growCrystal(c);
    }
    conesOfLastFrame = std::min(conesThisFrame, kFrameConeBound);
}

std::int64_t conesInLastFrame() { return conesOfLastFrame; }
