#include "web/pipeline/draw_list.h"

namespace fixedgl {

void DrawList::openTriangles(const RasterState& state) {
    if (!runs.empty() && runs.back().kind == RunKind::kTriangles && runs.back().raster == state) return;
    DrawRun run;
    run.kind = RunKind::kTriangles;
    run.raster = state;
    run.first = indices.size();
    runs.push_back(run);
}

void DrawList::closeRun() {
    DrawRun& run = runs.back();
    run.count = (run.kind == RunKind::kTriangles ? indices : coneIndices).size() - run.first;
}

void DrawList::addCone(FixedState& gl, double baseRadius, double topRadius, double height, bool textured) {
    const bool afterCones = !runs.empty() && runs.back().kind == RunKind::kCones;
    // A frame sends thousands of cones between one material and the next.
    if (!afterCones || (gl.dirtyBits() & kConeLookBits) || looks[runs.back().look].textured != textured) {
        const ConeLook look = coneLook(gl, textured);
        gl.clearDirtyBits(kConeLookBits);
        if (!afterCones || looks[runs.back().look] != look) {
            DrawRun run;
            run.kind = RunKind::kCones;
            run.raster = look.raster;
            run.look = looks.size();
            run.first = coneIndices.size();
            looks.push_back(look);
            runs.push_back(run);
        }
    }
    cones.push_back(coneInstance(gl.modelView(), baseRadius, topRadius, height));
    const auto base = static_cast<std::uint32_t>(cones.size() - 1) * kConeStripCorners;
    const bool pointed = cones.back().topRadius == 0.0f;
    for (std::uint32_t side = 0; side < kConeSlices; ++side) {
        const std::uint32_t at = base + 2 * side;
        if (!pointed) coneIndices.insert(coneIndices.end(), {at, at + 1, at + 3});
        coneIndices.insert(coneIndices.end(), {at, at + 3, at + 2});
    }
    closeRun();
}

bool DrawList::full() const {
    return indices.size() >= 3 * kListTriangles || vertices.size() >= 3 * kListTriangles ||
           cones.size() >= kListCones;
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

void DrawList::clear() {
    emptyKeepingRoom(vertices, 3 * kListTriangles);
    emptyKeepingRoom(indices, 3 * kListTriangles);
    emptyKeepingRoom(runs, kListTriangles);
    cones.clear();
    coneIndices.clear();
    looks.clear();
}

int DrawList::padConeRows() {
    const std::size_t rows = (cones.size() + kConesPerRow - 1) / kConesPerRow;
    cones.resize(rows * kConesPerRow, ConeInstance{});
    return static_cast<int>(rows);
}

}  // namespace fixedgl
