#include "app/commands.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#endif

#include "app/state.h"
#include "model/fractal_depth.h"
#include "model/history.h"
#include "model/idle_control.h"
#include "render/cone_count.h"
#include "render/crystal_shape.h"
#include "render/light.h"
#include "textures/textures.h"
#include "trackball/trackball.h"

namespace {
// In the browser the program outlives main, waiting for events, and exit() would only unwind
// the handler: there the end is forced, which also ends the runtime and tells the page.
[[noreturn]] void quit() {
#ifdef __EMSCRIPTEN__
    emscripten_force_exit(0);
#endif
    std::exit(0);
}

void choosePlacing(int kind) {
    placeKind = kind;
    rotateMode = 0;
    resetRotation();
    // A button still held now boosts; no frame may come to re-arm idle.
    requestIdleWhileNeeded();
}

void setTranslucent(float value) {
    translucent = value;
    applyBlend();
}

void toggleSurface() { snowSurface = snowSurface == 0 ? 1 : 0; }

// Arms and depth change every crystal's cones: a change that would take the scene past the
// frame's bound is not made, and the console says why.
bool applyShape(const ShapeSettings& next) {
    if (!sceneWithinBound(next)) {
        std::printf("Not changed: at that setting the scene would take too long to draw\n");
        return false;
    }
    sideBranches = next.sideBranches;
    armLayout = next.armLayout;
    fractalThreshold = next.fractalThreshold;
    return true;
}

bool applyDepth(float threshold) {
    ShapeSettings next = settingsInForce();
    next.fractalThreshold = threshold;
    return applyShape(next);
}
}  // namespace

float depthKeyThreshold(unsigned char key) {
    return key >= '1' && key <= '4' ? kFractalThresholds[key - '1'] : 0.0f;
}

void keyboard(unsigned char key, int, int) {
    ShapeSettings next = settingsInForce();
    switch (key) {
    case '1': case '2': case '3': case '4':
        if (!applyDepth(depthKeyThreshold(key))) return;
        break;
    case 'b': case 'B':
        next.sideBranches = !next.sideBranches;
        if (!applyShape(next)) return;
        break;
    case 'c': case 'C': clearScene(); return;
    case 'd': case 'D':
        next.armLayout = next.armLayout == 0 ? 1 : 0;
        if (!applyShape(next)) return;
        break;
    case 'o': case 'O': setTranslucent(0.0f); return;
    case 'q': case 'Q': quit();
    case 'r': case 'R': rotateMode = 1; break;
    case 's': case 'S': toggleSurface(); break;
    case 't': case 'T': setTranslucent(1.0f); return;
    case 'u': case 'U': choosePlacing(1); break;
    case 'y': case 'Y': choosePlacing(0); break;
    case 'z': case 'Z': undoLast(); return;
    default: return;
    }
    glutPostRedisplay();
}

void mainMenu(int value) {
    switch (value) {
    case 0: clearScene(); break;
    case 1:
        choosePlacing(0);
        std::printf("Draw Crystals Mode\n");
        break;
    case 2:
        std::printf("Rotate Mode\n");
        rotateMode = 1;
        break;
    case 3: setTranslucent(0.0f); break;
    case 4: setTranslucent(1.0f); break;
    case 5:
        choosePlacing(1);
        std::printf("Draw Chunks Mode\n");
        break;
    case 6: quit();
    case 8: undoLast(); break;
    case 9: toggleSurface(); break;
    default: return;
    }
    glutPostRedisplay();
}

int colorTexture(int value) {
    switch (value) {
    case 0: return kWhiteIceTexture;
    case 1: return kBlueIceTexture;
    case 2: return kRedIceTexture;
    case 3: return kGreenIceTexture;
    case 4: return kPurpleIceTexture;
    default: return -1;
    }
}

bool complexitySetting(int value, int& layout, bool& arms) {
    switch (value) {
    case 1: layout = 0; arms = false; return true;
    case 2: layout = 1; arms = true; return true;
    case 3: layout = 0; arms = true; return true;
    default: return false;
    }
}

float depthThreshold(int value) {
    return value >= 1 && value <= 3 ? kFractalThresholds[value - 1] : 0.0f;
}

// Changes only what later objects look like, so nothing needs redrawing.
void colorMenu(int value) {
    const int texture = colorTexture(value);
    if (texture >= 0) crystalTexture = texture;
}

void complexityMenu(int value) {
    ShapeSettings next = settingsInForce();
    if (!complexitySetting(value, next.armLayout, next.sideBranches) || !applyShape(next)) return;
    glutPostRedisplay();
}

void depthMenu(int value) {
    const float threshold = depthThreshold(value);
    if (threshold == 0.0f || !applyDepth(threshold)) return;
    glutPostRedisplay();
}
