// Long sessions: tens of thousands of presses, drags, holds, keys and frames in a random but
// repeatable order, through the real handlers. After every step each pointer Frimel holds must
// reach a kept object and every value must be sane.

#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "app/commands.h"
#include "app/state.h"
#include "model/crystal.h"
#include "model/placement.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "support/scene_invariants.h"
#include "support/test_window.h"

namespace {
constexpr unsigned kSeed = 20240611;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory in quarantine, so the resident size says little.
constexpr bool kResidentSizeTellsUsage = false;
#else
constexpr bool kResidentSizeTellsUsage = true;
#endif
const char kKeys[] = "zcyurto1234bdsZCYURTO1234BDS";

// The click lines of a long session would only bury the test's own output, so handlers run
// with standard output sent to /dev/null; test failures are reported outside.
struct QuietStdout {
    int saved;
    QuietStdout() {
        std::fflush(stdout);
        saved = dup(1);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        close(devNull);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }
};

template <class Handlers>
void quietly(Handlers handlers) {
    QuietStdout quiet;
    handlers();
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

enum Action { kPress, kRelease, kDragMove, kHoldStill, kIdle, kOtherButton, kKey, kFrame,
              kComposedFrame, kToolkitRound, kActionCount };

struct Session {
    std::mt19937 rng{kSeed};
    int x = 300, y = 300;  // toolkit pointer, y downward
    int counts[kActionCount] = {};

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    // Mostly inside the window; now and then well outside it, where no object may land.
    void jump() {
        const bool outside = uniform(0, 19) == 0;
        x = outside ? uniform(-400, 1000) : uniform(0, windowWidth - 1);
        y = outside ? uniform(-400, 1000) : uniform(0, windowHeight - 1);
    }

    void step(Action action) {
        ++counts[action];
        switch (action) {
        case kPress:
            jump();
            mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
            break;
        case kRelease: mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y); break;
        case kDragMove:
            if (uniform(0, 49) == 0) {
                jump();
            } else {
                x += uniform(-25, 25);
                y += uniform(-25, 25);
            }
            motion(x, y);
            break;
        case kHoldStill: motion(x, y); break;
        case kIdle: idle(); break;
        case kOtherButton:
            mouse(uniform(0, 1) == 0 ? GLUT_MIDDLE_BUTTON : GLUT_RIGHT_BUTTON, uniform(0, 1), x, y);
            break;
        case kKey: keyboard(static_cast<unsigned char>(kKeys[uniform(0, sizeof kKeys - 2)]), x, y); break;
        case kFrame: display(); break;
        case kComposedFrame:
            composeFrame(drawCrystals);
            glFinish();  // unswapped frames otherwise pile up in the driver
            break;
        case kToolkitRound: pumpEvents(1); break;
        case kActionCount: break;
        }
    }
};
}  // namespace

TEST(LongSession, RandomGesturesKeysAndFramesKeepTheSceneSound) {
    startFrimelWindow();
    resizeWindow(240, 200);  // a small picture keeps thousands of frames quick
    ASSERT_EQ(windowHeight, 200);
    Session session;
    // Weights in the order of Action: mostly pointer work, with a frame every few steps.
    std::discrete_distribution<int> pick({6, 5, 30, 10, 14, 2, 10, 6, 1, 1});
    const int kSteps = 40000;
    const size_t keptBefore = keptCrystalCount();
    size_t longestScene = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteps; ++i) {
        const Action action = static_cast<Action>(pick(session.rng));
        quietly([&] { session.step(action); });
        ASSERT_TRUE(sceneIsSound()) << "after step " << i << ", action " << action;
        ASSERT_TRUE(glStateIsSound()) << "after step " << i << ", action " << action;
        longestScene = std::max(longestScene, crystals.size());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d steps in %.1f s: %zu objects kept, longest scene %zu, %d frames\n", kSteps,
                seconds, keptCrystalCount() - keptBefore, longestScene,
                session.counts[kFrame] + session.counts[kComposedFrame]);

    // The session must really have placed, drawn, undone and cleared things.
    EXPECT_GT(keptCrystalCount() - keptBefore, 2000u);
    EXPECT_GT(longestScene, 20u);
    EXPECT_GT(session.counts[kFrame], 2000);
}

// Holding the button still for thousands of idle steps raises maxSize without limit; the
// branch drawing then asks for ever more levels, which must stop at the last growth entry.
TEST(LongSession, LongHoldStopsLevelsAtTheLastGrowthEntry) {
    startFrimelWindow();
    resizeWindow(64, 64);  // the held crystal soon fills any window; fewer pixels to fill
    ASSERT_EQ(windowHeight, 64);
    keyboard('y', 0, 0);
    keyboard('2', 0, 0);  // one depth of branches: many stations, cheap frames
    quietly([] { mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 32, 32); });
    ASSERT_EQ(crystals.size(), 1u);
    Crystal* held = crystals.back();
    for (int i = 0; i < 2000; ++i) {
        if (i % 2 == 0) {
            motion(32, 32);
        } else {
            idle();
        }
        if (i % 50 == 0) display();
        ASSERT_TRUE(sceneIsSound()) << "after hold step " << i;
    }
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 32, 32);
    for (int i = 0; i < 20; ++i) display();
    ASSERT_TRUE(sceneIsSound());
    EXPECT_GT(held->maxSize, 100.0f);
    EXPECT_EQ(held->level, static_cast<float>(kMaxLevel));

    // A deeper threshold on the grown crystal draws deeper branches; the levels stay bounded.
    keyboard('3', 0, 0);
    display();
    EXPECT_TRUE(sceneIsSound());
}

// Removed objects stay with the keeper until exit, by design: this measures what that costs.
TEST(LongSession, HundredThousandPlacementsCostAboutAnObjectEach) {
    startFrimelWindow();
    std::mt19937 rng(kSeed);
    std::uniform_int_distribution<int> onSnow(150, 450);
    const size_t keptBefore = keptCrystalCount();
    const long rssBefore = residentKilobytes();
    const int kPlacements = 100000;
    int placed = 0;
    int undos = 0;
    {
        QuietStdout quiet;
        for (int i = 0; placed < kPlacements; ++i) {
            const size_t sceneBefore = crystals.size();
            if (i % 2 == 0) {
                mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, onSnow(rng), onSnow(rng));
            } else {
                motion(onSnow(rng), onSnow(rng));
            }
            if (crystals.size() > sceneBefore) ++placed;
            if (i % 64 == 0) mouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
            if (i % 500 == 0) display();
            if (i % 997 == 0) {
                keyboard('z', 0, 0);
                ++undos;
            }
            if (i % 2000 == 0) keyboard('c', 0, 0);
        }
    }
    ASSERT_TRUE(sceneIsSound());
    const size_t kept = keptCrystalCount() - keptBefore;
    const long rssAfter = residentKilobytes();
    std::printf("%d placements: keeper %zu -> %zu objects (+%zu), resident %ld kB -> %ld kB "
                "(+%ld kB, %.0f bytes an object)\n",
                placed, keptBefore, keptCrystalCount(), kept, rssBefore, rssAfter,
                rssAfter - rssBefore, 1024.0 * (rssAfter - rssBefore) / kept);
    // Every placement and every default made by undoing an empty scene is kept, nothing else.
    EXPECT_GE(kept, static_cast<size_t>(kPlacements));
    EXPECT_LE(kept, static_cast<size_t>(kPlacements + 2 * undos));
    // An object is about a hundred bytes; allow for the allocator, but not for anything that
    // grows with the square of the session or with the frames drawn.
    if (kResidentSizeTellsUsage) {
        EXPECT_LT(rssAfter - rssBefore, 100L * 1024);
    }
}
