// The instanced cones' side of the WebGL backend: their shader program, the texture their
// instances go in, and the choice, once at start-up, of whether cones go this way at all.

#include <emscripten.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "web/cone_instances.h"
#include "web/webgl_backend.h"

namespace webgl {
namespace {
struct ConeDrawing {
    bool chosen = false;  // the way was decided
    bool byInstances = false;
    bool built = false;  // whether the context builds the way's program is known
    struct Program {
        PendingProgram pending;
        GLuint name = 0;
        bool failed = false;
        GLint at[fixedgl::kConeUniforms] = {};  // each look uniform's location, in coneUniforms' order
        fixedgl::ConeLook set;  // the look its uniforms hold
        bool lookSet = false;
    } programs[fixedgl::kConeShaderVariants];
    GLuint vertexArray = 0;  // of no attributes: the shader fetches all it needs
    GLuint indexBuffer = 0;
    std::vector<std::uint32_t> indicesHeld;  // what the index buffer holds: batches often repeat it
    GLuint instances = 0;                    // texture
};

ConeDrawing drawing;
constexpr int kInstanceUnit = 1;  // the picture's texture is on unit 0

// `?cones=cpu` keeps the cones on the triangles' way, for comparison and for a browser whose
// graphics fail this one.
EM_JS(int, conesAskedOnCpu, (), {
    return new URLSearchParams(location.search).get('cones') === 'cpu' ? 1 : 0;
});

// Made on first use (the one crystals are drawn with is started at start-up): a session of
// crystals needs only the lit, matte one.
void startConeProgram(int variant) {
    ConeDrawing::Program& p = drawing.programs[variant];
    p.pending = startProgram(fixedgl::coneVertexShader(variant).c_str(), fixedgl::kFlatFragmentShader);
}

ConeDrawing::Program* program(int variant) {
    ConeDrawing::Program& p = drawing.programs[variant];
    if (p.name != 0 || p.failed) return p.failed ? nullptr : &p;
    if (p.pending.program == 0) startConeProgram(variant);
    p.name = finishProgram(p.pending);
    if (p.name == 0) {
        p.failed = true;
        return nullptr;
    }
    emscripten_glUseProgram(p.name);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(p.name, "picture"), 0);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(p.name, "cones"), kInstanceUnit);
    fixedgl::ConeUniform names[fixedgl::kConeUniforms];
    fixedgl::coneUniforms(fixedgl::ConeLook(), names);
    for (int i = 0; i < fixedgl::kConeUniforms; ++i) p.at[i] = emscripten_glGetUniformLocation(p.name, names[i].name);
    const fixedgl::ConeUniform circle = fixedgl::coneCircleUniform();
    emscripten_glUniform2fv(emscripten_glGetUniformLocation(p.name, circle.name), circle.count, circle.values);
    return &p;
}

void buildVertexArrayAndTexture() {
    ConeDrawing& d = drawing;
    emscripten_glGenVertexArrays(1, &d.vertexArray);
    emscripten_glBindVertexArray(d.vertexArray);
    emscripten_glGenBuffers(1, &d.indexBuffer);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.indexBuffer);  // kept by the vertex array
    d.indicesHeld.clear();
    emscripten_glActiveTexture(GL_TEXTURE0 + kInstanceUnit);
    emscripten_glGenTextures(1, &d.instances);
    emscripten_glBindTexture(GL_TEXTURE_2D, d.instances);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, fixedgl::kConeTextureWidth, fixedgl::kConeTextureRows);
    emscripten_glActiveTexture(GL_TEXTURE0);
}

void setUniform(GLint location, const fixedgl::ConeUniform& u) {
    switch (u.components) {
    case 1: emscripten_glUniform1fv(location, u.count, u.values); break;
    case 2: emscripten_glUniform2fv(location, u.count, u.values); break;
    case 4: emscripten_glUniform4fv(location, u.count, u.values); break;
    case 16: emscripten_glUniformMatrix4fv(location, u.count, GL_FALSE, u.values); break;
    default: break;
    }
}

// Whether the run can be drawn: its variant of the shader is in use, with the look's uniforms.
bool useLook(const fixedgl::ConeLook& look) {
    ConeDrawing::Program* p = program(fixedgl::coneShaderVariant(look));
    if (!p) return false;
    emscripten_glUseProgram(p->name);
    if (p->lookSet && p->set == look) return true;  // most frames draw the look of the last
    p->set = look;
    p->lookSet = true;
    fixedgl::ConeUniform uniforms[fixedgl::kConeUniforms];
    fixedgl::coneUniforms(look, uniforms);
    for (int i = 0; i < fixedgl::kConeUniforms; ++i) setUniform(p->at[i], uniforms[i]);
    return true;
}
}  // namespace

void buildConeDrawing() {
    ConeDrawing& d = drawing;
    if (!d.chosen) {
        d.chosen = true;
        d.byInstances = !conesAskedOnCpu();
        if (!d.byInstances) return;
    } else if (!d.byInstances) {
        return;
    }
    for (ConeDrawing::Program& p : d.programs) p = ConeDrawing::Program();  // gone with a lost context
    d.vertexArray = d.indexBuffer = d.instances = 0;
    // The program crystals are drawn with decides whether this way works at all; it builds while
    // start-up goes on, and is asked for by the first cone.
    startConeProgram(fixedgl::kMatteCones);
    d.built = false;
    buildVertexArrayAndTexture();
}

bool conesByInstances() {
    ConeDrawing& d = drawing;
    if (!d.chosen) prepare();
    if (d.byInstances && !d.built && !contextLost()) {
        d.built = true;
        if (!program(fixedgl::kMatteCones)) {
            std::fprintf(stderr, "cones are drawn as triangles\n");
            d.byInstances = false;
        }
    }
    return d.byInstances;
}

void drawCones(fixedgl::ConeBatch& batch) {
    if (batch.instances.empty() || contextLost() || !drawing.byInstances) {
        fixedgl::emptyCones(batch);
        return;
    }
    prepare();
    ConeDrawing& d = drawing;
    emscripten_glBindVertexArray(d.vertexArray);
    const int rows = fixedgl::padToRows(batch);
    emscripten_glActiveTexture(GL_TEXTURE0 + kInstanceUnit);
    emscripten_glBindTexture(GL_TEXTURE_2D, d.instances);
    emscripten_glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, fixedgl::kConeTextureWidth, rows, GL_RGBA, GL_FLOAT,
                               batch.instances.data());
    emscripten_glActiveTexture(GL_TEXTURE0);
    // A frame's full batches of pointed cones all have the same triangles.
    if (batch.indices != d.indicesHeld) {
        emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, batch.indices.size() * sizeof(std::uint32_t),
                                batch.indices.data(), GL_STREAM_DRAW);
        d.indicesHeld.swap(batch.indices);
    }
    for (const fixedgl::ConeRun& run : batch.runs) {
        if (run.count == 0 || !useLook(run.look)) continue;
        applyRasterState(run.look.raster);
        emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.count), GL_UNSIGNED_INT,
                                  reinterpret_cast<const void*>(run.first * sizeof(std::uint32_t)));
        countDraw(run.count / 3);
    }
    fixedgl::emptyCones(batch);
}

}  // namespace webgl

// Which way the cones go, for the page's tests and benches: 1 by instances, 0 as triangles.
extern "C" int frimel_cones_by_instances() { return webgl::conesByInstances() ? 1 : 0; }
