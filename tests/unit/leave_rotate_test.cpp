#include <gtest/gtest.h>

#include <GL/glut.h>

#include <cstdint>
#include <vector>

#include "app/commands.h"
#include "app/state.h"
#include "model/placement.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "support/command_state.h"
#include "support/test_window.h"

namespace {
// The frame as composed, before any swap: what the next shown picture will be.
std::vector<uint8_t> composeAndRead() {
    composeFrame(drawCrystals);
    glFinish();
    std::vector<uint8_t> rgb(static_cast<size_t>(windowWidth) * windowHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Rotate mode and a drag that turns the scene by a good angle in the next frame.
void turnTheScene() {
    keyboard('r', 0, 0);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 300, 300);
    motion(380, 200);
    composeFrame(drawCrystals);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 380, 200);
}

struct LeavingCommand {
    const char* name;
    void (*run)();
};

const LeavingCommand kLeavingCommands[] = {
    {"key y", [] { keyboard('y', 0, 0); }},   {"key Y", [] { keyboard('Y', 0, 0); }},
    {"key u", [] { keyboard('u', 0, 0); }},   {"key U", [] { keyboard('U', 0, 0); }},
    {"Draw Crystals (Y)", [] { mainMenu(1); }}, {"Draw Chunks (U)", [] { mainMenu(5); }},
    {"key c", [] { keyboard('c', 0, 0); }},   {"Clear (C)", [] { mainMenu(0); }},
};

TEST(LeavingRotateMode, ShowsTheUnrotatedSceneAtOnce) {
    startFrimelWindow();
    restoreStartSettings();
    const std::vector<uint8_t> unrotated = composeAndRead();
    for (const LeavingCommand& command : kLeavingCommands) {
        SCOPED_TRACE(command.name);
        turnTheScene();
        ASSERT_NE(composeAndRead(), unrotated) << "the drag did not turn the scene";
        command.run();
        EXPECT_EQ(rotateMode, 0);
        EXPECT_TRUE(composeAndRead() == unrotated) << "the next frame is still turned";
    }
    restoreStartSettings();
}
}  // namespace
