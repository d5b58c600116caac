#include "sketch/model_view.h"

#include <cmath>

#include "web/pipeline/glu_shapes.h"

namespace {
constexpr int kSlices = 4;

struct BankCorner {
    float s, t, x, y, z;
};
// The snow surface as the frame draws it: lower edge at z = 0, upper edge one unit farther away.
constexpr BankCorner kBankCorners[4] = {
    {0, 1, -1.5f, 1.5f, -1}, {1, 1, 1.5f, 1.5f, -1}, {1, 0, 1.5f, -1.5f, 0}, {0, 0, -1.5f, -1.5f, 0}};

void putPoint(std::vector<float>& into, double x, double y, double z) {
    into.push_back(static_cast<float>(x * kMetresPerSceneUnit));
    into.push_back(static_cast<float>(y * kMetresPerSceneUnit));
    into.push_back(static_cast<float>(z * kMetresPerSceneUnit));
}

// The texture's rows go top first into the file, while GL's t counts up from its first (lowest) row.
void putUv(std::vector<float>& into, float s, float t) {
    into.push_back(s);
    into.push_back(1.0f - t);
}

void addCone(const RecordedCone& cone, std::vector<fixedgl::CylinderVertex>& strip, ViewPrimitive& into) {
    if (fixedgl::cylinderStrips(cone.base, cone.top, cone.height, kSlices, 1, true, strip) == 0) return;
    const float* m = cone.matrix;
    const std::uint32_t first = static_cast<std::uint32_t>(into.positions.size() / 3);
    for (const fixedgl::CylinderVertex& v : strip) {
        const double x = v.position[0], y = v.position[1], z = v.position[2];
        putPoint(into.positions, m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                 m[2] * x + m[6] * y + m[10] * z + m[14]);
        putUv(into.uvs, v.texCoord[0], v.texCoord[1]);
    }
    // The strip alternates the low and the high end of each slice; a pointed end draws nothing.
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(kSlices); ++i) {
        const std::uint32_t low = first + 2 * i, high = low + 1, nextLow = low + 2, nextHigh = low + 3;
        if (cone.base != 0.0) into.indices.insert(into.indices.end(), {low, nextHigh, nextLow});
        if (cone.top != 0.0) into.indices.insert(into.indices.end(), {low, high, nextHigh});
    }
}
}  // namespace

ViewModel buildViewModel(const std::vector<RecordedCone>& cones, int bankTexture, bool translucent) {
    ViewModel model;
    model.translucent = translucent;
    model.bank.texture = bankTexture;
    for (const BankCorner& c : kBankCorners) {
        putPoint(model.bank.positions, c.x, c.y, c.z);
        putUv(model.bank.uvs, c.s, c.t);
    }
    model.bank.indices = {0, 3, 2, 0, 2, 1};

    std::vector<fixedgl::CylinderVertex> strip;
    std::vector<int> primitiveOf;
    for (const RecordedCone& cone : cones) {
        if (cone.texture < 0 || cone.texture > 64) continue;
        const std::size_t texture = static_cast<std::size_t>(cone.texture);
        if (primitiveOf.size() <= texture) primitiveOf.resize(texture + 1, -1);
        if (primitiveOf[texture] < 0) {
            primitiveOf[texture] = static_cast<int>(model.crystals.size());
            model.crystals.emplace_back();
            model.crystals.back().texture = cone.texture;
        }
        addCone(cone, strip, model.crystals[primitiveOf[texture]]);
    }
    return model;
}

std::uint64_t leastViewBytesForCones(std::uint64_t cones) {
    // Ten corners of 20 bytes and, for a pointed cone, four triangles of three 4-byte indices.
    return cones * (10 * 20 + 4 * 12);
}
