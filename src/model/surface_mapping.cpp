#include "model/surface_mapping.h"

#include <cmath>

#include "app/state.h"

namespace {
// (p - integer half of (extent - 1)) / integer half of the height, in double, then to float.
float normalized(double p, int extent) {
    const int centre = (extent - 1) / 2;
    const int halfHeight = windowHeight / 2;
    return static_cast<float>((p - centre) / static_cast<double>(halfHeight));
}
}  // namespace

float normalizedX(int px) { return normalized(px, windowWidth); }
float normalizedY(int py) { return normalized(py, windowHeight); }

Point3 screenToSurface(float px, float py) {
    const double k = 0.1184972;
    // The factor 3 here and the divisor 3 of z are float constants: those two operations are
    // done in float, everything else in double.
    const float s = static_cast<float>(normalized(py, windowHeight) * 3.0f / 1.733333);
    // The bank curls up a little beyond the top of the view.
    const float lift = s > 1.0 ? static_cast<float>((s - 1.0) * 0.8 + 0.4) : static_cast<float>(0.4);
    const float ca = static_cast<float>(s / 1.5);
    const float sa = static_cast<float>(std::fabs(s / 1.5));
    const double curl = (s + k) - std::cos(static_cast<double>(ca)) * k;
    const float y = static_cast<float>(curl + std::sin(static_cast<double>(sa)) * (lift * k));
    const float z = static_cast<float>(-(y / 3.0f) - 0.5);
    // A pixel column covers a wider strip where the bank lies farther away.
    const float x = static_cast<float>(normalized(px, windowWidth) * (y * 0.09380725 + 1.742134));
    return Point3{x, y, z};
}

bool onSurface(float x, float y) { return x >= -1.5f && x <= 1.5f && y >= -1.5f && y <= 1.5f; }
