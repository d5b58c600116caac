#include "web/context_keeping.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace webgl {
namespace {
constexpr GLenum kClamp = 0x2900;  // GL_CLAMP, which WebGL lacks

struct KeptLevel {
    unsigned name;
    int level, internalFormat, width, height;
    unsigned format, type;
    int alignment;
    std::vector<unsigned char> pixels;  // empty when the level was only allocated
    bool sent = false;  // the context has it
};

struct KeptParameter {
    unsigned name, pname;
    int value;
};

struct KeptSettings {
    std::vector<KeptLevel> levels;
    std::vector<KeptParameter> parameters;
    float clearColour[4] = {0, 0, 0, 0};
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    int viewport[4] = {0, 0, 0, 0};
    bool viewportSet = false;
};

KeptSettings kept;

// GL 1.1's component counts for the internal format; WebGL takes only format names.
GLint internalFormatName(int internalFormat) {
    switch (internalFormat) {
    case 1: return GL_LUMINANCE;
    case 2: return GL_LUMINANCE_ALPHA;
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return internalFormat;
    }
}

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

void sendLevel(const KeptLevel& l) {
    bindName(l.name);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, l.alignment);
    emscripten_glTexImage2D(GL_TEXTURE_2D, l.level, internalFormatName(l.internalFormat), l.width, l.height, 0,
                            l.format, l.type, l.pixels.empty() ? nullptr : l.pixels.data());
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}
}  // namespace

void keepLevel(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
               unsigned type, const void* pixels, int alignment) {
    KeptLevel l{name, level, internalFormat, width, height, format, type, alignment, {}};
    if (pixels) {
        const auto* bytes = static_cast<const unsigned char*>(pixels);
        l.pixels.assign(bytes, bytes + imageBytes(width, height, format, alignment));
    }
    auto same = [&](const KeptLevel& k) { return k.name == name && k.level == level; };
    auto at = std::find_if(kept.levels.begin(), kept.levels.end(), same);
    KeptLevel& stored = at == kept.levels.end() ? kept.levels.emplace_back() : *at;
    stored = std::move(l);
}

void keepParameter(unsigned name, unsigned pname, int value) {
    auto same = [&](const KeptParameter& k) { return k.name == name && k.pname == pname; };
    auto at = std::find_if(kept.parameters.begin(), kept.parameters.end(), same);
    const KeptParameter p{name, pname, value};
    if (at == kept.parameters.end()) {
        kept.parameters.push_back(p);
    } else {
        *at = p;
    }
}

void sendParameter(unsigned name, unsigned pname, int value) {
    bindName(name);
    emscripten_glTexParameteri(GL_TEXTURE_2D, pname, value == static_cast<int>(kClamp) ? GL_CLAMP_TO_EDGE : value);
}

void keepClearColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    std::memcpy(kept.clearColour, colour, sizeof colour);
}

void keepViewport(int x, int y, int width, int height) {
    const int box[4] = {x, y, width, height};
    std::memcpy(kept.viewport, box, sizeof box);
    kept.viewportSet = true;
}

void keepBlendFunction(unsigned source, unsigned destination) {
    kept.blendSource = source;
    kept.blendDestination = destination;
}

// Start-up then sends only what the first frame shows, in that frame's task, not all in main's.
void sendPendingLevels(unsigned name) {
    for (KeptLevel& level : kept.levels) {
        if (level.name != name || level.sent) continue;
        sendLevel(level);
        level.sent = true;
    }
}

void giveKeptAgain() {
    for (KeptLevel& level : kept.levels) level.sent = false;
    for (const KeptParameter& p : kept.parameters) sendParameter(p.name, p.pname, p.value);
    const float* c = kept.clearColour;
    emscripten_glClearColor(c[0], c[1], c[2], c[3]);
    emscripten_glBlendFunc(kept.blendSource, kept.blendDestination);
    if (kept.viewportSet) emscripten_glViewport(kept.viewport[0], kept.viewport[1], kept.viewport[2], kept.viewport[3]);
}

}  // namespace webgl
