#include "render/crystal_geometry.h"

#include <GL/glut.h>

#include <cstddef>

#include "app/state.h"
#include "model/growth.h"
#include "render/light.h"

namespace {
void pushMatrix() { glPushMatrix(); }
void popMatrix() { glPopMatrix(); }
void rotate(float degrees, float x, float y, float z) { glRotatef(degrees, x, y, z); }
void translate(float x, float y, float z) { glTranslatef(x, y, z); }
void cone(double base, double top, double height) { gluCylinder(quadric, base, top, height, 4, 1); }
bool neverFull() { return false; }
const ConePen kGlPen = {pushMatrix, popMatrix, rotate, translate, cone, neverFull};
}  // namespace

const ConePen& glConePen() { return kGlPen; }

void drawCrystals() {
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1.0f, 1.0f, 1.0f);
    setMaterial(crystalMaterial);
    const PenInUse drawing(kGlPen, settingsInForce());
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
}
