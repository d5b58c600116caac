// Bridges: the cone that joins a small crystal to a crystal just before it in the list. The
// previous crystal is tiny, so the bridge's far end lies within a fraction of a pixel of its
// position; the newer crystal's own spikes are far shorter than the gap.
#include <gtest/gtest.h>

#include <cmath>

#include "app/state.h"
#include "support/feedback_capture.h"
#include "support/geometry_scene.h"

namespace {
constexpr float kTiny = 0.01f;
constexpr float kBody = 0.06f;  // spikes 0.04 long, no branch stations
constexpr float kSmallMax = 0.2f;
constexpr std::size_t kConesOfLastCrystal = 4;  // arms off: short pass and long pair

struct Pair {
    Crystal* previous;
    Crystal* crystal;
};

// A crystal 0.15 to the right of the previous one, oriented toward it.
Pair neighbours(int previousKind = 0) {
    sideBranches = false;
    Crystal* previous = addObject(previousKind, -0.1f, 0.05f, offSceneObject(-0.1f, -0.3f), kTiny, 0.3f);
    Crystal* crystal = addCrystal(0.05f, 0.05f, previous, kBody, kSmallMax);
    return {previous, crystal};
}

std::vector<WindowPoint> lastCrystalVertices() {
    const std::vector<FeedbackPolygon> polygons = captureFeedback(drawCrystalsUnderCamera);
    const std::size_t own = kConesOfLastCrystal * polygonsPerCone();
    EXPECT_GE(polygons.size(), own);
    return verticesFrom(polygons, polygons.size() - std::min(own, polygons.size()));
}

// Where a bridge of the crystal ends: toward its parent, as far as the previous element lies.
WindowPoint bridgeEnd(const Crystal& c, const Crystal& previous) {
    const double reach = std::hypot(c.x - previous.x, c.y - previous.y);
    return projectFramePoint(c, c.x - c.parent->x, c.y - c.parent->y, 0.0, -reach, 0.0);
}

bool reachesBridgeEnd(const Pair& pair) {
    return nearestVertexDistance(lastCrystalVertices(), bridgeEnd(*pair.crystal, *pair.previous)) < 1.0;
}
}  // namespace

TEST(GeometryBridge, SmallCrystalCloseToACrystalBeforeItIsBridged) {
    startGeometryScene();
    EXPECT_TRUE(reachesBridgeEnd(neighbours()));
}

TEST(GeometryBridge, NoBridgeWhenTheGapIsAtLeastMaxSize) {
    startGeometryScene();
    Pair pair = neighbours();
    pair.crystal->maxSize = 0.14f;
    EXPECT_FALSE(reachesBridgeEnd(pair));
    pair.crystal->maxSize = crystalDistance(pair.previous, pair.crystal);  // strict
    EXPECT_FALSE(reachesBridgeEnd(pair));
    pair.crystal->maxSize = std::nextafter(pair.crystal->maxSize, 1.0f);
    EXPECT_TRUE(reachesBridgeEnd(pair));
}

TEST(GeometryBridge, NoBridgeToAChunk) {
    startGeometryScene();
    EXPECT_FALSE(reachesBridgeEnd(neighbours(1)));
}

TEST(GeometryBridge, NoBridgeFromAnObjectOfMaxSizePointThreeOrMore) {
    startGeometryScene();
    Pair pair = neighbours();
    pair.crystal->maxSize = 0.3f;
    EXPECT_FALSE(reachesBridgeEnd(pair));
    pair.crystal->maxSize = std::nextafter(0.3f, 0.0f);
    EXPECT_TRUE(reachesBridgeEnd(pair));
}

// The bridge runs toward the parent but is as long as the gap to the previous element.
TEST(GeometryBridge, TakesItsDirectionFromTheParentAndItsLengthFromThePrevious) {
    startGeometryScene();
    Pair pair = neighbours();
    pair.crystal->parent = offSceneObject(0.3f, 0.5f);
    const WindowPoint end = bridgeEnd(*pair.crystal, *pair.previous);
    ASSERT_GT(pixelDistance(end, projectPosition(*pair.previous)), 10.0);
    EXPECT_LT(nearestVertexDistance(lastCrystalVertices(), end), 1.0);
}

// The oldest element is its own previous element: gap 0, so it takes the bridge case with a
// bridge of length 0 (nothing on screen) instead of its forward short spike.
TEST(GeometryBridge, OldestSmallCrystalLosesItsForwardShortSpike) {
    startGeometryScene();
    fractalThreshold = 0.49f;  // keeps the larger maxSize below from branching
    Pair pair = neighbours();
    Crystal* oldest = pair.previous;
    oldest->maxSize = kSmallMax;
    oldest->growth[0] = 0.3f;
    const std::size_t perCone = polygonsPerCone();
    const std::vector<FeedbackPolygon> small = captureFeedback(drawCrystalsUnderCamera);
    EXPECT_EQ(small.size(), (3 + kConesOfLastCrystal) * perCone);

    oldest->maxSize = 0.3f;
    const std::vector<FeedbackPolygon> large = captureFeedback(drawCrystalsUnderCamera);
    ASSERT_EQ(large.size(), (4 + kConesOfLastCrystal) * perCone);

    // The first cone drawn: the backward short spike when bridged, else the forward one.
    const std::vector<FeedbackPolygon> firstSmall(small.begin(), small.begin() + perCone);
    const std::vector<FeedbackPolygon> firstLarge(large.begin(), large.begin() + perCone);
    const double up[2] = {oldest->x - oldest->parent->x, oldest->y - oldest->parent->y};
    const WindowPoint backward = projectFramePoint(*oldest, up[0], up[1], 0.0, 0.3 / 2.0, 0.0);
    const WindowPoint forward = projectFramePoint(*oldest, up[0], up[1], 0.0, -0.3 / 2.0, 0.0);
    EXPECT_LT(nearestVertexDistance(verticesFrom(firstSmall, 0), backward), 1.0);
    EXPECT_LT(nearestVertexDistance(verticesFrom(firstLarge, 0), forward), 1.0);
}

// Each object grows right after it is drawn, before the next one: a bridge's far end already
// has the size its previous element grew to in the same frame.
TEST(GeometryBridge, FarEndFollowsThePreviousElementGrownThisFrame) {
    startGeometryScene();
    fractalThreshold = 0.49f;
    Pair pair = neighbours();
    pair.previous->growth[0] = 0.3f;
    pair.previous->maxSize = 5.0f;
    auto farEndSpread = [&] {
        const std::vector<FeedbackPolygon> polygons = captureFeedback(drawCrystalsUnderCamera);
        const std::size_t bridgeStart = 4 * polygonsPerCone();  // after the previous crystal
        const std::vector<FeedbackPolygon> bridge(polygons.begin() + bridgeStart,
                                                  polygons.begin() + bridgeStart + polygonsPerCone());
        const WindowPoint near = projectPosition(*pair.crystal);
        const WindowPoint far = projectPosition(*pair.previous);
        std::vector<WindowPoint> ring;
        for (const WindowPoint& v : verticesFrom(bridge, 0)) {
            if (pixelDistance(v, far) < pixelDistance(v, near)) ring.push_back(v);
        }
        double spread = 0.0;
        for (const WindowPoint& a : ring) {
            for (const WindowPoint& b : ring) spread = std::max(spread, pixelDistance(a, b));
        }
        return spread;
    };
    const double still = farEndSpread();
    ASSERT_GT(still, 2.0);
    allGrown = false;
    const double growing = farEndSpread();
    const double grown = pair.previous->growth[0];
    ASSERT_GT(grown, 0.45);
    EXPECT_NEAR(growing / still, grown / 0.3, 0.01);
}
