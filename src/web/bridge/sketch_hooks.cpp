// The page's way to keep, share and open sketches: the program writes and reads them, the page
// only stores and carries the text. Every way in goes through the one reader.

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/state.h"
#include "model/crystal.h"
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

// The heap grows only up to its limit; there a string or a vector that cannot grow ends the
// program, where malloc only returns null. So the reader's work is asked for in one piece first.
bool roomFor(std::size_t bytes) {
    void* room = std::malloc(bytes);
    std::free(room);
    return room != nullptr;
}

// At most what reading a file of this size takes: a picture's text copied out, its bytes, and
// the objects they can hold, as read and as placed.
std::size_t openingCost(std::size_t size) {
    const std::size_t text = std::min(size, kMaxSketchText);
    const std::size_t objects = std::min<std::size_t>(text, kMaxSketchObjects);
    return 2 * text + objects * (sizeof(SketchObject) + sizeof(Crystal) + 4 * sizeof(void*));
}

constexpr const char* kNoRoom = "there is not enough memory left for it";
}  // namespace

extern "C" {

// From now on the end hands the page the sketch as it was (Module.onSketchAtEnd). Asked by the
// page once the program runs: what the end reads is made by then, so it is still there when the
// end comes, whatever order the program's parts were made in. Asking again changes nothing.
EMSCRIPTEN_KEEPALIVE void frimel_sketch_keep_at_end() {
    static const bool keeping = std::atexit(keepAtEnd) == 0;
    static_cast<void>(keeping);
}

// The sketch now, as text, or null (the reason in frimel_sketch_why).
EMSCRIPTEN_KEEPALIVE const char* frimel_sketch_text() {
    if (!sceneMade()) {
        why = "Frimel has not started";
        return nullptr;
    }
    return sketchToText(captureSketch(), text, why) ? text.c_str() : nullptr;
}

EMSCRIPTEN_KEEPALIVE const char* frimel_sketch_why() { return why.c_str(); }

// The longest sketch text the reader reads: a longer file that is no picture is not copied in.
EMSCRIPTEN_KEEPALIVE int frimel_sketch_text_limit() { return static_cast<int>(kMaxSketchText); }

// Opens a link, a sketch's text, a saved picture or a sketch file in place of the scene; 0, with
// the reason, leaves everything as it was.
EMSCRIPTEN_KEEPALIVE int frimel_sketch_open(const std::uint8_t* data, int size) {
    Sketch sketch;
    if (!sceneMade()) {
        why = "Frimel has not started";
        return 0;
    }
    if (size < 0) return 0;
    if (!roomFor(openingCost(static_cast<std::size_t>(size)))) {
        why = kNoRoom;
        return 0;
    }
    if (!sketchFromFile(data, static_cast<std::size_t>(size), sketch, why)) return 0;
    applySketch(sketch);
    return 1;
}

// Reads a link, a sketch's text, a saved picture or a sketch file as opening would, and gives its
// text as the program writes it, or null (the reason in frimel_sketch_why); the scene stays as it
// is. The gallery keeps what comes from outside in this one form, so the same sketch is found
// whichever way it came.
EMSCRIPTEN_KEEPALIVE const char* frimel_sketch_read(const std::uint8_t* data, int size) {
    Sketch sketch;
    if (size < 0) return nullptr;
    if (!roomFor(openingCost(static_cast<std::size_t>(size)))) {
        why = kNoRoom;
        return nullptr;
    }
    if (!sketchFromFile(data, static_cast<std::size_t>(size), sketch, why)) return nullptr;
    return sketchToText(sketch, text, why) ? text.c_str() : nullptr;
}

// The PNG with the sketch now in its text chunk, or null; its size in frimel_sketch_picture_size.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* frimel_sketch_picture(const std::uint8_t* png, int size) {
    if (frimel_sketch_text() == nullptr) return nullptr;
    if (size >= 0 && !roomFor(static_cast<std::size_t>(size) + 2 * text.size())) {
        why = kNoRoom;
        return nullptr;
    }
    if (size < 0 || !withPngText(png, static_cast<std::size_t>(size), kSketchPngKeyword, text, picture)) {
        why = "the picture is not a PNG file";
        return nullptr;
    }
    return picture.data();
}

EMSCRIPTEN_KEEPALIVE int frimel_sketch_picture_size() { return static_cast<int>(picture.size()); }

}  // extern "C"
