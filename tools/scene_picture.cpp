// Draws a scene script as the desktop program shows it, to hold the browser's picture against.
// Starts Frimel's window as the tests do, replays the script, draws one more frame and writes
// the window as a binary PPM, rows top first.
//
// Usage, from the folder holding the bitmaps (build/data), on an X display:
//   scene_picture SCRIPT_FILE OUT.ppm

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "support/test_window.h"
#include "scenes/scene_script.h"

namespace {
constexpr int kSide = 600;

bool readFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    return true;
}

// rgb holds rows bottom first, as glReadPixels returns them.
bool writePpm(const char* path, const std::vector<uint8_t>& rgb, int width, int height) {
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) return false;
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    bool written = true;
    for (int row = height - 1; row >= 0 && written; --row) {
        written = std::fwrite(rgb.data() + row * rowBytes, 1, rowBytes, out) == rowBytes;
    }
    return std::fclose(out) == 0 && written;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scene_picture SCRIPT_FILE OUT.ppm\n");
        return 2;
    }
    std::string script;
    if (!readFile(argv[1], script)) {
        std::fprintf(stderr, "scene_picture: cannot read %s\n", argv[1]);
        return 1;
    }
    startFrimelWindow();
    if (windowWidth != kSide || windowHeight != kSide) {
        std::fprintf(stderr, "scene_picture: the window is %dx%d, not %dx%d\n", windowWidth,
                     windowHeight, kSide, kSide);
        return 1;
    }
    const bool replayed = replayScene(script.c_str());
    const std::vector<uint8_t> rgb = drawAndReadFrame();
    if (!writePpm(argv[2], rgb, windowWidth, windowHeight)) {
        std::fprintf(stderr, "scene_picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return replayed ? 0 : 1;
}
