// Times Frimel's frames on a real window: the display handler against the literal drawing that
// repeats every crystal's spike pass once per object in the scene, on the same scenes.
// Scenes are scene scripts (scenes/bench_scenes.h), replayed through the program's own key and
// pointer handlers at fixed pixels and grown until the newest object rests (allGrown), so
// nothing grows while frames are timed; the browser's bench replays the same scripts.
//
// Usage, from the folder holding the bitmaps (build/data):
//   bench_frames [--only TEXT] [--ours-only] [--frames N]
//     --only TEXT   run only the scenes whose name contains TEXT
//     --ours-only   skip the literal drawing (for profiling)
//     --frames N    time at most N frames per measurement (default 41)

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "app/startup.h"
#include "app/state.h"
#include "render/frame.h"
#include "support/literal_drawing.h"
#include "scenes/bench_scenes.h"
#include "scenes/scene_script.h"

// The bench links with --wrap=gluCylinder, so every cone Frimel draws passes through here.
extern "C" void __real_gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble height,
                                   GLint slices, GLint stacks);
namespace {
long conesDrawn = 0;
}
extern "C" void __wrap_gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble height,
                                   GLint slices, GLint stacks) {
    ++conesDrawn;
    __real_gluCylinder(q, base, top, height, slices, stacks);
}

namespace {
// The table goes here; standard output, where the handlers print their click lines, is muted.
FILE* report = stdout;

// A median needs a few frames even when one frame is slow.
constexpr int kMinFrames = 5;

struct Options {
    std::string only;
    bool oursOnly = false;
    int maxFrames = 41;
};

struct Measurement {
    double medianMs = 0.0;
    double fastestMs = 0.0;
    double cpuMs = 0.0;  // median processor time of the whole process (all driver threads)
    long conesPerFrame = 0;
};

// Growth state of every object, to prove that timing changed nothing.
std::vector<float> snapshotGrowth() {
    std::vector<float> state;
    for (const Crystal* c : crystals) {
        state.insert(state.end(), c->growth, c->growth + kGrowthLevels);
        state.push_back(c->maxSize);
        state.push_back(c->level);
    }
    return state;
}

double nowMs() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

// Other programs sharing the processors stretch wall time but not this.
double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void literalDisplay() {
    composeLiteralFrame();
    glutSwapBuffers();
}

// Median wall time of whole frames, each finished by glFinish before the clock is read.
Measurement timeFrames(void (*frame)(), int maxFrames) {
    constexpr int kWarmUpFrames = 3;
    constexpr double kBudgetMs = 4000.0;
    for (int i = 0; i < kWarmUpFrames; ++i) frame();
    glFinish();

    Measurement m;
    const long conesBefore = conesDrawn;
    frame();
    glFinish();
    m.conesPerFrame = conesDrawn - conesBefore;

    std::vector<double> times;
    std::vector<double> cpuTimes;
    const double start = nowMs();
    while (static_cast<int>(times.size()) < maxFrames &&
           (static_cast<int>(times.size()) < kMinFrames || nowMs() - start < kBudgetMs)) {
        const double t0 = nowMs();
        const double cpu0 = processCpuMs();
        frame();
        glFinish();
        cpuTimes.push_back(processCpuMs() - cpu0);
        times.push_back(nowMs() - t0);
    }
    m.medianMs = median(times);
    m.fastestMs = *std::min_element(times.begin(), times.end());
    m.cpuMs = median(cpuTimes);
    return m;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            options.only = argv[++i];
        } else if (std::strcmp(argv[i], "--ours-only") == 0) {
            options.oursOnly = true;
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            options.maxFrames = std::max(kMinFrames, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: bench_frames [--only TEXT] [--ours-only] [--frames N]\n");
            return false;
        }
    }
    return true;
}

void waitForWindow() {
    for (int i = 0; i < 200 && windowWidth != 600; ++i) glutMainLoopEvent();
    glutMainLoopEvent();
}

void muteStandardOutput() {
    std::fflush(stdout);
    report = fdopen(dup(STDOUT_FILENO), "w");
    if (report == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) report = stderr;
}

void printHeader(int maxFramesShown) {
    const char* threads = std::getenv("LP_NUM_THREADS");
    std::fprintf(report, "renderer: %s, LP_NUM_THREADS %s, window %dx%d\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 threads != nullptr ? threads : "unset", windowWidth, windowHeight);
    std::fprintf(report,
                 "ms: wall time per frame, median of up to %d frames after 3 warm-up frames;\n"
                 "fastest frame in brackets; cpu: median processor ms per frame, all threads\n",
                 maxFramesShown);
    std::fprintf(report, "%-27s %7s %11s %16s %6s %13s %10s %12s\n", "scene", "objects", "cones/frame",
                 "ms ours", "cpu", "cones literal", "ms literal", "literal/ours");
}

// Builds and times one scene; false when the scene did not come out as intended.
bool runScene(const BenchScene& scene, const Options& options) {
    const bool rested = replayScene(scene.script);
    glFinish();
    if (crystals.size() != scene.expectedObjects || !rested) {
        std::fprintf(stderr, "%s: built %zu objects (wanted %zu) or never came to rest\n", scene.name,
                     crystals.size(), scene.expectedObjects);
        return false;
    }
    const std::vector<float> before = snapshotGrowth();
    const Measurement ours = timeFrames(display, options.maxFrames);
    Measurement literal;
    if (!options.oursOnly) literal = timeFrames(literalDisplay, options.maxFrames);
    if (snapshotGrowth() != before) {
        std::fprintf(stderr, "%s: objects grew while frames were timed\n", scene.name);
        return false;
    }
    std::fprintf(report, "%-27s %7zu %11ld %7.2f (%6.2f) %6.2f", scene.name, crystals.size(),
                 ours.conesPerFrame, ours.medianMs, ours.fastestMs, ours.cpuMs);
    if (options.oursOnly) {
        std::fprintf(report, "\n");
    } else {
        std::fprintf(report, " %13ld %10.2f %11.1fx\n", literal.conesPerFrame, literal.medianMs,
                     literal.medianMs / ours.medianMs);
    }
    std::fflush(report);
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    startUp(&argc, argv);
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    waitForWindow();
    muteStandardOutput();
    printHeader(options.maxFrames);
    bool allBuilt = true;
    for (const BenchScene& scene : kBenchScenes) {
        if (!options.only.empty() && std::string(scene.name).find(options.only) == std::string::npos) continue;
        allBuilt = runScene(scene, options) && allBuilt;
    }
    return allBuilt ? 0 : 1;
}
