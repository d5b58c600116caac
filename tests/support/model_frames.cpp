#include "support/model_frames.h"

#include <GL/glut.h>

#include <chrono>
#include <thread>

namespace {
void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
}  // namespace

bool frameArrives(const DisplayCounter& frames) {
    for (int i = 0; i < 1500; ++i) {
        pumpEvents(1);
        if (frames.count() > 0) return true;
        pause();
    }
    return false;
}

void pumpQuietly() {
    for (int i = 0; i < 20; ++i) {
        pumpEvents(1);
        pause();
    }
}

void settleWindowFrames() {
    DisplayCounter frames;
    glutPostRedisplay();
    frameArrives(frames);
    pumpQuietly();
}
