#pragma once

#include <cstdint>
#include <vector>

// Starts Frimel inside the test process exactly as main does, minus the main loop, and waits
// until the window is mapped and the toolkit has reported its size. Safe to call repeatedly.
void startFrimelWindow();

// Delivers pending toolkit events (reshape, redisplay, idle) for a few rounds.
void pumpEvents(int rounds = 5);

// Resizes the window and waits until the reshape has arrived.
void resizeWindow(int width, int height);

// Draws one frame with the real display handler and returns the shown picture, RGB rows
// bottom first, windowWidth x windowHeight.
std::vector<uint8_t> drawAndReadFrame();

// Reads the picture of the last frame drawn, without drawing.
std::vector<uint8_t> readShownFrame();

// Counts display calls made by the toolkit while events are pumped.
struct DisplayCounter {
    DisplayCounter();
    ~DisplayCounter();
    int count() const;
};
