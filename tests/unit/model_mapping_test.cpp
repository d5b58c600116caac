// The Crystal record and the mapping of window pixels onto the snow bank. No window needed:
// both read only the process-wide settings and window size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/state.h"
#include "model/crystal.h"
#include "model/surface_mapping.h"

namespace {
void setWindow(int w, int h) {
    windowWidth = w;
    windowHeight = h;
}

// The bank's closed form, all in double, independent of the program's float rounding.
struct BankPoint {
    double s, lift, y, z;
};

BankPoint closedForm(int py, int height) {
    const double k = 0.1184972;
    const double n = static_cast<double>(py - (height - 1) / 2) / (height / 2);
    const double s = n * 3.0 / 1.733333;
    const double lift = s > 1.0 ? (s - 1.0) * 0.8 + 0.4 : 0.4;
    const double y = s + k * (1.0 - std::cos(s / 1.5)) + lift * k * std::sin(std::fabs(s / 1.5));
    return BankPoint{s, lift, y, -(y / 3.0) - 0.5};
}
}  // namespace

// ---- pixel normalisation ----

TEST(PixelNormalisation, CentreMapsToZeroAndTopRowToOneInSquareWindow) {
    setWindow(400, 400);
    EXPECT_EQ(normalizedX(199), 0.0f);
    EXPECT_EQ(normalizedY(199), 0.0f);
    EXPECT_EQ(normalizedY(399), 1.0f);
    EXPECT_FLOAT_EQ(normalizedY(0), -199.0f / 200.0f);
    EXPECT_FLOAT_EQ(normalizedX(0), -199.0f / 200.0f);
}

TEST(PixelNormalisation, BothAxesUseHalfTheHeightAsUnit) {
    setWindow(800, 400);
    EXPECT_EQ(normalizedX(399), 0.0f);
    EXPECT_EQ(normalizedX(799), 2.0f);
    EXPECT_EQ(normalizedY(399), 1.0f);
    setWindow(300, 600);
    EXPECT_EQ(normalizedX(149), 0.0f);
    EXPECT_FLOAT_EQ(normalizedX(299), 0.5f);
}

TEST(PixelNormalisation, OddSizesTruncateTheirHalves) {
    setWindow(401, 401);  // centre (400 / 2) = 200, unit 401 / 2 = 200
    EXPECT_EQ(normalizedX(200), 0.0f);
    EXPECT_EQ(normalizedY(400), 1.0f);
    setWindow(3, 3);  // centre 1, unit 1
    EXPECT_EQ(normalizedY(0), -1.0f);
    EXPECT_EQ(normalizedX(2), 1.0f);
}

// ---- the snow bank under a pixel ----

TEST(SurfaceMapping, CentreOfSquareWindowIsExactlyTheBankCentre) {
    setWindow(400, 400);
    const Point3 p = screenToSurface(199.0f, 199.0f);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 0.0f);
    EXPECT_EQ(p.z, -0.5f);
}

TEST(SurfaceMapping, TopRowLiesBeyondTheFarEdgeAndCurlsUp) {
    setWindow(600, 600);
    const BankPoint ref = closedForm(599, 600);
    EXPECT_NEAR(ref.s, 1.731, 5e-4);
    EXPECT_NEAR(ref.lift, 0.985, 5e-4);
    const Point3 p = screenToSurface(299.0f, 599.0f);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_NEAR(p.y, ref.y, 1e-5);
    EXPECT_NEAR(p.y, 1.908, 5e-4);
    EXPECT_NEAR(p.z, -1.136, 5e-4);
}

TEST(SurfaceMapping, BottomRowLiesBeyondTheNearEdge) {
    setWindow(600, 600);
    const BankPoint ref = closedForm(0, 600);
    EXPECT_NEAR(ref.s, -1.725, 5e-4);
    EXPECT_EQ(ref.lift, 0.4);
    const Point3 p = screenToSurface(299.0f, 0.0f);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_NEAR(p.y, ref.y, 1e-5);
    EXPECT_NEAR(p.y, -1.612, 5e-4);
    EXPECT_NEAR(p.z, 0.037, 5e-4);
}

TEST(SurfaceMapping, EveryRowFollowsTheClosedForm) {
    setWindow(600, 600);
    for (int py = 0; py < 600; ++py) {
        const BankPoint ref = closedForm(py, 600);
        const Point3 p = screenToSurface(299.0f, static_cast<float>(py));
        ASSERT_NEAR(p.y, ref.y, 1e-5) << "row " << py;
        ASSERT_NEAR(p.z, ref.z, 1e-5) << "row " << py;
        // Column 599 is one unit right of the centre column.
        const Point3 edge = screenToSurface(599.0f, static_cast<float>(py));
        ASSERT_NEAR(edge.x, ref.y * 0.09380725 + 1.742134, 2e-6) << "row " << py;
    }
}

TEST(SurfaceMapping, MiddleRowIsTheLevelOfTheBankCentre) {
    setWindow(600, 600);
    const Point3 left = screenToSurface(0.0f, 299.0f);
    const Point3 right = screenToSurface(599.0f, 299.0f);
    EXPECT_EQ(left.y, 0.0f);
    EXPECT_EQ(left.z, -0.5f);
    EXPECT_EQ(right.y, 0.0f);
    EXPECT_NEAR(left.x, -1.736, 5e-4);
    EXPECT_NEAR(right.x, 1.742, 5e-4);
}

TEST(SurfaceMapping, ColumnsWidenWithDistanceUpTheBank) {
    setWindow(600, 600);
    const float nearWidth = screenToSurface(599.0f, 100.0f).x - screenToSurface(0.0f, 100.0f).x;
    const float farWidth = screenToSurface(599.0f, 500.0f).x - screenToSurface(0.0f, 500.0f).x;
    EXPECT_GT(farWidth, nearWidth);
    const Point3 p = screenToSurface(599.0f, 500.0f);
    EXPECT_NEAR(p.x, normalizedX(599) * (p.y * 0.09380725 + 1.742134), 1e-5);
}

TEST(SurfaceMapping, ExactlyRows22To539OfA600HighWindowLieOnTheBank) {
    setWindow(600, 600);
    for (int py = 0; py < 600; ++py) {
        const float y = screenToSurface(299.0f, static_cast<float>(py)).y;
        const bool inside = y >= -1.5 && y <= 1.5;
        EXPECT_EQ(inside, py >= 22 && py <= 539) << "row " << py << " y " << y;
    }
}

TEST(SurfaceMapping, EveryPointLiesOnTheSnowPlane) {
    const int sizes[][2] = {{600, 600}, {400, 400}, {1000, 300}, {250, 777}};
    for (const auto& size : sizes) {
        setWindow(size[0], size[1]);
        for (int py = 0; py < size[1]; py += 7) {
            for (int px = 0; px < size[0]; px += 37) {
                const Point3 p = screenToSurface(static_cast<float>(px), static_cast<float>(py));
                ASSERT_NEAR(p.z, -(p.y / 3.0) - 0.5, 1e-6) << px << "," << py;
            }
        }
    }
}

TEST(SurfaceMapping, OnePixelTallWindowGivesNoFinitePoint) {
    setWindow(600, 1);
    const Point3 p = screenToSurface(10.0f, 0.0f);
    EXPECT_FALSE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    EXPECT_FALSE(onSurface(p.x, p.y));
}

TEST(SurfaceBounds, EdgesAreIncludedAndAnythingBeyondOrNotANumberIsNot) {
    const float edge = 1.5f;
    const float beyond = std::nextafter(edge, 2.0f);
    EXPECT_TRUE(onSurface(edge, edge));
    EXPECT_TRUE(onSurface(-edge, -edge));
    EXPECT_TRUE(onSurface(edge, -edge));
    EXPECT_FALSE(onSurface(beyond, 0.0f));
    EXPECT_FALSE(onSurface(0.0f, -beyond));
    EXPECT_FALSE(onSurface(-beyond, 0.0f));
    EXPECT_FALSE(onSurface(0.0f, beyond));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(onSurface(nan, 0.0f));
    EXPECT_FALSE(onSurface(0.0f, nan));
    EXPECT_FALSE(onSurface(inf, 0.0f));
}

// ---- the Crystal record ----

TEST(CrystalRecord, DefaultObjectSitsAtTheOriginWithStartingSizes) {
    placeKind = 1;
    crystalTexture = 5;
    const Crystal c;
    for (float g : c.growth) EXPECT_EQ(g, 0.001f);
    EXPECT_EQ(c.maxSize, 0.2f);
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(c.y, 0.0f);
    EXPECT_EQ(c.z, 0.0f);
    EXPECT_EQ(c.parent, nullptr);
    EXPECT_EQ(c.spin, 0.0f);
    EXPECT_EQ(c.level, 0.0f);
    EXPECT_EQ(c.getLevel(), 0.0f);
    EXPECT_EQ(c.kind, 1);
    EXPECT_EQ(c.texture, 5);
}

TEST(CrystalRecord, KindAndTextureAreTakenAtConstruction) {
    setWindow(400, 400);
    placeKind = 0;
    crystalTexture = 3;
    const Crystal byDefault;
    const Crystal byPixel(199.0f, 199.0f);
    placeKind = 1;
    crystalTexture = 6;
    EXPECT_EQ(byDefault.kind, 0);
    EXPECT_EQ(byDefault.texture, 3);
    EXPECT_EQ(byPixel.kind, 0);
    EXPECT_EQ(byPixel.texture, 3);
    const Crystal later(199.0f, 199.0f);
    EXPECT_EQ(later.kind, 1);
    EXPECT_EQ(later.texture, 6);
}

TEST(CrystalRecord, PixelObjectSitsOnTheBankWithStartingSizes) {
    setWindow(600, 600);
    const Crystal c(450.0f, 400.0f);
    const Point3 p = screenToSurface(450.0f, 400.0f);
    EXPECT_EQ(c.x, p.x);
    EXPECT_EQ(c.y, p.y);
    EXPECT_EQ(c.z, p.z);
    EXPECT_GT(c.x, 0.0f);
    EXPECT_GT(c.y, 0.0f);
    for (float g : c.growth) EXPECT_EQ(g, 0.001f);
    EXPECT_EQ(c.maxSize, 0.2f);
    EXPECT_EQ(c.parent, nullptr);
    EXPECT_EQ(c.level, 0.0f);
}

TEST(CrystalRecord, PixelObjectDrawsOnceFromTheGeneratorAndDefaultNever) {
    setWindow(400, 400);
    std::srand(77);
    std::rand();
    const int secondDraw = std::rand();
    std::srand(77);
    const Crystal byDefault;
    const Crystal byPixel(10.0f, 20.0f);
    EXPECT_EQ(std::rand(), secondDraw);
}

TEST(CrystalRecord, SpinStaysWithinElevenDegreesAndReachesBothEnds) {
    setWindow(400, 400);
    std::srand(1);
    float lowest = 100.0f;
    float highest = -100.0f;
    for (int i = 0; i < 400000; ++i) {
        const Crystal c(199.0f, 199.0f);
        // Every lean is (r / 1000 - 16.4) / 1.5 for a whole r from 0 to 32767.
        const double r = (c.spin * 1.5 + 16.4) * 1000.0;
        ASSERT_NEAR(r, std::round(r), 0.02) << c.spin;
        ASSERT_GE(r, -0.02);
        ASSERT_LE(r, 32767.02);
        if (c.spin < lowest) lowest = c.spin;
        if (c.spin > highest) highest = c.spin;
    }
    EXPECT_GE(lowest, -10.934f);
    EXPECT_LE(highest, 10.912f);
    // r = 0 and r = 32767 both came up.
    EXPECT_NEAR(lowest, -16.4 / 1.5, 1e-5);
    EXPECT_NEAR(highest, (32.767 - 16.4) / 1.5, 1e-5);
}

TEST(CrystalLevel, AdvancesOnlyWhileBelowTheLimit) {
    Crystal c;
    c.advanceLevel(1.0f);
    EXPECT_EQ(c.getLevel(), 1.0f);
    c.advanceLevel(1.0f);
    EXPECT_EQ(c.getLevel(), 1.0f);
    c.advanceLevel(0.5f);
    EXPECT_EQ(c.getLevel(), 1.0f);
    c.advanceLevel(5.0f);
    EXPECT_EQ(c.getLevel(), 2.0f);
}

TEST(CrystalLevel, NeverPassesTheLastGrowthEntry) {
    Crystal c;
    for (int i = 0; i < 40; ++i) c.advanceLevel(100.0f);
    EXPECT_EQ(c.getLevel(), 14.0f);
    c.advanceLevel(15.0f);
    EXPECT_EQ(c.getLevel(), 14.0f);
}

TEST(CrystalLevel, SetParentStoresThePredecessor) {
    Crystal parent;
    Crystal child;
    child.setParent(&parent);
    EXPECT_EQ(child.parent, &parent);
    child.setParent(nullptr);
    EXPECT_EQ(child.parent, nullptr);
}

TEST(CrystalDistance, MeasuresInTheGroundPlaneOnly) {
    Crystal a;
    Crystal b;
    b.z = -1.0f;
    EXPECT_EQ(crystalDistance(&a, &b), 0.0f);
    b.x = 0.3f;
    b.y = 0.4f;
    a.z = 7.0f;
    EXPECT_NEAR(crystalDistance(&a, &b), 0.5, 1e-7);
    EXPECT_EQ(crystalDistance(&a, &b), crystalDistance(&b, &a));
    a.x = -0.3f;
    EXPECT_NEAR(crystalDistance(&a, &b), std::sqrt(0.36 + 0.16), 1e-7);
}
