#pragma once

// Pictures written as PNG files: 8-bit RGB, with text chunks added by the caller.

#include <cstdint>
#include <string>
#include <vector>

// Writes rgb, rows bottom first as OpenGL reads them, to fd (a new file, which must take seeks)
// as a PNG with endChunks, whole chunks, just before its end. The rows are packed as they are
// written, so nothing the size of the picture is held but rgb. False, with the reason, when a
// write fails.
bool writePng(int fd, const std::uint8_t* rgb, int width, int height, const std::vector<std::uint8_t>& endChunks,
              std::string& why);
