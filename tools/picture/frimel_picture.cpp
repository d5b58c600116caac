// Draws a sketch kept by Frimel's page as the desktop program would show it, at any size, into
// a PNG that carries the sketch too. Needs no display: Mesa draws off-screen.
//
//   frimel-picture SKETCH OUT.png [--size W[xH]] [--data DIR] [--frames N]
//   frimel-picture SKETCH OUT.glb|OUT.3mf|OUT.stl [--mm N] [--wall N] [--loops] [--data DIR]
//
// The output's extension chooses what is written: a picture, a glTF binary model for viewing, or
// a model for printing (3MF or STL) whose longest part is N mm long (80 by default), its cones at
// least the wall thick (0.8 mm), with a hanging loop on every crystal if asked.
//
// SKETCH is a link ("https://...#sketch=..."), a picture saved by the page, or a file holding a
// sketch or a link. The scene is drawn once it has come to rest, as the page shows it. The eight
// bitmaps are read from DIR, by default the installed ones. A scene grows for at most N frames
// (20000 by default, far more than any scene takes), and one that has not come to rest by then
// is drawn as it stands, with a line that says so.

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "app/reshape.h"
#include "app/startup.h"
#include "app/state.h"
#include "offscreen_gl.h"
#include "output_file.h"
#include "png_file.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "sketch/model_export.h"
#include "sketch/png_text.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"
#include "sketch_input.h"
#include "textures/textures.h"

namespace {
constexpr int kLargestSide = 16384;
constexpr int kFramesToRest = 20000;  // as many as a scene replayed by the benches may take

int usage() {
    std::fprintf(stderr,
                 "frimel-picture: usage: frimel-picture SKETCH OUT.png [--size W[xH]] [--data DIR] [--frames N], "
                 "or SKETCH OUT.glb|OUT.3mf|OUT.stl [--mm N] [--wall N] [--loops] [--data DIR]\n");
    return 2;
}

bool parseMillimetres(const char* text, double& mm) {
    char* end = nullptr;
    mm = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// Written beside the target and renamed over it once whole, so a failed write leaves nothing half done.
int failure(const std::string& what) {
    std::fprintf(stderr, "frimel-picture: %s\n", what.c_str());
    return 1;
}

// A model is made from the scene at rest, as the frame's own cones give it, and written whole
// beside the target like a picture.
int writeModel(const Sketch& sketch, ModelFormat format, const PrintSettings& print, const std::string& output) {
    applySketch(sketch);
    std::vector<std::uint8_t> bytes;
    std::string why, note;
    if (!makeSceneModel(format, print, bytes, why, note)) return failure(why);
    if (!note.empty()) std::fprintf(stderr, "frimel-picture: %s\n", note.c_str());
    NewFile file;
    if (!startNewFile(output, file, why)) return failure(why);
    if (!writeAll(file.fd, bytes.data(), bytes.size(), why)) {
        dropNewFile(file);
        return failure("cannot write " + output + ": " + why);
    }
    return finishNewFile(file, why) ? 0 : failure(why);
}

bool parseSize(const char* text, int& width, int& height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    long h = w;
    if (*end == 'x') h = std::strtol(end + 1, &end, 10);
    if (end == text || *end != '\0' || w < 1 || h < 1 || w > kLargestSide || h > kLargestSide) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Installed beside the program's bitmaps, or in the build tree beside data/.
std::string defaultDataFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return ".";
    const std::string here = folderOf(std::string(self, static_cast<std::size_t>(length)));
    for (const std::string& candidate : {here + "/../share/frimel", here + "/data"}) {
        if (access((candidate + "/background.bmp").c_str(), R_OK) == 0) return candidate;
    }
    return ".";
}

// The bitmaps are read by their bare names, from the folder that holds them.
bool enterDataFolder(const std::string& data, std::string& why) {
    if (chdir(data.c_str()) != 0) {
        why = "cannot enter the bitmap folder " + data + ": " + std::strerror(errno);
        return false;
    }
    for (const char* name : bitmapFileNames) {
        if (access(name, R_OK) != 0) {
            why = "the bitmap folder " + data + " has no readable " + name;
            return false;
        }
    }
    return true;
}

// The picture's pixels, taken before anything is drawn: a size the memory cannot hold is said
// plainly rather than ending the program.
std::unique_ptr<std::uint8_t[]> pictureMemory(int width, int height) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3;
    if (bytes > SIZE_MAX) return nullptr;
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
}

// Frames as the page draws them until the newest object rests. The size of the frame does not
// change how anything grows, so they are drawn tiny. False if it did not rest in time.
bool growToRest(int frames) {
    reshape(16, 16);
    for (int frame = 0; frame < frames; ++frame) {
        if (allGrown || crystals.empty()) return true;
        composeFrame(drawCrystals);
    }
    return allGrown || crystals.empty();
}

bool writePicture(const std::string& output, const std::uint8_t* rgb, int width, int height, std::string& why) {
    std::string text;
    if (!sketchToText(captureSketch(), text, why)) {
        why = "the scene drawn cannot be kept as a sketch: " + why;
        return false;
    }
    std::vector<std::uint8_t> textChunk;
    appendPngText(textChunk, kSketchPngKeyword, text);
    NewFile file;
    if (!startNewFile(output, file, why)) return false;
    if (!writePng(file.fd, rgb, width, height, textChunk, why)) {
        why = "cannot write " + output + ": " + why;
        dropNewFile(file);
        return false;
    }
    return finishNewFile(file, why);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string source = argv[1];
    std::string output = argv[2];
    int width = 600;
    int height = 600;
    int frames = kFramesToRest;
    std::string data;
    ModelFormat format = ModelFormat::Glb;
    const bool model = modelFormatOf(output, format);
    PrintSettings print;
    for (int i = 3; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--loops") == 0 && model) {
            print.hangingLoops = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) return usage();
        if (model && (std::strcmp(argv[i], "--mm") == 0 || std::strcmp(argv[i], "--wall") == 0)) {
            double& value = argv[i][2] == 'm' ? print.longestMm : print.wallMm;
            if (!parseMillimetres(argv[i + 1], value)) return failure(std::string(argv[i]) + " takes a number of mm");
        } else if (std::strcmp(argv[i], "--size") == 0 && !model) {
            if (!parseSize(argv[i + 1], width, height)) return failure("a size is W or WxH, from 1 to 16384");
        } else if (std::strcmp(argv[i], "--frames") == 0) {
            char* end = nullptr;
            const long n = std::strtol(argv[i + 1], &end, 10);
            if (end == argv[i + 1] || *end != '\0' || n < 0 || n > kFramesToRest) {
                return failure("frames are a number from 0 to " + std::to_string(kFramesToRest));
            }
            frames = static_cast<int>(n);
        } else if (std::strcmp(argv[i], "--data") == 0) {
            data = argv[i + 1];
        } else {
            return usage();
        }
    }

    // Everything that can be known before drawing is checked first: the sketch, where the
    // picture goes, the memory for it and the bitmaps.
    Sketch sketch;
    std::string why;
    if (model && !checkPrintSettings(print, why)) return failure(why);
    if (!readSketchArgument(source, sketch, why)) return failure(source + ": " + why);
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) == nullptr) return failure("cannot tell the current folder");
    if (output.empty()) return usage();
    if (output[0] != '/') output = std::string(here) + "/" + output;
    if (!checkOutput(output, why)) return failure(why);
    if (data.empty()) data = defaultDataFolder();
    if (!enterDataFolder(data, why)) return failure(why);
    if (model) return writeModel(sketch, format, print, output);
    const std::string picture = "cannot make a picture of " + std::to_string(width) + "x" + std::to_string(height);
    const std::unique_ptr<std::uint8_t[]> rgb = pictureMemory(width, height);
    if (rgb == nullptr) return failure(picture + ": not enough memory");

    if (!makeOffscreenPicture(width, height, why)) return failure(picture + ": " + why);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    setUpDrawing();
    createQuadric();
    applySketch(sketch);
    if (!growToRest(frames)) {
        std::fprintf(stderr, "frimel-picture: the scene did not come to rest in %d frames; drawn as it stands\n",
                     frames);
    }
    reshape(width, height);
    composeFrame(drawCrystals);
    readOffscreenPicture(width, height, rgb.get());
    if (!writePicture(output, rgb.get(), width, height, why)) return failure(why);
    return 0;
}
