#pragma once

// The WebGL 2 side of the browser's GL layer: one shader program and one vertex buffer draw the
// triangles the fixed pipeline collected, and the few calls that go straight to the context.
// Everything here needs the context glutCreateWindow made current.

#include <cstddef>

#include "web/cone_instances.h"
#include "web/fixed_pipeline.h"

namespace webgl {

// Draws the batch run by run, in order, then empties it.
void drawBatch(fixedgl::FrameBatch& batch);

// Makes the context's objects on first use (and again after a restore).
void prepare();
// A shader program whose compiling and linking the graphics do while the page goes on: nothing
// waits for them until finishProgram asks.
struct PendingProgram {
    unsigned program = 0;
    unsigned shaders[2] = {0, 0};
};
PendingProgram startProgram(const char* vertexSource, const char* fragmentSource);
// The program, once built, or 0 (the logs printed) when it does not build; the pending one is
// emptied either way.
unsigned finishProgram(PendingProgram& pending);
bool contextLost();
// Waits for the triangles' program to build, if it is still pending; called before the first
// frame, so that its draw does not wait, and by every draw (a restore builds it anew).
void finishTrianglesProgram();
// Sets the context's depth test, blending and texture for a draw; counts a draw of the frame.
void applyRasterState(const fixedgl::RasterState& state);
void countDraw(std::size_t triangles);

// The cones' way (webgl_cones.cpp): chosen once, at the first preparing, from the URL and from
// whether the context builds their program; made again after a restore.
void buildConeDrawing();
bool conesByInstances();
void drawCones(fixedgl::ConeBatch& batch);

// Closes a frame at the buffer swap: its draw count becomes the last frame's.
void endFrame();
int drawCallsLastFrame();

// Whether the graphics have finished drawing the last frame, when it was bigger than one batch:
// a slow renderer may still be drawing such a frame long after its calls were made.
bool lastFrameDrawn();

// How the toolkit has the scene drawn again, as a restored context shows nothing until then.
void onRedrawNeeded(void (*redraw)());

// Texture names are the program's own integers; each gets a WebGL texture object of its own.
// Format and type use GL's values; alignment is the unpack row alignment of the pixels.
void uploadTexture(unsigned name, int level, int internalFormat, int width, int height,
                   unsigned format, unsigned type, const void* pixels, int alignment);
void setTextureParameter(unsigned name, unsigned pname, int value);

void clear(unsigned mask);
void clearColour(float r, float g, float b, float a);
void viewport(int x, int y, int width, int height);
void blendFunction(unsigned source, unsigned destination);
void finish();

}  // namespace webgl
