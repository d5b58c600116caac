// The page's "Save 3-D model": the program makes the file from its own scene, the page only
// downloads it. Nothing is sent anywhere.

#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/state.h"
#include "sketch/model_export.h"

namespace {
std::vector<std::uint8_t> model;
std::string why, note;
}  // namespace

extern "C" {

// format 0: glTF binary for viewing; 1: 3MF and 2: STL for printing, the longest part mm long,
// with a hanging loop on each crystal when loops is 1. The file, or null with the reason in
// frimel_model_why; its size in frimel_model_size, and anything the user should know of it in
// frimel_model_note.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* frimel_model(int format, double mm, int loops) {
    model.clear();
    note.clear();
    if (quadric == nullptr) {
        why = "Frimel has not started";
        return nullptr;
    }
    if (format < 0 || format > 2 || (loops != 0 && loops != 1)) {
        why = "no such model";
        return nullptr;
    }
    PrintSettings settings;
    settings.longestMm = mm;
    settings.hangingLoops = loops == 1;
    const ModelFormat formats[] = {ModelFormat::Glb, ModelFormat::ThreeMf, ModelFormat::Stl};
    if (!makeSceneModel(formats[format], settings, model, why, note)) return nullptr;
    return model.data();
}

EMSCRIPTEN_KEEPALIVE int frimel_model_size() { return static_cast<int>(model.size()); }
EMSCRIPTEN_KEEPALIVE const char* frimel_model_why() { return why.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* frimel_model_note() { return note.c_str(); }

}  // extern "C"
