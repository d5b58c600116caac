// Drawing each coincident cone once must give exactly the picture, and exactly the growth, of
// the literal drawing that repeats the short pass once per list element.
#include <gtest/gtest.h>

#include <GL/glut.h>

#include <cstdint>
#include <vector>

#include "app/state.h"
#include "model/placement.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "render/light.h"
#include "support/geometry_scene.h"
#include "support/literal_drawing.h"
#include "support/test_window.h"

namespace {
constexpr int kFrames = 4;

struct ObjectState {
    std::vector<float> growth;
    float level;
};

struct SceneState {
    std::vector<ObjectState> objects;
    bool allGrown;
};

SceneState snapshot() {
    SceneState s{{}, allGrown};
    for (const Crystal* c : crystals) {
        s.objects.push_back({std::vector<float>(c->growth, c->growth + kGrowthLevels), c->level});
    }
    return s;
}

void restore(const SceneState& s) {
    allGrown = s.allGrown;
    for (std::size_t i = 0; i < crystals.size(); ++i) {
        std::copy(s.objects[i].growth.begin(), s.objects[i].growth.end(), crystals[i]->growth);
        crystals[i]->level = s.objects[i].level;
    }
}

bool sameState(const SceneState& a, const SceneState& b) {
    if (a.objects.size() != b.objects.size()) return false;
    for (std::size_t i = 0; i < a.objects.size(); ++i) {
        if (a.objects[i].growth != b.objects[i].growth || a.objects[i].level != b.objects[i].level) return false;
    }
    return true;
}

void stroke(int fromX, int fromY, int stepX, int stepY, int steps) {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, fromX, fromY);
    for (int i = 1; i <= steps; ++i) motion(fromX + i * stepX, fromY + i * stepY);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, fromX + steps * stepX, fromY + steps * stepY);
}

// The third object of the first stroke and the one before the newest.
std::vector<Crystal*> branchingPair() { return {crystals[2], crystals[crystals.size() - 2]}; }

// Strokes of crystals and chunks placed through the pointer handlers, then two crystals grown
// large enough to branch two levels deep.
void buildMixedScene() {
    armLayout = 0;
    fractalThreshold = 0.12f;
    placeKind = 0;
    stroke(180, 330, 22, -6, 5);
    placeKind = 1;
    stroke(330, 420, 25, 10, 3);
    placeKind = 0;
    stroke(420, 200, -20, -15, 4);
    for (Crystal* c : branchingPair()) {
        c->maxSize = 0.7f;
        c->growth[0] = 0.5f;
        c->growth[1] = 0.3f;
    }
}

// Small crystals that sit closer to the crystal before them than their own maxSize.
int bridgedObjects() {
    int bridged = 0;
    for (std::size_t i = 1; i < crystals.size(); ++i) {
        const Crystal* c = crystals[i];
        const Crystal* p = crystals[i - 1];
        if (c->kind == 0 && p->kind == 0 && crystalDistance(p, c) < c->maxSize && c->maxSize < 0.3) ++bridged;
    }
    return bridged;
}

std::vector<uint8_t> composeAndRead(void (*drawObjects)()) {
    composeFrame(drawObjects);
    return readShownFrame();
}

std::size_t differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) {
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++differing;
    }
    return differing;
}

// Draws kFrames frames each way from the same starting state; every pixel of every frame and
// the objects' final growth state must agree.
void expectBothWaysIdentical() {
    const SceneState start = snapshot();
    ASSERT_FALSE(start.allGrown || crystals.back()->growth[0] > crystals.back()->maxSize)
        << "the newest object must still be growing";
    std::vector<std::vector<uint8_t>> once;
    for (int f = 0; f < kFrames; ++f) once.push_back(composeAndRead(drawCrystals));
    const SceneState afterOnce = snapshot();

    restore(start);
    for (int f = 0; f < kFrames; ++f) {
        const std::vector<uint8_t> literal = composeAndRead(drawCrystalsLiteral);
        ASSERT_EQ(literal.size(), once[f].size());
        EXPECT_EQ(differingPixels(literal, once[f]), 0u) << "frame " << f;
    }
    const SceneState afterLiteral = snapshot();
    EXPECT_TRUE(sameState(afterOnce, afterLiteral));
    EXPECT_FALSE(sameState(start, afterOnce)) << "nothing grew";

    bool branched = false;
    for (const Crystal* c : crystals) branched = branched || c->level > 0.0f;
    EXPECT_TRUE(branched) << "no branch station was drawn";

    const std::vector<Crystal*> scene = crystals;
    crystals.clear();
    const std::vector<uint8_t> empty = composeAndRead(drawCrystals);
    crystals = scene;
    EXPECT_GT(differingPixels(empty, once.back()), 2000u) << "the objects hardly show";
}

SceneState startOfMixedScene() {
    startGeometryScene();
    buildMixedScene();
    // A frame decides allGrown from the newest object before drawing.
    allGrown = false;
    return snapshot();
}
}  // namespace

TEST(GeometryIdentity, MixedSceneHasCrystalsChunksBridgesAndBranches) {
    startOfMixedScene();
    int chunks = 0;
    for (const Crystal* c : crystals) chunks += c->kind == 1;
    EXPECT_GE(crystals.size(), 10u);
    EXPECT_GE(chunks, 3);
    EXPECT_GE(bridgedObjects(), 4);
    for (const Crystal* c : branchingPair()) EXPECT_EQ(c->kind, 0);
}

TEST(GeometryIdentity, OpaqueFramesMatchTheLiteralDrawing) {
    startOfMixedScene();
    expectBothWaysIdentical();
}

TEST(GeometryIdentity, TranslucentFramesMatchTheLiteralDrawing) {
    startOfMixedScene();
    translucent = 1.0f;
    applyBlend();
    expectBothWaysIdentical();
}
