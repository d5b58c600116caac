// The page's way to keep, share and open sketches: the program writes and reads them, the page
// only stores and carries the text. Every way in goes through the one reader.

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/state.h"
#include "sketch/png_text.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"

namespace {
std::string text;     // the last sketch written
std::string why;      // why the last call failed
std::vector<std::uint8_t> picture;

// Start-up makes the quadric last: before that there is no scene to keep.
bool sceneMade() { return quadric != nullptr; }

// Quitting ends the program at once; the page keeps the sketch as it was at the end.
void keepAtEnd() {
    if (!sceneMade() || !sketchToText(captureSketch(), text, why)) return;
    EM_ASM({ if (Module.onSketchAtEnd) Module.onSketchAtEnd(UTF8ToString($0)); }, text.c_str());
}

[[maybe_unused]] const bool keepsAtEnd = std::atexit(keepAtEnd) == 0;
}  // namespace

extern "C" {

// The sketch now, as text, or null (the reason in frimel_sketch_why).
EMSCRIPTEN_KEEPALIVE const char* frimel_sketch_text() {
    if (!sceneMade()) {
        why = "Frimel has not started";
        return nullptr;
    }
    return sketchToText(captureSketch(), text, why) ? text.c_str() : nullptr;
}

EMSCRIPTEN_KEEPALIVE const char* frimel_sketch_why() { return why.c_str(); }

// Opens a link, a sketch's text, a saved picture or a sketch file in place of the scene; 0, with
// the reason, leaves everything as it was.
EMSCRIPTEN_KEEPALIVE int frimel_sketch_open(const std::uint8_t* data, int size) {
    Sketch sketch;
    if (!sceneMade()) {
        why = "Frimel has not started";
        return 0;
    }
    if (size < 0 || !sketchFromFile(data, static_cast<std::size_t>(size), sketch, why)) return 0;
    applySketch(sketch);
    return 1;
}

// The PNG with the sketch now in its text chunk, or null; its size in frimel_sketch_picture_size.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* frimel_sketch_picture(const std::uint8_t* png, int size) {
    if (frimel_sketch_text() == nullptr) return nullptr;
    if (size < 0 || !withPngText(png, static_cast<std::size_t>(size), kSketchPngKeyword, text, picture)) {
        why = "the picture is not a PNG file";
        return nullptr;
    }
    return picture.data();
}

EMSCRIPTEN_KEEPALIVE int frimel_sketch_picture_size() { return static_cast<int>(picture.size()); }

}  // extern "C"
