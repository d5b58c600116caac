#include "sketch/stl_writer.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {
void putFloat(std::vector<std::uint8_t>& out, double v) {
    const float f = static_cast<float>(v);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

Vec3 asStored(Vec3 p) {
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

void putVector(std::vector<std::uint8_t>& out, Vec3 v) {
    putFloat(out, v.x);
    putFloat(out, v.y);
    putFloat(out, v.z);
}
}  // namespace

std::uint64_t stlBytes(const PrintModel& model) {
    std::uint64_t triangles = 0;
    for (const PrintPart& part : model.parts) triangles += part.mesh.triangles.size();
    return 84 + 50 * triangles;
}

std::vector<std::uint8_t> writeStl(const PrintModel& model) {
    const std::uint64_t bytes = stlBytes(model);
    if ((bytes - 84) / 50 > 0xFFFFFFFFu) return {};
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(bytes));
    // The header must not start with "solid", or readers take the file for text.
    std::string header = "Frimel print model, millimetres";
    header.resize(80, ' ');
    out.insert(out.end(), header.begin(), header.end());
    const std::uint32_t count = static_cast<std::uint32_t>((bytes - 84) / 50);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(count >> shift));
    for (const PrintPart& part : model.parts) {
        for (const auto& t : part.mesh.triangles) {
            const Vec3 a = asStored(part.mesh.points[t[0]]), b = asStored(part.mesh.points[t[1]]),
                       c = asStored(part.mesh.points[t[2]]);
            // From the corners as stored, so that readers find the same normal.
            Vec3 n = cross(b - a, c - a);
            const double length = std::sqrt(dot(n, n));
            n = length > 0.0 ? n * (1.0 / length) : Vec3{0.0, 0.0, 0.0};
            putVector(out, n);
            putVector(out, a);
            putVector(out, b);
            putVector(out, c);
            out.push_back(0);
            out.push_back(0);
        }
    }
    return out;
}
