#include "web/device/draw_list_renderer.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstddef>
#include <cstdint>

#include "web/device/webgl_device.h"
#include "web/pipeline/shading.h"

namespace webgl {
namespace {
int drawCalls = 0;
int drawCallsThen = 0;  // of the last frame
std::size_t trianglesThisFrame = 0;

void uploadTriangles(DeviceObjects& o, const fixedgl::DrawList& list) {
    emscripten_glBindVertexArray(o.trianglesArray);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, o.vertexBuffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, list.vertices.size() * sizeof(fixedgl::OutVertex), list.vertices.data(),
                            GL_STREAM_DRAW);
    emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, list.indices.size() * sizeof(std::uint32_t), list.indices.data(),
                            GL_STREAM_DRAW);
}

void uploadCones(DeviceObjects& o, fixedgl::DrawList& list) {
    emscripten_glBindVertexArray(o.conesArray);
    const int rows = list.padConeRows();
    emscripten_glActiveTexture(GL_TEXTURE0 + fixedgl::kConeInstanceUnit);
    emscripten_glBindTexture(GL_TEXTURE_2D, o.coneInstances);
    emscripten_glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, fixedgl::kConeTextureWidth, rows, GL_RGBA, GL_FLOAT,
                               list.cones.data());
    emscripten_glActiveTexture(GL_TEXTURE0 + fixedgl::kPictureUnit);
    // A frame's full lists of pointed cones all have the same triangles.
    if (list.coneIndices != o.coneIndicesHeld) {
        emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, list.coneIndices.size() * sizeof(std::uint32_t),
                                list.coneIndices.data(), GL_STREAM_DRAW);
        o.coneIndicesHeld.swap(list.coneIndices);
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

// Whether a run of cones can be drawn: its variant of the shader is in use, with the look's
// uniforms.
bool useLook(const fixedgl::ConeLook& look) {
    ConeProgram* p = coneProgram(fixedgl::coneShaderVariant(look));
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

void draw(const fixedgl::DrawRun& run) {
    applyRaster(run.raster);
    emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.count), GL_UNSIGNED_INT,
                              reinterpret_cast<const void*>(run.first * sizeof(std::uint32_t)));
    ++drawCalls;
    trianglesThisFrame += run.count / 3;
}
}  // namespace

void render(fixedgl::DrawList& list) {
    DeviceObjects* o = list.empty() ? nullptr : device();
    if (!o) {
        list.clear();
        return;
    }
    const GLuint triangles = list.vertices.empty() ? 0 : trianglesProgram();
    if (!list.vertices.empty()) uploadTriangles(*o, list);
    if (!list.cones.empty()) uploadCones(*o, list);
    bool trianglesBound = false;  // the triangles' program and vertex array are in use
    for (const fixedgl::DrawRun& run : list.runs) {
        if (run.count == 0) continue;
        if (run.kind == fixedgl::RunKind::kTriangles) {
            if (!trianglesBound) {
                emscripten_glUseProgram(triangles);
                emscripten_glBindVertexArray(o->trianglesArray);
                trianglesBound = true;
            }
            draw(run);
        } else if (useLook(list.looks[run.look])) {
            emscripten_glBindVertexArray(o->conesArray);
            trianglesBound = false;
            draw(run);
        }
    }
    list.clear();
}

void endFrame() {
    drawCallsThen = drawCalls;
    drawCalls = 0;
    fenceFrame(trianglesThisFrame > fixedgl::kListTriangles);
    trianglesThisFrame = 0;
}

int drawCallsLastFrame() { return drawCallsThen; }

}  // namespace webgl

extern "C" int frimel_draw_calls_last_frame() { return webgl::drawCallsLastFrame(); }
