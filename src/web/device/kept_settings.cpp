#include "web/device/kept_settings.h"

#include <webgl/webgl1.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace webgl {
namespace {
// Bytes of an image as glTexImage2D reads it: rows padded to the unpack alignment.
std::size_t imageBytes(int width, int height, unsigned format, int alignment) {
    std::size_t components = 4;
    switch (format) {
    case GL_ALPHA: case GL_LUMINANCE: components = 1; break;
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB: components = 3; break;
    default: break;
    }
    const std::size_t a = static_cast<std::size_t>(alignment);
    const std::size_t row = (static_cast<std::size_t>(width) * components + a - 1) / a * a;
    return row * static_cast<std::size_t>(height);
}
}  // namespace

void KeptSettings::keepLevel(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
                             unsigned type, const void* pixels, int alignment) {
    KeptLevel l{name, level, internalFormat, width, height, format, type, alignment, {}};
    if (pixels) {
        const auto* bytes = static_cast<const unsigned char*>(pixels);
        l.pixels.assign(bytes, bytes + imageBytes(width, height, format, alignment));
    }
    auto same = [&](const KeptLevel& k) { return k.name == name && k.level == level; };
    auto at = std::find_if(levels.begin(), levels.end(), same);
    KeptLevel& stored = at == levels.end() ? levels.emplace_back() : *at;
    stored = std::move(l);
}

void KeptSettings::keepParameter(unsigned name, unsigned pname, int value) {
    auto same = [&](const KeptParameter& k) { return k.name == name && k.pname == pname; };
    auto at = std::find_if(parameters.begin(), parameters.end(), same);
    const KeptParameter p{name, pname, value};
    if (at == parameters.end()) {
        parameters.push_back(p);
    } else {
        *at = p;
    }
}

void KeptSettings::keepClearColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    std::memcpy(clearColour, colour, sizeof colour);
}

void KeptSettings::keepViewport(int x, int y, int width, int height) {
    const int box[4] = {x, y, width, height};
    std::memcpy(viewport, box, sizeof box);
    viewportSet = true;
}

void KeptSettings::keepBlendFunction(unsigned source, unsigned destination) {
    blendSource = source;
    blendDestination = destination;
}

}  // namespace webgl
