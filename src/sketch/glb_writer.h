#pragma once

// glTF 2.0 binary (.glb): one JSON chunk and one binary chunk holding every vertex, index and
// texture (as PNG), so the file stands alone.

#include <cstdint>
#include <vector>

#include "sketch/model_view.h"

// A texture's pixels: 8-bit RGB rows, top first, tightly packed.
struct TextureImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

// textures[name] holds the picture of every texture name the model uses. Empty when one is
// missing.
std::vector<std::uint8_t> writeGlb(const ViewModel& model, const std::vector<TextureImage>& textures);
