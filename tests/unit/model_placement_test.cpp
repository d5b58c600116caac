// Placing objects with the real mouse, motion and idle handlers: the click line, which object
// becomes current, linked and anchored, which candidates are turned away, and the hold-to-grow
// boost. No events are pumped, so no frame grows anything behind the test's back.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/state.h"
#include "model/crystal.h"
#include "model/placement.h"
#include "model/surface_mapping.h"
#include "support/model_frames.h"
#include "support/test_window.h"

namespace {
// In a 600 x 600 window, column 299 maps to x = 0 and toolkit row 300 (bottom-up 299) to y = 0.
constexpr int kCentreX = 299;
constexpr int kCentreY = 300;
// One column is 1.742134 / 300 = 0.0058 scene units wide on the centre row.

void press(int x, int y) { mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y); }
void release(int x, int y) { mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y); }

using Placement = ModelTest;

using ClickLine = Placement;
using ClickPlacement = Placement;
using DragPlacement = Placement;
using RotateModePointer = Placement;
using HoldToGrow = Placement;
}  // namespace

// ---- the console line of a press ----

TEST_F(ClickLine, PrintsColumnAndBottomUpRow) {
    testing::internal::CaptureStdout();
    press(10, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mouse clicked at 10 599\n");
    windowHeight = 400;
    testing::internal::CaptureStdout();
    press(7, 399);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mouse clicked at 7 0\n");
}

TEST_F(ClickLine, ReleaseAndOtherButtonsPrintNothing) {
    testing::internal::CaptureStdout();
    release(10, 10);
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 10);
    mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(crystals.empty());
    EXPECT_FALSE(mouseDown);
}

TEST_F(ClickLine, PressRecordsThePointerBothWays) {
    press(120, 100);
    EXPECT_TRUE(mouseDown);
    EXPECT_EQ(mouseX, 120);
    EXPECT_EQ(mouseY, 499);
    EXPECT_EQ(prevMouseX, 120);
    EXPECT_EQ(prevMouseY, 499);
    EXPECT_EQ(lastDragX, 120.0f);
    EXPECT_EQ(lastDragY, 100.0f);  // the toolkit's row, not flipped
    release(120, 100);
    EXPECT_FALSE(mouseDown);
    EXPECT_EQ(mouseX, 120);
}

// ---- placing by click ----

TEST_F(ClickPlacement, FirstClickLinksToTheStartUpObjectAtTheOrigin) {
    Crystal* startObject = currentCrystal;
    ASSERT_NE(startObject, nullptr);
    press(kCentreX, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    Crystal* placed = crystals.back();
    EXPECT_NE(placed, startObject);
    EXPECT_EQ(currentCrystal, placed);
    EXPECT_EQ(linkCrystal, startObject);
    EXPECT_EQ(placed->parent, startObject);
    EXPECT_EQ(startObject->x, 0.0f);
    EXPECT_EQ(startObject->y, 0.0f);
    EXPECT_EQ(placed->x, 0.0f);
    EXPECT_EQ(placed->y, 0.0f);
    EXPECT_EQ(placed->z, -0.5f);
    // Start-up leaves the program placing chunks in white ice.
    EXPECT_EQ(placed->kind, 1);
    EXPECT_EQ(placed->texture, 7);
}

TEST_F(ClickPlacement, EachClickLinksToTheObjectCurrentBeforeIt) {
    Crystal* before = currentCrystal;
    Crystal* anchor = anchorCrystal;
    press(kCentreX, kCentreY);
    release(kCentreX, kCentreY);
    press(400, 200);
    release(400, 200);
    press(150, 450);
    ASSERT_EQ(crystals.size(), 3u);
    EXPECT_EQ(crystals[0]->parent, before);
    EXPECT_EQ(crystals[1]->parent, crystals[0]);
    EXPECT_EQ(crystals[2]->parent, crystals[1]);
    EXPECT_EQ(linkCrystal, crystals[1]);
    EXPECT_EQ(currentCrystal, crystals[2]);
    EXPECT_EQ(anchorCrystal, anchor);  // clicks never move the drag anchor
    EXPECT_GT(crystals[1]->x, 0.0f);
    EXPECT_GT(crystals[1]->y, 0.0f);
    EXPECT_LT(crystals[2]->x, 0.0f);
    EXPECT_LT(crystals[2]->y, 0.0f);
}

TEST_F(ClickPlacement, ObjectsTakeTheKindAndTextureChosenAtTheTime) {
    placeKind = 0;
    crystalTexture = 4;
    press(kCentreX, kCentreY);
    placeKind = 1;
    crystalTexture = 6;
    press(350, kCentreY);
    ASSERT_EQ(crystals.size(), 2u);
    EXPECT_EQ(crystals[0]->kind, 0);
    EXPECT_EQ(crystals[0]->texture, 4);
    EXPECT_EQ(crystals[1]->kind, 1);
    EXPECT_EQ(crystals[1]->texture, 6);
}

TEST_F(ClickPlacement, OffTheBankPlacesNothingButStillBoostsTheCurrentObject) {
    Crystal* current = currentCrystal;
    Crystal* link = linkCrystal;
    const std::size_t kept = keptCrystalCount();
    press(kCentreX, 0);  // top row: y about 1.9, beyond the far edge
    press(kCentreX, 599);  // bottom row: beyond the near edge
    press(0, kCentreY);  // left column: x about -1.74
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, current);
    EXPECT_EQ(linkCrystal, link);
    EXPECT_EQ(keptCrystalCount(), kept);
    // Each press reset the boost and ran one idle step on the current object.
    EXPECT_FLOAT_EQ(current->maxSize, 0.2f + 3 * 0.0001f);
}

TEST_F(ClickPlacement, RowsJustInsideTheBankEdgesAreAcceptedAndJustOutsideAreNot) {
    // Bottom-up rows 22 and 539 are the outermost on the bank in a 600-high window.
    press(kCentreX, 599 - 21);
    press(kCentreX, 599 - 540);
    EXPECT_TRUE(crystals.empty());
    press(kCentreX, 599 - 22);
    press(kCentreX, 599 - 539);
    ASSERT_EQ(crystals.size(), 2u);
    EXPECT_NEAR(crystals[0]->y, -1.4955, 1e-3);
    EXPECT_NEAR(crystals[1]->y, 1.4985, 1e-3);
}

TEST_F(ClickPlacement, OnePixelTallWindowPlacesNothing) {
    windowHeight = 1;
    Crystal* current = currentCrystal;
    Crystal* link = linkCrystal;
    const std::size_t kept = keptCrystalCount();
    testing::internal::CaptureStdout();
    press(kCentreX, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mouse clicked at 299 0\n");
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, current);
    EXPECT_EQ(linkCrystal, link);
    EXPECT_EQ(keptCrystalCount(), kept);
}

// ---- placing by drag ----

TEST_F(DragPlacement, FirstStepIsMeasuredAgainstTheStartUpAnchorAtTheOrigin) {
    Crystal* startAnchor = anchorCrystal;
    // The centre pixel maps onto the origin itself: no spacing, so nothing is placed.
    motion(kCentreX, kCentreY);
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, startAnchor);
    motion(340, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(crystals[0]->parent, startAnchor);
    EXPECT_EQ(anchorCrystal, crystals[0]);
    EXPECT_EQ(currentCrystal, crystals[0]);
}

TEST_F(DragPlacement, ChainLinksEachObjectToTheLastAcceptedOne) {
    Crystal* startAnchor = anchorCrystal;
    Crystal* startCurrent = currentCrystal;
    press(kCentreX, kCentreY);  // places A at the origin, anchor stays
    motion(330, kCentreY);      // B, 0.18 from the start-up anchor
    motion(332, kCentreY);      // 0.012 from B: too close
    motion(340, kCentreY);      // C, 0.058 from B
    ASSERT_EQ(crystals.size(), 3u);
    Crystal* a = crystals[0];
    Crystal* b = crystals[1];
    Crystal* c = crystals[2];
    EXPECT_EQ(b->parent, startAnchor);  // not A: a press does not move the anchor
    EXPECT_EQ(c->parent, b);
    EXPECT_EQ(anchorCrystal, c);
    EXPECT_EQ(currentCrystal, c);
    EXPECT_EQ(lastDragX, 340.0f);
    EXPECT_EQ(lastDragY, static_cast<float>(kCentreY));
    EXPECT_EQ(a->parent, startCurrent);
}

TEST_F(DragPlacement, ClickAfterDragKeepsTheAnchorForTheNextDrag) {
    press(kCentreX, kCentreY);
    motion(340, kCentreY);
    release(340, kCentreY);
    ASSERT_EQ(crystals.size(), 2u);
    Crystal* dragged = crystals[1];
    press(150, 200);
    ASSERT_EQ(crystals.size(), 3u);
    Crystal* clicked = crystals[2];
    EXPECT_EQ(clicked->parent, dragged);  // the object current before the click
    EXPECT_EQ(anchorCrystal, dragged);
    motion(120, 200);
    ASSERT_EQ(crystals.size(), 4u);
    EXPECT_EQ(crystals[3]->parent, dragged);
    EXPECT_EQ(anchorCrystal, crystals[3]);
}

TEST_F(DragPlacement, TooCloseStepHandsTheBoostToTheAnchor) {
    motion(340, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    Crystal* anchor = crystals[0];
    const std::size_t kept = keptCrystalCount();
    const float sizeBefore = anchor->maxSize;
    motion(341, kCentreY);
    EXPECT_EQ(crystals.size(), 1u);
    EXPECT_EQ(currentCrystal, anchor);
    EXPECT_EQ(anchorCrystal, anchor);
    EXPECT_EQ(keptCrystalCount(), kept);
    // A new position resets the boost, then one idle step adds 0.0001.
    EXPECT_EQ(growthBoost, 0.0001f);
    EXPECT_FLOAT_EQ(anchor->maxSize, sizeBefore + 0.0001f);
}

TEST_F(DragPlacement, OffTheBankOrNotFiniteIsRejectedHoweverFar) {
    Crystal* anchor = anchorCrystal;
    const std::size_t kept = keptCrystalCount();
    motion(kCentreX, 0);  // top row, far from the anchor but beyond the bank
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, anchor);
    windowHeight = 1;
    motion(100, 0);
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, anchor);
    EXPECT_EQ(anchorCrystal, anchor);
    EXPECT_EQ(keptCrystalCount(), kept);
}

// 0.05 is not a float and the spacing test compares in double: 0.05f (0.0500000007) is the
// smallest spacing that passes, the float just below it the largest that fails.
TEST_F(DragPlacement, SpacingOfAtMostFiveHundredthsIsRejected) {
    const float spacing = std::nextafter(0.05f, 0.0f);
    anchorCrystal->x = -spacing;
    anchorCrystal->y = 0.0f;
    anchorCrystal->z = 3.0f;  // height above the bank does not count
    Crystal probe(static_cast<float>(kCentreX), static_cast<float>(599 - kCentreY));
    ASSERT_EQ(crystalDistance(anchorCrystal, &probe), spacing);
    motion(kCentreX, kCentreY);
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(currentCrystal, anchorCrystal);
}

TEST_F(DragPlacement, SpacingJustAboveFiveHundredthsIsAccepted) {
    Crystal* anchor = anchorCrystal;
    anchor->x = -0.05f;
    anchor->y = 0.0f;
    Crystal probe(static_cast<float>(kCentreX), static_cast<float>(599 - kCentreY));
    ASSERT_EQ(crystalDistance(anchor, &probe), 0.05f);
    motion(kCentreX, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(crystals[0]->parent, anchor);
    EXPECT_EQ(anchorCrystal, crystals[0]);
}

TEST_F(DragPlacement, MiddleButtonDragPlacesAndHoldsUntilALeftRelease) {
    ASSERT_FALSE(mouseDown);
    motion(340, kCentreY);
    EXPECT_TRUE(mouseDown);
    ASSERT_EQ(crystals.size(), 1u);
    mouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 340, kCentreY);
    EXPECT_TRUE(mouseDown);
    Crystal* held = currentCrystal;
    const float size = held->maxSize;
    idle();
    EXPECT_GT(held->maxSize, size);
    release(340, kCentreY);
    EXPECT_FALSE(mouseDown);
    const float settled = held->maxSize;
    idle();
    EXPECT_EQ(held->maxSize, settled);
}

// ---- rotate mode: only pointer bookkeeping ----

TEST_F(RotateModePointer, PressRecordsButPlacesNothingAndDoesNotGrow) {
    rotateMode = 1;
    Crystal* current = currentCrystal;
    const float size = current->maxSize;
    growthBoost = 0.5f;
    testing::internal::CaptureStdout();
    press(kCentreX, kCentreY);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mouse clicked at 299 299\n");
    EXPECT_TRUE(crystals.empty());
    EXPECT_TRUE(mouseDown);
    EXPECT_EQ(mouseX, kCentreX);
    EXPECT_EQ(prevMouseY, 299);
    EXPECT_EQ(lastDragX, static_cast<float>(kCentreX));
    EXPECT_EQ(growthBoost, 0.0f);  // reset, and no idle step added to it
    EXPECT_EQ(current->maxSize, size);
    EXPECT_EQ(currentCrystal, current);
}

TEST_F(RotateModePointer, DragMovesThePointerOnly) {
    rotateMode = 1;
    press(kCentreX, kCentreY);
    const Crystal* current = currentCrystal;
    motion(400, 100);
    EXPECT_TRUE(crystals.empty());
    EXPECT_EQ(mouseX, 400);
    EXPECT_EQ(mouseY, 499);
    EXPECT_EQ(prevMouseX, kCentreX);  // the trackball step moves this one
    EXPECT_EQ(lastDragX, static_cast<float>(kCentreX));
    EXPECT_EQ(currentCrystal, current);
    EXPECT_EQ(growthBoost, 0.0f);
}

// ---- holding the button still ----

TEST_F(HoldToGrow, ClickPlacedObjectStartsWithOneBoost) {
    press(kCentreX, kCentreY);
    ASSERT_EQ(crystals.size(), 1u);
    EXPECT_EQ(currentCrystal->maxSize, 0.2f + 0.0001f);
    EXPECT_EQ(growthBoost, 0.0001f);
}

TEST_F(HoldToGrow, BoostGrowsWithEveryIdleStep) {
    press(kCentreX, kCentreY);
    Crystal* held = currentCrystal;
    for (int i = 0; i < 199; ++i) idle();
    // 200 steps including the press's own: 0.0001 * 200 * 201 / 2 = 2.01.
    EXPECT_NEAR(held->maxSize, 0.2 + 2.01, 2e-4);
    EXPECT_NEAR(growthBoost, 0.02, 1e-6);
}

TEST_F(HoldToGrow, DragEventAtTheSamePositionKeepsTheBoostRunning) {
    press(kCentreX, kCentreY);
    Crystal* held = currentCrystal;
    motion(kCentreX, kCentreY);
    motion(kCentreX, kCentreY);
    EXPECT_EQ(crystals.size(), 1u);
    EXPECT_EQ(currentCrystal, held);
    EXPECT_NEAR(growthBoost, 0.0003, 1e-8);
    EXPECT_NEAR(held->maxSize, 0.2 + 0.0001 + 0.0002 + 0.0003, 1e-6);
}

TEST_F(HoldToGrow, NewDragPositionStartsTheBoostAgain) {
    press(kCentreX, kCentreY);
    for (int i = 0; i < 9; ++i) idle();
    EXPECT_NEAR(growthBoost, 0.001, 1e-7);
    motion(340, kCentreY);
    ASSERT_EQ(crystals.size(), 2u);
    EXPECT_EQ(growthBoost, 0.0001f);
    EXPECT_EQ(crystals[1]->maxSize, 0.2f + 0.0001f);
}

TEST_F(HoldToGrow, ReleasedButtonOrRotateModeStopsTheBoost) {
    press(kCentreX, kCentreY);
    release(kCentreX, kCentreY);
    Crystal* placed = currentCrystal;
    const float size = placed->maxSize;
    idle();
    EXPECT_EQ(placed->maxSize, size);
    press(kCentreX, kCentreY);
    rotateMode = 1;
    Crystal* held = currentCrystal;
    const float heldSize = held->maxSize;
    idle();
    EXPECT_EQ(held->maxSize, heldSize);
}

TEST_F(HoldToGrow, IdleAsksForFramesOnlyWhileTheNewestObjectGrows) {
    settleWindowFrames();
    allGrown = true;
    {
        DisplayCounter frames;
        idle();
        pumpQuietly();
        EXPECT_EQ(frames.count(), 0);
    }
    allGrown = false;
    {
        DisplayCounter frames;
        idle();
        EXPECT_TRUE(frameArrives(frames));
    }
}
