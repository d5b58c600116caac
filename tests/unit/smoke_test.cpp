#include <gtest/gtest.h>

#include "app/state.h"
#include "support/test_window.h"

TEST(Smoke, WindowOpensAndFrameShowsBackdrop) {
    startFrimelWindow();
    EXPECT_EQ(windowWidth, 600);
    const auto rgb = drawAndReadFrame();
    const size_t centre = (300 * 600 + 300) * 3;
    EXPECT_GT(rgb[centre] + rgb[centre + 1] + rgb[centre + 2], 0);
}
