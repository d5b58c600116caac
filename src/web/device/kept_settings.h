#pragma once

// What the context was given, kept to give it again once a lost context is restored: every
// texture level as uploaded, every texture parameter, and the few settings made once at start.
// Only data: the device records here what it is asked, and sends it from here.

#include <vector>

namespace webgl {

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
    unsigned blendSource = 1, blendDestination = 0;  // GL_ONE, GL_ZERO
    int viewport[4] = {0, 0, 0, 0};
    bool viewportSet = false;

    // A level replaces the one of the same texture and level; format and type use GL's values
    // and alignment is the unpack row alignment of the pixels.
    void keepLevel(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
                   unsigned type, const void* pixels, int alignment);
    void keepParameter(unsigned name, unsigned pname, int value);
    void keepClearColour(float r, float g, float b, float a);
    void keepViewport(int x, int y, int width, int height);
    void keepBlendFunction(unsigned source, unsigned destination);
};

}  // namespace webgl
