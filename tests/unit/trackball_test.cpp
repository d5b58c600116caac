#include <gtest/gtest.h>

#include <GL/glut.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "app/state.h"
#include "render/frame.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"
#include "support/redisplay_probe.h"
#include "support/test_window.h"
#include "trackball/trackball.h"

namespace {
using Matrix = std::array<float, 16>;
constexpr double kPi = 3.141592653589793;
constexpr double kDegrees = 180.0 / kPi;
// The middle pixel of a 600-pixel extent; the ball's radius is 300 pixels there.
constexpr int kCentre = 299;

Matrix rotationNow() {
    Matrix m;
    std::copy(sceneRotation, sceneRotation + 16, m.begin());
    return m;
}

const Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Column-major, as OpenGL stores it.
Point3 transform(const Matrix& m, Point3 p) {
    return Point3{m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
                  m[2] * p.x + m[6] * p.y + m[10] * p.z};
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix c{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += static_cast<double>(a[k * 4 + row]) * b[col * 4 + k];
            c[col * 4 + row] = static_cast<float>(sum);
        }
    }
    return c;
}

float largestDifference(const Matrix& a, const Matrix& b) {
    float d = 0;
    for (int i = 0; i < 16; ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

bool allFinite(const Matrix& m) {
    return std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); });
}

void aimPointer(int fromX, int fromY, int toX, int toY) {
    prevMouseX = fromX;
    prevMouseY = fromY;
    mouseX = toX;
    mouseY = toY;
}

void step(int fromX, int fromY, int toX, int toY) {
    aimPointer(fromX, fromY, toX, toY);
    trackballStep();
}

// A drag from the centre straight up by a quarter of the radius: a turn about the x axis.
void tiltUp() { step(kCentre, kCentre, kCentre, kCentre + 75); }
// A drag from the centre to the right: a turn about the y axis.
void swingRight() { step(kCentre, kCentre, kCentre + 120, kCentre); }

class TrackballTest : public ::testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        savedWidth = windowWidth;
        savedHeight = windowHeight;
        windowWidth = 600;
        windowHeight = 600;
        rotateMode = 0;
        mouseDown = false;
        spinAngle = 0;
        resetRotation();
    }
    void TearDown() override {
        windowWidth = savedWidth;
        windowHeight = savedHeight;
        aimPointer(0, 0, 0, 0);
        rotateMode = 0;
        mouseDown = false;
        resetRotation();
    }
    int savedWidth = 0;
    int savedHeight = 0;
};

TEST_F(TrackballTest, CentreToTopRowTurnsHalfAroundNegativeX) {
    aimPointer(kCentre, kCentre, kCentre, 599);
    trackball();
    EXPECT_LT(spinAxis.x, 0.0f);
    EXPECT_NEAR(spinAxis.y / spinAxis.x, 0.0, 1e-6);
    EXPECT_NEAR(spinAxis.z / spinAxis.x, 0.0, 1e-6);
    EXPECT_NEAR(spinAngle, 180.0, 1e-4);

    trackballStep();
    const Matrix expected = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    EXPECT_LT(largestDifference(rotationNow(), expected), 1e-6) << "not a half turn about x";
    EXPECT_EQ(spinAngle, 0.0f) << "the applied step stays pending";
}

TEST_F(TrackballTest, SceneFollowsThePointer) {
    // Up by a tenth of the radius: the point facing the viewer rolls up by double the arc.
    step(kCentre, kCentre, kCentre, kCentre + 30);
    const double turn = 2 * std::asin(0.1);
    const Point3 front = transform(rotationNow(), Point3{0, 0, 1});
    EXPECT_NEAR(front.x, 0.0, 1e-6);
    EXPECT_NEAR(front.y, std::sin(turn), 1e-5);
    EXPECT_NEAR(front.z, std::cos(turn), 1e-5);
}

TEST_F(TrackballTest, DragAroundTheRimSpinsAboutLineOfSightByDoubleTheSweep) {
    // Pixels outside the ball, 320 pixels from the centre, swept counter-clockwise.
    const int angles[] = {10, 40, 70, 100};
    int px[4], py[4];
    for (int i = 0; i < 4; ++i) {
        px[i] = kCentre + static_cast<int>(std::lround(320 * std::cos(angles[i] / kDegrees)));
        py[i] = kCentre + static_cast<int>(std::lround(320 * std::sin(angles[i] / kDegrees)));
    }
    for (int i = 1; i < 4; ++i) step(px[i - 1], py[i - 1], px[i], py[i]);

    const double swept = std::atan2(py[3] - kCentre, px[3] - kCentre) -
                         std::atan2(py[0] - kCentre, px[0] - kCentre);
    const double turn = 2 * swept;
    const Matrix m = rotationNow();
    EXPECT_NEAR(m[0], std::cos(turn), 1e-5);
    EXPECT_NEAR(m[1], std::sin(turn), 1e-5);
    EXPECT_NEAR(m[4], -std::sin(turn), 1e-5);
    EXPECT_NEAR(m[5], std::cos(turn), 1e-5);
    EXPECT_NEAR(m[10], 1.0, 1e-6);
    for (int i : {2, 6, 8, 9}) EXPECT_NEAR(m[i], 0.0, 1e-6) << "entry " << i << " tips the z axis";
}

TEST_F(TrackballTest, WideWindowPutsPointsBesideTheBallOnItsRim) {
    windowWidth = 1200;
    windowHeight = 600;
    const int centreX = 599;
    // Left and right of the ball, which is 600 pixels across in the middle of the window.
    const int outside[][2] = {{1150, 299}, {20, 420}, {1190, 100}, {250, 560}};
    for (const auto& p : outside) {
        SCOPED_TRACE(testing::Message() << "pixel " << p[0] << ", " << p[1]);
        const double nx = (p[0] - centreX) / 300.0;
        const double ny = (p[1] - kCentre) / 300.0;
        const double length = std::hypot(nx, ny);
        const Point3 rim{static_cast<float>(nx / length), static_cast<float>(ny / length), 0};
        // From the front point (0, 0, 1) to a unit point with z = 0: a quarter arc, an axis of
        // length one at right angles to it, and a half turn.
        aimPointer(centreX, kCentre, p[0], p[1]);
        trackball();
        EXPECT_NEAR(spinAngle, 180.0, 1e-3);
        EXPECT_NEAR(spinAxis.x, -rim.y, 1e-5);
        EXPECT_NEAR(spinAxis.y, rim.x, 1e-5);
        EXPECT_NEAR(spinAxis.z, 0.0, 1e-6);
    }
}

TEST_F(TrackballTest, WideWindowKeepsTheBallRound) {
    windowWidth = 1200;
    windowHeight = 600;
    // Half the height (150 of 300 pixels) to the right: the arc is 30 degrees, the turn 60.
    aimPointer(599, kCentre, 599 + 150, kCentre);
    trackball();
    EXPECT_NEAR(spinAngle, 60.0, 1e-3);
}

TEST_F(TrackballTest, CoincidentPointsNeverGiveAnUndefinedAngle) {
    // The cosine of a point with itself rounds above 1 at many pixels.
    for (int x = -200; x < 800; x += 7) {
        for (int y = -200; y < 800; y += 7) {
            aimPointer(x, y, x, y);
            trackball();
            ASSERT_TRUE(std::isfinite(spinAngle)) << "pixel " << x << ", " << y;
            ASSERT_LT(std::fabs(spinAngle), 0.05f) << "pixel " << x << ", " << y;
        }
    }
}

TEST_F(TrackballTest, StepWithoutMovementLeavesRotationUnchanged) {
    tiltUp();
    const Matrix before = rotationNow();
    for (int x = -200; x < 800; x += 13) {
        for (int y = -200; y < 800; y += 13) step(x, y, x, y);
    }
    EXPECT_EQ(rotationNow(), before);
}

TEST_F(TrackballTest, PointsOnOneRayOutsideTheBallLeaveRotationUnchanged) {
    tiltUp();
    const Matrix before = rotationNow();
    // Both points project onto the same rim point; rounding may leave a tiny axis behind.
    for (int dx = -300; dx <= 300; dx += 3) {
        for (int dy = -300; dy <= 300; dy += 5) {
            if (dx * dx + dy * dy < 300 * 300) continue;
            step(kCentre + dx, kCentre + dy, kCentre + 2 * dx, kCentre + 2 * dy);
        }
    }
    EXPECT_EQ(rotationNow(), before);
}

TEST_F(TrackballTest, WindowTooFlatToMeasureLeavesRotationUnchanged) {
    tiltUp();
    const Matrix before = rotationNow();
    for (int height : {1, 0}) {
        windowHeight = height;
        step(0, 0, 300, 0);
        step(10, 0, 500, 0);
        step(300, 0, 300, 0);
    }
    EXPECT_EQ(rotationNow(), before);
    EXPECT_TRUE(allFinite(rotationNow()));
}

TEST_F(TrackballTest, TurnThatOverflowsIsNeverStored) {
    // Not a rotation, but large enough that turning it by about 45 degrees about x overflows a
    // float: the new y row is about (cos + sin) = 1.41 times the old entries.
    std::fill(sceneRotation, sceneRotation + 16, 3.0e38f);
    const Matrix before = rotationNow();
    step(kCentre, kCentre, kCentre, kCentre + 115);
    EXPECT_EQ(rotationNow(), before);
}

TEST_F(TrackballTest, StepAdvancesThePreviousPointer) {
    step(kCentre, kCentre, 350, 410);
    EXPECT_EQ(prevMouseX, 350);
    EXPECT_EQ(prevMouseY, 410);
    windowHeight = 1;  // a step that turns nothing still moves on
    step(10, 0, 40, 0);
    EXPECT_EQ(prevMouseX, 40);
    EXPECT_EQ(prevMouseY, 0);
}

TEST_F(TrackballTest, NewTurnIsAppliedAfterEarlierTurns) {
    tiltUp();
    const Matrix tilt = rotationNow();
    resetRotation();
    swingRight();
    const Matrix swing = rotationNow();
    resetRotation();

    tiltUp();
    swingRight();
    const Matrix both = rotationNow();
    EXPECT_LT(largestDifference(both, multiply(swing, tilt)), 1e-5);
    // The two turns do not commute, so the other order is far off.
    EXPECT_GT(largestDifference(multiply(tilt, swing), multiply(swing, tilt)), 0.05f);
}

TEST_F(TrackballTest, ResetGivesIdentityAndRedraws) {
    tiltUp();
    swingRight();
    ASSERT_NE(rotationNow(), kIdentity);
    EXPECT_GE(redisplayRequestsDuring(resetRotation), 1);
    EXPECT_EQ(rotationNow(), kIdentity);
}

void drawNothing() {}

TEST_F(TrackballTest, FrameTurnsOnlyInRotateModeWhileTheButtonIsHeld) {
    for (int mode : {0, 1}) {
        for (bool held : {false, true}) {
            SCOPED_TRACE(testing::Message() << "rotateMode " << mode << ", button held " << held);
            resetRotation();
            rotateMode = mode;
            mouseDown = held;
            aimPointer(kCentre, kCentre, kCentre + 40, kCentre + 60);
            composeFrame(drawNothing);
            const bool turns = mode == 1 && held;
            EXPECT_EQ(rotationNow() != kIdentity, turns);
            EXPECT_EQ(prevMouseX, turns ? kCentre + 40 : kCentre);
            EXPECT_EQ(prevMouseY, turns ? kCentre + 60 : kCentre);
        }
    }
}
}  // namespace

// Each turn adds float rounding to the scene's turn. A sketch takes a turn only when it is a
// rotation within 1e-3; a long afternoon of turning, here a million small drags in every
// direction, stays far inside that and is kept and opened again.
TEST_F(TrackballTest, LongTurningStaysARotationThatASketchKeeps) {
    rotateMode = 1;
    unsigned drawn = 7;  // a small linear congruential sequence, the same on every run
    const auto next = [&drawn](int range) {
        drawn = drawn * 1103515245u + 12345u;
        return static_cast<int>((drawn >> 16) % static_cast<unsigned>(range));
    };
    for (int i = 0; i < 1000000; ++i) {
        const int x = 150 + next(300), y = 150 + next(300);
        step(x, y, x + next(41) - 20, y + next(41) - 20);
    }
    double drift = 0.0;
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            double dot = 0.0;
            for (int row = 0; row < 3; ++row) dot += double(sceneRotation[4 * a + row]) * sceneRotation[4 * b + row];
            drift = std::max(drift, std::fabs(dot - (a == b ? 1.0 : 0.0)));
        }
    }
    EXPECT_LT(drift, 2.5e-4) << "a quarter of what a sketch allows";
    std::string text, why;
    Sketch kept;
    ASSERT_TRUE(sketchToText(captureSketch(), text, why)) << why;
    EXPECT_TRUE(sketchFromText(text, kept, why)) << why;
}
