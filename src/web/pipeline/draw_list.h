#pragma once

// One ordered list of what a frame draws: runs of triangles (made by immediate mode) and runs of
// cones (drawn by the graphics card), each run with the state it is drawn under. One renderer
// draws the runs in the order they were sent, so no two queues have to be kept in step.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "web/pipeline/cone_instances.h"
#include "web/pipeline/fixed_state.h"

namespace fixedgl {

// One corner of the frame's triangles, ready for the rasterizer: clip coordinates, texture
// coordinate and the colour, in 8-bit channels, of the face whose triangle it ends. WebGL takes
// a flat colour from a triangle's last corner (the provoking vertex), so each face's colour is
// put on the corner that ends its triangles, and a corner that faces share is sent once.
struct OutVertex {
    float clip[4];
    float s, t;
    std::uint8_t rgba[4];
};

enum class RunKind { kTriangles, kCones };

struct DrawRun {
    RunKind kind = RunKind::kTriangles;
    RasterState raster;     // the triangles' state; a cone run's is its look's
    std::size_t look = 0;   // of DrawList::looks, for a run of cones
    std::size_t first = 0;  // of the kind's indices
    std::size_t count = 0;  // indices, three per triangle
};

// The list is drawn as soon as it holds this many triangles (or corners), or kListCones cones,
// so a huge frame needs no more memory than a small one.
constexpr std::size_t kListTriangles = 16384;

class DrawList {
public:
    // Opens a run of triangles under the state, or goes on with the last run when it is one.
    void openTriangles(const RasterState& state);
    // Counts what was appended to the open run's indices since it was opened.
    void closeRun();
    // Adds a cone; a run of cones is opened when the cone's look differs from the last run's,
    // which is compared only when the state's dirty bits say it may (they are cleared here).
    void addCone(FixedState& gl, double baseRadius, double topRadius, double height, bool textured);

    bool full() const;
    bool empty() const { return runs.empty(); }
    // Empties the list once drawn. Room far beyond a full list (left by a single huge primitive)
    // is given back, so one frame does not keep it for the rest of the session.
    void clear();
    // The texture rows the cones fill, the last padded out so that whole rows go up at once.
    int padConeRows();

    std::vector<OutVertex> vertices;        // the triangles' corners
    std::vector<std::uint32_t> indices;     // three corners a triangle, the last giving its colour
    std::vector<ConeInstance> cones;
    // The corners of the cones' triangles, cone after cone, in the strip's numbering that the
    // shader reads its vertex's number in: corners 2i, 2i+1, 2i+3 and 2i, 2i+3, 2i+2 for side i,
    // as the triangles' way sends them, less a pointed cone's first triangles, which cover
    // nothing. Nearly every cone of a crystal is pointed: this spares nearly half their triangles.
    std::vector<std::uint32_t> coneIndices;
    std::vector<ConeLook> looks;
    std::vector<DrawRun> runs;
};

}  // namespace fixedgl
