#include "textures/bitmap_writer.h"

#include <cstdio>

#include "textures/bitmap.h"

namespace {
void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
}  // namespace

bool writeBitmap(const char* path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
    const uint32_t rowBytes = static_cast<uint32_t>(bitmapRowBytes(width));
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);

    std::vector<uint8_t> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    putLittleEndian(out, 54 + pixelBytes, 4);
    putLittleEndian(out, 0, 4);   // reserved
    putLittleEndian(out, 54, 4);  // pixel data offset
    putLittleEndian(out, 40, 4);  // info header size
    putLittleEndian(out, static_cast<uint32_t>(width), 4);
    putLittleEndian(out, static_cast<uint32_t>(height), 4);
    putLittleEndian(out, 1, 2);   // planes
    putLittleEndian(out, 24, 2);  // bits per pixel
    putLittleEndian(out, 0, 4);   // no compression
    putLittleEndian(out, pixelBytes, 4);
    putLittleEndian(out, 2835, 4);  // 72 dpi
    putLittleEndian(out, 2835, 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, 0, 4);
    for (int row = 0; row < height; ++row) {
        const uint8_t* p = rgb.data() + static_cast<size_t>(row) * width * 3;
        for (int i = 0; i < width; ++i, p += 3) {
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad) out.push_back(0);
    }

    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
