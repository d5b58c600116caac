#include "sketch/png_stored.h"

#include <algorithm>

#include "sketch/png_text.h"
#include "sketch/sketch_codec.h"

namespace {
constexpr std::size_t kStoredBlock = 65535;  // the most one stored deflate block holds
constexpr int kLargestSide = 16384;

std::uint32_t adler32Of(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}
}  // namespace

std::vector<std::uint8_t> storedPng(const std::uint8_t* rgb, int width, int height) {
    if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) return {};
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve((row + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        const std::uint8_t* line = rgb + row * static_cast<std::size_t>(y);
        raw.insert(raw.end(), line, line + row);
    }
    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    for (std::size_t at = 0; at < raw.size(); at += kStoredBlock) {
        const std::size_t length = std::min(kStoredBlock, raw.size() - at);
        zlib.push_back(at + length == raw.size() ? 1 : 0);  // the last block, stored
        zlib.push_back(static_cast<std::uint8_t>(length));
        zlib.push_back(static_cast<std::uint8_t>(length >> 8));
        zlib.push_back(static_cast<std::uint8_t>(~length));
        zlib.push_back(static_cast<std::uint8_t>(~length >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    putBigEndian(zlib, adler32Of(raw));

    std::vector<std::uint8_t> png = pngStart(width, height);
    appendPngChunk(png, "IDAT", zlib);
    appendPngChunk(png, "IEND", {});
    return png;
}
