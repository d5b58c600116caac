#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The 54 header bytes of an uncompressed bitmap with the given fields; the pixel data offset
// field says pixelOffset, the rest is as an ordinary file has it.
std::vector<uint8_t> bitmapHeader(int32_t width, int32_t height, uint16_t planes,
                                  uint16_t bitsPerPixel, uint32_t pixelOffset = 54);

// A header followed by pixelBytes bytes counting up from 1.
std::vector<uint8_t> bitmapFile(int32_t width, int32_t height, uint16_t planes,
                                uint16_t bitsPerPixel, size_t pixelBytes);

// One kind of bitmap Frimel must refuse, and what it says about it.
struct BadBitmap {
    const char* label;
    bool exists;  // false: there is no file at all
    std::vector<uint8_t> bytes;
    const char* message;  // %s stands for the file name
};

// Missing, 32-bit, 8-bit, empty, zero width, short pixel data, negative height, huge.
std::vector<BadBitmap> badBitmaps();
// The one of them with this label.
BadBitmap badBitmap(const std::string& label);

// Names the case in test output instead of dumping its bytes.
void PrintTo(const BadBitmap& bad, std::ostream* out);

// The failure message for a file, with %s replaced by its name.
std::string failureMessage(const BadBitmap& bad, const std::string& fileName);
