#pragma once

// The frame bench's scenes as scene scripts (scenes/scene_script.h), shared by the desktop bench
// and the browser's, so both time the same scenes. Each starts from a cleared, unrotated,
// opaque scene branching one level deep, with a fixed random sequence, and ends at rest.

#include <cstddef>

struct BenchScene {
    const char* name;
    const char* script;
    std::size_t expectedObjects;
};

#define FRIMEL_FRESH_SCENE "key c; key y; key 2; srand 1; "

inline constexpr BenchScene kBenchScenes[] = {
    {"empty (backdrop, surface)", FRIMEL_FRESH_SCENE "settle", 0},
    {"placed 50", FRIMEL_FRESH_SCENE "grid 50; settle", 50},
    {"placed 100", FRIMEL_FRESH_SCENE "grid 100; settle", 100},
    {"placed 200", FRIMEL_FRESH_SCENE "grid 200; settle", 200},
    {"placed 400", FRIMEL_FRESH_SCENE "grid 400; settle", 400},
    {"stroke 30, threshold 0.24", FRIMEL_FRESH_SCENE "stroke 30 100; settle", 30},
    {"stroke 30, threshold 0.12", FRIMEL_FRESH_SCENE "key 3; stroke 30 100; settle", 30},
    {"crystals+chunks 200", FRIMEL_FRESH_SCENE "mixedgrid 200; settle", 200},
    // The costliest frames the cone bound lets in: one crystal, four arms a side, branching three
    // levels deep, held until the bound ends the hold and then as grown as it may rest; then
    // translucent and turned as well.
    {"held to the bound", FRIMEL_FRESH_SCENE "key 4; complexity 3; press 299 300; hold 4000; release 299 300; rest", 1},
    {"held to the bound, turned", FRIMEL_FRESH_SCENE "key 4; complexity 3; press 299 300; hold 4000; release 299 300; key t; key r; press 300 300; move 340 330; frames 1; move 360 300; frames 1; release 360 300; rest", 1},
};

#undef FRIMEL_FRESH_SCENE
