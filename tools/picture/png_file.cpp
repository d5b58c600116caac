#include "png_file.h"

#include <zlib.h>

#include "sketch/sketch_codec.h"

namespace {
void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32Of(out.data() + start, out.size() - start));
}
}  // namespace

std::vector<std::uint8_t> encodePng(const std::vector<std::uint8_t>& rgb, int width, int height) {
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits a channel, RGB, no interlace

    // Each row after a filter byte: "Sub", which suits the smooth snow and sky.
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> filtered;
    filtered.reserve((row + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = rgb.data() + row * static_cast<std::size_t>(y);
        filtered.push_back(1);
        for (std::size_t i = 0; i < row; ++i) {
            filtered.push_back(static_cast<std::uint8_t>(line[i] - (i >= 3 ? line[i - 3] : 0)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 6) != Z_OK) return {};
    packed.resize(packedSize);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}
