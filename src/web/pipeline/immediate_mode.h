#pragma once

// glBegin, glVertex and glEnd: each primitive becomes flat-shaded triangles in the draw list,
// lit per face as the fixed-function pipeline lights its provoking vertex, less the triangles
// that cannot light a pixel.

#include <vector>

#include "web/pipeline/draw_list.h"
#include "web/pipeline/fixed_state.h"

namespace fixedgl {

// A vertex as glVertex3f sent it, with the attributes current at that moment.
struct SentVertex {
    float position[3];
    float normal[3];
    float s, t;
    float colour[4];
};

class ImmediateMode {
public:
    void begin(unsigned primitive);
    // Records the vertex with the state's current normal, texture coordinate and colour.
    void vertex(const FixedState& gl, float x, float y, float z);
    // Turns the primitive into triangles appended to the list under the state's raster state.
    void end(const FixedState& gl, DrawList& list);

private:
    bool inPrimitive_ = false;
    unsigned primitive_ = 0;
    std::vector<SentVertex> sent_;
};

// Window coordinates of a clip-space point under the viewport, depth range [0, 1].
void windowCoordinates(const Viewport& viewport, const float clip[4], double out[3]);

}  // namespace fixedgl
