// What the page's own controls reach: the window's size in device pixels, the current mode, and
// a frame drawn on demand (Save picture reads it in the same task).

#include <GL/glut.h>
#include <emscripten.h>

#include "app/state.h"
#include "render/frame.h"

extern "C" {

void frimel_display() { display(); }

// The canvas's real size: GLUT sets the drawing buffer and calls the program's reshape.
EMSCRIPTEN_KEEPALIVE void frimel_resize(int width, int height) {
    if (width > 0 && height > 0) glutReshapeWindow(width, height);
}

// The main menu's value for the entry that picks the mode in force (the page shows its label).
EMSCRIPTEN_KEEPALIVE int frimel_mode() {
    if (rotateMode != 0) return 2;     // "Rotate Scene (R)"
    return placeKind == 0 ? 1 : 5;     // "Draw Crystals (Y)" or "Draw Chunks (U)"
}

}  // extern "C"
