// Prints digests of where every pixel of a 600 x 600 window lands: on the snow surface
// (screenToSurface) and on the trackball (a step from the centre pixel to it), and whether this
// build fuses a multiply and an add. Two builds that round alike print the same lines; with
// --raw it prints every value instead, one pixel a line.
//
// Usage: map_pixels [--raw]

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "model/surface_mapping.h"
#include "trackball/trackball.h"

namespace {
constexpr int kSide = 600;

// 64-bit FNV-1a over the exact bits of each float.
struct Digest {
    uint64_t hash = 14695981039346656037ull;
    void add(float value) {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 4; ++i) {
            hash ^= (bits >> (8 * i)) & 0xffu;
            hash *= 1099511628211ull;
        }
    }
};

// The step from the centre to the pixel: the trackball's axis and angle.
void trackballFromCentre(int px, int py) {
    prevMouseX = (kSide - 1) / 2;
    prevMouseY = (kSide - 1) / 2;
    mouseX = px;
    mouseY = py;
    trackball();
}

// (1 + 2^-27) squared is 1 + 2^-26 + 2^-54. Rounded after the multiply the last term is lost
// and this is 0; fused with the subtraction it is kept. Most pixels map alike either way, so
// this shows a fusing build even where the digests happen to agree.
double multiplyThenSubtract() {
    volatile double side = 1.0 + 0x1p-27;
    volatile double near = 1.0 + 0x1p-26;
    const double x = side;
    return x * x - near;
}
}  // namespace

int main(int argc, char** argv) {
    const bool raw = argc == 2 && std::strcmp(argv[1], "--raw") == 0;
    if (argc > 2 || (argc == 2 && !raw)) {
        std::fprintf(stderr, "usage: map_pixels [--raw]\n");
        return 2;
    }
    windowWidth = kSide;
    windowHeight = kSide;
    Digest surface;
    Digest ball;
    for (int py = 0; py < kSide; ++py) {
        for (int px = 0; px < kSide; ++px) {
            const Point3 p = screenToSurface(static_cast<float>(px), static_cast<float>(py));
            trackballFromCentre(px, py);
            const float values[] = {p.x, p.y, p.z, spinAxis.x, spinAxis.y, spinAxis.z, spinAngle};
            for (int i = 0; i < 3; ++i) surface.add(values[i]);
            for (int i = 3; i < 7; ++i) ball.add(values[i]);
            if (raw) {
                std::printf("%d %d %a %a %a %a %a %a %a\n", px, py, values[0], values[1], values[2],
                            values[3], values[4], values[5], values[6]);
            }
        }
    }
    if (!raw) {
        std::printf("window %dx%d, %d pixels\n", kSide, kSide, kSide * kSide);
        std::printf("surface   %016llx\n", static_cast<unsigned long long>(surface.hash));
        std::printf("trackball %016llx\n", static_cast<unsigned long long>(ball.hash));
        std::printf("x * x - c %a\n", multiplyThenSubtract());
    }
    return 0;
}
