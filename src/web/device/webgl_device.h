#pragma once

// The one owner of every WebGL object the layer makes: the shader programs, vertex arrays,
// buffers, textures and the frame's fence, all in DeviceObjects. They are made in one place, on
// first use (every caller runs after glutCreateWindow made the context current), forgotten in one
// place when the context is lost, and made anew from the kept settings when it is restored. The
// renderer draws with them; the GL entry points reach the context only through here.

#include <webgl/webgl2.h>

#include <cstdint>
#include <vector>

#include "web/device/shader_programs.h"
#include "web/pipeline/cone_instances.h"
#include "web/pipeline/fixed_state.h"
#include "web/pipeline/shading.h"

namespace webgl {

// A variant of the cones' shader, made on first use (the one crystals are drawn with is started
// with the device), and the look its uniforms hold now.
struct ConeProgram {
    PendingProgram pending;
    GLuint name = 0;
    bool failed = false;
    GLint at[fixedgl::kConeUniforms] = {};  // each look uniform's location, in coneUniforms' order
    fixedgl::ConeLook set;
    bool lookSet = false;
};

struct DeviceObjects {
    // The triangles' way: one program, one vertex array of corners.
    PendingProgram trianglesPending;  // until the first draw has asked whether it built
    GLuint trianglesProgram = 0;
    GLuint trianglesArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    // The cones' way: a vertex array of no attributes (the shader fetches all it needs), the
    // index buffer and what it holds (lists often repeat it), and the instances' texture.
    ConeProgram cones[fixedgl::kConeShaderVariants];
    GLuint conesArray = 0;
    GLuint coneIndexBuffer = 0;
    std::vector<std::uint32_t> coneIndicesHeld;
    GLuint coneInstances = 0;
    // Textures: one texel of white, bound while texturing is off (modulating by it leaves the
    // colour as it is), and the WebGL object of each of the program's texture names.
    GLuint white = 0;
    std::vector<GLuint> textures;
    GLsync frameDrawn = nullptr;  // signalled once the graphics have drawn the last big frame
    // What the context holds now, so a run changes only what differs.
    fixedgl::RasterState applied;
    bool stateKnown = false;
    GLuint boundTexture = 0;
};

// The device's objects, made on first use; null while the context is lost.
DeviceObjects* device();

// The triangles' program, waiting for the graphics to build it if they have not yet; 0 if it
// does not build. Called before the first frame too, so that its draw does not wait.
GLuint trianglesProgram();
// A variant of the cones' program with its fixed uniforms set, or null if it does not build.
ConeProgram* coneProgram(int variant);
// Sets the context's depth test, blending and texture for a draw.
void applyRaster(const fixedgl::RasterState& state);

// Settles, once, whether cones go by instances: `?cones=cpu` in the URL keeps them on the
// triangles' way, and so does a context that does not build their program, which this may wait
// for. Afterwards it only answers.
bool settleConeWay();

// A fence after a frame bigger than one list, and whether the graphics have finished drawing
// it: a slow renderer may still be drawing such a frame long after its calls were made.
void fenceFrame(bool big);
bool lastFrameDrawn();

// Texture names are the program's own integers; each gets a WebGL texture object of its own.
// Format and type use GL's values; alignment is the unpack row alignment of the pixels. A level
// reaches the context when a draw first samples its texture.
void uploadTexture(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
                   unsigned type, const void* pixels, int alignment);
void setTextureParameter(unsigned name, unsigned pname, int value);

void clear(unsigned mask);
void clearColour(float r, float g, float b, float a);
void viewport(int x, int y, int width, int height);
void blendFunction(unsigned source, unsigned destination);
void finish();

}  // namespace webgl
