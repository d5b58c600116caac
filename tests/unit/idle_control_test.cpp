// When the toolkit calls idle: never at rest, always while a held button or a growing object
// needs it. Each test runs the toolkit's real main loop, driven by a timed script, and counts
// the idle calls it delivers. The main loop ends the toolkit session when it returns, so every
// test here needs a process of its own, as the test runner gives it.

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/commands.h"
#include "app/state.h"
#include "model/growth.h"
#include "model/idle_control.h"
#include "model/placement.h"
#include "render/frame.h"
#include "support/test_window.h"

namespace {
// A step returns true when done; false to be polled again a little later.
using Step = bool (*)();

std::vector<Step> script;
std::size_t nextStep = 0;
int elapsedMs = 0;
constexpr int kPollMs = 20;
constexpr int kGiveUpMs = 30000;

void runNextStep(int) {
    elapsedMs += kPollMs;
    if (nextStep < script.size() && elapsedMs < kGiveUpMs) {
        if (script[nextStep]()) ++nextStep;
        glutTimerFunc(kPollMs, runNextStep, 0);
        return;
    }
    glutLeaveMainLoop();
}

// Runs the toolkit's main loop until every step is done (or half a minute has passed).
void runMainLoop(std::vector<Step> steps) {
    script = std::move(steps);
    nextStep = 0;
    elapsedMs = 0;
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutTimerFunc(kPollMs, runNextStep, 0);
    glutMainLoop();
}

long markedIdleCalls = 0;
int quietPolls = 0;

bool markIdleCalls() {
    markedIdleCalls = toolkitIdleCalls();
    return true;
}

long idleCallsSinceMark() { return toolkitIdleCalls() - markedIdleCalls; }

// Done once a quarter of a second has passed without an idle call (within the overall time limit).
bool waitForRest() {
    const long calls = toolkitIdleCalls();
    quietPolls = calls == markedIdleCalls ? quietPolls + 1 : 0;
    markedIdleCalls = calls;
    if (quietPolls < 250 / kPollMs) return false;
    quietPolls = 0;
    return true;
}

// Done a quarter of a second after the first poll.
bool waitQuarterSecond() {
    static int polls = 0;
    return ++polls % (250 / kPollMs) == 0;
}

// The hold-to-grow boost after `steps` idle steps, added up the way the idle step does.
float boostAfter(long steps) {
    float boost = 0.0f;
    for (long i = 0; i < steps; ++i) boost = static_cast<float>(boost + 0.0001);
    return boost;
}

// What an object's growth[0] comes to when frames go on until the all-grown rule stops them.
float restingGrowthOf(float maxSize) {
    Crystal model;
    model.maxSize = maxSize;
    const bool wasAllGrown = allGrown;
    allGrown = false;
    for (int frame = 0; frame < 100000 && model.growth[0] <= model.maxSize; ++frame) growCrystal(&model);
    allGrown = wasAllGrown;
    return model.growth[0];
}

bool press() {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 300, 320);
    return true;
}

bool release() {
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 300, 320);
    return true;
}

// Press and release with no idle call between: the object keeps the size the press gave it.
bool click() { return press() && release(); }

int framesDrawn = 0;
int markedFrames = 0;

// The session ends with the main loop, so the counting handler is never swapped back.
void countingDisplay() {
    ++framesDrawn;
    display();
}

// What the script's steps saw, checked once the main loop has returned.
struct Observed {
    long idleCalls = -1;
    long heldIdleCalls = -1;
    long laterIdleCalls = -1;
    float boost = -1.0f;
    float maxSize = -1.0f;
    float growth = -1.0f;
    int frames = -1;
} seen;
}  // namespace

TEST(IdleAtRest, NoIdleCallsAndNoFramesWhenNothingGrowsAndTheButtonIsUp) {
    startFrimelWindow();
    glutDisplayFunc(countingDisplay);
    runMainLoop({waitForRest, [] {
                     markedFrames = framesDrawn;
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     seen.frames = framesDrawn - markedFrames;
                     return true;
                 }});
    EXPECT_EQ(seen.idleCalls, 0);
    EXPECT_EQ(seen.frames, 0);
    EXPECT_FALSE(idleStepNeeded());
}

TEST(IdleWhileHeld, PressArmsIdleAndTheBoostAdvancesOncePerIdleCall) {
    startFrimelWindow();
    runMainLoop({waitForRest, [] { return markIdleCalls() && press(); }, waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     seen.boost = growthBoost;
                     return true;
                 }});
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_GT(seen.idleCalls, 0);
    // The press runs one idle step itself; every toolkit idle call runs one more.
    EXPECT_EQ(seen.boost, boostAfter(seen.idleCalls + 1));
}

TEST(IdleWhileHeld, MiddleButtonDragKeepsTheBoostGoingAfterItsRelease) {
    startFrimelWindow();
    runMainLoop({waitForRest, [] {
                     // A drag with the middle button: only the left release ends the gesture.
                     motion(300, 320);
                     mouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 300, 320);
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     seen.boost = growthBoost;
                     return true;
                 }});
    ASSERT_TRUE(mouseDown);
    EXPECT_GT(seen.idleCalls, 0);
    // The drag step ran one idle step itself.
    EXPECT_EQ(seen.boost, boostAfter(seen.idleCalls + 1));
}

TEST(IdleAfterRelease, ObjectGrowsToItsSizeThenIdleStops) {
    startFrimelWindow();
    runMainLoop({waitForRest, click, [] {
                     seen.maxSize = currentCrystal->maxSize;
                     return markIdleCalls();
                 },
                 waitForRest, markIdleCalls, waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     return true;
                 }});
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_TRUE(allGrown);
    EXPECT_EQ(seen.idleCalls, 0);
    // Not a frame fewer than the growth rule asks for.
    EXPECT_EQ(crystals.back()->growth[0], restingGrowthOf(seen.maxSize));
}

TEST(IdleInRotateMode, PressAndDragDoNotArmIdleUntilPlacingResumes) {
    startFrimelWindow();
    runMainLoop({waitForRest, [] {
                     keyboard('r', 0, 0);
                     press();
                     motion(340, 300);
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     // Back to placing with the button still held: the boost is due again,
                     // although nothing grows and no frame is asked for.
                     keyboard('u', 0, 0);
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.boost = growthBoost;
                     seen.heldIdleCalls = idleCallsSinceMark();
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.laterIdleCalls = idleCallsSinceMark();
                     return true;
                 }});
    EXPECT_EQ(seen.idleCalls, 0);
    EXPECT_GT(seen.heldIdleCalls, 0);
    // The rotate-mode press reset the boost and ran no idle step.
    EXPECT_EQ(seen.boost, boostAfter(seen.heldIdleCalls));
    // Still held, so still boosting.
    EXPECT_GT(seen.laterIdleCalls, 0);
}

TEST(IdleAfterCommand, UndoLeavingAGrowingObjectNewestRearmsIdle) {
    startFrimelWindow();
    runMainLoop({waitForRest,
                 [] {
                     // The first object is made to need far more growth than the second.
                     click();
                     crystals.back()->maxSize = 2.0f;
                     mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 320);
                     mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 320);
                     return true;
                 },
                 waitForRest,
                 [] {
                     seen.growth = crystals.front()->growth[0];
                     keyboard('z', 0, 0);
                     return markIdleCalls();
                 },
                 waitForRest});
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_LT(seen.growth, 2.0f);  // it had stopped short of its size
    EXPECT_TRUE(allGrown);
    EXPECT_GT(crystals.back()->growth[0], 2.0f);
}

TEST(IdleAfterFrame, FrameFindingTheNewestObjectBelowItsSizeRearmsIdle) {
    startFrimelWindow();
    runMainLoop({waitForRest, click, waitForRest,
                 [] {
                     // Nothing but a frame can notice this.
                     crystals.back()->maxSize = 0.5f;
                     glutPostRedisplay();
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     return true;
                 },
                 waitForRest});
    EXPECT_GT(seen.idleCalls, 0);
    EXPECT_TRUE(allGrown);
    EXPECT_GT(crystals.back()->growth[0], 0.5f);
}

// Leaving rotate mode with the button held makes the boost due at once, even when no frame
// follows (the toolkit draws none for a hidden window): the command itself re-arms idle.
class IdleLeavingRotateMode : public ::testing::TestWithParam<char> {};

TEST_P(IdleLeavingRotateMode, CommandRearmsIdleWithoutAFrame) {
    startFrimelWindow();
    runMainLoop({waitForRest, [] {
                     keyboard('r', 0, 0);
                     press();
                     return true;
                 },
                 waitForRest, [] {
                     glutDisplayFunc([] {});
                     keyboard(static_cast<unsigned char>(GetParam()), 0, 0);
                     return markIdleCalls();
                 },
                 waitQuarterSecond, [] {
                     seen.idleCalls = idleCallsSinceMark();
                     seen.boost = growthBoost;
                     return true;
                 }});
    EXPECT_GT(seen.idleCalls, 0);
    EXPECT_EQ(seen.boost, boostAfter(seen.idleCalls));
}

// Crystals, chunks, clear.
INSTANTIATE_TEST_SUITE_P(PlacingKeys, IdleLeavingRotateMode, ::testing::Values('y', 'u', 'c'));
