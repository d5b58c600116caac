// What the page's own controls reach: the window's size in device pixels, the keys the menu
// lacks, a frame drawn on demand (Save picture reads it in the same task), and whether the
// scene rests.

#include <GL/glut.h>
#include <emscripten.h>

#include "app/commands.h"
#include "app/state.h"
#include "model/idle_control.h"
#include "render/frame.h"

extern "C" {

void frimel_display() { display(); }

// The canvas's real size: GLUT sets the drawing buffer and calls the program's reshape.
EMSCRIPTEN_KEEPALIVE void frimel_resize(int width, int height) {
    if (width > 0 && height > 0) glutReshapeWindow(width, height);
}

// In rotate mode the keyboard's arrows turn the scene.
EMSCRIPTEN_KEEPALIVE int frimel_rotating() { return rotateMode != 0 ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE void frimel_key(int key) { keyboard(static_cast<unsigned char>(key), 0, 0); }

// Whether the frame just shown is the last until the next input: nothing grows and nothing is held.
EMSCRIPTEN_KEEPALIVE int frimel_resting() { return idleStepNeeded() ? 0 : 1; }

}  // extern "C"
