// Scene scripts against the same handler calls made directly: each script must leave the scene
// exactly as its calls do, and a bad command must be reported and skipped, not stop the rest.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/commands.h"
#include "app/state.h"
#include "model/placement.h"
#include "render/frame.h"
#include "support/model_frames.h"
#include "scenes/scene_script.h"

namespace {
void press(int x, int y) { mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y); }
void release(int x, int y) { mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y); }
void click(int x, int y) { press(x, y); release(x, y); }
void holdAt(int x, int y, int steps) {
    for (int i = 0; i < steps; ++i) motion(x, y);
}

// The same start for both halves of a case, down to the objects a new one links to.
void freshStart() {
    release(0, 0);
    keyboard('c', 0, 0);
    keyboard('y', 0, 0);
    std::srand(1);
    allGrown = true;
    currentCrystal = keepCrystal(std::make_unique<Crystal>());
    linkCrystal = keepCrystal(std::make_unique<Crystal>());
    anchorCrystal = keepCrystal(std::make_unique<Crystal>());
}

std::vector<float> sceneValues() {
    std::vector<float> v;
    for (const Crystal* c : crystals) {
        v.insert(v.end(), c->growth, c->growth + kGrowthLevels);
        v.insert(v.end(), {c->maxSize, c->level, c->x, c->y, c->z, c->spin,
                           static_cast<float>(c->kind), c->parent->x, c->parent->y});
    }
    v.insert(v.end(), {currentCrystal->maxSize, growthBoost, mouseDown ? 1.0f : 0.0f});
    return v;
}

struct Case {
    const char* script;
    void (*direct)();
};

const Case kCases[] = {
    {"press 300 320; release 300 320", [] { click(300, 320); }},
    {"press 250 330\nhold 20\nidle 3\nrelease 250 330",
     [] {
         press(250, 330);
         holdAt(250, 330, 20);
         for (int i = 0; i < 3; ++i) idle();
         release(250, 330);
     }},
    {"press 200 330; move 230 330; move 260 330; hold 5",
     [] {
         press(200, 330);
         motion(230, 330);
         motion(260, 330);
         holdAt(260, 330, 5);
     }},
    {"stroke 4 10",
     [] {
         press(130, 330);
         holdAt(130, 330, 10);
         for (int x = 142; x <= 166; x += 12) {
             motion(x, 330);
             holdAt(x, 330, 10);
         }
         release(166, 330);
     }},
    {"grid 4", [] { click(110, 150); click(490, 150); click(110, 480); click(490, 480); }},
    {"mixedgrid 2",
     [] {
         keyboard('y', 0, 0);
         click(110, 150);
         keyboard('u', 0, 0);
         click(490, 150);
     }},
    {"key u; srand 7; press 300 320; release 300 320",
     [] {
         keyboard('u', 0, 0);
         std::srand(7);
         click(300, 320);
     }},
    {"press 300 320; release 300 320; frames 3",
     [] {
         click(300, 320);
         for (int i = 0; i < 3; ++i) display();
     }},
    {"# a comment; press 1 1\n  press 300 320 # trailing\r\n\n;;release 300 320", [] { click(300, 320); }},
};

using SceneScript = ModelTest;
}  // namespace

TEST_F(SceneScript, EachScriptLeavesTheSceneItsHandlerCallsLeave) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.script);
        freshStart();
        c.direct();
        const std::vector<float> expected = sceneValues();
        freshStart();
        EXPECT_TRUE(replayScene(c.script));
        EXPECT_EQ(sceneValues(), expected);
        EXPECT_FALSE(crystals.empty());
    }
}

TEST_F(SceneScript, BadCommandsAreSkippedAndTheRestRuns) {
    const char* const bad[] = {"jump 1 2", "press 300", "press 300 x", "key yy", "settle now"};
    for (const char* command : bad) {
        SCOPED_TRACE(command);
        freshStart();
        testing::internal::CaptureStderr();
        const bool done = replayScene((std::string(command) + "; press 300 320").c_str());
        EXPECT_NE(testing::internal::GetCapturedStderr().find(command), std::string::npos);
        EXPECT_FALSE(done);
        EXPECT_EQ(crystals.size(), 1u);
    }
}

TEST_F(SceneScript, SettleDrawsUntilTheNewestObjectRests) {
    freshStart();
    ASSERT_TRUE(replayScene("press 300 320; hold 30; release 300 320; settle"));
    EXPECT_TRUE(allGrown);
    EXPECT_GT(crystals.back()->growth[0], crystals.back()->maxSize);
}
