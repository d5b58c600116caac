#include "web/pipeline/glu_shapes.h"

#include <algorithm>
#include <cmath>

namespace fixedgl {
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxSlices = 127;  // GLU caches at most this many slices

struct UnitCircle {
    int slices = 0;
    double sin[kMaxSlices + 1];
    double cos[kMaxSlices + 1];
};

// Box filter of GLU's image scaler for one-byte components: each output pixel averages the
// input area it covers, edge pixels weighted by the part inside.
void scaleImage(int components, int widthIn, int heightIn, const uint8_t* in, int rowSize,
                int widthOut, int heightOut, uint8_t* out) {
    const float convY = static_cast<float>(heightIn) / heightOut;
    const float convX = static_cast<float>(widthIn) / widthOut;
    const int convYInt = static_cast<int>(std::floor(convY));
    const float convYFloat = convY - convYInt;
    const int convXInt = static_cast<int>(std::floor(convX));
    const float convXFloat = convX - convXInt;
    const float area = convX * convY;
    const int group = components;

    // Edge pixels may name a column or row just past the image with a weight of zero.
    auto texel = [&](int x, int y, int k) -> float {
        x = std::min(x, widthIn - 1);
        y = std::min(y, heightIn - 1);
        return in[y * rowSize + x * group + k];
    };

    int lowYInt = 0;
    float lowYFloat = 0;
    int highYInt = convYInt;
    float highYFloat = convYFloat;
    for (int i = 0; i < heightOut; ++i) {
        if (highYInt >= heightIn) highYInt = heightIn - 1;  // never read past the image
        int lowXInt = 0;
        float lowXFloat = 0;
        int highXInt = convXInt;
        float highXFloat = convXFloat;
        for (int j = 0; j < widthOut; ++j) {
            float totals[4] = {0, 0, 0, 0};
            for (int k = 0; k < components; ++k) {
                float& total = totals[k];
                if (highYInt > lowYInt && highXInt > lowXInt) {
                    float yPercent = 1 - lowYFloat;
                    total += texel(lowXInt, lowYInt, k) * (yPercent * (1 - lowXFloat));
                    for (int l = lowXInt + 1; l < highXInt; ++l) total += texel(l, lowYInt, k) * yPercent;
                    total += texel(highXInt, lowYInt, k) * (yPercent * highXFloat);
                    yPercent = highYFloat;
                    total += texel(lowXInt, highYInt, k) * (yPercent * (1 - lowXFloat));
                    for (int l = lowXInt + 1; l < highXInt; ++l) total += texel(l, highYInt, k) * yPercent;
                    total += texel(highXInt, highYInt, k) * (yPercent * highXFloat);
                    for (int m = lowYInt + 1; m < highYInt; ++m) {
                        total += texel(lowXInt, m, k) * (1 - lowXFloat) + texel(highXInt, m, k) * highXFloat;
                    }
                } else if (highYInt > lowYInt) {
                    const float xPercent = highXFloat - lowXFloat;
                    total += texel(lowXInt, lowYInt, k) * ((1 - lowYFloat) * xPercent);
                    for (int m = lowYInt + 1; m < highYInt; ++m) total += texel(lowXInt, m, k) * xPercent;
                    total += texel(lowXInt, highYInt, k) * (xPercent * highYFloat);
                } else if (highXInt > lowXInt) {
                    const float yPercent = highYFloat - lowYFloat;
                    total += texel(lowXInt, lowYInt, k) * ((1 - lowXFloat) * yPercent);
                    for (int l = lowXInt + 1; l < highXInt; ++l) total += texel(l, lowYInt, k) * yPercent;
                    total += texel(highXInt, lowYInt, k) * (yPercent * highXFloat);
                } else {
                    total += texel(lowXInt, lowYInt, k) *
                             ((highYFloat - lowYFloat) * (highXFloat - lowXFloat));
                }
                for (int m = lowYInt + 1; m < highYInt; ++m) {
                    for (int l = lowXInt + 1; l < highXInt; ++l) total += texel(l, m, k);
                }
            }
            for (int k = 0; k < components; ++k) {
                out[(j + i * widthOut) * components + k] = static_cast<uint8_t>(totals[k] / area);
            }
            lowXInt = highXInt;
            lowXFloat = highXFloat;
            highXInt += convXInt;
            highXFloat += convXFloat;
            if (highXFloat > 1) {
                highXFloat -= 1.0f;
                ++highXInt;
            }
        }
        lowYInt = highYInt;
        lowYFloat = highYFloat;
        highYInt += convYInt;
        highYFloat += convYFloat;
        if (highYFloat > 1) {
            highYFloat -= 1.0f;
            ++highYInt;
        }
    }
}

}  // namespace

void sliceAngles(int slices, double* sin, double* cos) {
    for (int i = 0; i < slices; ++i) {
        const float angle = static_cast<float>(2 * kPi * i / slices);
        sin[i] = std::sin(static_cast<double>(angle));
        cos[i] = std::cos(static_cast<double>(angle));
    }
    sin[slices] = sin[0];
    cos[slices] = cos[0];
}

int cylinderStrips(double baseRadius, double topRadius, double height, int slices, int stacks,
                   bool textured, std::vector<CylinderVertex>& out) {
    out.clear();
    if (slices >= kMaxSlices + 1) slices = kMaxSlices;
    if (slices < 2 || stacks < 1 || baseRadius < 0.0 || topRadius < 0.0 || height < 0.0) return 0;
    const float deltaRadius = static_cast<float>(baseRadius - topRadius);
    const float length = static_cast<float>(std::sqrt(deltaRadius * deltaRadius + height * height));
    if (length == 0.0f) return 0;

    // A frame draws thousands of cones of the same slice count: their circle is worked out once.
    static UnitCircle circle;
    if (circle.slices != slices) {
        circle.slices = slices;
        sliceAngles(slices, circle.sin, circle.cos);
    }
    const float zNormal = deltaRadius / length;
    const float xyNormalRatio = static_cast<float>(height / length);

    for (int j = 0; j < stacks; ++j) {
        const float zLow = static_cast<float>(j * height / stacks);
        const float zHigh = static_cast<float>((j + 1) * height / stacks);
        const float radiusLow =
            static_cast<float>(baseRadius - deltaRadius * (static_cast<float>(j) / stacks));
        const float radiusHigh =
            static_cast<float>(baseRadius - deltaRadius * (static_cast<float>(j + 1) / stacks));
        const float tLow = textured ? static_cast<float>(j) / stacks : 0.0f;
        const float tHigh = textured ? static_cast<float>(j + 1) / stacks : 0.0f;
        for (int i = 0; i <= slices; ++i) {
            const float s = textured ? 1 - static_cast<float>(i) / slices : 0.0f;
            const float sinA = static_cast<float>(circle.sin[i]);
            const float cosA = static_cast<float>(circle.cos[i]);
            const float sinNormal = static_cast<float>(xyNormalRatio * circle.sin[i]);
            const float cosNormal = static_cast<float>(xyNormalRatio * circle.cos[i]);
            out.push_back({{sinNormal, cosNormal, zNormal}, {s, tLow}, {radiusLow * sinA, radiusLow * cosA, zLow}});
            out.push_back({{sinNormal, cosNormal, zNormal}, {s, tHigh}, {radiusHigh * sinA, radiusHigh * cosA, zHigh}});
        }
    }
    return stacks;
}

// The power of two nearest to side, as GLU picks it (3 goes up to 4, 6 up to 8, 5 down to 4).
int mipmapSide(int side) {
    if (side <= 0) return -1;
    unsigned value = static_cast<unsigned>(side);
    int power = 1;
    for (;;) {
        if (value == 1) return power;
        if (value == 3) return power * 4;
        value >>= 1;
        power *= 2;
    }
}

std::vector<uint8_t> mipmapBaseLevel(int width, int height, const uint8_t* rgbRows, int* baseWidth,
                                     int* baseHeight) {
    constexpr int kComponents = 3;
    const int rowSize = (width * kComponents + 3) / 4 * 4;
    const int newWidth = mipmapSide(width);
    const int newHeight = mipmapSide(height);
    *baseWidth = newWidth;
    *baseHeight = newHeight;
    std::vector<uint8_t> out(static_cast<size_t>(newWidth) * newHeight * kComponents);
    if (newWidth == width && newHeight == height) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = rgbRows + static_cast<size_t>(y) * rowSize;
            std::copy(row, row + width * kComponents, out.begin() + static_cast<size_t>(y) * width * kComponents);
        }
    } else {
        scaleImage(kComponents, width, height, rgbRows, rowSize, newWidth, newHeight, out.data());
    }
    return out;
}

}  // namespace fixedgl
