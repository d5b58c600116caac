#include "render/cone_record.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "app/state.h"
#include "render/crystal_shape.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr int kStackDepth = 32;  // the geometry nests a few frames per branch depth

struct Matrix {
    float m[16];
};

Matrix stack[kStackDepth];
int top = 0;
bool overflowed = false;
std::vector<RecordedCone>* into = nullptr;
int object = 0;
int texture = 0;

// m = m * b, as GL's matrix calls compose.
void multiply(const float b[16]) {
    float r[16];
    const float* a = stack[top].m;
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    }
    std::memcpy(stack[top].m, r, sizeof r);
}

void push() {
    if (top + 1 >= kStackDepth) {
        overflowed = true;
        return;
    }
    stack[top + 1] = stack[top];
    ++top;
}

void pop() {
    if (top > 0) --top;
}

// As glRotatef: degrees about the axis (x, y, z), which need not be of unit length.
void rotate(float degrees, float x, float y, float z) {
    const double length = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y + static_cast<double>(z) * z);
    if (length == 0.0) return;
    const double ux = x / length, uy = y / length, uz = z / length;
    const double radians = degrees * kPi / 180.0;
    const double c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
    const float r[16] = {
        static_cast<float>(t * ux * ux + c),      static_cast<float>(t * ux * uy + s * uz),
        static_cast<float>(t * ux * uz - s * uy), 0.0f,
        static_cast<float>(t * ux * uy - s * uz), static_cast<float>(t * uy * uy + c),
        static_cast<float>(t * uy * uz + s * ux), 0.0f,
        static_cast<float>(t * ux * uz + s * uy), static_cast<float>(t * uy * uz - s * ux),
        static_cast<float>(t * uz * uz + c),      0.0f,
        0.0f, 0.0f, 0.0f, 1.0f};
    multiply(r);
}

void translate(float x, float y, float z) {
    const float t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    multiply(t);
}

void noteCone(double base, double narrowEnd, double height) {
    RecordedCone cone;
    std::memcpy(cone.matrix, stack[top].m, sizeof cone.matrix);
    cone.base = base;
    cone.top = narrowEnd;
    cone.height = height;
    cone.object = object;
    cone.texture = texture;
    into->push_back(cone);
}

bool neverFull() { return false; }
const ConePen kRecorder = {push, pop, rotate, translate, noteCone, neverFull};

void startStack() {
    top = 0;
    overflowed = false;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(stack[0].m, identity, sizeof identity);
}
}  // namespace

std::vector<RecordedCone> recordSceneAtRest(std::int64_t limit) {
    std::vector<RecordedCone> cones;
    const ShapeSettings settings = settingsInForce();
    if (sceneConesAtRest(settings, limit) > limit) return cones;
    // Each object at rest, so that a bridge meets its neighbour at the neighbour's size at rest.
    const std::size_t count = crystals.size();
    std::vector<std::unique_ptr<Crystal>> rests;
    rests.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        rests.push_back(std::make_unique<Crystal>());
        copyForRest(*crystals[i], *rests.back());
        settleAtRest(*rests.back(), *crystals[i == 0 ? 0 : i - 1], count > 1, settings, limit);
    }
    into = &cones;
    for (std::size_t i = 0; i < count; ++i) {
        Crystal& rest = *rests[i];
        object = static_cast<int>(i);
        texture = rest.texture;
        startStack();
        const PenInUse recording(kRecorder, settings);
        enterHeadingFrame(rest);
        drawObject(rest, *rests[i == 0 ? 0 : i - 1], count > 1);
    }
    into = nullptr;
    if (overflowed) cones.clear();
    return cones;
}
