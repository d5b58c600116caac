#pragma once

// PNG files without compression (stored deflate blocks), which need no zlib: the page has none.

#include <cstdint>
#include <vector>

// 8-bit RGB rows, top first, tightly packed. Empty when the size is not one a PNG can hold.
std::vector<std::uint8_t> storedPng(const std::uint8_t* rgb, int width, int height);
