#include <gtest/gtest.h>

#include <GL/glut.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/commands.h"
#include "app/state.h"
#include "support/command_state.h"
#include "support/redisplay_probe.h"
#include "support/test_window.h"

namespace {
const std::string kTableKeys = "1234bBcCdDoOqQrRsStTuUyYzZ";

void press(unsigned char key) { keyboard(key, 0, 0); }

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        restoreStartSettings();
    }
    void TearDown() override { restoreStartSettings(); }

    // A letter in lower and in upper case, each from the state that arrange leaves; every key
    // of the table but the quit key asks for a redisplay.
    void checkBothCases(char key, const std::function<void()>& arrange,
                        const std::function<void(CommandState&)>& change) {
        std::string cases(1, static_cast<char>(std::tolower(key)));
        if (std::isalpha(key)) cases += static_cast<char>(std::toupper(key));
        for (char k : cases) {
            SCOPED_TRACE(testing::Message() << "key '" << k << "'");
            checkCommand([k] { press(static_cast<unsigned char>(k)); }, arrange, change, true);
        }
    }
};

TEST_F(KeyboardTest, DigitsSetTheFractalThreshold) {
    const struct {
        char key;
        float threshold;
    } rows[] = {{'1', 0.49f}, {'2', 0.24f}, {'3', 0.12f}, {'4', 0.06f}};
    for (const auto& row : rows) {
        // From a threshold that differs from the one the key sets.
        const float start = row.threshold == 0.49f ? 0.06f : 0.49f;
        checkBothCases(
            row.key, [start] { fractalThreshold = start; },
            [&row](CommandState& s) { s.fractalThreshold = row.threshold; });
    }
}

TEST_F(KeyboardTest, BTogglesSideBranches) {
    for (bool start : {true, false}) {
        checkBothCases(
            'b', [start] { sideBranches = start; },
            [start](CommandState& s) { s.sideBranches = !start; });
    }
}

TEST_F(KeyboardTest, DTogglesArmLayout) {
    for (int start : {1, 0}) {
        checkBothCases(
            'd', [start] { armLayout = start; },
            [start](CommandState& s) { s.armLayout = start == 0 ? 1 : 0; });
    }
}

TEST_F(KeyboardTest, STogglesSurfaceTexture) {
    for (int start : {0, 1}) {
        checkBothCases(
            's', [start] { snowSurface = start; },
            [start](CommandState& s) { s.snowSurface = start == 0 ? 1 : 0; });
    }
}

TEST_F(KeyboardTest, OAndTSetBlendingRatherThanToggle) {
    auto opaque = expectOpaque;
    auto translucentNow = [](CommandState& s) {
        s.translucent = 1.0f;
        s.blendEnabled = true;
    };
    checkBothCases('o', makeTranslucent, opaque);
    checkBothCases('o', [] {}, opaque);
    checkBothCases('t', [] {}, translucentNow);
    checkBothCases('t', makeTranslucent, translucentNow);
}

TEST_F(KeyboardTest, REntersRotateModeAndKeepsTheTurn) {
    checkBothCases('r', [] {}, [](CommandState& s) { s.rotateMode = 1; });
    // Already rotating a turned scene: nothing changes, yet the frame is redrawn.
    checkBothCases('r', rotateAndTurnScene, [](CommandState&) {});
}

TEST_F(KeyboardTest, YAndUChooseAPlacingKindAndLeaveRotateMode) {
    for (int kind : {0, 1}) {
        checkBothCases(
            kind == 0 ? 'y' : 'u',
            [kind] {
                placeKind = 1 - kind;
                rotateAndTurnScene();
            },
            [kind](CommandState& s) {
                s.placeKind = kind;
                expectUnrotated(s);
            });
    }
}

TEST_F(KeyboardTest, ZUndoesTheNewestObject) {
    checkBothCases('z', [] { fillScene(3); },
                   [](CommandState& s) {
                       s.crystals.pop_back();
                       s.currentCrystal = s.crystals.back();
                   });
}

TEST_F(KeyboardTest, CClearsTheSceneAndItsModes) {
    checkBothCases(
        'c',
        [] {
            fillScene(3);
            rotateAndTurnScene();
            makeTranslucent();
        },
        [](CommandState& s) {
            s.crystals.clear();
            expectUnrotated(s);
            expectOpaque(s);
        });
}

TEST_F(KeyboardTest, KeysOutsideTheTableDoNothing) {
    // From a state away from the start values, so that no reset could go unnoticed.
    fillScene(2);
    rotateAndTurnScene();
    makeTranslucent();
    fractalThreshold = 0.06f;
    placeKind = 0;
    settleFrame();
    const CommandState before = captureCommandState();
    for (int code = 0; code < 256; ++code) {
        if (kTableKeys.find(static_cast<char>(code)) != std::string::npos) continue;
        SCOPED_TRACE(testing::Message() << "key code " << code);
        EXPECT_EQ(redisplayRequestsDuring([code] { press(static_cast<unsigned char>(code)); }), 0);
        ASSERT_EQ(captureCommandState(), before);
    }
}

TEST_F(KeyboardTest, KeysPrintNoModeLines) {
    for (char key : std::string("yurYUR")) {
        std::fflush(stdout);
        testing::internal::CaptureStdout();
        press(static_cast<unsigned char>(key));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "key '" << key << "'";
    }
}

TEST_F(KeyboardTest, OneDimensionalThenBIsThreeDimensional) {
    complexityMenu(1);
    press('b');
    const CommandState combined = captureCommandState();
    complexityMenu(3);
    EXPECT_EQ(captureCommandState(), combined);
    EXPECT_EQ(armLayout, 0);
    EXPECT_TRUE(sideBranches);
}

// One large crystal, six branch stations a depth once it rests. Its cones at the deepest
// branching: 95,978 without arms, 767,824 with two a side and 1,727,604 with four, the last two
// past the frame's bound of 150,000; one depth less, 53,320 and 63,984.
void oneLargeCrystal(float threshold, bool arms, int layout) {
    fillScene(1);
    Crystal* c = currentCrystal;
    c->kind = 0;
    c->maxSize = 1.8f;
    for (float& g : c->growth) g = 1.8f;
    c->level = 14.0f;
    fractalThreshold = threshold;
    sideBranches = arms;
    armLayout = layout;
}

// A change of arms or depth that would take the scene's frame past the bound changes nothing,
// asks for no frame and says why; one that stays within it is made.
TEST_F(KeyboardTest, ShapeChangesPastTheConeBoundAreRefused) {
    const struct {
        const char* name;
        std::function<void()> arrange, command;
        bool refused;
    } rows[] = {
        {"deepest branching, four a side", [] { oneLargeCrystal(0.12f, true, 0); }, [] { press('4'); }, true},
        {"four arms a side", [] { oneLargeCrystal(0.06f, true, 1); }, [] { press('d'); }, true},
        {"arms on", [] { oneLargeCrystal(0.06f, false, 0); }, [] { press('B'); }, true},
        {"the 3D menu entry", [] { oneLargeCrystal(0.06f, true, 1); }, [] { complexityMenu(3); }, true},
        {"deepest branching, no arms", [] { oneLargeCrystal(0.12f, false, 0); }, [] { press('4'); }, false},
        {"arms off", [] { oneLargeCrystal(0.06f, true, 1); }, [] { press('b'); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::internal::CaptureStdout();
        if (row.refused) {
            checkCommand(row.command, row.arrange, [](CommandState&) {}, false);
        } else {
            restoreStartSettings();
            row.arrange();
            const CommandState before = captureCommandState();
            row.command();
            EXPECT_FALSE(captureCommandState() == before);
        }
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(said, row.refused ? "Not changed: at that setting the scene would take too long to draw\n" : "");
    }
}

// The quit key ends the program at once, from any mode, before another frame is drawn.
// A frame drawn after the command would end the process with another status.
void frameEndsTheProcess() { std::_Exit(4); }

void quitWith(unsigned char key) {
    startFrimelWindow();
    rotateMode = key == 'Q' ? 1 : 0;
    glutDisplayFunc(frameEndsTheProcess);
    glutPostRedisplay();
    press(key);
    pumpEvents();
    std::exit(3);
}

TEST(QuitKey, EndsTheProcessWithStatusZeroWithoutDrawing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(quitWith('q'), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(quitWith('Q'), testing::ExitedWithCode(0), "");
}
}  // namespace
