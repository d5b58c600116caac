#include "render/frame.h"

#include <GL/glut.h>

#include "app/state.h"
#include "model/growth.h"
#include "model/idle_control.h"
#include "render/backdrop.h"
#include "render/crystal_geometry.h"
#include "trackball/trackball.h"

void composeFrame(void (*drawObjects)()) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    if (rotateMode == 1 && mouseDown) trackballStep();
    updateAllGrown();
    requestIdleWhileNeeded();

    // The camera only steps back from the origin.
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0, 0, 6, 0, 0, 0, 0, 1, 0);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewMatrix);
    glPopMatrix();

    // Fixed in front of the eye: neither camera nor rotation moves it.
    drawBackdrop();

    glPushMatrix();
    glLoadIdentity();
    glMultMatrixf(viewMatrix);
    glMultMatrixf(sceneRotation);
    drawSurface();
    drawObjects();
    glPopMatrix();
}

void display() {
    composeFrame(drawCrystals);
    glutSwapBuffers();
}
