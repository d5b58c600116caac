#pragma once

#include <gtest/gtest.h>

#include "support/test_window.h"

// A test on the started window, with the recorded size pinned to the 600 x 600 it opens at,
// so pixel positions map to known points of the bank.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// Waits until the window is on screen and every frame already asked for has been drawn, so a
// test can count the frames that its own action asks for. The toolkit holds back frames of a
// window that is not mapped yet, which on a busy machine can outlast the first reshape.
void settleWindowFrames();

// Pumps toolkit events until the counter has seen a frame; false after about three seconds.
bool frameArrives(const DisplayCounter& frames);

// Pumps toolkit events for a while (about 40 ms); the counter should see nothing new.
void pumpQuietly();
