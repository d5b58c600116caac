// How many cones each kind of object puts on screen. Objects are spread far enough apart that
// no bridge forms unless a test asks for one, and small enough (maxSize below 0.3) that no
// branches sprout unless a test asks for them.
#include <gtest/gtest.h>

#include <cmath>

#include "app/state.h"
#include "render/cone_count.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "scenes/scene_script.h"
#include "support/feedback_capture.h"
#include "support/geometry_scene.h"

namespace {
constexpr float kSmall = 0.05f;  // below 1/12: no branch stations whatever maxSize is
constexpr float kUnbranched = 0.2f;

Crystal* loneCrystal() { return addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), kSmall, kUnbranched); }
}  // namespace

TEST(GeometryCounts, AConeIsSeveralPolygons) {
    startGeometryScene();
    EXPECT_GT(polygonsPerCone(), 0u);
}

TEST(GeometryCounts, EmptySceneDrawsNothing) {
    startGeometryScene();
    EXPECT_EQ(drawnConeCount(), 0u);
}

TEST(GeometryCounts, LoneCrystalWithTwoArmsASideIsASixPointedStar) {
    startGeometryScene();
    loneCrystal();
    EXPECT_EQ(drawnConeCount(), 2u + 4u);
}

TEST(GeometryCounts, LoneCrystalWithFourArmsASideHasEightArms) {
    startGeometryScene();
    armLayout = 0;
    loneCrystal();
    EXPECT_EQ(drawnConeCount(), 2u + 8u);
}

TEST(GeometryCounts, LoneCrystalWithoutSideBranchesIsTheLongPairOnly) {
    startGeometryScene();
    sideBranches = false;
    loneCrystal();
    EXPECT_EQ(drawnConeCount(), 2u);
}

TEST(GeometryCounts, ChunkIsOneConeWhateverTheArmSettings) {
    startGeometryScene();
    armLayout = 0;
    fractalThreshold = 0.06f;
    addObject(1, 0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.6f, 2.0f);
    EXPECT_EQ(drawnConeCount(), 1u);
}

// In a list of two, each crystal draws its short pass once besides the long pair. The oldest is
// measured against itself: a bridge of length 0, which GLU draws as nothing, takes the place
// of its forward short spike.
TEST(GeometryCounts, PairOfSmallCrystals) {
    startGeometryScene();
    sideBranches = false;
    Crystal* first = addCrystal(-0.5f, 0.0f, offSceneObject(-0.5f, -0.3f), kSmall, kUnbranched);
    addCrystal(0.5f, 0.0f, first, kSmall, kUnbranched);
    EXPECT_EQ(drawnConeCount(), 3u + 4u);
}

TEST(GeometryCounts, PairOfSmallCrystalsWithArms) {
    startGeometryScene();
    Crystal* first = addCrystal(-0.5f, 0.0f, offSceneObject(-0.5f, -0.3f), kSmall, kUnbranched);
    addCrystal(0.5f, 0.0f, first, kSmall, kUnbranched);
    EXPECT_EQ(drawnConeCount(), (3u + 4u) + 2u * 4u);
}

// The extra passes over coincident cones add nothing to the picture, so they are drawn once
// however long the list is.
TEST(GeometryCounts, EachCrystalDrawsItsShortPassOnceInALongerList) {
    startGeometryScene();
    sideBranches = false;
    Crystal* a = addCrystal(-0.6f, 0.0f, offSceneObject(-0.6f, -0.3f), kSmall, 0.3f);
    Crystal* b = addCrystal(0.0f, 0.0f, a, kSmall, 0.3f);
    Crystal* c = addCrystal(0.6f, 0.0f, b, kSmall, 0.3f);
    addCrystal(0.6f, 0.6f, c, kSmall, 0.3f);
    EXPECT_EQ(drawnConeCount(), 4u * 4u);
}

TEST(GeometryCounts, ChunksCountTowardTheListButDrawOneConeEach) {
    startGeometryScene();
    sideBranches = false;
    Crystal* chunk = addObject(1, -0.5f, 0.0f, offSceneObject(-0.5f, -0.3f), kSmall, kUnbranched);
    Crystal* crystal = addCrystal(-0.45f, 0.0f, chunk, kSmall, kUnbranched);
    addObject(1, 0.5f, 0.0f, crystal, kSmall, kUnbranched);
    // The crystal right after a chunk never bridges: both short spikes.
    EXPECT_EQ(drawnConeCount(), 1u + 4u + 1u);
}

// Every growth level at 0.2 gives one station per depth; each station adds six sub-branches.
class GeometryFractalDepth : public ::testing::TestWithParam<std::pair<float, unsigned>> {};

TEST_P(GeometryFractalDepth, BranchesReachTheDepthsTheThresholdAllows) {
    startGeometryScene();
    sideBranches = false;
    fractalThreshold = GetParam().first;
    addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.2f, 2.0f);
    EXPECT_EQ(drawnConeCount(), GetParam().second);
}

// Per spike: 6 at depth 0, 36 at depth 1, 216 at depth 2.
INSTANTIATE_TEST_SUITE_P(Thresholds, GeometryFractalDepth,
                         ::testing::Values(std::make_pair(0.49f, 2u),               // none
                                           std::make_pair(0.24f, 2u + 2u * 6u),      // depth 0
                                           std::make_pair(0.12f, 2u + 2u * 42u),     // depths 0-1
                                           std::make_pair(0.06f, 2u + 2u * 258u)));  // depths 0-2

TEST(GeometryFractal, MaxSizeCutsTheDepthOff) {
    startGeometryScene();
    sideBranches = false;
    fractalThreshold = 0.06f;
    Crystal* c = addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.2f, 0.5f);
    EXPECT_EQ(drawnConeCount(), 2u + 2u * 6u);  // 0.2 x 0.5 is not above 0.12: depth 0 only
    c->maxSize = 1.0f;
    EXPECT_EQ(drawnConeCount(), 2u + 2u * 42u);  // 0.1 x 1 is not above 0.12: depths 0 and 1
}

TEST(GeometryFractal, ArmsCarryBranchesLikeSpikes) {
    startGeometryScene();
    armLayout = 0;
    addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.2f, 2.0f);
    EXPECT_EQ(drawnConeCount(), (2u + 8u) * (1u + 6u));
}

TEST(GeometryFractal, SmallCrystalsNeverBranch) {
    startGeometryScene();
    sideBranches = false;
    fractalThreshold = 0.06f;
    addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 1.0f, 0.29f);
    EXPECT_EQ(drawnConeCount(), 2u);  // 0.4 x 0.29 is not above 0.12
}

// At the top depth a float maxSize branches exactly when it is not below 0.3: the same bound
// below which crystals bridge, so the two never meet.
TEST(GeometryFractal, BranchingStartsAtMaxSizePointThree) {
    startGeometryScene();
    sideBranches = false;
    Crystal* c = addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.2f, 0.3f);
    EXPECT_EQ(drawnConeCount(), 2u + 2u * 6u);
    c->maxSize = std::nextafter(0.3f, 0.0f);
    EXPECT_EQ(drawnConeCount(), 2u);
}

TEST(GeometryFractal, BranchSizeMustExceedTheThreshold) {
    startGeometryScene();
    sideBranches = false;
    addCrystal(0.0f, 0.0f, offSceneObject(0.0f, -0.3f), 0.2f, 2.0f);
    fractalThreshold = 0.4f;  // the top branch size itself
    EXPECT_EQ(drawnConeCount(), 2u);
    fractalThreshold = std::nextafter(0.4f, 0.0f);
    EXPECT_EQ(drawnConeCount(), 2u + 2u * 6u);
}

// The cone count a scene is let in by is taken by walking the same shape the frame draws, with
// every level a little past its maxSize, as far as growth carries it before the object rests.
// So the count foreseen while the scene grows holds once it rests, never falls short of the
// frame at rest, and is that frame's own where no branch station lies within that margin.
TEST(GeometryCounts, TheCountAtRestForeseesTheFrameAtRest) {
    const struct {
        const char* name;
        const char* script;
        bool exact;
    } scenes[] = {
        {"clicks", "key y; srand 4; grid 12", true},
        {"crystals and chunks", "mixedgrid 30", true},
        {"a stroke held to branch", "key y; key 3; stroke 8 40", false},
        {"a held crystal, four a side, deepest", "key 4; complexity 3; key y; press 300 300; hold 110; release 300 300",
         false},
        {"one crystal alone", "key y; key 2; complexity 2; press 250 320; hold 60; release 250 320", false},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        startGeometryScene();
        replayScene("release 0 0; key c");
        replayScene(scene.script);
        display();
        const std::int64_t foreseen = sceneConesAtRest(settingsInForce());
        ASSERT_TRUE(replayScene("settle"));
        display();
        EXPECT_EQ(sceneConesAtRest(settingsInForce()), foreseen);
        EXPECT_LE(conesInLastFrame(), foreseen);
        if (scene.exact) {
            EXPECT_EQ(conesInLastFrame(), foreseen);
        }
        for (const Crystal* c : crystals) {
            for (int j = 0; j <= static_cast<int>(c->level); ++j) {
                EXPECT_LT(c->growth[j], c->maxSize + kRestOvershoot);
            }
        }
    }
}
