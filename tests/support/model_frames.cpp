#include "support/model_frames.h"

#include <GL/glut.h>

#include <chrono>
#include <thread>

#include "app/state.h"

namespace {
void waitBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
}  // namespace

bool frameArrives(const DisplayCounter& frames) {
    for (int i = 0; i < 1500; ++i) {
        pumpEvents(1);
        if (frames.count() > 0) return true;
        waitBriefly();
    }
    return false;
}

void pumpQuietly() {
    for (int i = 0; i < 20; ++i) {
        pumpEvents(1);
        waitBriefly();
    }
}

void settleWindowFrames() {
    DisplayCounter frames;
    glutPostRedisplay();
    frameArrives(frames);
    pumpQuietly();
}

void ModelTest::SetUp() {
    startFrimelWindow();
    windowWidth = 600;
    windowHeight = 600;
}
