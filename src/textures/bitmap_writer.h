#pragma once

#include <cstdint>
#include <vector>

// Writes an uncompressed 24-bit bottom-up bitmap with the usual 54-byte header and 4-byte
// row padding. rgb holds width x height pixels, red-green-blue, bottom row first.
bool writeBitmap(const char* path, int width, int height, const std::vector<uint8_t>& rgb);
