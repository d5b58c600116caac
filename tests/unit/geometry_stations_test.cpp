// Branch stations along a spike: how many there are at each depth, the cap that keeps them
// within the growth levels, and how drawing them raises level and lets growth follow.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/state.h"
#include "render/crystal_geometry.h"
#include "support/feedback_capture.h"
#include "support/geometry_scene.h"

namespace {
// A lone crystal with no arms, large enough to branch at the top depth only.
Crystal* branchingCrystal(float growth0) {
    sideBranches = false;
    Crystal* c = addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.001f, 0.5f);
    c->growth[0] = growth0;
    return c;
}

// Cones of a lone crystal without arms: two spikes, each with six sub-branches per station.
unsigned conesWithStations(unsigned stations) { return 2u + 2u * 6u * stations; }

std::vector<float> growthOf(const Crystal& c) { return std::vector<float>(c.growth, c.growth + kGrowthLevels); }
}  // namespace

class GeometryTopStations : public ::testing::TestWithParam<std::pair<float, unsigned>> {};

TEST_P(GeometryTopStations, StationCountFollowsTheBodySize) {
    startGeometryScene();
    branchingCrystal(GetParam().first);
    EXPECT_EQ(drawnConeCount(), conesWithStations(GetParam().second));
}

// One station past 1/12, two past 5/12, three past 3/4 (0.75 itself still gives two).
INSTANTIATE_TEST_SUITE_P(Thresholds, GeometryTopStations,
                         ::testing::Values(std::make_pair(0.08f, 0u), std::make_pair(0.09f, 1u),
                                           std::make_pair(0.41f, 1u), std::make_pair(0.42f, 2u),
                                           std::make_pair(0.75f, 2u),
                                           std::make_pair(std::nextafter(0.75f, 1.0f), 3u),
                                           std::make_pair(1.09f, 4u)));

class GeometrySecondStations : public ::testing::TestWithParam<std::pair<float, unsigned>> {};

// At depth 1 the count follows growth[1], not the body size.
TEST_P(GeometrySecondStations, StationCountFollowsTheFirstGrowthLevel) {
    startGeometryScene();
    fractalThreshold = 0.12f;
    Crystal* c = branchingCrystal(0.2f);  // one station at depth 0
    c->maxSize = 2.0f;
    c->growth[1] = GetParam().first;
    const unsigned perSpike = 6u * (1u + 6u * GetParam().second);
    EXPECT_EQ(drawnConeCount(), 2u + 2u * perSpike);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, GeometrySecondStations,
                         ::testing::Values(std::make_pair(0.08f, 0u), std::make_pair(0.09f, 1u),
                                           std::make_pair(0.42f, 2u), std::make_pair(0.76f, 3u)));

TEST(GeometryStationCap, ThirteenStationsAreAllDrawn) {
    startGeometryScene();
    Crystal* c = branchingCrystal(4.4f);  // 3 x 4.4 - 0.25 = 12.95
    EXPECT_EQ(drawnConeCount(), conesWithStations(13));
    EXPECT_EQ(c->level, 13.0f);
}

TEST(GeometryStationCap, AHugeBodyKeepsFourteenStations) {
    startGeometryScene();
    Crystal* c = branchingCrystal(100.0f);
    EXPECT_EQ(drawnConeCount(), conesWithStations(14));
    EXPECT_EQ(c->level, 14.0f);
}

TEST(GeometryLevel, FirstFrameRaisesLevelToTheStationCount) {
    startGeometryScene();
    Crystal* c = branchingCrystal(0.76f);  // three stations
    ASSERT_EQ(c->level, 0.0f);
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 3.0f);
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 3.0f);
}

TEST(GeometryLevel, LevelFollowsTheDepthWithMostStations) {
    startGeometryScene();
    fractalThreshold = 0.12f;
    Crystal* c = branchingCrystal(0.2f);  // one station at depth 0
    c->maxSize = 2.0f;
    c->growth[1] = 1.2f;  // four at depth 1
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 4.0f);
}

TEST(GeometryLevel, LevelNeverPassesFourteen) {
    startGeometryScene();
    Crystal* c = branchingCrystal(100.0f);
    c->level = 14.0f;
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 14.0f);
}

TEST(GeometryLevel, LevelStaysWhenNoBranchesAreDrawn) {
    startGeometryScene();
    fractalThreshold = 0.49f;
    Crystal* c = branchingCrystal(0.76f);
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 0.0f);
}

TEST(GeometryLevel, LevelRisesWhileAllGrownButNothingGrows) {
    startGeometryScene();
    Crystal* c = branchingCrystal(0.76f);
    const std::vector<float> before = growthOf(*c);
    allGrown = true;
    drawCrystalsUnderCamera();
    EXPECT_EQ(c->level, 3.0f);
    EXPECT_EQ(growthOf(*c), before);
}

// The growth step runs right after the object is drawn, so the levels its stations opened in
// this frame already grow in this frame.
TEST(GeometryLevel, LevelsOpenedWhileDrawingGrowInTheSameFrame) {
    startGeometryScene();
    Crystal* c = branchingCrystal(0.76f);
    c->maxSize = 2.0f;
    const std::vector<float> before = growthOf(*c);
    allGrown = false;
    drawCrystalsUnderCamera();
    ASSERT_EQ(c->level, 3.0f);
    const std::vector<float> after = growthOf(*c);
    for (int j = 0; j <= 3; ++j) EXPECT_GT(after[j], before[j]) << "level " << j;
    for (int j = 4; j < kGrowthLevels; ++j) EXPECT_EQ(after[j], before[j]) << "level " << j;
}

TEST(GeometryLevel, EveryObjectGrowsOncePerFrame) {
    startGeometryScene();
    sideBranches = false;
    Crystal* a = addCrystal(-0.5f, 0.0f, offSceneObject(-0.5f, -0.3f), 0.05f, 0.2f);
    Crystal* b = addObject(1, 0.5f, 0.0f, a, 0.05f, 0.2f);
    allGrown = false;
    drawCrystalsUnderCamera();
    // 4 % of the gap of 0.15 per frame.
    EXPECT_NEAR(a->growth[0], 0.05 + 0.15 * 0.04, 1e-6);
    EXPECT_NEAR(b->growth[0], 0.05 + 0.15 * 0.04, 1e-6);
}
