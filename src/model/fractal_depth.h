#pragma once

// The fractal thresholds that keys 1 to 4 set, shallowest first (the Fractal Depth entries set
// the first three): a branch subdivides while its size is above the threshold.
constexpr int kFractalDepths = 4;
constexpr float kFractalThresholds[kFractalDepths] = {0.49f, 0.24f, 0.12f, 0.06f};

// The depth, 0 to 3, whose threshold this is exactly; -1 for any other value.
constexpr int fractalDepthOf(float threshold) {
    for (int depth = 0; depth < kFractalDepths; ++depth) {
        if (threshold == kFractalThresholds[depth]) return depth;
    }
    return -1;
}
