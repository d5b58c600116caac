#include "model/idle_control.h"

#include <GL/glut.h>

#include "app/state.h"
#include "model/placement.h"

namespace {
bool idleRegistered = false;
}

void registerIdle() {
    glutIdleFunc(idle);
    idleRegistered = true;
}

bool idleStepNeeded() { return (mouseDown && rotateMode == 0) || !allGrown; }

void requestIdleWhileNeeded() {
    if (!idleRegistered && idleStepNeeded()) registerIdle();
}

void stopIdleWhenResting() {
    if (!idleRegistered || idleStepNeeded()) return;
    glutIdleFunc(nullptr);
    idleRegistered = false;
}
