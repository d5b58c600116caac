// Undo and clear: what leaves the scene, what the next placed object links to afterwards, and
// that removed objects stay usable for everything that still points at them.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include "app/state.h"
#include "model/crystal.h"
#include "model/history.h"
#include "model/placement.h"
#include "render/frame.h"
#include "render/light.h"
#include "support/model_frames.h"
#include "support/test_window.h"

namespace {
// 600 x 600: column 299 and toolkit row 300 map onto the bank centre; a column is 0.0058 wide.
constexpr int kCentreX = 299;
constexpr int kCentreY = 300;

void click(int x, int y) {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
}

using History = ModelTest;

using Undo = History;
using Clear = History;

bool isIdentity(const float* m) {
    for (int i = 0; i < 16; ++i) {
        if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
    }
    return true;
}
}  // namespace

// ---- undo ----

TEST_F(Undo, RemovesTheNewestAndMakesThePreviousOneCurrent) {
    click(200, 300);
    click(300, 200);
    click(400, 400);
    ASSERT_EQ(crystals.size(), 3u);
    Crystal* second = crystals[1];
    Crystal* third = crystals[2];
    const float thirdX = third->x;
    Crystal* link = linkCrystal;
    undoLast();
    ASSERT_EQ(crystals.size(), 2u);
    EXPECT_EQ(crystals.back(), second);
    EXPECT_EQ(currentCrystal, second);
    EXPECT_EQ(linkCrystal, link);
    EXPECT_EQ(third->x, thirdX);  // still alive and readable
    click(kCentreX, kCentreY);
    EXPECT_EQ(crystals.back()->parent, second);
}

TEST_F(Undo, EmptySceneGetsTwoFreshObjectsAtTheOrigin) {
    Crystal* oldCurrent = currentCrystal;
    Crystal* oldLink = linkCrystal;
    const std::size_t kept = keptCrystalCount();
    crystalTexture = 3;
    undoLast();
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(keptCrystalCount(), kept + 2);
    ASSERT_NE(currentCrystal, oldCurrent);
    ASSERT_NE(linkCrystal, oldLink);
    ASSERT_NE(currentCrystal, linkCrystal);
    EXPECT_EQ(currentCrystal->x, 0.0f);
    EXPECT_EQ(currentCrystal->y, 0.0f);
    EXPECT_EQ(currentCrystal->maxSize, 0.2f);
    EXPECT_EQ(currentCrystal->texture, 3);
    EXPECT_EQ(linkCrystal->x, 0.0f);
    Crystal* fresh = currentCrystal;
    click(400, 200);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(crystals[0]->parent, fresh);
}

TEST_F(Undo, UndoingTheLastObjectAlsoStartsFresh) {
    click(400, 200);
    Crystal* only = currentCrystal;
    undoLast();
    EXPECT_TRUE(crystals.empty());
    EXPECT_NE(currentCrystal, only);
    EXPECT_EQ(currentCrystal->x, 0.0f);
    click(200, 200);
    EXPECT_EQ(crystals[0]->parent->x, 0.0f);
    EXPECT_EQ(crystals[0]->parent->y, 0.0f);
}

TEST_F(Undo, UndoneAnchorStillMeasuresAndLinksTheNextDrag) {
    motion(340, kCentreY);  // accepted, becomes the anchor
    ASSERT_EQ(crystals.size(), 1u);
    Crystal* anchor = crystals[0];
    undoLast();
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(anchorCrystal, anchor);
    motion(341, kCentreY);  // 0.0058 from the undone anchor: too close
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, anchor);
    motion(360, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(crystals[0]->parent, anchor);
}

TEST_F(Undo, LeavesAllGrownForTheNextFrame) {
    click(kCentreX, kCentreY);
    click(340, kCentreY);
    allGrown = true;
    undoLast();
    EXPECT_TRUE(allGrown);
    display();
    EXPECT_FALSE(allGrown);  // the remaining newest object is still small
}

// ---- clear ----

TEST_F(Clear, EmptiesTheSceneButKeepsEveryPointer) {
    click(200, 300);
    motion(260, 300);
    Crystal* current = currentCrystal;
    Crystal* link = linkCrystal;
    Crystal* anchor = anchorCrystal;
    const std::size_t kept = keptCrystalCount();
    allGrown = true;
    clearScene();
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, current);
    EXPECT_EQ(linkCrystal, link);
    EXPECT_EQ(anchorCrystal, anchor);
    EXPECT_TRUE(allGrown);
    EXPECT_EQ(keptCrystalCount(), kept);
}

TEST_F(Clear, NextClickIsOrientedTowardTheObjectCurrentBeforeTheClear) {
    click(200, 300);
    click(300, 250);
    Crystal* current = currentCrystal;
    clearScene();
    click(400, 350);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(crystals[0]->parent, current);
}

TEST_F(Clear, ReturnsToTheOpaqueUnrotatedPlacingView) {
    rotateMode = 1;
    translucent = 1.0f;
    applyBlend();
    ASSERT_TRUE(glIsEnabled(GL_BLEND));
    sceneRotation[0] = 0.0f;
    sceneRotation[1] = 1.0f;
    sceneRotation[4] = -1.0f;
    sceneRotation[5] = 0.0f;
    clearScene();
    EXPECT_EQ(rotateMode, 0);
    EXPECT_EQ(translucent, 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(isIdentity(sceneRotation));
    // Placing works again straight away.
    click(kCentreX, kCentreY);
    EXPECT_EQ(crystals.size(), 1u);
}

TEST_F(Clear, AsksForAFrame) {
    settleWindowFrames();
    allGrown = true;
    DisplayCounter frames;
    clearScene();
    EXPECT_TRUE(frameArrives(frames));
}
