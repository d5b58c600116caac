#include "model/placement.h"

#include <GL/glut.h>

#include <cstdio>
#include <memory>

#include "app/state.h"
#include "model/idle_control.h"
#include "model/surface_mapping.h"

namespace {
bool liesOnSurface(const Crystal& c) { return onSurface(c.x, c.y); }

void placeByClick(int x, int fy) {
    auto candidate = std::make_unique<Crystal>(static_cast<float>(x), static_cast<float>(fy));
    if (!liesOnSurface(*candidate)) return;  // the candidate is destroyed here
    Crystal* placed = keepCrystal(std::move(candidate));
    crystals.push_back(placed);
    linkCrystal = currentCrystal;
    currentCrystal = placed;
    placed->setParent(linkCrystal);
}

void placeByDrag(int x, int fy) {
    auto candidate = std::make_unique<Crystal>(static_cast<float>(x), static_cast<float>(fy));
    currentCrystal = candidate.get();
    candidate->setParent(anchorCrystal);
    if (crystalDistance(anchorCrystal, candidate.get()) > 0.05 && liesOnSurface(*candidate)) {
        Crystal* placed = keepCrystal(std::move(candidate));
        crystals.push_back(placed);
        anchorCrystal = placed;
    } else {
        // Too close or off the surface: holding still now enlarges the anchor.
        currentCrystal = anchorCrystal;
    }
}
}  // namespace

void mouse(int button, int state, int x, int y) {
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_UP) {
        mouseDown = false;
        return;
    }
    if (state != GLUT_DOWN) return;

    const int fy = windowHeight - 1 - y;
    std::printf("mouse clicked at %d %d\n", x, fy);
    prevMouseX = mouseX = x;
    prevMouseY = mouseY = fy;
    mouseDown = true;
    growthBoost = 0.0f;
    lastDragX = static_cast<float>(x);
    lastDragY = static_cast<float>(y);
    if (rotateMode == 0) {
        placeByClick(x, fy);
        idle();
    }
    requestIdleWhileNeeded();
    glutPostRedisplay();
}

void motion(int x, int y) {
    mouseDown = true;
    mouseX = x;
    mouseY = windowHeight - 1 - y;
    if (rotateMode != 0) {
        glutPostRedisplay();
        return;
    }
    if (static_cast<float>(x) != lastDragX || static_cast<float>(y) != lastDragY) {
        growthBoost = 0.0f;
        lastDragX = static_cast<float>(x);
        lastDragY = static_cast<float>(y);
        placeByDrag(x, windowHeight - 1 - y);
    }
    idle();
    requestIdleWhileNeeded();
    glutPostRedisplay();
}

void idle() {
    if (mouseDown && rotateMode == 0) {
        growthBoost = static_cast<float>(growthBoost + 0.0001);
        currentCrystal->maxSize = currentCrystal->maxSize + growthBoost;
    }
    if (!allGrown) glutPostRedisplay();
    stopIdleWhenResting();
}
