#include "render/crystal_shape.h"

#include <cmath>

#include "app/state.h"

namespace {
constexpr double kPi = 3.141592653589793;
// Station j sizes its sub-branches with growth[j + 1], so there are at most 14 stations.
constexpr int kMaxStations = kMaxLevel;
// 1 / 2.5 as a float: the branch size at the top depth.
constexpr float kTopBranchSize = 0.4f;

void ignoreMatrix() {}
void ignoreRotate(float, float, float, float) {}
void ignoreTranslate(float, float, float) {}
void ignoreCone(double, double, double) {}
bool takesNothing() { return true; }
const ConePen kNowhere = {ignoreMatrix, ignoreMatrix, ignoreRotate, ignoreTranslate, ignoreCone, takesNothing};

const ConePen* pen = &kNowhere;
const ShapeSettings* settings = nullptr;

ShapeSettings shape() { return settings != nullptr ? *settings : settingsInForce(); }

// Every shape is a four-sided cone along +z from the origin.
void cone(double base, double top, double height) { pen->cone(base, top, height); }

void longSpike(const Crystal& c) { cone(c.growth[0] / 32.0, 0.0, c.growth[0] / 1.5); }
void shortSpike(const Crystal& c) { cone(c.growth[0] / 32.0, 0.0, c.growth[0] / 2.0); }

// A spike toward the parent, branched, then its twin turned half a circle about y.
void spikePair(Crystal& c, void (*spike)(const Crystal&)) {
    spike(c);
    drawBranches(c, kTopBranchSize, 0.0f);
    pen->pushMatrix();
    pen->rotate(180.0f, 0.0f, 1.0f, 0.0f);
    spike(c);
    drawBranches(c, kTopBranchSize, 0.0f);
    pen->popMatrix();
}

// Side arms in two mirrored loops; the second loop turns the other way about y.
void drawArms(Crystal& c, float scale, int count, float step) {
    const double g0 = c.growth[0];
    const float branchSize = static_cast<float>(scale / 2.5);
    for (int side = 0; side < 2; ++side) {
        const float turnAxisY = side == 0 ? 1.0f : -1.0f;
        const float outward = side == 0 ? -90.0f : 90.0f;
        for (int i = 0; i < count; ++i) {
            pen->pushMatrix();
            pen->rotate(static_cast<float>(i) * step, 0.0f, turnAxisY, 0.0f);
            pen->rotate(-30.0f, 0.0f, 0.0f, 1.0f);
            pen->rotate(outward, 0.0f, 1.0f, 0.0f);
            cone(scale * g0 / 32.0, 0.0, scale * g0 / 1.5);
            drawBranches(c, branchSize, 0.0f);
            pen->popMatrix();
        }
    }
}
}  // namespace

PenInUse::PenInUse(const ConePen& using_, const ShapeSettings& with)
    : previousPen_(pen), previousSettings_(settings), settings_(with) {
    pen = &using_;
    settings = &settings_;
}

PenInUse::~PenInUse() {
    pen = previousPen_;
    settings = previousSettings_;
}

ShapeSettings settingsInForce() { return {sideBranches, armLayout, fractalThreshold}; }

float headingAngle(const Crystal& c) {
    const Crystal& parent = c.parent != nullptr ? *c.parent : c;
    const float dx = c.x - parent.x;
    const float dy = c.y - parent.y;
    if (dx == 0.0f) return 0.0f;
    const float slope = dy / dx;
    const float a = static_cast<float>(std::fabs(std::atan(static_cast<double>(slope))) * 180.0 / kPi);
    if (dx > 0.0f) return dy >= 0.0f ? 90.0f - a : 90.0f + a;
    return dy >= 0.0f ? 270.0f + a : 270.0f - a;
}

void enterHeadingFrame(const Crystal& c) {
    pen->translate(c.x, c.y, c.z);
    pen->rotate(tiltAngle, -1.0f, 0.0f, 0.0f);
    pen->rotate(headingAngle(c), 0.0f, 0.0f, -1.0f);
}

void drawLongPair(Crystal& c) { spikePair(c, longSpike); }

void drawShortPass(Crystal& c, const Crystal& previous) {
    const float gap = crystalDistance(&previous, &c);
    const bool bridged = gap < c.maxSize && previous.kind == 0 && c.maxSize < 0.3;
    if (!bridged) {
        spikePair(c, shortSpike);
        return;
    }
    cone(c.growth[0] / 32.0, previous.growth[0] / 32.0, gap);
    pen->pushMatrix();
    pen->rotate(180.0f, 0.0f, 1.0f, 0.0f);
    shortSpike(c);
    drawBranches(c, kTopBranchSize, 0.0f);
    pen->popMatrix();
}

void drawSideArms(Crystal& c) {
    const ShapeSettings s = shape();
    if (!s.sideBranches) return;
    if (s.armLayout == 0) drawArmsFour(c, 1.0f);
    if (s.armLayout == 1) drawArmsTwo(c, 1.0f);
}

void drawObject(Crystal& c, const Crystal& previous, bool sceneHasOthers) {
    if (c.kind == 1) {
        drawChunk(c, 2.0f);
        return;
    }
    if (c.kind != 0) return;
    pen->pushMatrix();
    pen->rotate(90.0f, 1.0f, 0.0f, 0.0f);
    // Further passes over the same spikes would repeat these cones exactly and change nothing.
    if (sceneHasOthers) drawShortPass(c, previous);
    drawLongPair(c);
    pen->popMatrix();
    drawSideArms(c);
}

void drawChunk(Crystal& c, float scale) {
    pen->pushMatrix();
    pen->rotate(c.spin, 0.0f, 1.0f, 0.0f);
    cone(scale * static_cast<double>(c.growth[0]) / 8.0, 0.0, scale * static_cast<double>(c.growth[0]) / 2.0);
    pen->popMatrix();
}

void drawArmsFour(Crystal& c, float scale) { drawArms(c, scale, 4, 60.0f); }
void drawArmsTwo(Crystal& c, float scale) { drawArms(c, scale, 2, 180.0f); }

void drawBranches(Crystal& c, float size, float depth) {
    if (!(size > shape().fractalThreshold && static_cast<double>(size) * c.maxSize > 0.12)) return;
    const int d = static_cast<int>(depth);
    if (d > kMaxLevel) return;
    const double stationLimit = 3.0 * c.growth[d] - 0.25;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < kMaxStations && j < stationLimit; ++j) {
            if (pen->full()) return;
            const double g = c.growth[j + 1];
            pen->pushMatrix();
            pen->translate(0.0f, 0.0f, static_cast<float>((j + 1) * static_cast<double>(size) * 0.35));
            pen->rotate(90.0f, 1.0f, 0.0f, 0.0f);
            pen->pushMatrix();
            pen->rotate(static_cast<float>(i * 60), 0.0f, 1.0f, 0.0f);
            pen->rotate(-30.0f, 0.0f, 0.0f, 1.0f);
            pen->rotate(-90.0f, 0.0f, 1.0f, 0.0f);
            cone(size / (j + 1.0) * g / 16.0, 0.0, size / (j / 2 + 1.0) * g);
            drawBranches(c, size / 2, depth + 1.0f);
            pen->popMatrix();
            pen->popMatrix();
            c.advanceLevel(static_cast<float>(j + 1));
        }
    }
}
