#include "support/literal_drawing.h"

#include <GL/glut.h>

#include "app/state.h"
#include "model/growth.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "render/light.h"

void drawCrystalsLiteral() {
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1.0f, 1.0f, 1.0f);
    setMaterial(crystalMaterial);
    const PenInUse drawing(startFrameCones(), settingsInForce());
    const size_t n = crystals.size();
    for (size_t i = 0; i < n; ++i) {
        Crystal* c = crystals[i];
        const Crystal* previous = crystals[i == 0 ? 0 : i - 1];
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(c->texture));
        glPushMatrix();
        enterHeadingFrame(*c);
        if (c->kind == 0) {
            glPushMatrix();
            glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
            if (n == 1) {
                drawLongPair(*c);
            } else {
                for (size_t j = 0; j < n; ++j) {
                    if (j == 1) {
                        drawLongPair(*c);
                    } else {
                        drawShortPass(*c, *previous);
                    }
                }
            }
            glPopMatrix();
            drawSideArms(*c);
        } else if (c->kind == 1) {
            drawChunk(*c, 2.0f);
        }
        glPopMatrix();
        if (!allGrown) growCrystal(c);
    }
}

void composeLiteralFrame() { composeFrame(drawCrystalsLiteral); }
