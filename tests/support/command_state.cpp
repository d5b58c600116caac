#include "support/command_state.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/state.h"
#include "render/light.h"
#include "support/redisplay_probe.h"
#include "trackball/trackball.h"

CommandState captureCommandState() {
    CommandState s{};
    s.placeKind = placeKind;
    s.crystalTexture = crystalTexture;
    s.sideBranches = sideBranches;
    s.armLayout = armLayout;
    s.fractalThreshold = fractalThreshold;
    s.snowSurface = snowSurface;
    s.translucent = translucent;
    s.blendEnabled = glIsEnabled(GL_BLEND) == GL_TRUE;
    s.rotateMode = rotateMode;
    std::copy(sceneRotation, sceneRotation + 16, s.sceneRotation.begin());
    s.crystals = crystals;
    s.currentCrystal = currentCrystal;
    s.linkCrystal = linkCrystal;
    s.anchorCrystal = anchorCrystal;
    s.mouseDown = mouseDown;
    s.allGrown = allGrown;
    return s;
}

bool operator==(const CommandState& a, const CommandState& b) {
    return a.placeKind == b.placeKind && a.crystalTexture == b.crystalTexture &&
           a.sideBranches == b.sideBranches && a.armLayout == b.armLayout &&
           a.fractalThreshold == b.fractalThreshold && a.snowSurface == b.snowSurface &&
           a.translucent == b.translucent && a.blendEnabled == b.blendEnabled &&
           a.rotateMode == b.rotateMode && a.sceneRotation == b.sceneRotation &&
           a.crystals == b.crystals && a.currentCrystal == b.currentCrystal &&
           a.linkCrystal == b.linkCrystal && a.anchorCrystal == b.anchorCrystal &&
           a.mouseDown == b.mouseDown && a.allGrown == b.allGrown;
}

std::ostream& operator<<(std::ostream& out, const CommandState& s) {
    out << "{placeKind " << s.placeKind << ", crystalTexture " << s.crystalTexture
        << ", sideBranches " << s.sideBranches << ", armLayout " << s.armLayout
        << ", fractalThreshold " << s.fractalThreshold << ", snowSurface " << s.snowSurface
        << ", translucent " << s.translucent << ", blend " << s.blendEnabled << ", rotateMode "
        << s.rotateMode << ", rotation";
    for (float v : s.sceneRotation) out << ' ' << v;
    return out << ", " << s.crystals.size() << " objects, mouseDown " << s.mouseDown
               << ", allGrown " << s.allGrown << '}';
}

void restoreStartSettings() {
    placeKind = 1;
    crystalTexture = 7;
    sideBranches = true;
    armLayout = 1;
    fractalThreshold = 0.24f;
    snowSurface = 0;
    translucent = 0.0f;
    applyBlend();
    rotateMode = 0;
    resetRotation();
    crystals.clear();
    mouseDown = false;
    allGrown = true;
}

void fillScene(int count) {
    for (int i = 0; i < count; ++i) {
        Crystal* c = keepCrystal(std::make_unique<Crystal>());
        crystals.push_back(c);
        linkCrystal = currentCrystal;
        currentCrystal = c;
    }
}

void checkCommand(const std::function<void()>& command, const std::function<void()>& arrange,
                  const std::function<void(CommandState&)>& change, bool redraws) {
    restoreStartSettings();
    arrange();
    settleFrame();
    CommandState expected = captureCommandState();
    change(expected);
    EXPECT_EQ(redisplayRequestsDuring(command) > 0, redraws)
        << (redraws ? "no redisplay was requested" : "a redisplay was requested");
    EXPECT_EQ(captureCommandState(), expected);
}

void rotateAndTurnScene() {
    rotateMode = 1;
    prevMouseX = prevMouseY = 299;
    mouseX = 250;
    mouseY = 420;
    trackballStep();
}

void makeTranslucent() {
    translucent = 1.0f;
    applyBlend();
}

void expectUnrotated(CommandState& s) {
    s.rotateMode = 0;
    s.sceneRotation = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void expectOpaque(CommandState& s) {
    s.translucent = 0.0f;
    s.blendEnabled = false;
}
