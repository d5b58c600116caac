#pragma once

// Pictures written as PNG files: 8-bit RGB, with text chunks added by the caller.

#include <cstdint>
#include <vector>

// rgb holds rows top first. Empty when the pixels cannot be packed.
std::vector<std::uint8_t> encodePng(const std::vector<std::uint8_t>& rgb, int width, int height);
