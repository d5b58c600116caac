// Draws Frimel's application icon from its own textures: a six-armed frost crystal cut from
// the blue ice over a rounded tile of snow, written as an RGBA PNG.
// Usage: make_icon SNOW_BMP ICE_BMP SIZE OUTPUT_PNG

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "textures/bitmap.h"

namespace {
struct Rgba {
    double r, g, b, a;
};

Rgba over(Rgba top, Rgba below) {
    const double a = top.a + below.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto channel = [&](double t, double b) { return (t * top.a + b * below.a * (1 - top.a)) / a; };
    return {channel(top.r, below.r), channel(top.g, below.g), channel(top.b, below.b), a};
}

// A loaded bitmap sampled by texture coordinates that wrap, as the program's textures do.
class Texture {
public:
    bool load(const char* path) { return loadBitmap(path, image_) == 1; }
    Rgba at(double u, double v) const {
        const int x = wrap(static_cast<int>(std::floor(u * image_.width)), image_.width);
        const int y = wrap(static_cast<int>(std::floor(v * image_.height)), image_.height);
        const unsigned char* p = &image_.pixels[y * bitmapRowBytes(image_.width) + x * 3];
        return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, 1};
    }

private:
    static int wrap(int i, int n) { return ((i % n) + n) % n; }
    Image image_;
};

// Distance from p to a cone seen from the side: a segment whose half-width tapers from
// w0 at a to w1 at b. Negative inside.
double taperedSegment(double px, double py, double ax, double ay, double bx, double by, double w0, double w1) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double cx = ax + t * dx - px, cy = ay + t * dy - py;
    return std::sqrt(cx * cx + cy * cy) - (w0 + (w1 - w0) * t);
}

// The crystal in unit coordinates centred on 0: six arms, each with two pairs of side branches.
double crystalDistance(double x, double y) {
    const double pi = 3.14159265358979;
    double d = 1e9;
    for (int arm = 0; arm < 6; ++arm) {
        const double angle = pi / 2 + arm * pi / 3;
        const double ux = std::cos(angle), uy = std::sin(angle);
        d = std::min(d, taperedSegment(x, y, 0, 0, 0.82 * ux, 0.82 * uy, 0.085, 0.012));
        for (double station : {0.36, 0.58}) {
            const double sx = station * ux, sy = station * uy, length = 0.55 * (0.86 - station);
            for (double side : {-1.0, 1.0}) {
                const double b = angle + side * pi / 3;
                d = std::min(d, taperedSegment(x, y, sx, sy, sx + length * std::cos(b), sy + length * std::sin(b),
                                               0.045, 0.01));
            }
        }
    }
    return d;
}

// Distance to a rounded square of half-side 1 and corner radius r, negative inside.
double tileDistance(double x, double y, double r) {
    const double qx = std::fabs(x) - (1 - r), qy = std::fabs(y) - (1 - r);
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

Rgba iconPixel(const Texture& snow, const Texture& ice, double x, double y, double pixel) {
    // Coverage from a signed distance, antialiased over about one pixel.
    auto cover = [&](double d) { return std::clamp(0.5 - d / pixel, 0.0, 1.0); };
    Rgba tile = snow.at(x * 0.5, y * 0.5);
    const double shade = 0.78 + 0.22 * (y + 1) / 2;  // light falls from above
    tile = {tile.r * shade, tile.g * shade, tile.b * shade, cover(tileDistance(x, y, 0.22))};

    const double scale = 0.92;
    const double shadow = crystalDistance((x - 0.035) / scale, (y + 0.045) / scale) * scale;
    Rgba result = over({0.25, 0.32, 0.50, 0.35 * cover(shadow - 0.01)}, tile);

    const double body = crystalDistance(x / scale, y / scale) * scale;
    const Rgba rim{0.06, 0.18, 0.52, cover(body - 0.018)};
    Rgba glass = ice.at(x * 0.8 + 0.3, y * 0.8 + 0.1);
    const double glow = std::max(0.0, 0.45 - std::sqrt(x * x + y * y)) * 1.2;  // bright heart
    glass = {std::min(1.0, glass.r + glow), std::min(1.0, glass.g + glow), std::min(1.0, glass.b + glow),
             cover(body)};
    result = over(glass, over(rim, result));
    result.a *= tile.a;
    return result;
}

// 4 x 4 samples a pixel; rows top first, as PNG stores them.
std::vector<uint8_t> drawIcon(const Texture& snow, const Texture& ice, int size) {
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    const double pixel = 2.0 / size;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            std::array<double, 4> sum{};
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double x = -1 + (column + (sx + 0.5) / 4) * pixel;
                    const double y = 1 - (row + (sy + 0.5) / 4) * pixel;
                    const Rgba c = iconPixel(snow, ice, x, y, pixel);
                    sum[0] += c.r * c.a, sum[1] += c.g * c.a, sum[2] += c.b * c.a, sum[3] += c.a;
                }
            }
            uint8_t* out = &rgba[(static_cast<size_t>(row) * size + column) * 4];
            for (int i = 0; i < 3; ++i) out[i] = sum[3] > 0 ? static_cast<uint8_t>(sum[i] / sum[3] * 255 + 0.5) : 0;
            out[3] = static_cast<uint8_t>(sum[3] / 16 * 255 + 0.5);
        }
    }
    return rgba;
}

uint32_t crc32(const uint8_t* data, size_t length, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    putBigEndian(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    putBigEndian(png, crc32(&png[start], png.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks: an icon is small enough not to
// need compression, and this keeps the build free of a compression library.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out{0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = std::min<size_t>(65535, data.size() - offset);
        const bool last = offset + length == data.size();
        out.push_back(last ? 1 : 0);
        const uint8_t header[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                   static_cast<uint8_t>(~length), static_cast<uint8_t>(~length >> 8)};
        out.insert(out.end(), header, header + 4);
        out.insert(out.end(), data.begin() + offset, data.begin() + offset + length);
        offset += length;
    } while (offset < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) a = (a + byte) % 65521, b = (b + a) % 65521;
    putBigEndian(out, (b << 16) | a);
    return out;
}

std::vector<uint8_t> encodePng(const std::vector<uint8_t>& rgba, int size) {
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    putBigEndian(header, size);
    putBigEndian(header, size);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, no interlace
    putChunk(png, "IHDR", header);
    std::vector<uint8_t> scanlines;
    const size_t rowBytes = static_cast<size_t>(size) * 4;
    for (int row = 0; row < size; ++row) {
        scanlines.push_back(0);  // filter: none
        scanlines.insert(scanlines.end(), rgba.begin() + row * rowBytes, rgba.begin() + (row + 1) * rowBytes);
    }
    putChunk(png, "IDAT", zlibStored(scanlines));
    putChunk(png, "IEND", {});
    return png;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SNOW_BMP ICE_BMP SIZE OUTPUT_PNG\n", argv[0]);
        return 2;
    }
    const int size = std::atoi(argv[3]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "make_icon: size must be 16 to 1024, not %s\n", argv[3]);
        return 2;
    }
    Texture snow, ice;
    if (!snow.load(argv[1]) || !ice.load(argv[2])) return 1;  // loadBitmap said why
    const std::vector<uint8_t> png = encodePng(drawIcon(snow, ice, size), size);
    FILE* file = std::fopen(argv[4], "wb");
    bool written = file != nullptr && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}
