#include "model/idle_control.h"

#include <GL/glut.h>

#include "app/state.h"
#include "model/placement.h"

namespace {
bool idleRegistered = false;
long idleCalls = 0;

void toolkitIdle() {
    ++idleCalls;
    idle();
}
}  // namespace

void registerIdle() {
    glutIdleFunc(toolkitIdle);
    idleRegistered = true;
}

// Exactly the conditions under which idle() boosts or asks for a frame.
bool idleStepNeeded() { return holdBoosts() || !allGrown; }

void requestIdleWhileNeeded() {
    if (!idleRegistered && idleStepNeeded()) registerIdle();
}

void stopIdleWhenResting() {
    if (!idleRegistered || idleStepNeeded()) return;
    glutIdleFunc(nullptr);
    idleRegistered = false;
}

long toolkitIdleCalls() { return idleCalls; }
