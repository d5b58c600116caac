#pragma once

#include <functional>

// Redisplay requests are counted where they reach the toolkit: the test program stands in
// front of glutPostRedisplay, notes each call and passes it on. Counting the frames drawn
// afterwards would not do: test programs running side by side share one X server, and
// freeglut skips drawing a window that another covers, and adds a frame when it is uncovered.

// How many times action asked the toolkit for a redisplay.
int redisplayRequestsDuring(const std::function<void()>& action);

// Draws one frame, so that what frames decide (allGrown) is settled before a command runs.
void settleFrame();
