// Draws a sketch kept by Frimel's page as the desktop program would show it, at any size, into
// a PNG that carries the sketch too. Needs no display: Mesa draws off-screen.
//
//   frimel-picture SKETCH OUT.png [--size W[xH]] [--data DIR]
//   frimel-picture SKETCH OUT.glb|OUT.3mf|OUT.stl [--mm N] [--wall N] [--loops] [--data DIR]
//
// The output's extension chooses what is written: a picture, a glTF binary model for viewing, or
// a model for printing (3MF or STL) whose longest part is N mm long (80 by default), its cones at
// least the wall thick (0.8 mm), with a hanging loop on every crystal if asked.
//
// SKETCH is a link ("https://...#sketch=..."), a picture saved by the page, or a file holding a
// sketch or a link. The scene is drawn once it has come to rest, as the page shows it. The eight
// bitmaps are read from DIR, by default the installed ones.

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "app/reshape.h"
#include "app/startup.h"
#include "app/state.h"
#include "offscreen_gl.h"
#include "png_file.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "sketch/model_export.h"
#include "sketch/png_text.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"

namespace {
constexpr int kLargestSide = 16384;
constexpr int kFramesToRest = 20000;  // as many as a scene replayed by the benches may take

int usage() {
    std::fprintf(stderr,
                 "usage: frimel-picture SKETCH OUT.png [--size W[xH]] [--data DIR]\n"
                 "       frimel-picture SKETCH OUT.glb|OUT.3mf|OUT.stl [--mm N] [--wall N] [--loops] [--data DIR]\n");
    return 2;
}

bool parseMillimetres(const char* text, double& mm) {
    char* end = nullptr;
    mm = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// Written beside the target and renamed over it once whole, so a failed write leaves nothing half done.
bool writeWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    std::ofstream out(temporary, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int failure(const std::string& what) {
    std::fprintf(stderr, "frimel-picture: %s\n", what.c_str());
    return 1;
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool parseSize(const char* text, int& width, int& height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    long h = w;
    if (*end == 'x') h = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || w < 1 || h < 1 || w > kLargestSide || h > kLargestSide) return false;
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

bool readSketch(const std::string& source, Sketch& sketch, std::string& why) {
    std::vector<std::uint8_t> bytes;
    if (readFile(source, bytes)) return sketchFromFile(bytes.data(), bytes.size(), sketch, why);
    if (source.find("sketch=") != std::string::npos) return sketchFromText(source, sketch, why);
    why = "cannot read " + source;
    return false;
}

// Frames as the page draws them until the newest object rests. The size of the frame does not
// change how anything grows, so they are drawn tiny.
void growToRest() {
    reshape(16, 16);
    for (int frame = 0; frame < kFramesToRest && !(allGrown || crystals.empty()); ++frame) {
        composeFrame(drawCrystals);
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string source = argv[1];
    std::string output = argv[2];
    int width = 600;
    int height = 600;
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
        } else if (std::strcmp(argv[i], "--data") == 0) {
            data = argv[i + 1];
        } else {
            return usage();
        }
    }

    Sketch sketch;
    std::string why;
    if (!readSketch(source, sketch, why)) return failure(source + ": " + why);
    // The bitmaps are read by their bare names, from the folder that holds them.
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) == nullptr) return failure("cannot tell the current folder");
    if (output[0] != '/') output = std::string(here) + "/" + output;
    if (data.empty()) data = defaultDataFolder();
    if (chdir(data.c_str()) != 0) return failure("cannot enter the bitmap folder " + data);

    if (model) {
        if (!checkPrintSettings(print, why)) return failure(why);
        applySketch(sketch);
        std::vector<std::uint8_t> bytes;
        std::string note;
        if (!makeSceneModel(format, print, bytes, why, note)) return failure(why);
        if (!note.empty()) std::fprintf(stderr, "frimel-picture: %s\n", note.c_str());
        if (!writeWhole(output, bytes)) return failure("cannot write " + output);
        return 0;
    }

    if (!makeOffscreenPicture(width, height, why)) return failure(why);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    setUpDrawing();
    createQuadric();
    applySketch(sketch);
    growToRest();
    reshape(width, height);
    composeFrame(drawCrystals);
    const std::vector<std::uint8_t> png = encodePng(readOffscreenPicture(width, height), width, height);
    std::string text;
    std::vector<std::uint8_t> carrying;
    if (png.empty() || !sketchToText(captureSketch(), text, why) ||
        !withPngText(png.data(), png.size(), kSketchPngKeyword, text, carrying)) {
        return failure("the picture could not be made");
    }
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(carrying.data()), static_cast<std::streamsize>(carrying.size()));
    out.close();
    if (!out) return failure("cannot write " + output);
    return 0;
}
