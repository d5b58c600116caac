#pragma once

// The browser build's OpenGL state: one process-wide fixed pipeline that the GL and GLU entry
// points feed and the WebGL backend draws.

#include "web/cone_instances.h"
#include "web/fixed_pipeline.h"

namespace webgl {

fixedgl::PipelineState& pipeline();
// The cones recorded for drawing by instances, in order after the pipeline's triangles.
fixedgl::ConeBatch& coneBatch();

// Issues the triangles collected so far, so what follows cannot overtake them.
void drawPending();

}  // namespace webgl
