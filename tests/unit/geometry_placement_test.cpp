// Where the cones land on screen: each expected tip is worked out from the object's position,
// the bank's tilt and the direction to its parent, projected with the window's own camera and
// projection, and compared with the vertices GL would rasterise.
#include <gtest/gtest.h>

#include <cmath>

#include "app/state.h"
#include "render/crystal_geometry.h"
#include "support/feedback_capture.h"
#include "support/geometry_scene.h"

namespace {
constexpr float kBody = 0.3f;  // long spikes and arms 0.2 long: some 35 pixels
constexpr double kLong = kBody / 1.5;
constexpr double kHalfRoot3 = 0.8660254037844386;

struct Direction {
    float dx, dy;  // from the parent to the object
};

std::vector<WindowPoint> capturedVertices() { return verticesFrom(captureFeedback(drawCrystalsUnderCamera), 0); }

// The vertex reaching farthest from the object's centre toward `tip` must be `tip`.
void expectSpikeTipAt(const Crystal& c, WindowPoint tip) {
    const WindowPoint centre = projectPosition(c);
    ASSERT_GT(pixelDistance(centre, tip), 20.0) << "spike too short to judge";
    const WindowPoint reached = extremeVertex(capturedVertices(), centre, tip);
    EXPECT_LT(pixelDistance(reached, tip), 1.0)
        << "tip expected at " << tip.x << "," << tip.y << ", reaches " << reached.x << "," << reached.y;
}
}  // namespace

class GeometryHeading : public ::testing::TestWithParam<Direction> {};

TEST_P(GeometryHeading, ForwardSpikePointsAtTheParentAndBackwardSpikeAway) {
    startGeometryScene();
    sideBranches = false;
    const Direction d = GetParam();
    Crystal* c = addCrystal(0.1f, 0.2f, nullptr, kBody, 0.2f);
    c->parent = offSceneObject(c->x - d.dx, c->y - d.dy);
    expectSpikeTipAt(*c, projectFramePoint(*c, d.dx, d.dy, 0.0, -kLong, 0.0));
    expectSpikeTipAt(*c, projectFramePoint(*c, d.dx, d.dy, 0.0, kLong, 0.0));
}

// Each quadrant, and both signs of dx with dy = 0, which the heading table treats as dy >= 0.
INSTANTIATE_TEST_SUITE_P(Quadrants, GeometryHeading,
                         ::testing::Values(Direction{0.6f, 0.3f}, Direction{0.4f, -0.5f},
                                           Direction{-0.7f, 0.2f}, Direction{-0.3f, -0.6f},
                                           Direction{0.5f, 0.0f}, Direction{-0.5f, 0.0f}));

TEST(GeometryHeadingAngle, TurnsUpOntoTheDirectionFromTheParent) {
    startGeometryScene();
    for (float dx : {0.6f, -0.6f, 0.1f, -0.1f}) {
        for (float dy : {0.4f, -0.4f, 0.0f, 2.0f}) {
            Crystal* c = offSceneObject(0.0f, 0.0f);
            c->parent = offSceneObject(-dx, -dy);
            const double heading = headingAngle(*c) * 3.141592653589793 / 180.0;
            const double length = std::hypot(dx, dy);
            EXPECT_NEAR(std::sin(heading), dx / length, 1e-6) << dx << "," << dy;
            EXPECT_NEAR(std::cos(heading), dy / length, 1e-6) << dx << "," << dy;
        }
    }
}

// Straight above or below its parent an object keeps heading 0: frame +y stays up the bank.
TEST(GeometryHeadingAngle, StraightAboveOrBelowTheParentHeadsUp) {
    startGeometryScene();
    Crystal* c = offSceneObject(0.2f, 0.0f);
    c->parent = offSceneObject(0.2f, -0.5f);
    EXPECT_EQ(headingAngle(*c), 0.0f);
    c->parent = offSceneObject(0.2f, 0.5f);
    EXPECT_EQ(headingAngle(*c), 0.0f);
}

TEST(GeometryHeading, ParentStraightBelowGetsTheForwardSpike) {
    startGeometryScene();
    sideBranches = false;
    Crystal* c = addCrystal(0.2f, 0.2f, offSceneObject(0.2f, -0.3f), kBody, 0.2f);
    const WindowPoint towardParent = projectFramePoint(*c, 0.0, 1.0, 0.0, -kLong, 0.0);
    EXPECT_LT(towardParent.y, projectPosition(*c).y);
    expectSpikeTipAt(*c, towardParent);
}

// With dx = 0 and the parent above, heading 0 still sends the forward spike down the bank,
// away from the parent.
TEST(GeometryHeading, ParentStraightAboveLeavesTheForwardSpikePointingAway) {
    startGeometryScene();
    sideBranches = false;
    Crystal* c = addCrystal(0.2f, 0.2f, offSceneObject(0.2f, 0.7f), kBody, 0.2f);
    const WindowPoint downTheBank = projectFramePoint(*c, 0.0, 1.0, 0.0, -kLong, 0.0);
    EXPECT_LT(downTheBank.y, projectPosition(*c).y);
    expectSpikeTipAt(*c, downTheBank);
    expectSpikeTipAt(*c, projectFramePoint(*c, 0.0, 1.0, 0.0, kLong, 0.0));
}

// Two arms a side and the two spikes: six points 60 degrees apart, flat in the tilted plane.
TEST(GeometryArms, TwoASideCompleteAFlatSixPointedStar) {
    startGeometryScene();
    const Direction d{0.3f, 0.4f};
    Crystal* c = addCrystal(-0.2f, 0.1f, nullptr, kBody, 0.2f);
    c->parent = offSceneObject(c->x - d.dx, c->y - d.dy);
    for (int k = 0; k < 6; ++k) {
        const double angle = (30.0 + 60.0 * k) * 3.141592653589793 / 180.0;
        expectSpikeTipAt(*c, projectFramePoint(*c, d.dx, d.dy, kLong * std::cos(angle), kLong * std::sin(angle), 0.0));
    }
}

TEST(GeometryArms, FourASideRiseOutOfThePlaneOnTheViewersSide) {
    startGeometryScene();
    armLayout = 0;
    const Direction d{-0.2f, 0.5f};
    Crystal* c = addCrystal(0.1f, -0.3f, nullptr, kBody, 0.2f);
    c->parent = offSceneObject(c->x - d.dx, c->y - d.dy);
    const std::vector<WindowPoint> vertices = capturedVertices();
    for (int i = 0; i < 4; ++i) {
        const double turn = 60.0 * i * 3.141592653589793 / 180.0;
        const double across = kHalfRoot3 * std::cos(turn) * kLong;
        const double rise = kHalfRoot3 * std::sin(turn) * kLong;
        const WindowPoint first = projectFramePoint(*c, d.dx, d.dy, -across, 0.5 * kLong, rise);
        const WindowPoint second = projectFramePoint(*c, d.dx, d.dy, across, -0.5 * kLong, rise);
        EXPECT_LT(nearestVertexDistance(vertices, first), 1.0) << "first loop, arm " << i;
        EXPECT_LT(nearestVertexDistance(vertices, second), 1.0) << "second loop, arm " << i;
        if (i == 1 || i == 2) {
            // Had it dipped into the bank it would land elsewhere.
            const WindowPoint sunk = projectFramePoint(*c, d.dx, d.dy, -across, 0.5 * kLong, -rise);
            EXPECT_GT(nearestVertexDistance(vertices, sunk), 3.0) << "arm " << i << " dips";
        }
    }
}

// A chunk stands on the bank along the frame's +z, leaning by spin toward the frame's +x.
TEST(GeometryChunk, StandsAsALeaningCone) {
    startGeometryScene();
    const Direction d{0.4f, 0.3f};
    for (float spin : {10.5f, -7.0f}) {
        crystals.clear();
        Crystal* c = addObject(1, 0.0f, 0.0f, nullptr, 0.6f, 0.2f);
        c->parent = offSceneObject(c->x - d.dx, c->y - d.dy);
        c->spin = spin;
        const double lean = spin * 3.141592653589793 / 180.0;
        const double height = 0.6;
        const WindowPoint apex = projectFramePoint(*c, d.dx, d.dy, height * std::sin(lean), 0.0, height * std::cos(lean));
        const WindowPoint upright = projectFramePoint(*c, d.dx, d.dy, 0.0, 0.0, height);
        ASSERT_GT(pixelDistance(apex, upright), 10.0);
        // The base square, radius a quarter of the height, turned with the lean.
        std::vector<WindowPoint> expected{apex};
        const double r = height / 4.0;
        for (int k = 0; k < 4; ++k) {
            const double bx = (k == 0 ? r : k == 2 ? -r : 0.0);
            const double by = (k == 1 ? r : k == 3 ? -r : 0.0);
            expected.push_back(projectFramePoint(*c, d.dx, d.dy, bx * std::cos(lean), by, -bx * std::sin(lean)));
        }
        const std::vector<WindowPoint> vertices = capturedVertices();
        for (const WindowPoint& e : expected) EXPECT_LT(nearestVertexDistance(vertices, e), 1.0) << "spin " << spin;
        for (const WindowPoint& v : vertices) EXPECT_LT(nearestVertexDistance(expected, v), 1.0) << "spin " << spin;
    }
}

// Sub-branches of the top depth: station j sits (j + 1) x 0.14 along the spike; its six
// sub-branches point 60 degrees off the spike, 60 degrees apart around it, leaning toward the
// tip, 0.4 / (j div 2 + 1) x growth[j + 1] long.
TEST(GeometryBranches, SubBranchTipsLieWhereTheStationsPutThem) {
    startGeometryScene();
    sideBranches = false;
    const Direction d{0.3f, -0.2f};
    Crystal* c = addCrystal(0.0f, 0.0f, nullptr, 0.001f, 0.5f);
    c->parent = offSceneObject(c->x - d.dx, c->y - d.dy);
    c->growth[0] = 0.76f;  // three stations
    c->growth[1] = 0.3f;
    c->growth[2] = 0.45f;
    c->growth[3] = 0.5f;
    const std::vector<WindowPoint> vertices = capturedVertices();
    for (int j = 0; j < 3; ++j) {
        const double station = (j + 1) * 0.4 * 0.35;
        const double length = 0.4 / (j / 2 + 1) * c->growth[j + 1];
        for (int i = 0; i < 6; ++i) {
            const double turn = 60.0 * i * 3.141592653589793 / 180.0;
            // Along the spike frame's axes; that frame's +z is the heading frame's -y.
            const double sx = -kHalfRoot3 * std::cos(turn) * length;
            const double sy = -kHalfRoot3 * std::sin(turn) * length;
            const double sz = station + 0.5 * length;
            const WindowPoint forward = projectFramePoint(*c, d.dx, d.dy, sx, -sz, sy);
            // The backward spike is the forward one turned half a circle about the frame's y.
            const WindowPoint backward = projectFramePoint(*c, d.dx, d.dy, -sx, sz, sy);
            EXPECT_LT(nearestVertexDistance(vertices, forward), 1.0) << "station " << j << ", direction " << i;
            EXPECT_LT(nearestVertexDistance(vertices, backward), 1.0) << "station " << j << ", direction " << i;
        }
    }
}
