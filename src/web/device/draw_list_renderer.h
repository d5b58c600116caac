#pragma once

// The one renderer: draws a draw list's runs, triangles and cones, in the order they were sent,
// with the device's objects, and counts the frame's draws.

#include "web/pipeline/draw_list.h"

namespace webgl {

// Draws the list, then empties it. A lost context draws nothing.
void render(fixedgl::DrawList& list);

// Closes a frame at the buffer swap: its draw count becomes the last frame's, and a frame bigger
// than one list gets a fence, which the device's lastFrameDrawn asks after.
void endFrame();
int drawCallsLastFrame();

}  // namespace webgl
