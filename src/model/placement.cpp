#include "model/placement.h"

#include <GL/glut.h>

#include <cstdio>
#include <memory>

#include "app/state.h"
#include "model/idle_control.h"
#include "model/surface_mapping.h"
#include "render/cone_count.h"
#include "render/crystal_shape.h"

namespace {
// Set once a hold has enlarged its object as far as the frame's bound allows; a press or a
// moved drag step starts a new hold.
bool holdStopped = false;
// The console says once per gesture why the bound stopped it.
bool boundTold = false;

void tellBound(const char* line) {
    if (boundTold) return;
    boundTold = true;
    std::printf("%s\n", line);
}

void startGesture() {
    growthBoost = 0.0f;
    holdStopped = false;
}

bool liesOnSurface(const Crystal& c) { return onSurface(c.x, c.y); }

// Whether the scene with the candidate added still rests within the frame's bound.
bool roomFor(Crystal& candidate) {
    crystals.push_back(&candidate);
    const bool fits = sceneWithinBound(settingsInForce());
    crystals.pop_back();
    if (!fits) tellBound("Not placed: the scene would take too long to draw");
    return fits;
}

// The hold-to-grow boost, unless it would take the scene past the bound: then the hold ends.
void boostHeldObject() {
    const float boost = static_cast<float>(growthBoost + 0.0001);
    const float before = currentCrystal->maxSize;
    currentCrystal->maxSize = before + boost;
    if (sceneWithinBound(settingsInForce())) {
        growthBoost = boost;
        return;
    }
    currentCrystal->maxSize = before;
    holdStopped = true;
    tellBound("The crystal grows no larger: the scene would take too long to draw");
}

void placeByClick(int x, int fy) {
    auto candidate = std::make_unique<Crystal>(static_cast<float>(x), static_cast<float>(fy));
    if (!liesOnSurface(*candidate) || !roomFor(*candidate)) return;  // the candidate is destroyed here
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
    if (crystalDistance(anchorCrystal, candidate.get()) > 0.05 && liesOnSurface(*candidate) &&
        roomFor(*candidate)) {
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
    boundTold = false;
    startGesture();
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
        startGesture();
        lastDragX = static_cast<float>(x);
        lastDragY = static_cast<float>(y);
        placeByDrag(x, windowHeight - 1 - y);
    }
    idle();
    requestIdleWhileNeeded();
    glutPostRedisplay();
}

void idle() {
    if (holdBoosts()) boostHeldObject();
    if (!allGrown) glutPostRedisplay();
    stopIdleWhenResting();
}

bool holdBoosts() { return mouseDown && rotateMode == 0 && !holdStopped; }
