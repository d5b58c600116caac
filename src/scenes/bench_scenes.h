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
};

#undef FRIMEL_FRESH_SCENE
