#include "web/pipeline/immediate_mode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "web/pipeline/shading.h"

namespace fixedgl {
namespace {
void copy4(const float* from, float* to) { std::memcpy(to, from, 4 * sizeof(float)); }

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// A face of a primitive and its provoking vertex, whose colour a flat-shaded face takes: the
// first of a polygon, the last of every other primitive's face.
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
bool drawn(const DrawList& list, const std::vector<Landing>& landings, std::uint32_t base, int a, int b, int c) {
    const OutVertex* v = &list.vertices[base];
    if (samePlace(v[a], v[b]) || samePlace(v[b], v[c]) || samePlace(v[a], v[c])) return false;
    return !makesNoFragment(landings[a], landings[b], landings[c]);
}

// Appends the triangle a, b, c of the primitive whose corners start at `base`, with c carrying
// the face's colour; a corner already carrying another face's colour is sent again.
void appendTriangle(DrawList& list, std::uint32_t base, int a, int b, int c,
                    const std::uint8_t rgba[4], std::vector<std::uint8_t>& coloured) {
    std::uint32_t last = base + static_cast<std::uint32_t>(c);
    OutVertex& corner = list.vertices[last];
    if (!coloured[c]) {
        std::memcpy(corner.rgba, rgba, 4);
        coloured[c] = 1;
    } else if (std::memcmp(corner.rgba, rgba, 4) != 0) {
        OutVertex copy = corner;
        std::memcpy(copy.rgba, rgba, 4);
        last = static_cast<std::uint32_t>(list.vertices.size());
        list.vertices.push_back(copy);
    }
    list.indices.push_back(base + static_cast<std::uint32_t>(a));
    list.indices.push_back(base + static_cast<std::uint32_t>(b));
    list.indices.push_back(last);
}

// Scratch space kept between primitives: a frame sends thousands of small ones.
std::vector<Face> faceScratch;
std::vector<Vec4> eyeScratch;
std::vector<std::uint8_t> colouredScratch;  // bytes: a vector of bool packs bits, slow to test and set
std::vector<Landing> landingScratch;
std::vector<int> triangleScratch;  // corners of the face's triangles that are drawn

}  // namespace

void ImmediateMode::begin(unsigned primitive) {
    inPrimitive_ = true;
    primitive_ = primitive;
    sent_.clear();
}

void ImmediateMode::vertex(const FixedState& gl, float x, float y, float z) {
    if (!inPrimitive_) return;
    SentVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    std::memcpy(v.normal, gl.normal(), sizeof v.normal);
    v.s = gl.texCoord()[0];
    v.t = gl.texCoord()[1];
    copy4(gl.colour(), v.colour);
    sent_.push_back(v);
}

void ImmediateMode::end(const FixedState& gl, DrawList& list) {
    if (!inPrimitive_) return;
    inPrimitive_ = false;
    const int n = static_cast<int>(sent_.size());
    std::vector<Face>& faces = faceScratch;
    facesOf(primitive_, n, faces);
    if (faces.empty()) return;

    const Mat4& modelView = gl.modelView();
    const Mat4& projection = gl.projection();
    std::vector<Vec4>& eye = eyeScratch;
    eye.resize(n);
    std::vector<Landing>& landings = landingScratch;
    landings.resize(n);
    const auto base = static_cast<std::uint32_t>(list.vertices.size());
    for (int i = 0; i < n; ++i) {
        const SentVertex& v = sent_[i];
        eye[i] = transform(modelView, Vec4{v.position[0], v.position[1], v.position[2], 1.0f});
        const Vec4 clip = transform(projection, eye[i]);
        list.vertices.push_back(OutVertex{{clip.x, clip.y, clip.z, clip.w}, v.s, v.t, {0, 0, 0, 0}});
        landings[i] = landing(gl.viewport(), list.vertices.back());
    }
    std::vector<std::uint8_t>& coloured = colouredScratch;
    coloured.assign(n, 0);

    NormalMatrix normals{};
    bool normalsKnown = false;  // worked out for the first face that shows
    list.openTriangles(gl.raster());
    std::vector<int>& triangles = triangleScratch;
    for (const Face& face : faces) {
        triangles.clear();
        auto keep = [&](int a, int b, int c) {
            if (drawn(list, landings, base, a, b, c)) triangles.insert(triangles.end(), {a, b, c});
        };
        if (primitive_ == kPolygon) {
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
        const SentVertex& provoking = sent_[face.provoking];
        float eyeNormal[3];
        transformNormal(normals, provoking.normal, eyeNormal);
        float lit[4];
        litColour(gl, eye[face.provoking], eyeNormal, provoking.colour, lit);
        const std::uint8_t rgba[4] = {channel(lit[0]), channel(lit[1]), channel(lit[2]), channel(lit[3])};
        for (std::size_t t = 0; t < triangles.size(); t += 3) {
            appendTriangle(list, base, triangles[t], triangles[t + 1], triangles[t + 2], rgba, coloured);
        }
    }
    list.closeRun();
}

void windowCoordinates(const Viewport& viewport, const float clip[4], double out[3]) {
    const double w = clip[3];
    out[0] = (clip[0] / w + 1.0) * viewport.width / 2.0 + viewport.x;
    out[1] = (clip[1] / w + 1.0) * viewport.height / 2.0 + viewport.y;
    out[2] = (clip[2] / w + 1.0) / 2.0;
}

}  // namespace fixedgl
