#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <vector>

#include "model/crystal.h"

// Everything a command may change, taken from the process-wide state and the GL blend switch.
struct CommandState {
    int placeKind;
    int crystalTexture;
    bool sideBranches;
    int armLayout;
    float fractalThreshold;
    int snowSurface;
    float translucent;
    bool blendEnabled;
    int rotateMode;
    std::array<float, 16> sceneRotation;
    std::vector<Crystal*> crystals;
    Crystal* currentCrystal;
    Crystal* linkCrystal;
    Crystal* anchorCrystal;
    bool mouseDown;
    bool allGrown;
};

CommandState captureCommandState();
bool operator==(const CommandState& a, const CommandState& b);
std::ostream& operator<<(std::ostream& out, const CommandState& s);

// The settings a fresh start gives, and an unrotated opaque empty scene.
void restoreStartSettings();

// Runs command from the state that arrange leaves (after a settling frame) and checks the
// whole command state against what change makes of the state before, and whether the command
// asked for a redisplay.
void checkCommand(const std::function<void()>& command, const std::function<void()>& arrange,
                  const std::function<void(CommandState&)>& change, bool redraws);

// Arrangements: count default objects in the scene, the last one current; rotate mode with the
// scene turned away from the unrotated view; blending on.
void fillScene(int count);
void rotateAndTurnScene();
void makeTranslucent();

// Expectations: rotate mode left and the scene unrotated; blending off.
void expectUnrotated(CommandState& s);
void expectOpaque(CommandState& s);
