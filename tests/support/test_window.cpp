#include "support/test_window.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include "app/startup.h"
#include "app/state.h"
#include "render/frame.h"

namespace {
bool started = false;
int displayCalls = 0;

void countingDisplay() {
    ++displayCalls;
    display();
}

std::vector<uint8_t> readBuffer(GLenum buffer) {
    std::vector<uint8_t> rgb(static_cast<size_t>(windowWidth) * windowHeight * 3);
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}
}  // namespace

void pumpEvents(int rounds) {
    for (int i = 0; i < rounds; ++i) glutMainLoopEvent();
}

void startFrimelWindow() {
    if (started) return;
    started = true;
    static char name[] = "frimel_tests";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    startUp(&argc, argv);
    for (int i = 0; i < 200 && windowWidth != 600; ++i) glutMainLoopEvent();
}

void resizeWindow(int width, int height) {
    glutReshapeWindow(width, height);
    // The X server answers a resize in its own time: a burst of empty rounds can miss it.
    for (int i = 0; i < 400 && (windowWidth != width || windowHeight != height); ++i) {
        glutMainLoopEvent();
        if (windowWidth != width || windowHeight != height) usleep(5000);
    }
}

std::vector<uint8_t> drawAndReadFrame() {
    display();
    return readShownFrame();
}

// Mesa's software renderer keeps the back buffer across the swap, so it holds the frame just
// shown; the front buffer of an X window cannot be read back there.
std::vector<uint8_t> readShownFrame() {
    glFinish();
    return readBuffer(GL_BACK);
}

DisplayCounter::DisplayCounter() {
    displayCalls = 0;
    glutDisplayFunc(countingDisplay);
}

DisplayCounter::~DisplayCounter() { glutDisplayFunc(display); }

int DisplayCounter::count() const { return displayCalls; }
