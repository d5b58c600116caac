#include "support/scene_invariants.h"

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <unordered_set>

#include "app/state.h"
#include "model/crystal.h"

namespace {
// Kept objects are freed only when a sketch opened over the scene replaces them all, which
// leaves the keeper smaller than it was: until then a pointer once found in the keeper stays good.
std::unordered_set<const Crystal*> knownKept;
std::size_t keptWhenKnown = 0;

bool isLive(const Crystal* c) {
    if (c == nullptr) return false;
    if (keptCrystalCount() < keptWhenKnown) knownKept.clear();
    keptWhenKnown = keptCrystalCount();
    if (knownKept.count(c) != 0) return true;
    if (!isKeptCrystal(c)) return false;
    knownKept.insert(c);
    return true;
}

testing::AssertionResult objectIsSound(const Crystal* c, const std::string& name) {
    if (!isLive(c)) return testing::AssertionFailure() << name << " is not a kept object";
    if (c->parent != nullptr && !isLive(c->parent)) {
        return testing::AssertionFailure() << name << "'s parent is not a kept object";
    }
    if (!(c->level >= 0.0f && c->level <= kMaxLevel && c->level == std::floor(c->level))) {
        return testing::AssertionFailure() << name << " has level " << c->level;
    }
    const float place[3] = {c->x, c->y, c->z};
    if (!allFinite(c->growth, kGrowthLevels) || !std::isfinite(c->maxSize) || !allFinite(place, 3)) {
        return testing::AssertionFailure() << name << " holds a value that is not finite";
    }
    return testing::AssertionSuccess();
}
}  // namespace

testing::AssertionResult allFinite(const float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) {
            return testing::AssertionFailure() << "entry " << i << " is " << values[i];
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult isRotation(const float m[16]) {
    if (!allFinite(m, 16)) return testing::AssertionFailure() << "not finite";
    const auto at = [m](int row, int col) { return static_cast<double>(m[col * 4 + row]); };
    const double tolerance = 1e-3;
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(at(3, i)) > tolerance || std::fabs(at(i, 3)) > tolerance) {
            return testing::AssertionFailure() << "moves or projects, column " << i;
        }
        for (int j = 0; j < 3; ++j) {
            double dot = 0;
            for (int k = 0; k < 3; ++k) dot += at(k, i) * at(k, j);
            if (std::fabs(dot - (i == j ? 1.0 : 0.0)) > tolerance) {
                return testing::AssertionFailure() << "columns " << i << ", " << j << " give " << dot;
            }
        }
    }
    const double det = at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
                       at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
                       at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
    if (std::fabs(det - 1.0) > tolerance || std::fabs(at(3, 3) - 1.0) > tolerance) {
        return testing::AssertionFailure() << "determinant " << det;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult sceneIsSound() {
    const struct {
        const Crystal* object;
        const char* name;
    } held[] = {{currentCrystal, "currentCrystal"}, {linkCrystal, "linkCrystal"},
                {anchorCrystal, "anchorCrystal"}};
    for (const auto& h : held) {
        testing::AssertionResult sound = objectIsSound(h.object, h.name);
        if (!sound) return sound;
    }
    for (size_t i = 0; i < crystals.size(); ++i) {
        const Crystal* c = crystals[i];
        const std::string name = "scene object " + std::to_string(i);
        testing::AssertionResult sound = objectIsSound(c, name);
        if (!sound) return sound;
        // Placement gives every accepted object a predecessor and keeps it on the snow.
        if (c->parent == nullptr) return testing::AssertionFailure() << name << " has no parent";
        if (!(c->x >= -1.5f && c->x <= 1.5f && c->y >= -1.5f && c->y <= 1.5f)) {
            return testing::AssertionFailure() << name << " lies off the surface";
        }
    }
    testing::AssertionResult rotation = isRotation(sceneRotation);
    if (!rotation) return testing::AssertionFailure() << "sceneRotation: " << rotation.message();
    if (rotateMode == 0) {
        for (int i = 0; i < 16; ++i) {
            if (sceneRotation[i] != (i % 5 == 0 ? 1.0f : 0.0f)) {
                return testing::AssertionFailure() << "sceneRotation is turned outside rotate mode";
            }
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult glStateIsSound() {
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) return testing::AssertionFailure() << "OpenGL error " << error;
    GLint mode = 0;
    GLint depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    if (mode != GL_MODELVIEW) return testing::AssertionFailure() << "matrix mode " << mode;
    if (depth != 1) return testing::AssertionFailure() << "model-view stack depth " << depth;
    float modelView[16];
    float projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int i = 0; i < 16; ++i) {
        if (modelView[i] != (i % 5 == 0 ? 1.0f : 0.0f)) {
            return testing::AssertionFailure() << "model-view matrix is not the identity";
        }
    }
    testing::AssertionResult finite = allFinite(projection, 16);
    if (!finite) return testing::AssertionFailure() << "projection: " << finite.message();
    return testing::AssertionSuccess();
}
