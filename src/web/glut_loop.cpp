// The parts of GLUT's main loop that emscripten's GLUT leaves out: a buffer swap that draws the
// frame, a main loop that keeps the program alive between events, and an exit() that ends it.

#include <GL/glut.h>
#include <emscripten.h>

#include "web/gl_entry.h"
#include "web/webgl_backend.h"

namespace {
// exit() finds the runtime kept alive (by the main loop, or by a pending idle call) and would
// only unwind the stack: the program would go on drawing. Forcing the end flushes standard
// output and tells the page through Module.onExit.
EM_JS(void, endRuntimeOnExit, (), {
    var quitBefore = quit_;
    quit_ = function(status, thrown) {
        if (!runtimeExited) _frimel_end_runtime(status);
        quitBefore(status, thrown);
    };
});

const bool exitEndsRuntime = (endRuntimeOnExit(), true);
}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void frimel_end_runtime(int status) { emscripten_force_exit(status); }

void glutSwapBuffers() {
    webgl::drawPending();
    webgl::endFrame();
}

// As emscripten's: the first reshape and frame are requested, then main returns to the browser;
// the runtime stays alive until exit() however the events come and go.
void glutMainLoop() {
    glutReshapeWindow(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    glutPostRedisplay();
    emscripten_exit_with_live_runtime();
}

}  // extern "C"
