// How objects grow: the per-object growth step, the rule by which a frame decides that growth
// is over, and growth over real frames, up to a hold long enough to use every growth level.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "app/reshape.h"
#include "app/state.h"
#include "model/crystal.h"
#include "model/growth.h"
#include "model/history.h"
#include "model/placement.h"
#include "render/frame.h"
#include "support/model_frames.h"
#include "support/test_window.h"

namespace {
Crystal* addToScene() {
    Crystal* c = keepCrystal(std::make_unique<Crystal>());
    crystals.push_back(c);
    return c;
}

void raiseLevelTo(Crystal& c, int level) {
    for (int i = 0; i < level; ++i) c.advanceLevel(100.0f);
}

using GrowthOverFrames = ModelTest;
}  // namespace

// ---- one growth step ----

// Sizes a long hold reaches, where a float step of a ten-thousandth rounds onto the size (1500,
// 2047) or to nothing (3000 and up). Each still passes its size within a few hundred frames.
TEST(GrowthStep, LongHoldSizesStillPassTheirSize) {
    for (float size : {1500.0f, 2047.0f, 3000.0f, 1e5f, 1e8f}) {
        allGrown = false;
        Crystal c;
        c.maxSize = size;
        int steps = 0;
        for (; c.growth[0] <= c.maxSize && steps < 2000; ++steps) growCrystal(&c);
        EXPECT_LT(steps, 2000) << "size " << size << " stopped at " << c.growth[0];
        EXPECT_EQ(c.growth[0], std::nextafter(size, HUGE_VALF)) << "size " << size;
    }
}

TEST(GrowthStep, ClosesFourPercentOfTheGap) {
    allGrown = false;
    Crystal c;
    growCrystal(&c);
    EXPECT_NEAR(c.growth[0], 0.001 + 0.199 * 0.04, 1e-7);
    growCrystal(&c);
    const double first = 0.001 + 0.199 * 0.04;
    EXPECT_NEAR(c.growth[0], first + (0.2 - first) * 0.04, 1e-7);
    for (int j = 1; j < kGrowthLevels; ++j) EXPECT_EQ(c.growth[j], 0.001f) << j;
}

TEST(GrowthStep, NeverAddsLessThanATenThousandth) {
    allGrown = false;
    Crystal c;
    c.maxSize = 0.002f;  // 4 % of the 0.001 gap would be 0.00004
    growCrystal(&c);
    EXPECT_FLOAT_EQ(c.growth[0], 0.0011f);
}

TEST(GrowthStep, GrowsEveryLevelUpToTheCurrentOne) {
    allGrown = false;
    Crystal c;
    raiseLevelTo(c, 3);
    growCrystal(&c);
    for (int j = 0; j <= 3; ++j) EXPECT_GT(c.growth[j], 0.001f) << j;
    for (int j = 4; j < kGrowthLevels; ++j) EXPECT_EQ(c.growth[j], 0.001f) << j;
}

TEST(GrowthStep, AtTheTopLevelAllFifteenEntriesGrow) {
    allGrown = false;
    Crystal c;
    raiseLevelTo(c, kMaxLevel);
    growCrystal(&c);
    for (int j = 0; j < kGrowthLevels; ++j) EXPECT_GT(c.growth[j], 0.001f) << j;
}

TEST(GrowthStep, OnlyTheCurrentLevelDecidesAndLowerLevelsOvershoot) {
    allGrown = false;
    Crystal c;
    raiseLevelTo(c, 1);
    c.growth[0] = 0.5f;  // already past maxSize 0.2
    growCrystal(&c);
    EXPECT_FLOAT_EQ(c.growth[0], 0.5001f);
    EXPECT_GT(c.growth[1], 0.001f);
}

TEST(GrowthStep, StopsOnceTheCurrentLevelReachesTheSize) {
    allGrown = false;
    Crystal c;
    raiseLevelTo(c, 1);
    c.growth[1] = c.maxSize;  // equal: not below, so no step
    growCrystal(&c);
    EXPECT_EQ(c.growth[0], 0.001f);
    EXPECT_EQ(c.growth[1], c.maxSize);
    c.maxSize = std::numeric_limits<float>::quiet_NaN();
    c.growth[1] = 0.001f;
    growCrystal(&c);
    EXPECT_EQ(c.growth[0], 0.001f);
}

TEST(GrowthStep, PassesTheSizeByLessThanATenThousandthThenRests) {
    allGrown = false;
    Crystal c;
    int steps = 0;
    while (c.growth[0] < c.maxSize && steps < 1000) {
        growCrystal(&c);
        ++steps;
    }
    EXPECT_LT(steps, 1000);
    EXPECT_GT(steps, 100);  // about 4 % a frame, not a jump
    EXPECT_GT(c.growth[0], c.maxSize);
    EXPECT_LT(c.growth[0] - c.maxSize, 0.0001 + 1e-7);
    const float settled = c.growth[0];
    growCrystal(&c);
    EXPECT_EQ(c.growth[0], settled);
}

TEST(GrowthStep, NothingGrowsWhileAllGrownIsSet) {
    allGrown = true;
    Crystal c;
    raiseLevelTo(c, 2);
    growCrystal(&c);
    for (float g : c.growth) EXPECT_EQ(g, 0.001f);
}

// ---- the all-grown rule ----

TEST(AllGrownRule, EmptySceneIsGrown) {
    crystals.clear();
    allGrown = false;
    updateAllGrown();
    EXPECT_TRUE(allGrown);
}

TEST(AllGrownRule, OnlyTheNewestObjectAtItsCurrentLevelDecides) {
    Crystal* older = addToScene();  // far below its size
    Crystal* newest = addToScene();
    raiseLevelTo(*newest, 2);
    newest->growth[0] = 0.001f;
    newest->growth[2] = 0.21f;
    allGrown = false;
    updateAllGrown();
    EXPECT_TRUE(allGrown);
    newest->growth[2] = 0.19f;
    updateAllGrown();
    EXPECT_FALSE(allGrown);
    EXPECT_LT(older->growth[0], older->maxSize);
}

// The growth step leaves a size met exactly as it is, so it counts as grown: otherwise frames
// would be asked for without end. Just below it still grows.
TEST(AllGrownRule, ExactlyAtTheSizeIsGrown) {
    Crystal* newest = addToScene();
    for (float size : {0.2f, 0.0f, 5.0f}) {
        newest->maxSize = size;
        newest->growth[0] = size;
        allGrown = false;
        updateAllGrown();
        EXPECT_TRUE(allGrown) << size;
    }
    newest->growth[0] = std::nextafter(newest->maxSize, 0.0f);
    updateAllGrown();
    EXPECT_FALSE(allGrown);
}

TEST(AllGrownRule, NotANumberCountsAsGrown) {
    Crystal* newest = addToScene();
    newest->growth[0] = std::numeric_limits<float>::quiet_NaN();
    allGrown = false;
    updateAllGrown();
    EXPECT_TRUE(allGrown);
    newest->growth[0] = 0.001f;
    newest->maxSize = std::numeric_limits<float>::quiet_NaN();
    allGrown = false;
    updateAllGrown();
    EXPECT_TRUE(allGrown);
}

// ---- growth over drawn frames ----

TEST_F(GrowthOverFrames, NewObjectGrowsFrameByFrameUntilItPassesItsSize) {
    ASSERT_TRUE(allGrown);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 299, 300);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 299, 300);
    Crystal* placed = currentCrystal;
    display();
    EXPECT_FALSE(allGrown);
    EXPECT_GT(placed->growth[0], 0.001f);
    int frames = 1;
    while (!allGrown && frames < 1000) {
        display();
        ++frames;
    }
    EXPECT_TRUE(allGrown);
    EXPECT_GT(frames, 100);
    EXPECT_LT(frames, 300);
    EXPECT_GT(placed->growth[0], placed->maxSize);
    EXPECT_LT(placed->growth[0] - placed->maxSize, 0.0001 + 1e-7);
    const float settled = placed->growth[0];
    display();
    EXPECT_TRUE(allGrown);
    EXPECT_EQ(placed->growth[0], settled);
}

TEST_F(GrowthOverFrames, OlderObjectsGrowOnlyWhileTheNewestDoes) {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 300);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 400, 300);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 400, 300);
    ASSERT_EQ(crystals.size(), 2u);
    Crystal* older = crystals[0];
    Crystal* newest = crystals[1];
    display();
    EXPECT_GT(older->growth[0], 0.001f);
    newest->growth[0] = newest->maxSize + 0.001f;
    const float olderBefore = older->growth[0];
    display();
    EXPECT_TRUE(allGrown);
    EXPECT_EQ(older->growth[0], olderBefore);
}

TEST_F(GrowthOverFrames, RaisedSizeWakesGrowthAgain) {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 299, 300);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 299, 300);
    Crystal* placed = currentCrystal;
    placed->growth[0] = placed->maxSize + 0.00005f;
    display();
    ASSERT_TRUE(allGrown);
    const float rested = placed->growth[0];
    placed->maxSize += 0.01f;
    display();
    EXPECT_FALSE(allGrown);
    EXPECT_GT(placed->growth[0], rested);
}

// Scenes where nothing can grow any more come to rest: no frame is asked for after them.
TEST_F(GrowthOverFrames, ScenesThatCannotGrowComeToRest) {
    const std::pair<const char*, void (*)()> cases[] = {
        {"a size met exactly", [] { currentCrystal->growth[0] = currentCrystal->maxSize; }},
        {"cleared while growing", [] { clearScene(); }},
    };
    for (const auto& [name, makeScene] : cases) {
        SCOPED_TRACE(name);
        clearScene();
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 299, 300);
        mouse(GLUT_LEFT_BUTTON, GLUT_UP, 299, 300);
        display();
        ASSERT_FALSE(allGrown);
        makeScene();
        display();
        EXPECT_TRUE(allGrown);
        settleWindowFrames();
        DisplayCounter frames;
        idle();
        EXPECT_FALSE(frameArrives(frames));
    }
}

// A crystal held long enough sprouts branches at every station; the level must stop at the
// last growth entry however large it gets (the sanitizer build checks every index too).
TEST_F(GrowthOverFrames, LongHoldNeverTakesTheLevelPastTheLastEntry) {
    // A small viewport keeps the frames of a huge crystal cheap; the window itself stays.
    reshape(100, 100);
    placeKind = 0;
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 49, 50);
    ASSERT_EQ(crystals.size(), 1u);
    Crystal* held = currentCrystal;
    float highest = 0.0f;
    for (int frame = 0; frame < 200; ++frame) {
        for (int step = 0; step < 4; ++step) idle();
        display();
        ASSERT_LE(held->getLevel(), 14.0f) << "frame " << frame;
        if (held->getLevel() > highest) highest = held->getLevel();
    }
    EXPECT_EQ(highest, 14.0f);
    EXPECT_GT(held->maxSize, 10.0f);
    EXPECT_GT(held->growth[14], 0.001f);
}
