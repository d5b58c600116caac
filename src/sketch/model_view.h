#pragma once

// The scene for viewing: the bank and every cone as the frame draws them (GLU's four-sided
// cones and their texture coordinates), in metres with +Y up. No normals: viewers then shade
// each face flat, as the program does, and a deep scene stays half the size.

#include <cstdint>
#include <vector>

#include "render/cone_record.h"

// One scene unit is a tenth of a metre: the bank is 30 cm square.
constexpr double kMetresPerSceneUnit = 0.1;

// Triangles sharing one texture.
struct ViewPrimitive {
    int texture = 0;
    std::vector<float> positions;  // x, y, z in metres
    std::vector<float> uvs;        // glTF's: v down from the image's top row
    std::vector<std::uint32_t> indices;
};

struct ViewModel {
    std::vector<ViewPrimitive> crystals;  // one a texture, in order of first use
    ViewPrimitive bank;
    bool translucent = false;  // the ice's diffuse alpha blends
};

// The bank drawn with bankTexture, and the cones; cones of zero length, which draw nothing, are
// left out.
ViewModel buildViewModel(const std::vector<RecordedCone>& cones, int bankTexture, bool translucent);

// Bytes the view of this many cones takes at least, textures aside.
std::uint64_t leastViewBytesForCones(std::uint64_t cones);
