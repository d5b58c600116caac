#include "support/feedback_capture.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/state.h"
#include "render/crystal_geometry.h"

namespace {
// Enough for every scene the tests count; a scene past it fails rather than being retried,
// because drawing changes the objects it draws.
constexpr GLsizei kFeedbackFloats = 1 << 22;

void lookFromCamera() {
    glLoadIdentity();
    gluLookAt(0, 0, 6, 0, 0, 0, 0, 1, 0);
    glMultMatrixf(sceneRotation);
}

std::size_t verticesOfToken(int token) {
    switch (token) {
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            return 1;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            return 2;
        default:
            return 0;
    }
}

void drawCrystalsSeenWhole() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-500, 500, -500, 500, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    drawCrystalsUnderCamera();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
}  // namespace

std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(kFeedbackFloats);
    glFeedbackBuffer(kFeedbackFloats, GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackPolygon> polygons;
    if (used < 0) {
        ADD_FAILURE() << "feedback buffer overflowed";
        return polygons;
    }
    auto vertexAt = [&](GLint i) { return WindowPoint{buffer[i], buffer[i + 1], buffer[i + 2]}; };
    for (GLint i = 0; i < used;) {
        const int token = static_cast<int>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint count = static_cast<GLint>(buffer[i++]);
            FeedbackPolygon polygon;
            for (GLint v = 0; v < count; ++v, i += 3) polygon.push_back(vertexAt(i));
            polygons.push_back(polygon);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            i += static_cast<GLint>(verticesOfToken(token)) * 3;
        }
    }
    return polygons;
}

void drawCrystalsUnderCamera() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    lookFromCamera();
    drawCrystals();
    glPopMatrix();
}

WindowPoint projectToWindow(double x, double y, double z) {
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    lookFromCamera();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glPopMatrix();
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    WindowPoint p{0, 0, 0};
    gluProject(x, y, z, modelview, projection, viewport, &p.x, &p.y, &p.z);
    return p;
}

std::size_t polygonsPerCone() {
    static std::size_t measured = 0;
    if (measured == 0) {
        measured = captureFeedback([] {
                       glMatrixMode(GL_MODELVIEW);
                       glPushMatrix();
                       lookFromCamera();
                       gluCylinder(quadric, 0.1, 0.0, 0.5, 4, 1);
                       glPopMatrix();
                   }).size();
    }
    return measured;
}

std::size_t drawnConeCount() {
    const std::size_t perCone = polygonsPerCone();
    const std::size_t polygons = captureFeedback(drawCrystalsSeenWhole).size();
    if (perCone == 0 || polygons % perCone != 0) {
        ADD_FAILURE() << polygons << " polygons are not whole cones of " << perCone;
        return 0;
    }
    return polygons / perCone;
}

std::vector<WindowPoint> verticesFrom(const std::vector<FeedbackPolygon>& polygons, std::size_t first) {
    std::vector<WindowPoint> vertices;
    for (std::size_t i = first; i < polygons.size(); ++i) {
        vertices.insert(vertices.end(), polygons[i].begin(), polygons[i].end());
    }
    return vertices;
}

double pixelDistance(WindowPoint a, WindowPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

WindowPoint extremeVertex(const std::vector<WindowPoint>& vertices, WindowPoint from, WindowPoint toward) {
    const double dx = toward.x - from.x;
    const double dy = toward.y - from.y;
    WindowPoint best = from;
    double bestReach = -1e300;
    for (const WindowPoint& v : vertices) {
        const double reach = (v.x - from.x) * dx + (v.y - from.y) * dy;
        if (reach > bestReach) {
            bestReach = reach;
            best = v;
        }
    }
    return best;
}

double nearestVertexDistance(const std::vector<WindowPoint>& vertices, WindowPoint point) {
    double nearest = 1e300;
    for (const WindowPoint& v : vertices) nearest = std::min(nearest, pixelDistance(v, point));
    return nearest;
}
