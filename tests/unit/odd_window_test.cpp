// Odd windows and odd input: a window squeezed to one pixel, to no height, stretched very
// wide; a pointer dragged far outside; every key byte; menu values the menus never send.
// Nothing may crash, nothing non-finite may reach a matrix or an object, and once the window
// is back to its size the picture is exactly what it was.

#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/reshape.h"
#include "app/state.h"
#include "model/placement.h"
#include "render/frame.h"
#include "support/scene_invariants.h"
#include "support/test_window.h"

namespace {
// X reports pointer positions as 16-bit numbers, so these are the farthest a drag can go.
constexpr int kFarLow = -32768;
constexpr int kFarHigh = 32767;
constexpr double kPi = 3.141592653589793;

testing::AssertionResult allSound() {
    testing::AssertionResult gl = glStateIsSound();
    if (!gl) return gl;
    return sceneIsSound();
}

// The first frame after a placement finds the newest object short of its size.
void drawUntilGrown() {
    display();
    for (int i = 0; i < 1000 && !allGrown; ++i) display();
}

// A few crystals and chunks, fully grown, so that frames no longer change anything.
void placeGrownScene() {
    keyboard('y', 0, 0);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 250, 330);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 250, 330);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 330, 300);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 330, 300);
    keyboard('u', 0, 0);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 300, 420);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 300, 420);
    drawUntilGrown();
}

size_t differingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return SIZE_MAX;
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
    return count;
}

// The picture of the grown scene at 600 x 600, checked to be repeatable before it is used.
std::vector<uint8_t> referencePicture() {
    startFrimelWindow();
    placeGrownScene();
    EXPECT_TRUE(allGrown);
    const std::vector<uint8_t> first = drawAndReadFrame();
    EXPECT_EQ(differingBytes(first, drawAndReadFrame()), 0u) << "frames are not repeatable";
    return first;
}

// A rotate-mode drag right across the window and beyond, one frame a step.
void rotateDragAcross() {
    keyboard('r', 0, 0);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
    const int positions[][2] = {{0, 0},       {1, 1},  {300, 20}, {-50, 700}, {kFarHigh, 5},
                                {kFarLow, kFarHigh}, {9, kFarLow}};
    for (const auto& p : positions) {
        motion(p[0], p[1]);
        display();
    }
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
}

bool sceneRotationIsIdentity() {
    for (int i = 0; i < 16; ++i) {
        if (sceneRotation[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
    }
    return true;
}

float projectionEntry(int index) {
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    return projection[index];
}

// The settings a stray key or menu value could disturb.
struct Settings {
    int kind, texture, layout, surface, rotate;
    bool branches;
    float threshold, translucency;
    size_t sceneSize;
    GLboolean blend;

    bool operator==(const Settings& o) const {
        return kind == o.kind && texture == o.texture && layout == o.layout &&
               surface == o.surface && rotate == o.rotate && branches == o.branches &&
               threshold == o.threshold && translucency == o.translucency && sceneSize == o.sceneSize &&
               blend == o.blend;
    }
};

Settings currentSettings() {
    return Settings{placeKind,   crystalTexture,   armLayout,   snowSurface,     rotateMode,
                    sideBranches, fractalThreshold, translucent, crystals.size(), glIsEnabled(GL_BLEND)};
}
}  // namespace

TEST(OddWindow, OnePixelWindowTurnsNothingThenRestoresThePicture) {
    const std::vector<uint8_t> before = referencePicture();
    resizeWindow(1, 1);
    ASSERT_EQ(windowWidth, 1);
    ASSERT_EQ(windowHeight, 1);
    EXPECT_TRUE(allSound());
    display();
    EXPECT_TRUE(allSound());

    // With half the height 0 no pixel maps onto the ball: the scene must not turn.
    rotateDragAcross();
    EXPECT_TRUE(sceneRotationIsIdentity());
    EXPECT_TRUE(allSound());

    resizeWindow(600, 600);
    ASSERT_EQ(windowHeight, 600);
    keyboard('u', 0, 0);
    EXPECT_TRUE(allSound());
    EXPECT_EQ(differingBytes(drawAndReadFrame(), before), 0u);
}

// X cannot make a window of no height, but a minimised window may report one.
TEST(OddWindow, ZeroHeightKeepsTheProjectionFiniteThenRestoresThePicture) {
    const std::vector<uint8_t> before = referencePicture();
    reshape(0, 0);
    EXPECT_TRUE(allSound());
    display();
    reshape(600, 0);
    EXPECT_TRUE(allSound());
    display();
    EXPECT_TRUE(allSound());
    rotateDragAcross();
    EXPECT_TRUE(sceneRotationIsIdentity());
    EXPECT_TRUE(allSound());

    reshape(600, 600);
    keyboard('u', 0, 0);
    EXPECT_TRUE(allSound());
    EXPECT_EQ(differingBytes(drawAndReadFrame(), before), 0u);
}

TEST(OddWindow, VeryWideWindowKeepsTheVerticalViewThenRestoresThePicture) {
    const std::vector<uint8_t> before = referencePicture();
    resizeWindow(4000, 300);
    if (windowWidth != 4000) reshape(4000, 300);  // in case the server would not stretch it
    ASSERT_EQ(windowHeight, 300);
    EXPECT_TRUE(allSound());

    // 30 degrees of vertical view whatever the width; the horizontal view widens.
    const double focal = 1.0 / std::tan(15.0 * kPi / 180.0);
    EXPECT_NEAR(projectionEntry(5), focal, 1e-4);
    EXPECT_NEAR(projectionEntry(0), focal * 300.0 / 4000.0, 1e-5);
    display();
    EXPECT_TRUE(allSound());

    // Far left and right of the ball the pointer lies on its rim: the scene turns, finitely.
    rotateDragAcross();
    EXPECT_FALSE(sceneRotationIsIdentity());
    EXPECT_TRUE(allSound());

    resizeWindow(600, 600);
    if (windowWidth != 600) reshape(600, 600);
    keyboard('u', 0, 0);
    EXPECT_TRUE(allSound());
    EXPECT_EQ(differingBytes(drawAndReadFrame(), before), 0u);
}

// Placement reads only the recorded size, so the handler is told the odd sizes directly.
TEST(OddWindow, PointsOffTheSnowOrWithoutAWindowHeightPlaceNothing) {
    startFrimelWindow();
    keyboard('y', 0, 0);
    const int sizes[][2] = {{1, 1}, {600, 1}, {600, 0}, {4000, 300}};
    for (const auto& size : sizes) {
        reshape(size[0], size[1]);
        const size_t sceneSize = crystals.size();
        // The very corners; in the wide window also the far ends of the middle row.
        const int presses[][2] = {{0, 0}, {size[0] - 1, size[1] - 1}, {5, 150}, {3990, 150}};
        for (const auto& p : presses) {
            mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, p[0], p[1]);
            motion(p[0] + 1, p[1]);
            motion(p[0] + 1, p[1]);  // held still: grows what is current, places nothing
            mouse(GLUT_LEFT_BUTTON, GLUT_UP, p[0], p[1]);
            ASSERT_TRUE(allSound()) << size[0] << " x " << size[1] << " at " << p[0] << ", " << p[1];
        }
        EXPECT_EQ(crystals.size(), sceneSize) << size[0] << " x " << size[1];
        display();
        EXPECT_TRUE(allSound());
    }
    // The middle of the wide window is still on the snow.
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 1999, 150);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 1999, 150);
    EXPECT_EQ(crystals.size(), 1u);
    reshape(600, 600);
    display();
    EXPECT_TRUE(allSound());
}

TEST(OddInput, DragFarOutsideTheWindowPlacesOnlyOnTheSnow) {
    startFrimelWindow();
    keyboard('y', 0, 0);
    const int far[][2] = {{-1, -1},        {600, 600},       {kFarLow, 300}, {kFarHigh, 300},
                          {300, kFarLow},  {300, kFarHigh},  {kFarLow, kFarLow},
                          {kFarHigh, kFarHigh}, {299, 299}};
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 300, 300);
    for (const auto& p : far) {
        motion(p[0], p[1]);
        ASSERT_TRUE(allSound()) << "drag to " << p[0] << ", " << p[1];
        display();
        ASSERT_TRUE(allSound()) << "frame after drag to " << p[0] << ", " << p[1];
    }
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, kFarHigh, kFarLow);
    // Presses outside too: each prints its line and places nothing off the snow.
    for (const auto& p : far) {
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, p[0], p[1]);
        mouse(GLUT_LEFT_BUTTON, GLUT_UP, p[0], p[1]);
        ASSERT_TRUE(allSound()) << "press at " << p[0] << ", " << p[1];
    }
    display();
    EXPECT_TRUE(allSound());
}

TEST(OddInput, EveryKeyByteLeavesTheProgramSound) {
    startFrimelWindow();
    placeGrownScene();
    const std::string listed = "1234bBcCdDoOrRsStTuUyYzZ";
    for (int code = 0; code < 256; ++code) {
        const unsigned char key = static_cast<unsigned char>(code);
        if (key == 'q' || key == 'Q') continue;  // exits: see the death test below
        const Settings before = currentSettings();
        keyboard(key, code % 2 == 0 ? kFarLow : kFarHigh, code);
        if (listed.find(static_cast<char>(key)) == std::string::npos) {
            EXPECT_TRUE(currentSettings() == before) << "key " << code << " changed a setting";
        }
        ASSERT_TRUE(allSound()) << "after key " << code;
        display();
        ASSERT_TRUE(allSound()) << "frame after key " << code;
    }
}

TEST(OddInputDeathTest, QuitKeysEndTheProgramWithStatusZero) {
    // A fresh process for each: a forked copy of this one would share its X connection.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            startFrimelWindow();
            keyboard('q', 0, 0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            startFrimelWindow();
            keyboard('Q', kFarLow, kFarHigh);
        },
        testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

TEST(OddInput, MenuValuesNeverSentChangeNothing) {
    startFrimelWindow();
    placeGrownScene();
    const std::vector<int> neverSent = {INT_MIN, -1000, -1, 7, 10, 11, 1000, INT_MAX};
    void (*const handlers[])(int) = {mainMenu, colorMenu, complexityMenu, depthMenu};
    const char* const names[] = {"mainMenu", "colorMenu", "complexityMenu", "depthMenu"};
    for (int h = 0; h < 4; ++h) {
        std::vector<int> values = neverSent;
        // Just past each submenu's own entries.
        if (h == 1) values.push_back(5);
        if (h == 2 || h == 3) values.insert(values.end(), {0, 4});
        for (int value : values) {
            const Settings before = currentSettings();
            handlers[h](value);
            EXPECT_TRUE(currentSettings() == before) << names[h] << "(" << value << ")";
            ASSERT_TRUE(allSound()) << names[h] << "(" << value << ")";
        }
    }
    display();
    EXPECT_TRUE(allSound());
}
