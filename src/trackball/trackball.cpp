#include "trackball/trackball.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>

#include "app/state.h"
#include "model/surface_mapping.h"

namespace {
constexpr double kPi = 3.141592653589793;

// The pixel on the ball of radius half the window height, or on its rim when outside it.
Point3 projectOntoBall(int px, int py) {
    Point3 p{normalizedX(px), normalizedY(py), 0.0f};
    const double planar = static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y;
    const double s = 1.0 - planar;
    if (s > 0) {
        p.z = static_cast<float>(std::sqrt(s));
    } else {
        const double rim = std::sqrt(planar);
        p.x = static_cast<float>(p.x / rim);
        p.y = static_cast<float>(p.y / rim);
    }
    return p;
}

bool isFinite(Point3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
}  // namespace

// Products are taken in double precision and each result rounded to float.
Point3 crossProduct(Point3 a, Point3 b) {
    const auto d = [](float v) { return static_cast<double>(v); };
    return Point3{static_cast<float>(d(a.y) * b.z - d(a.z) * b.y),
                  static_cast<float>(d(a.z) * b.x - d(a.x) * b.z),
                  static_cast<float>(d(a.x) * b.y - d(a.y) * b.x)};
}

float dotProduct(Point3 a, Point3 b) {
    return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                              static_cast<double>(a.z) * b.z);
}

float vectorLength(Point3 v) {
    const float sum = dotProduct(v, v);
    return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

void trackball() {
    const Point3 a = projectOntoBall(prevMouseX, prevMouseY);
    const Point3 b = projectOntoBall(mouseX, mouseY);
    spinAxis = crossProduct(a, b);
    float cosine = static_cast<float>(dotProduct(a, b) /
                                      (static_cast<double>(vectorLength(a)) * vectorLength(b)));
    // Rounding can push the cosine of nearly parallel points just past 1.
    if (std::isfinite(cosine)) cosine = std::clamp(cosine, -1.0f, 1.0f);
    const double theta = std::acos(static_cast<double>(cosine));
    spinAngle = static_cast<float>(theta * 360.0 / kPi);
}

void trackballStep() {
    trackball();
    prevMouseX = mouseX;
    prevMouseY = mouseY;
    const bool turns = isFinite(spinAxis) && vectorLength(spinAxis) > 0.0f &&
                       std::isfinite(spinAngle) && spinAngle != 0.0f;
    if (turns) {
        float turned[16];
        glPushMatrix();
        glLoadIdentity();
        glRotatef(spinAngle, spinAxis.x, spinAxis.y, spinAxis.z);
        glMultMatrixf(sceneRotation);
        glGetFloatv(GL_MODELVIEW_MATRIX, turned);
        glPopMatrix();
        if (std::all_of(turned, turned + 16, [](float v) { return std::isfinite(v); })) {
            std::copy(turned, turned + 16, sceneRotation);
        }
    }
    spinAngle = 0.0f;
}

void resetRotation() {
    glPushMatrix();
    glLoadIdentity();
    glGetFloatv(GL_MODELVIEW_MATRIX, sceneRotation);
    glPopMatrix();
    glutPostRedisplay();
}
