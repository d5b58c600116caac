#include "model/history.h"

#include <GL/glut.h>

#include <memory>

#include "app/state.h"
#include "model/idle_control.h"
#include "render/light.h"
#include "trackball/trackball.h"

void undoLast() {
    if (!crystals.empty()) crystals.pop_back();
    if (!crystals.empty()) {
        currentCrystal = crystals.back();
    } else {
        // As at start-up: the next click-placed object is oriented toward the origin.
        currentCrystal = keepCrystal(std::make_unique<Crystal>());
        linkCrystal = keepCrystal(std::make_unique<Crystal>());
    }
    glutPostRedisplay();
}

void clearScene() {
    rotateMode = 0;
    translucent = 0.0f;
    applyBlend();
    resetRotation();
    crystals.clear();
    // Out of rotate mode a held button boosts again, whether or not a frame follows.
    requestIdleWhileNeeded();
    glutPostRedisplay();
}
