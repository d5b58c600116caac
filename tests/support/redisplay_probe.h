#pragma once

#include <functional>

// Lets the toolkit draw every frame that is already asked for, until none is pending.
void drainRedisplays();

// Draws one frame, so that what frames decide (allGrown) is settled, then drains.
void settleFrame();

// How many frames the toolkit draws for what action asks: with redisplays coalesced by the
// toolkit, 1 means a redisplay was requested and 0 that none was.
int redisplaysAfter(const std::function<void()>& action);
