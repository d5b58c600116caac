#include "support/bitmap_samples.h"

namespace {
void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> bitmapHeader(int32_t width, int32_t height, uint16_t planes,
                                  uint16_t bitsPerPixel, uint32_t pixelOffset) {
    std::vector<uint8_t> out = {'B', 'M'};
    put(out, 0, 4);  // file size, which readers do not need
    put(out, 0, 4);
    put(out, pixelOffset, 4);
    put(out, 40, 4);
    put(out, static_cast<uint32_t>(width), 4);
    put(out, static_cast<uint32_t>(height), 4);
    put(out, planes, 2);
    put(out, bitsPerPixel, 2);
    for (int i = 0; i < 6; ++i) put(out, 0, 4);
    return out;
}

std::vector<uint8_t> bitmapFile(int32_t width, int32_t height, uint16_t planes,
                                uint16_t bitsPerPixel, size_t pixelBytes) {
    std::vector<uint8_t> out = bitmapHeader(width, height, planes, bitsPerPixel);
    for (size_t i = 0; i < pixelBytes; ++i) out.push_back(static_cast<uint8_t>(i + 1));
    return out;
}

std::vector<BadBitmap> badBitmaps() {
    const char* readFailure = "Error reading image data from %s.\n";
    return {
        {"Missing", false, {}, "File Not Found : %s\n"},
        {"ThirtyTwoBit", true, bitmapFile(4, 4, 1, 32, 4 * 4 * 4), "Bpp from %s is not 24: 32\n"},
        // An 8-bit file carries a 256-entry palette before one byte a pixel.
        {"EightBit", true, bitmapFile(4, 4, 1, 8, 1024 + 16), "Bpp from %s is not 24: 8\n"},
        // Every missing byte reads as -1, so planes is -1 + 256 * -1, kept to 16 bits.
        {"Empty", true, {}, "Planes from %s is not 1: 65279\n"},
        {"ZeroWidth", true, bitmapFile(0, 4, 1, 24, 48), readFailure},
        {"ShortPixelData", true, bitmapFile(4, 4, 1, 24, 4 * 4 * 3 - 1), readFailure},
        {"NegativeHeight", true, bitmapFile(4, -4, 1, 24, 4 * 4 * 3), readFailure},
        // 4.8 GB of pixels: more than one allocation may hold.
        {"HugeDimensions", true, bitmapFile(40000, 40000, 1, 24, 48),
         "Error allocating memory for color-corrected image data"},
    };
}

std::string failureMessage(const BadBitmap& bad, const std::string& fileName) {
    std::string text = bad.message;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, fileName);
    return text;
}

BadBitmap badBitmap(const std::string& label) {
    for (const BadBitmap& bad : badBitmaps()) {
        if (label == bad.label) return bad;
    }
    return {"Unknown", false, {}, ""};
}

void PrintTo(const BadBitmap& bad, std::ostream* out) { *out << bad.label; }
