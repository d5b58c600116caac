// The instanced cones' side of the WebGL backend: their shader program, the buffer their
// instances go in, and the choice, once at start-up, of whether cones go this way at all.

#include <emscripten.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstddef>
#include <cstdio>

#include "web/cone_instances.h"
#include "web/webgl_backend.h"

namespace webgl {
namespace {
struct ConeDrawing {
    bool chosen = false;  // the way was decided
    bool byInstances = false;
    GLuint program = 0;
    GLuint vertexArray = 0;
    GLuint instanceBuffer = 0;
    GLint at[fixedgl::kConeUniforms] = {};  // each look uniform's location, in coneUniforms' order
};

ConeDrawing drawing;

// `?cones=cpu` keeps the cones on the triangles' way, for comparison and for a browser whose
// graphics fail this one.
EM_JS(int, conesAskedOnCpu, (), {
    return new URLSearchParams(location.search).get('cones') === 'cpu' ? 1 : 0;
});

GLuint compiled(GLenum kind, const char* source) {
    const GLuint shader = emscripten_glCreateShader(kind);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "the cones' shader does not compile: %s\n", log);
        emscripten_glDeleteShader(shader);
        return 0;
    }
    return shader;
}

bool buildProgram() {
    ConeDrawing& d = drawing;
    const GLuint vertex = compiled(GL_VERTEX_SHADER, fixedgl::kConeVertexShader);
    const GLuint fragment = compiled(GL_FRAGMENT_SHADER, fixedgl::kFlatFragmentShader);
    if (!vertex || !fragment) return false;
    d.program = emscripten_glCreateProgram();
    emscripten_glAttachShader(d.program, vertex);
    emscripten_glAttachShader(d.program, fragment);
    emscripten_glLinkProgram(d.program);
    emscripten_glDeleteShader(vertex);
    emscripten_glDeleteShader(fragment);
    GLint ok = 0;
    emscripten_glGetProgramiv(d.program, GL_LINK_STATUS, &ok);
    if (!ok) return false;
    emscripten_glUseProgram(d.program);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(d.program, "picture"), 0);
    fixedgl::ConeUniform names[fixedgl::kConeUniforms];
    fixedgl::coneUniforms(fixedgl::ConeLook(), names);
    for (int i = 0; i < fixedgl::kConeUniforms; ++i) d.at[i] = emscripten_glGetUniformLocation(d.program, names[i].name);
    const fixedgl::ConeUniform circle = fixedgl::coneCircleUniform();
    emscripten_glUniform2fv(emscripten_glGetUniformLocation(d.program, circle.name), circle.count, circle.values);
    return true;
}

void buildVertexArray() {
    ConeDrawing& d = drawing;
    emscripten_glGenVertexArrays(1, &d.vertexArray);
    emscripten_glBindVertexArray(d.vertexArray);
    emscripten_glGenBuffers(1, &d.instanceBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.instanceBuffer);
    for (GLuint attribute = 0; attribute < 4; ++attribute) {
        emscripten_glEnableVertexAttribArray(attribute);
        emscripten_glVertexAttribDivisor(attribute, 1);
    }
}

// The runs' instances start at `first`: WebGL 2 has no base instance, so the attributes move.
void pointAttributesAt(std::size_t first) {
    const GLsizei stride = sizeof(fixedgl::ConeInstance);
    const std::size_t start = first * sizeof(fixedgl::ConeInstance);
    for (GLuint attribute = 0; attribute < 4; ++attribute) {
        const std::size_t offset = start + attribute * 4 * sizeof(float);
        emscripten_glVertexAttribPointer(attribute, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
    }
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

void setLook(const fixedgl::ConeLook& look) {
    fixedgl::ConeUniform uniforms[fixedgl::kConeUniforms];
    fixedgl::coneUniforms(look, uniforms);
    for (int i = 0; i < fixedgl::kConeUniforms; ++i) setUniform(drawing.at[i], uniforms[i]);
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
    d.program = d.vertexArray = d.instanceBuffer = 0;  // a restored context has none of the old ones
    if (!buildProgram()) {
        std::fprintf(stderr, "cones are drawn as triangles\n");
        d.byInstances = false;
        return;
    }
    buildVertexArray();
}

bool conesByInstances() {
    if (!drawing.chosen) prepare();
    return drawing.byInstances;
}

void drawCones(fixedgl::ConeBatch& batch) {
    if (batch.instances.empty() || contextLost() || !drawing.byInstances) {
        fixedgl::emptyCones(batch);
        return;
    }
    prepare();
    ConeDrawing& d = drawing;
    emscripten_glUseProgram(d.program);
    emscripten_glBindVertexArray(d.vertexArray);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, d.instanceBuffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, batch.instances.size() * sizeof(fixedgl::ConeInstance),
                            batch.instances.data(), GL_STREAM_DRAW);
    for (const fixedgl::ConeRun& run : batch.runs) {
        if (run.count == 0) continue;
        applyRasterState(run.look.raster);
        setLook(run.look);
        pointAttributesAt(run.first);
        emscripten_glDrawArraysInstanced(GL_TRIANGLES, 0, fixedgl::kConeCorners, static_cast<GLsizei>(run.count));
        countDraw(run.count * fixedgl::kConeTriangles);
    }
    fixedgl::emptyCones(batch);
}

}  // namespace webgl

// Which way the cones go, for the page's tests and benches: 1 by instances, 0 as triangles.
extern "C" int frimel_cones_by_instances() { return webgl::conesByInstances() ? 1 : 0; }
