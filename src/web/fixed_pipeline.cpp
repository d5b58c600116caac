#include "web/fixed_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fixedgl {
namespace {
// GL's names for the light and material parameters.
enum : unsigned {
    kAmbient = 0x1200,
    kDiffuse = 0x1201,
    kSpecular = 0x1202,
    kPosition = 0x1203,
    kEmission = 0x1600,
    kShininess = 0x1601,
    kAmbientAndDiffuse = 0x1602,
};

std::vector<Mat4>& currentStack(PipelineState& gl) {
    return gl.matrixMode == kProjection ? gl.projection : gl.modelView;
}

void copy4(const float* from, float* to) { std::memcpy(to, from, 4 * sizeof(float)); }

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// Index of the vertex whose colour a flat-shaded face takes: the first of a polygon, the last
// of every other primitive's face.
struct Face {
    int corners[4];
    int count;
    int provoking;
};

void facesOf(unsigned primitive, int n, std::vector<Face>& faces) {
    faces.clear();
    switch (primitive) {
    case kPolygon:
        if (n >= 3) {
            Face f{{0, 0, 0, 0}, 0, 0};
            faces.push_back(f);  // corners filled by the caller: the polygon is a fan
        }
        break;
    case kQuadStrip:
        for (int i = 0; i + 3 < n; i += 2) faces.push_back(Face{{i, i + 1, i + 3, i + 2}, 4, i + 3});
        break;
    case kQuads:
        for (int i = 0; i + 3 < n; i += 4) faces.push_back(Face{{i, i + 1, i + 2, i + 3}, 4, i + 3});
        break;
    case kTriangles:
        for (int i = 0; i + 2 < n; i += 3) faces.push_back(Face{{i, i + 1, i + 2, 0}, 3, i + 2});
        break;
    default:
        break;
    }
}

std::uint8_t channel(float v) { return static_cast<std::uint8_t>(clamp01(v) * 255.0f + 0.5f); }

bool samePlace(const OutVertex& a, const OutVertex& b) {
    return a.clip[0] == b.clip[0] && a.clip[1] == b.clip[1] && a.clip[2] == b.clip[2] &&
           a.clip[3] == b.clip[3];
}

// Where a corner falls: the clip planes it lies beyond, and its place in the window when it is in
// front of the eye.
struct Landing {
    unsigned beyond = 0;  // a bit for each of the six clip planes
    bool inFront = false;
    double x = 0, y = 0;
};

Landing landing(const Viewport& viewport, const OutVertex& v) {
    const float* c = v.clip;
    Landing l;
    for (int axis = 0; axis < 3; ++axis) {
        if (c[axis] < -c[3]) l.beyond |= 1u << (2 * axis);
        if (c[axis] > c[3]) l.beyond |= 2u << (2 * axis);
    }
    l.inFront = c[3] > 0.0f;
    if (l.inFront) {
        double window[3];
        windowCoordinates(viewport, c, window);
        l.x = window[0];
        l.y = window[1];
    }
    return l;
}

// Whether a pixel centre (k + 0.5) lies in [low, high], widened by more than the rasterizer's
// snapping of corners to its subpixel grid can move them.
bool spansPixelCentre(double low, double high) {
    constexpr double kSnapMargin = 0.125;
    return std::floor(high + kSnapMargin - 0.5) >= std::ceil(low - kSnapMargin - 0.5);
}

// A triangle that cannot make a fragment: wholly beyond one clip plane, or so small that its
// bounds hold no pixel centre. The far twigs of a deep crystal are mostly such triangles.
bool makesNoFragment(const Landing& a, const Landing& b, const Landing& c) {
    if (a.beyond & b.beyond & c.beyond) return true;
    if (!(a.inFront && b.inFront && c.inFront)) return false;
    return !spansPixelCentre(std::min({a.x, b.x, c.x}), std::max({a.x, b.x, c.x})) ||
           !spansPixelCentre(std::min({a.y, b.y, c.y}), std::max({a.y, b.y, c.y}));
}

// A triangle with two corners in one place covers no pixel either: a cone's quads each have one,
// at the apex.
bool drawn(const FrameBatch& batch, const std::vector<Landing>& landings, std::uint32_t base, int a, int b, int c) {
    const OutVertex* v = &batch.vertices[base];
    if (samePlace(v[a], v[b]) || samePlace(v[b], v[c]) || samePlace(v[a], v[c])) return false;
    return !makesNoFragment(landings[a], landings[b], landings[c]);
}

// Appends the triangle a, b, c of the primitive whose corners start at `base`, with c carrying
// the face's colour; a corner already carrying another face's colour is sent again.
void appendTriangle(FrameBatch& batch, std::uint32_t base, int a, int b, int c,
                    const std::uint8_t rgba[4], std::vector<bool>& coloured) {
    std::uint32_t last = base + static_cast<std::uint32_t>(c);
    OutVertex& corner = batch.vertices[last];
    if (!coloured[c]) {
        std::memcpy(corner.rgba, rgba, 4);
        coloured[c] = true;
    } else if (std::memcmp(corner.rgba, rgba, 4) != 0) {
        OutVertex copy = corner;
        std::memcpy(copy.rgba, rgba, 4);
        last = static_cast<std::uint32_t>(batch.vertices.size());
        batch.vertices.push_back(copy);
    }
    batch.indices.push_back(base + static_cast<std::uint32_t>(a));
    batch.indices.push_back(base + static_cast<std::uint32_t>(b));
    batch.indices.push_back(last);
}

// Scratch space kept between primitives: a frame sends thousands of small ones.
std::vector<Face> faceScratch;
std::vector<Vec4> eyeScratch;
std::vector<bool> colouredScratch;
std::vector<Landing> landingScratch;
std::vector<int> triangleScratch;  // corners of the face's triangles that are drawn

void openRun(PipelineState& gl) {
    std::vector<DrawRun>& runs = gl.batch.runs;
    if (runs.empty() || runs.back().state != gl.raster) {
        DrawRun run;
        run.state = gl.raster;
        run.first = gl.batch.indices.size();
        runs.push_back(run);
    }
}
}  // namespace

bool operator==(const RasterState& a, const RasterState& b) {
    // The bound texture matters only while texturing is on.
    return a.texturing == b.texturing && (!a.texturing || a.texture == b.texture) &&
           a.blending == b.blending && a.depthTest == b.depthTest;
}

void resetPipeline(PipelineState& gl) {
    gl = PipelineState();
    const float white[4] = {1, 1, 1, 1};
    copy4(white, gl.light0.diffuse);
    copy4(white, gl.light0.specular);
}

void setMatrixMode(PipelineState& gl, unsigned mode) {
    if (mode == kModelView || mode == kProjection) gl.matrixMode = mode;
}

namespace {
// The projection is part of a cone's look; the model-view is each cone's own.
void projectionMayChange(PipelineState& gl) {
    if (gl.matrixMode == kProjection) ++gl.lookVersion;
}
}  // namespace

void loadIdentity(PipelineState& gl) {
    projectionMayChange(gl);
    currentStack(gl).back() = identityMatrix();
}

void pushMatrix(PipelineState& gl) {
    std::vector<Mat4>& stack = currentStack(gl);
    stack.push_back(stack.back());
}

void popMatrix(PipelineState& gl) {
    projectionMayChange(gl);
    std::vector<Mat4>& stack = currentStack(gl);
    if (stack.size() > 1) stack.pop_back();
}

void multMatrix(PipelineState& gl, const Mat4& m) {
    projectionMayChange(gl);
    Mat4& top = currentStack(gl).back();
    top = multiply(top, m);
}

void translate(PipelineState& gl, float x, float y, float z) {
    Mat4& top = currentStack(gl).back();
    if (!affine(top)) {
        multMatrix(gl, translationMatrix(x, y, z));
        return;
    }
    projectionMayChange(gl);
    float* m = top.m;
    for (int i = 0; i < 3; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

namespace {
// Columns j < k of an affine matrix turned by the 2 x 2 block (b_jj b_jk / b_kj b_kk) of a
// turn about the third axis; the sums are the full product's, less terms that are zero.
void turnColumns(float* m, int j, int k, float bjj, float bjk, float bkj, float bkk) {
    for (int i = 0; i < 3; ++i) {
        const float aj = m[4 * j + i];
        const float ak = m[4 * k + i];
        m[4 * j + i] = aj * bjj + ak * bkj;
        m[4 * k + i] = aj * bjk + ak * bkk;
    }
}
}  // namespace

void rotate(PipelineState& gl, float degrees, float x, float y, float z) {
    Mat4& top = currentStack(gl).back();
    const bool aboutZ = x == 0.0f && y == 0.0f && z != 0.0f;
    const bool aboutY = x == 0.0f && z == 0.0f && y != 0.0f;
    const bool aboutX = y == 0.0f && z == 0.0f && x != 0.0f;
    if (!(aboutX || aboutY || aboutZ) || !affine(top)) {
        multMatrix(gl, rotationMatrix(degrees, x, y, z));
        return;
    }
    projectionMayChange(gl);
    float s = 0.0f;
    float c = 1.0f;
    turnSines(degrees, &s, &c);
    if (aboutZ) turnColumns(top.m, 0, 1, c, z < 0.0f ? s : -s, z < 0.0f ? -s : s, c);
    if (aboutY) turnColumns(top.m, 0, 2, c, y < 0.0f ? -s : s, y < 0.0f ? s : -s, c);
    if (aboutX) turnColumns(top.m, 1, 2, c, x < 0.0f ? s : -s, x < 0.0f ? -s : s, c);
}

const Mat4& currentMatrix(const PipelineState& gl) {
    return gl.matrixMode == kProjection ? gl.projection.back() : gl.modelView.back();
}

void setLight0(PipelineState& gl, unsigned pname, const float* values) {
    ++gl.lookVersion;
    switch (pname) {
    case kAmbient: copy4(values, gl.light0.ambient); break;
    case kDiffuse: copy4(values, gl.light0.diffuse); break;
    case kSpecular: copy4(values, gl.light0.specular); break;
    case kPosition:
        gl.light0.position =
            transform(gl.modelView.back(), Vec4{values[0], values[1], values[2], values[3]});
        break;
    default: break;
    }
}

void setFrontMaterial(PipelineState& gl, unsigned pname, const float* values) {
    ++gl.lookVersion;
    FrontMaterial& m = gl.material;
    switch (pname) {
    case kAmbient: copy4(values, m.ambient); break;
    case kDiffuse: copy4(values, m.diffuse); break;
    case kSpecular: copy4(values, m.specular); break;
    case kEmission: copy4(values, m.emission); break;
    case kShininess: m.shininess = values[0]; break;
    case kAmbientAndDiffuse:
        copy4(values, m.ambient);
        copy4(values, m.diffuse);
        break;
    default: break;
    }
}

void begin(PipelineState& gl, unsigned primitive) {
    gl.inPrimitive = true;
    gl.primitive = primitive;
    gl.sent.clear();
}

void vertex(PipelineState& gl, float x, float y, float z) {
    if (!gl.inPrimitive) return;
    SentVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    std::memcpy(v.normal, gl.normal, sizeof v.normal);
    v.s = gl.texCoord[0];
    v.t = gl.texCoord[1];
    copy4(gl.colour, v.colour);
    gl.sent.push_back(v);
}

void end(PipelineState& gl) {
    if (!gl.inPrimitive) return;
    gl.inPrimitive = false;
    const int n = static_cast<int>(gl.sent.size());
    std::vector<Face>& faces = faceScratch;
    facesOf(gl.primitive, n, faces);
    if (faces.empty()) return;

    const Mat4& modelView = gl.modelView.back();
    const Mat4& projection = gl.projection.back();
    std::vector<Vec4>& eye = eyeScratch;
    eye.resize(n);
    std::vector<Landing>& landings = landingScratch;
    landings.resize(n);
    FrameBatch& batch = gl.batch;
    const auto base = static_cast<std::uint32_t>(batch.vertices.size());
    for (int i = 0; i < n; ++i) {
        const SentVertex& v = gl.sent[i];
        eye[i] = transform(modelView, Vec4{v.position[0], v.position[1], v.position[2], 1.0f});
        const Vec4 clip = transform(projection, eye[i]);
        batch.vertices.push_back(OutVertex{{clip.x, clip.y, clip.z, clip.w}, v.s, v.t, {0, 0, 0, 0}});
        landings[i] = landing(gl.viewport, batch.vertices.back());
    }
    std::vector<bool>& coloured = colouredScratch;
    coloured.assign(n, false);

    NormalMatrix normals{};
    bool normalsKnown = false;  // worked out for the first face that shows
    openRun(gl);
    std::vector<int>& triangles = triangleScratch;
    for (const Face& face : faces) {
        triangles.clear();
        auto keep = [&](int a, int b, int c) {
            if (drawn(batch, landings, base, a, b, c)) triangles.insert(triangles.end(), {a, b, c});
        };
        if (gl.primitive == kPolygon) {
            for (int i = 1; i + 1 < n; ++i) keep(0, i, i + 1);
        } else {
            keep(face.corners[0], face.corners[1], face.corners[2]);
            if (face.count == 4) keep(face.corners[0], face.corners[2], face.corners[3]);
        }
        if (triangles.empty()) continue;  // nothing of the face shows, so it needs no light
        if (!normalsKnown) {
            normals = normalMatrix(modelView);
            normalsKnown = true;
        }
        const SentVertex& provoking = gl.sent[face.provoking];
        float eyeNormal[3];
        transformNormal(normals, provoking.normal, eyeNormal);
        float lit[4];
        litColour(gl, eye[face.provoking], eyeNormal, provoking.colour, lit);
        const std::uint8_t rgba[4] = {channel(lit[0]), channel(lit[1]), channel(lit[2]), channel(lit[3])};
        for (std::size_t t = 0; t < triangles.size(); t += 3) {
            appendTriangle(batch, base, triangles[t], triangles[t + 1], triangles[t + 2], rgba, coloured);
        }
    }
    batch.runs.back().count = batch.indices.size() - batch.runs.back().first;
}

// One light, no attenuation or spot, one-sided, infinite viewer.
void litColour(const PipelineState& gl, Vec4 eyePosition, const float eyeNormal[3],
               const float currentColour[4], float out[4]) {
    if (!gl.lighting) {
        copy4(currentColour, out);
        return;
    }
    const FrontMaterial& m = gl.material;
    float n[3] = {eyeNormal[0], eyeNormal[1], eyeNormal[2]};
    if (gl.normalize) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            for (float& v : n) v /= length;
        }
    }
    float rgb[3];
    for (int k = 0; k < 3; ++k) rgb[k] = m.emission[k] + gl.sceneAmbient[k] * m.ambient[k];
    const Light& light = gl.light0;
    if (light.enabled) {
        float l[3];
        if (light.position.w != 0.0f) {
            l[0] = light.position.x / light.position.w - eyePosition.x / eyePosition.w;
            l[1] = light.position.y / light.position.w - eyePosition.y / eyePosition.w;
            l[2] = light.position.z / light.position.w - eyePosition.z / eyePosition.w;
        } else {
            l[0] = light.position.x;
            l[1] = light.position.y;
            l[2] = light.position.z;
        }
        const float lLength = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
        if (lLength > 0.0f) {
            for (float& v : l) v /= lLength;
        }
        const float nDotL = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
        float specularFactor = 0.0f;
        if (nDotL > 0.0f) {
            float h[3] = {l[0], l[1], l[2] + 1.0f};
            const float hLength = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            if (hLength > 0.0f) {
                for (float& v : h) v /= hLength;
            }
            const float nDotH = std::max(0.0f, n[0] * h[0] + n[1] * h[1] + n[2] * h[2]);
            specularFactor = m.shininess == 0.0f ? 1.0f : std::pow(nDotH, m.shininess);
        }
        const float diffuseFactor = std::max(0.0f, nDotL);
        for (int k = 0; k < 3; ++k) {
            rgb[k] += light.ambient[k] * m.ambient[k] +
                      diffuseFactor * light.diffuse[k] * m.diffuse[k] +
                      specularFactor * light.specular[k] * m.specular[k];
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = clamp01(rgb[k]);
    out[3] = clamp01(m.diffuse[3]);
}

void windowCoordinates(const Viewport& viewport, const float clip[4], double out[3]) {
    const double w = clip[3];
    out[0] = (clip[0] / w + 1.0) * viewport.width / 2.0 + viewport.x;
    out[1] = (clip[1] / w + 1.0) * viewport.height / 2.0 + viewport.y;
    out[2] = (clip[2] / w + 1.0) / 2.0;
}

bool batchFull(const FrameBatch& batch) {
    return batch.indices.size() >= 3 * kBatchTriangles || batch.vertices.size() >= 3 * kBatchTriangles;
}

namespace {
template <typename T>
void emptyKeepingRoom(std::vector<T>& items, std::size_t room) {
    if (items.capacity() > 2 * room) {
        std::vector<T>().swap(items);
    } else {
        items.clear();
    }
}
}  // namespace

void emptyBatch(FrameBatch& batch) {
    emptyKeepingRoom(batch.vertices, 3 * kBatchTriangles);
    emptyKeepingRoom(batch.indices, 3 * kBatchTriangles);
    emptyKeepingRoom(batch.runs, kBatchTriangles);
}

}  // namespace fixedgl
