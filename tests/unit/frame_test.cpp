// One frame on the real window: what is drawn, where the camera and projection put it, and
// which settings change which pixels.

#include "render/frame.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/reshape.h"
#include "app/state.h"
#include "render/crystal_geometry.h"
#include "render/light.h"
#include "support/test_window.h"
#include "support/view_math.h"

namespace {
using Polygon = std::vector<WindowPosition>;

struct FrameCapture {
    std::vector<Polygon> polygons;
    int otherPrimitives = 0;  // points, lines, pixel rectangles
    bool overflowed = false;
};

// Runs one frame in feedback mode: every primitive it would rasterise, in window coordinates.
FrameCapture captureFrame() {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    composeFrame(drawCrystals);
    const GLint used = glRenderMode(GL_RENDER);
    FrameCapture capture;
    capture.overflowed = used < 0;
    auto vertexAt = [&](GLint i) {
        return WindowPosition{buffer[i], buffer[i + 1], buffer[i + 2]};
    };
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint count = static_cast<GLint>(buffer[i++]);
            Polygon polygon;
            for (GLint v = 0; v < count; ++v, i += 3) polygon.push_back(vertexAt(i));
            capture.polygons.push_back(polygon);
            continue;
        }
        ++capture.otherPrimitives;
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 6;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            i += 3;  // one vertex: point, bitmap or pixel rectangle
        }
    }
    return capture;
}

// The frame as shown: RGB rows bottom first, windowWidth x windowHeight.
std::vector<uint8_t> drawFrame() {
    composeFrame(drawCrystals);
    return readShownFrame();
}

const uint8_t* pixel(const std::vector<uint8_t>& rgb, int x, int y) {
    return &rgb[(static_cast<size_t>(y) * windowWidth + x) * 3];
}

bool isBlack(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// World point under the unrotated camera, six units back from the origin.
WindowPosition worldToWindow(double x, double y, double z) {
    return eyeToWindow(x, y, z - 6.0, windowWidth, windowHeight);
}

const double surfaceCorners[4][3] = {
    {-1.5, 1.5, -1}, {1.5, 1.5, -1}, {1.5, -1.5, 0}, {-1.5, -1.5, 0}};

// The surface's corners on screen, turned first by `turn` degrees about the world's y axis.
Polygon surfaceOnScreen(double turn = 0.0) {
    const double angle = turn * std::acos(-1.0) / 180.0;
    Polygon corners;
    for (const auto& c : surfaceCorners) {
        corners.push_back(worldToWindow(c[0] * std::cos(angle) + c[2] * std::sin(angle), c[1],
                                        -c[0] * std::sin(angle) + c[2] * std::cos(angle)));
    }
    return corners;
}

double areaOf(const Polygon& polygon) {
    double twice = 0;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const WindowPosition& a = polygon[i];
        const WindowPosition& b = polygon[(i + 1) % polygon.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

double areaOf(const std::vector<Polygon>& pieces) {
    double sum = 0;
    for (const Polygon& piece : pieces) sum += areaOf(piece);
    return sum;
}

// The rasteriser hands polygons on as triangles; the frame's are sorted by the quad they came
// from: the backdrop is the one at the depth of z = -10 in eye space.
struct FrameParts {
    std::vector<Polygon> backdrop, surface;
    bool backdropFirst = true;
};

FrameParts splitFrame(const FrameCapture& capture) {
    const double backdropDepth = eyeToWindow(0, 0, -10, windowWidth, windowHeight).depth;
    FrameParts parts;
    for (const Polygon& piece : capture.polygons) {
        const bool onBackdrop = std::all_of(
            piece.begin(), piece.end(),
            [&](const WindowPosition& p) { return std::fabs(p.depth - backdropDepth) < 1e-5; });
        if (onBackdrop && !parts.surface.empty()) parts.backdropFirst = false;
        (onBackdrop ? parts.backdrop : parts.surface).push_back(piece);
    }
    return parts;
}

// Whether every vertex of every piece is one of the corners (within a twentieth of a pixel),
// and every corner is used.
bool madeOfCorners(const std::vector<Polygon>& pieces, const Polygon& corners) {
    std::vector<bool> used(corners.size(), false);
    for (const Polygon& piece : pieces) {
        for (const WindowPosition& p : piece) {
            bool matched = false;
            for (size_t i = 0; i < corners.size(); ++i) {
                if (std::fabs(p.x - corners[i].x) < 0.05 && std::fabs(p.y - corners[i].y) < 0.05 &&
                    std::fabs(p.depth - corners[i].depth) < 1e-4) {
                    used[i] = matched = true;
                }
            }
            if (!matched) return false;
        }
    }
    return std::all_of(used.begin(), used.end(), [](bool u) { return u; });
}

// How far (x, y) lies inside a convex polygon, in pixels; negative outside.
double insideBy(const Polygon& polygon, double x, double y) {
    double twiceArea = 0;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const WindowPosition& a = polygon[i];
        const WindowPosition& b = polygon[(i + 1) % polygon.size()];
        twiceArea += a.x * b.y - b.x * a.y;
    }
    const double winding = twiceArea > 0 ? 1.0 : -1.0;
    double nearest = 1e9;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const WindowPosition& a = polygon[i];
        const WindowPosition& b = polygon[(i + 1) % polygon.size()];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const double distance = ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x)) / length;
        nearest = std::min(nearest, winding * distance);
    }
    return nearest;
}

struct Box {
    double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
};

Box boundsOf(const std::vector<Polygon>& pieces) {
    Box box;
    for (const Polygon& piece : pieces) {
        for (const WindowPosition& p : piece) {
            box.left = std::min(box.left, p.x);
            box.right = std::max(box.right, p.x);
            box.bottom = std::min(box.bottom, p.y);
            box.top = std::max(box.top, p.y);
        }
    }
    return box;
}

// Puts the window size and the drawing settings back however a test ends.
struct RestoreView {
    ~RestoreView() {
        snowSurface = 0;
        translucent = 0.0f;
        applyBlend();
        std::copy(std::begin(identityMatrix), std::end(identityMatrix), sceneRotation);
        if (windowWidth != 600 || windowHeight != 600) resizeWindow(600, 600);
    }
    static constexpr float identityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

class Frame : public testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        if (windowWidth != 600 || windowHeight != 600) resizeWindow(600, 600);
        ASSERT_TRUE(crystals.empty()) << "these tests draw the empty scene";
    }
    RestoreView restore;
};
}  // namespace

TEST_F(Frame, EmptySceneIsExactlyTheBackdropThenTheSurface) {
    const FrameCapture capture = captureFrame();
    ASSERT_FALSE(capture.overflowed);
    EXPECT_EQ(capture.otherPrimitives, 0);
    const FrameParts parts = splitFrame(capture);
    EXPECT_TRUE(parts.backdropFirst);
    // Whole quads, once each: the pieces add up to the backdrop's visible part and the surface.
    EXPECT_NEAR(areaOf(parts.backdrop), 600.0 * 600.0, 1.0);
    EXPECT_NEAR(areaOf(parts.surface), areaOf(surfaceOnScreen()), 1.0);
    EXPECT_TRUE(madeOfCorners(parts.surface, surfaceOnScreen())) << "something besides the surface";
}

TEST_F(Frame, BackdropFillsTheSquareWindow) {
    // At 10 units the 30-degree view spans 2.68 each way: the 2.7 backdrop is cut at every edge.
    const Box box = boundsOf(splitFrame(captureFrame()).backdrop);
    EXPECT_NEAR(box.left, 0, 0.01);
    EXPECT_NEAR(box.right, 600, 0.01);
    EXPECT_NEAR(box.bottom, 0, 0.01);
    EXPECT_NEAR(box.top, 600, 0.01);
}

TEST_F(Frame, SurfaceCornersLieWhereCameraAndProjectionPutThem) {
    const Polygon expected = surfaceOnScreen();
    // Worked out by hand for 600 x 600: the far edge narrower than the near one.
    EXPECT_NEAR(expected[0].x, 60.08, 0.01);
    EXPECT_NEAR(expected[0].y, 539.92, 0.01);
    EXPECT_NEAR(expected[2].x, 579.90, 0.01);
    EXPECT_NEAR(expected[2].y, 20.10, 0.01);
    EXPECT_TRUE(madeOfCorners(splitFrame(captureFrame()).surface, expected));
}

TEST_F(Frame, SceneRotationTurnsTheSurfaceButNotTheBackdrop) {
    const FrameParts still = splitFrame(captureFrame());
    glPushMatrix();
    glLoadIdentity();
    glRotatef(10.0f, 0.0f, 1.0f, 0.0f);  // small enough to keep the surface in view
    glGetFloatv(GL_MODELVIEW_MATRIX, sceneRotation);
    glPopMatrix();
    const FrameParts turned = splitFrame(captureFrame());

    ASSERT_EQ(turned.backdrop.size(), still.backdrop.size());
    for (size_t i = 0; i < still.backdrop.size(); ++i) {
        for (size_t v = 0; v < still.backdrop[i].size(); ++v) {
            EXPECT_DOUBLE_EQ(turned.backdrop[i].at(v).x, still.backdrop[i][v].x);
            EXPECT_DOUBLE_EQ(turned.backdrop[i].at(v).y, still.backdrop[i][v].y);
        }
    }
    EXPECT_FALSE(madeOfCorners(turned.surface, surfaceOnScreen()));
    EXPECT_TRUE(madeOfCorners(turned.surface, surfaceOnScreen(10.0)));
}

TEST_F(Frame, CameraIsRebuiltEveryFrameAndTheStackLeftAsFound) {
    std::fill(std::begin(viewMatrix), std::end(viewMatrix), 7.0f);
    composeFrame(drawCrystals);
    const Matrix4 camera = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -6, 1};
    Matrix4 view;
    std::copy(std::begin(viewMatrix), std::end(viewMatrix), view.begin());
    EXPECT_LT(matrixDistance(view, camera), 1e-6);

    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(readGlMatrix(GL_MODELVIEW_MATRIX),
              (Matrix4{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
}

TEST_F(Frame, EmptySceneIsAllGrown) {
    allGrown = false;
    composeFrame(drawCrystals);
    EXPECT_TRUE(allGrown);
    composeFrame(drawCrystals);
    EXPECT_TRUE(allGrown);
}

TEST_F(Frame, SquareWindowHasNoBlackBars) {
    const std::vector<uint8_t> rgb = drawFrame();
    for (int x : {0, 1, 598, 599}) {
        int black = 0;
        for (int y = 0; y < windowHeight; ++y) black += isBlack(pixel(rgb, x, y));
        EXPECT_LT(black, windowHeight) << "column " << x << " is all black";
    }
}

TEST_F(Frame, WideWindowKeepsTheViewAndShowsBlackBarsBesideTheBackdrop) {
    const Box square = boundsOf(splitFrame(captureFrame()).surface);
    resizeWindow(800, 600);
    ASSERT_EQ(windowWidth, 800);
    EXPECT_LT(matrixDistance(readGlMatrix(GL_PROJECTION_MATRIX), frimelPerspective(800.0 / 600.0)),
              1e-5);

    const FrameParts parts = splitFrame(captureFrame());
    const Box backdrop = boundsOf(parts.backdrop);
    const double leftEdge = eyeToWindow(-2.7, 0, -10, 800, 600).x;  // about 97.7
    EXPECT_NEAR(backdrop.left, leftEdge, 0.05);
    EXPECT_NEAR(backdrop.right, 800 - leftEdge, 0.05);
    EXPECT_NEAR(backdrop.bottom, 0, 0.01);
    EXPECT_NEAR(backdrop.top, 600, 0.01);
    // Same vertical field of view: the surface keeps its size in pixels, moved to the middle.
    const Box wide = boundsOf(parts.surface);
    EXPECT_NEAR(wide.right - wide.left, square.right - square.left, 0.05);
    EXPECT_NEAR(wide.top - wide.bottom, square.top - square.bottom, 0.05);
    EXPECT_NEAR(wide.left, square.left + 100, 0.05);

    const std::vector<uint8_t> rgb = drawFrame();
    const int lastBarColumn = static_cast<int>(std::floor(leftEdge)) - 1;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x <= lastBarColumn; ++x) {
            ASSERT_TRUE(isBlack(pixel(rgb, x, y)) && isBlack(pixel(rgb, 799 - x, y)))
                << "bar pixel " << x << ", " << y << " is not black";
        }
    }
    for (int x = lastBarColumn + 3; x < 800 - lastBarColumn - 3; x += 7) {
        int black = 0;
        for (int y = 0; y < 600; ++y) black += isBlack(pixel(rgb, x, y));
        EXPECT_LT(black, 600) << "column " << x << " inside the backdrop is all black";
    }
}

TEST_F(Frame, SnowSurfaceChangesOnlyPixelsOfTheSurface) {
    const Polygon surface = surfaceOnScreen();
    const std::vector<uint8_t> white = drawFrame();
    snowSurface = 1;
    const std::vector<uint8_t> snow = drawFrame();

    int changedInside = 0, changedOutside = 0;
    for (int y = 0; y < windowHeight; ++y) {
        for (int x = 0; x < windowWidth; ++x) {
            if (std::equal(pixel(white, x, y), pixel(white, x, y) + 3, pixel(snow, x, y))) continue;
            // Pixels the edge passes through may go either way.
            if (insideBy(surface, x + 0.5, y + 0.5) > -1.0) {
                ++changedInside;
            } else {
                ++changedOutside;
            }
        }
    }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, 1000) << "the snow texture should show on the surface";

    snowSurface = 0;
    EXPECT_TRUE(drawFrame() == white) << "toggling back restores the white surface";
}

TEST_F(Frame, TranslucentLeavesTheEmptySceneUnchanged) {
    const std::vector<uint8_t> opaque = drawFrame();
    translucent = 1.0f;
    applyBlend();
    ASSERT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(drawFrame() == opaque) << "backdrop and surface are opaque";
    translucent = 0.0f;
    applyBlend();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Frame, ZeroHeightReshapeLeavesNoTraceOnLaterFrames) {
    const std::vector<uint8_t> before = drawFrame();
    const Matrix4 projectionBefore = readGlMatrix(GL_PROJECTION_MATRIX);

    reshape(600, 0);
    EXPECT_EQ(windowWidth, 600);
    EXPECT_EQ(windowHeight, 0);
    for (double entry : readGlMatrix(GL_PROJECTION_MATRIX)) EXPECT_TRUE(std::isfinite(entry));
    composeFrame(drawCrystals);  // a minimised window may still be asked for a frame

    reshape(600, 600);
    EXPECT_EQ(readGlMatrix(GL_PROJECTION_MATRIX), projectionBefore);
    EXPECT_TRUE(drawFrame() == before);
}
