// The parts of GLUT's main loop that emscripten's GLUT leaves out or paces otherwise: a buffer
// swap that draws the frame, idle calls taken in turn with the frames and none after the end, and
// a main loop that keeps the program alive between events (quitting forces the end).

#include <GL/glut.h>
#include <emscripten.h>

#include "web/bridge/gl_entry.h"
#include "web/device/draw_list_renderer.h"
#include "web/device/webgl_device.h"

namespace {
void (*idleHandler)() = nullptr;
bool idleTicking = false;
int idleCalls = 0;
int framesShown = 0;  // for the benches, which time the page's own work per frame

// One idle call an animation frame, once the last frame has been drawn. freeglut's loop takes an
// idle call and the frame it asked for in turn; a timer would call the idle handler many times
// during one long frame, and a held crystal would grow ever faster the slower its frames are
// drawn. Waiting for the graphics keeps a slow renderer from falling a frame behind, so a key
// pressed during a huge frame shows as soon as that frame is done. The runtime marks the end,
// by exit or by a fault, as aborted: from then on the loop calls nothing of the program and
// asks for no more frames.
EM_JS(void, requestIdleTicks, (), {
    function tick() {
        if (!ABORT && Module._frimel_idle_tick()) requestAnimationFrame(tick);
    }
    requestAnimationFrame(tick);
});
// Every change of mode asks for a frame: the page looks at the mode once a frame is shown, and
// not at all while the program rests.
EM_JS(void, frameShown, (), {
    if (Module.onFrameShown) Module.onFrameShown();
});
}  // namespace

extern "C" {

// One animation frame of the idle loop; whether the loop goes on.
EMSCRIPTEN_KEEPALIVE int frimel_idle_tick() {
    if (idleHandler && webgl::lastFrameDrawn()) {
        ++idleCalls;
        idleHandler();
    }
    idleTicking = idleHandler != nullptr;
    return idleTicking ? 1 : 0;
}

// The tests': how many idle calls the program has had (exported by the tests' program only).
int frimel_idle_calls() { return idleCalls; }

void glutIdleFunc(void (*handler)()) {
    idleHandler = handler;
    if (handler && !idleTicking) {
        idleTicking = true;
        requestIdleTicks();
    }
}

void glutSwapBuffers() {
    ++framesShown;
    webgl::drawPending();
    webgl::endFrame();
    frameShown();
}

// The window takes the canvas's size, which the page sets to the picture's box in device pixels
// before the program starts, so that the first frame is drawn at it; emscripten's would resize
// the canvas to the size asked for, and the page would resize it back straight after.
void glutInitWindowSize(int, int) {}

// As emscripten's: main returns to the browser, and the runtime stays alive until the program
// forces its end however the events come and go. The first reshape and frame follow in a task of
// their own, which first waits for the graphics to build the triangles' program: a wait that
// would otherwise lengthen the first frame, the longest task of the start.
void glutMainLoop() {
    emscripten_async_call([](void*) {
        webgl::trianglesProgram();
        glutReshapeWindow(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
        glutPostRedisplay();
    }, nullptr, 0);
    emscripten_exit_with_live_runtime();
}

// The benches': how many frames the program has shown (exported by the tests' program only).
int frimel_frames_shown() { return framesShown; }

}  // extern "C"
