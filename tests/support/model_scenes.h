#pragma once

#include "app/state.h"
#include "scenes/scene_script.h"

// Scenes whose models are checked: by the unit tests, and through the real readers (a slicer,
// admesh, Khronos's glTF validator) by tests/readers.

struct ModelScene {
    const char* name;
    const char* script;  // from a cleared, opaque scene, two arms a side, branching one level deep
    bool onePart;        // every object touches another
};

inline constexpr ModelScene kModelScenes[] = {
    {"drag", "key y; srand 3; press 150 330; move 175 330; move 200 325; hold 30; move 230 320; release 230 320", true},
    {"deep-hold", "key 4; key y; press 300 300; hold 160; release 300 300", true},
    {"chunks", "key u; srand 9; grid 5; settle", false},
    {"four-arms", "key d; key 3; key y; press 300 300; hold 60; release 300 300; press 200 340; hold 30; "
     "release 200 340", false},
};

// Replays a scene from that start; false when a command was not understood.
inline bool startModelScene(const char* script) {
    replayScene("release 0 0; key c; key o; key b; key b; key 2");
    if (armLayout == 0) replayScene("key d");  // two a side, which "key d" turns to four
    return replayScene(script);
}
