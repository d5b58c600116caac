// What the page's own controls reach: the window's size in device pixels, the keys the menu
// lacks, which entries stand for the settings in force (the toolbar shows them), and a frame
// drawn on demand (Save picture reads it in the same task).

#include <GL/glut.h>
#include <emscripten.h>

#include "app/commands.h"
#include "app/state.h"
#include "render/frame.h"
#include "web/bridge/menus.h"

namespace {
// How the toolbar shows an entry.
enum EntryState { kCommand = -1, kNotChosen = 0, kChosen = 1, kEndsProgram = 2 };

int chosen(bool inForce) { return inForce ? kChosen : kNotChosen; }

int mainEntryState(int value) {
    switch (value) {
    case 1: return chosen(rotateMode == 0 && placeKind == 0);  // "Draw Crystals (Y)"
    case 5: return chosen(rotateMode == 0 && placeKind == 1);  // "Draw Chunks (U)"
    case 2: return chosen(rotateMode != 0);                    // "Rotate Scene (R)"
    case 3: return chosen(translucent == 0.0f);                // "Opaque (O)"
    case 4: return chosen(translucent != 0.0f);                // "Translucent (T)"
    case 9: return chosen(snowSurface != 0);                   // "Toggle Surface Texture (S)"
    case 6: return kEndsProgram;                               // "Exit (Q)"
    default: return kCommand;
    }
}
}  // namespace

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

// An entry of a menu the program built, as the toolbar shows it (see EntryState).
EMSCRIPTEN_KEEPALIVE int frimel_entry_state(int menu, int value) {
    const MenuHandler handler = menuHandler(menu);
    if (handler == mainMenu) return mainEntryState(value);
    if (handler == colorMenu) return chosen(colorTexture(value) == crystalTexture);
    if (handler == depthMenu) return chosen(depthThreshold(value) == fractalThreshold);
    int layout = 0;
    bool arms = false;
    if (handler == complexityMenu && complexitySetting(value, layout, arms)) {
        return chosen(layout == armLayout && arms == sideBranches);
    }
    return kCommand;
}

// The commands that are keys only: the deepest branching, side arms and four arms a side.
EMSCRIPTEN_KEEPALIVE int frimel_key_state(int key) {
    switch (key) {
    case '4': return chosen(fractalThreshold == depthKeyThreshold('4'));
    case 'b': return chosen(sideBranches);
    case 'd': return chosen(armLayout == 0);
    default: return kCommand;
    }
}

EMSCRIPTEN_KEEPALIVE void frimel_key(int key) { keyboard(static_cast<unsigned char>(key), 0, 0); }

}  // extern "C"
