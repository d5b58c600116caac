// Draws Frimel's eight bitmaps procedurally and deterministically into a folder.
// Usage: make_bitmaps OUTPUT_DIR

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "textures/bitmap_writer.h"

namespace {
struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Integer hash to [0, 1): the same picture on every machine.
double hash(int x, int y, int salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(salt) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777216.0;
}

double smooth(double t) { return t * t * (3 - 2 * t); }

// Value noise that wraps every `period` cells, so textures tile without seams.
double valueNoise(double x, double y, int period, int salt) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = smooth(x - x0), fy = smooth(y - y0);
    auto at = [&](int i, int j) {
        return hash(((i % period) + period) % period, ((j % period) + period) % period, salt);
    };
    const double top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
    const double bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
    return top + (bottom - top) * fy;
}

// Fractal noise over the unit square (u, v in [0, 1)), tiling.
double fractalNoise(double u, double v, int baseCells, int octaves, int salt) {
    double sum = 0, amplitude = 0.5, norm = 0;
    int cells = baseCells;
    for (int o = 0; o < octaves; ++o, cells *= 2, amplitude *= 0.5) {
        sum += amplitude * valueNoise(u * cells, v * cells, cells, salt + o);
        norm += amplitude;
    }
    return sum / norm;
}

class Picture {
public:
    Picture(int width, int height) : width_(width), height_(height), rgb_(width * height * 3) {}
    int width() const { return width_; }
    int height() const { return height_; }
    // Row 0 is the bottom row, as bitmaps store it.
    void set(int x, int y, Colour c) {
        uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
        p[0] = channel(c.r);
        p[1] = channel(c.g);
        p[2] = channel(c.b);
    }
    bool save(const std::string& path) const { return writeBitmap(path.c_str(), width_, height_, rgb_); }

private:
    static uint8_t channel(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }
    int width_, height_;
    std::vector<uint8_t> rgb_;
};

// A dusk sky over snowy hills, with stars and a moon. The snow surface hides the middle of
// the picture, so the moon sits in the upper corner and the hills low at the sides.
Picture background() {
    Picture p(512, 512);
    const Colour zenith{0.03, 0.05, 0.18}, horizon{0.50, 0.42, 0.62}, glow{0.95, 0.68, 0.55};
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const double u = x / 512.0, v = y / 512.0;
            const double farHill = 0.36 + 0.06 * std::sin(u * 7.0 + 1.3) + 0.05 * fractalNoise(u, 0.3, 4, 3, 11);
            const double nearHill = 0.22 + 0.08 * std::sin(u * 4.0 + 4.0) + 0.04 * fractalNoise(u, 0.7, 8, 3, 17);
            Colour c;
            if (v < nearHill) {
                const double shade = 0.78 + 0.18 * (v / nearHill) + 0.06 * fractalNoise(u, v, 32, 3, 23);
                c = mix(Colour{0.55, 0.62, 0.80}, Colour{0.92, 0.93, 1.0}, shade - 0.3);
            } else if (v < farHill) {
                const double shade = 0.6 + 0.3 * ((v - nearHill) / (farHill - nearHill));
                c = mix(Colour{0.42, 0.48, 0.70}, Colour{0.75, 0.78, 0.92}, shade - 0.2);
            } else {
                const double t = (v - farHill) / (1.0 - farHill);
                c = mix(horizon, zenith, std::pow(t, 0.6));
                c = mix(c, glow, std::max(0.0, 0.45 - t) * 0.9 * (0.6 + 0.4 * std::cos((u - 0.7) * 3.0)));
                const double dx = u - 0.90, dy = v - 0.93;
                const double moon = std::sqrt(dx * dx + dy * dy);
                const double crater = fractalNoise(u, v, 64, 2, 7);
                if (moon < 0.035) {
                    const Colour face = mix(Colour{1.0, 0.97, 0.86}, Colour{0.86, 0.84, 0.78}, crater * 0.6);
                    c = mix(face, c, smooth(std::max(0.0, (moon - 0.029) / 0.006)));
                } else {
                    c = mix(c, Colour{0.75, 0.78, 0.85}, std::max(0.0, 0.14 - moon) * 1.6);
                }
                const double star = hash(x, y, 5);
                if (star > 0.996 && t > 0.15 && moon > 0.05) c = mix(c, Colour{1, 1, 1}, 0.4 + 0.6 * hash(x, y, 6));
            }
            p.set(x, y, c);
        }
    }
    return p;
}

// Plain white with faint grain.
Picture whiteSurface() {
    Picture p(256, 256);
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const double grain = 0.03 * (fractalNoise(x / 256.0, y / 256.0, 32, 3, 31) - 0.5) +
                                 0.015 * (hash(x, y, 32) - 0.5);
            p.set(x, y, Colour{0.95 + grain, 0.96 + grain, 0.98 + grain});
        }
    }
    return p;
}

// Wind-carved snow: drifts with blue hollows, brighter crests and scattered sparkles.
Picture snowSurface() {
    Picture p(512, 512);
    const Colour hollow{0.66, 0.74, 0.90}, crest{1.0, 1.0, 1.0};
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const double u = x / 512.0, v = y / 512.0;
            const double drift = fractalNoise(u, v, 4, 5, 41);
            // Drifts run across the slope and bend with the wind: each rises gently into the
            // light and drops into a sharp blue shadow on its lee side.
            const double phase = v * 14 + drift * 4 + 0.2 * fractalNoise(u, v, 16, 2, 42);
            const double along = phase - std::floor(phase);
            const double slope = along < 0.85 ? along / 0.85 : (1.0 - along) / 0.15;
            const double grain = fractalNoise(u, v, 64, 2, 44) - 0.5;
            const double shade = 0.42 + 0.30 * drift + 0.32 * std::pow(slope, 1.5) + 0.14 * grain;
            Colour c = mix(hollow, crest, std::clamp(shade, 0.0, 1.0));
            const double glint = hash(x, y, 43);
            if (glint > 0.9965) {
                c = Colour{1.0, 1.0, 1.0};
            } else if (glint > 0.993) {
                c = mix(c, Colour{0.55, 0.80, 1.0}, 0.8);  // cold blue sparkle
            } else if (hash(x, y, 47) > 0.995) {
                c = mix(c, Colour{1.0, 0.92, 0.70}, 0.6);  // warm sparkle from the dusk light
            }
            p.set(x, y, c);
        }
    }
    return p;
}

// Icy texture in a given tint: cracked, streaked and brighter at the facets.
Picture ice(Colour deep, Colour light, int salt) {
    Picture p(256, 256);
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const double u = x / 256.0, v = y / 256.0;
            const double body = fractalNoise(u, v, 4, 4, salt);
            const double streak = std::pow(std::fabs(std::sin((u * 3 + v * 9 + body * 2) * 3.14159265)), 12.0);
            const double crack = 1.0 - std::min(1.0, std::fabs(fractalNoise(u, v, 8, 3, salt + 7) - 0.5) * 18.0);
            double t = 0.25 + 0.55 * body + 0.25 * streak + 0.35 * crack;
            Colour c = mix(deep, light, std::clamp(t, 0.0, 1.0));
            if (hash(x, y, salt + 9) > 0.995) c = Colour{1, 1, 1};
            p.set(x, y, c);
        }
    }
    return p;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* name;
        Picture picture;
    } pictures[] = {
        {"background.bmp", background()},
        {"white.bmp", whiteSurface()},
        {"ice.bmp", ice(Colour{0.10, 0.30, 0.75}, Colour{0.75, 0.90, 1.00}, 100)},   // Blue
        {"ice2.bmp", ice(Colour{0.60, 0.06, 0.10}, Colour{1.00, 0.75, 0.75}, 200)},  // Red
        {"ice3.bmp", ice(Colour{0.05, 0.45, 0.20}, Colour{0.75, 1.00, 0.80}, 300)},  // Green
        {"ice4.bmp", ice(Colour{0.35, 0.10, 0.60}, Colour{0.90, 0.75, 1.00}, 400)},  // Purple
        {"ice5.bmp", ice(Colour{0.70, 0.78, 0.88}, Colour{1.00, 1.00, 1.00}, 500)},  // White
        {"snow.bmp", snowSurface()},
    };
    for (const auto& entry : pictures) {
        const std::string path = dir + "/" + entry.name;
        if (!entry.picture.save(path)) {
            std::fprintf(stderr, "make_bitmaps: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
