#pragma once

// The browser build's OpenGL state: one process-wide fixed-function state and draw list that the
// GL and GLU entry points feed and the renderer draws.

#include "web/pipeline/draw_list.h"
#include "web/pipeline/fixed_state.h"

namespace webgl {

fixedgl::FixedState& glState();
fixedgl::DrawList& drawList();

// Issues what the draw list holds, so what follows cannot overtake it: every call that reaches
// the context directly comes after this.
void drawPending();
// Draws the list once it is full, so a frame of any size needs no more memory than a full list.
void drawIfFull();

}  // namespace webgl
