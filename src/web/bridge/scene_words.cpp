// What is on the bank, for the page to put in words: the picture's description and what a
// command or a placement did. Read from the program's own state, never from the picture.

#include <emscripten.h>

#include <cstdio>
#include <string>

#include "app/commands.h"
#include "app/state.h"
#include "textures/textures.h"

namespace {
std::string summary;

const char* colourOf(int texture) {
    switch (texture) {
    case kWhiteIceTexture: return "white";
    case kBlueIceTexture: return "blue";
    case kRedIceTexture: return "red";
    case kGreenIceTexture: return "green";
    case kPurpleIceTexture: return "purple";
    default: return "other";
    }
}

// The depth keys' numbering: 1 for no branching, 4 for the deepest.
int depthNumber() {
    for (const char key : {'1', '2', '3', '4'}) {
        if (depthKeyThreshold(static_cast<unsigned char>(key)) == fractalThreshold) return key - '0';
    }
    return 0;
}

bool turned() {
    for (int i = 0; i < 16; ++i) {
        if (sceneRotation[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return true;
    }
    return false;
}

void add(const char* format, const char* name, const char* value) {
    char field[96];
    std::snprintf(field, sizeof field, format, name, value);
    summary += field;
}
}  // namespace

extern "C" {

// The scene as JSON: the objects in placing order (kind and colour of each, as "c:white" or
// "k:blue"), the mode, the ice, the snow, the settings for the next object, whether the scene is
// turned and whether the left button is held.
EMSCRIPTEN_KEEPALIVE const char* frimel_scene_summary() {
    summary = "{\"objects\":[";
    bool first = true;
    for (const Crystal* object : crystals) {
        summary += first ? "\"" : ",\"";
        summary += object->kind == 0 ? "c:" : "k:";
        summary += colourOf(object->texture);
        summary += '"';
        first = false;
    }
    summary += "]";
    add(",\"%s\":\"%s\"", "mode", rotateMode != 0 ? "rotate" : placeKind == 0 ? "crystals" : "chunks");
    add(",\"%s\":%s", "translucent", translucent != 0.0f ? "true" : "false");
    add(",\"%s\":%s", "surface", snowSurface != 0 ? "true" : "false");
    add(",\"%s\":\"%s\"", "colour", colourOf(crystalTexture));
    add(",\"%s\":%s", "sideArms", sideBranches ? "true" : "false");
    add(",\"%s\":%s", "fourASide", armLayout == 0 ? "true" : "false");
    add(",\"%s\":%s", "depth", std::to_string(depthNumber()).c_str());
    add(",\"%s\":%s", "turned", turned() ? "true" : "false");
    add(",\"%s\":%s}", "held", mouseDown ? "true" : "false");
    return summary.c_str();
}

}  // extern "C"
