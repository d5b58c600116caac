#include "sketch/model_mesh.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
// The four slices of a GLU cone at 0, 90, 180 and 270 degrees: (sin a, cos a).
constexpr double kSliceSin[4] = {0.0, 1.0, 0.0, -1.0};
constexpr double kSliceCos[4] = {1.0, 0.0, -1.0, 0.0};

Vec3 sliceCorner(const ConeFrame& f, int k, double radius, double along) {
    return f.origin + f.x * (radius * kSliceSin[k]) + f.y * (radius * kSliceCos[k]) + f.z * along;
}

// A mirroring frame turns every face inside out.
void faceOutward(const ConeFrame& f, ConvexSolid& solid) {
    if (dot(cross(f.x, f.y), f.z) >= 0.0) return;
    for (std::vector<int>& face : solid.faces) std::reverse(face.begin(), face.end());
}

// A convex polygon as a fan from its straightest corner: a corner that lies on a straight side
// (a rod's floor face has them) would otherwise leave triangles without area.
void addPolygon(const std::vector<std::uint32_t>& loop, TriangleMesh& mesh) {
    const std::size_t n = loop.size();
    std::size_t from = 0;
    double straightest = -2.0;
    for (std::size_t i = 0; i < n && n > 3; ++i) {
        const Vec3 p = mesh.points[loop[i]];
        const Vec3 u = mesh.points[loop[(i + n - 1) % n]] - p, v = mesh.points[loop[(i + 1) % n]] - p;
        const double lengths = std::sqrt(dot(u, u) * dot(v, v));
        const double straightness = lengths > 0.0 ? -dot(u, v) / lengths : -2.0;
        if (straightness > straightest) {
            straightest = straightness;
            from = i;
        }
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        mesh.triangles.push_back({loop[from], loop[(from + i) % n], loop[(from + i + 1) % n]});
    }
}

struct Crossing {
    int a, b;
    std::uint32_t point;
};
}  // namespace

ConvexSolid coneSolid(const ConeFrame& frame, double base, double top, double height) {
    ConvexSolid solid;
    for (int k = 0; k < 4; ++k) solid.corners.push_back(sliceCorner(frame, k, base, 0.0));
    for (int k = 0; k < 4; ++k) solid.corners.push_back(sliceCorner(frame, k, top, height));
    solid.faces.push_back({0, 1, 2, 3});
    solid.faces.push_back({7, 6, 5, 4});
    for (int k = 0; k < 4; ++k) solid.faces.push_back({k, k + 4, (k + 1) % 4 + 4, (k + 1) % 4});
    faceOutward(frame, solid);
    return solid;
}

ConvexSolid doubleConeSolid(const ConeFrame& frame, double base, double forwardTop, double forwardHeight,
                            double backwardTop, double backwardHeight) {
    ConvexSolid solid;
    for (int k = 0; k < 4; ++k) solid.corners.push_back(sliceCorner(frame, k, base, 0.0));
    for (int k = 0; k < 4; ++k) solid.corners.push_back(sliceCorner(frame, k, forwardTop, forwardHeight));
    for (int k = 0; k < 4; ++k) solid.corners.push_back(sliceCorner(frame, k, backwardTop, -backwardHeight));
    solid.faces.push_back({7, 6, 5, 4});
    solid.faces.push_back({8, 9, 10, 11});
    for (int k = 0; k < 4; ++k) {
        const int next = (k + 1) % 4;
        solid.faces.push_back({k, k + 4, next + 4, next});
        solid.faces.push_back({next, next + 8, k + 8, k});
    }
    faceOutward(frame, solid);
    return solid;
}

bool addShellAboveFloor(const ConvexSolid& solid, double tolerance, TriangleMesh& mesh) {
    const std::size_t count = solid.corners.size();
    std::vector<int> side(count);  // 1 above, 0 on the floor, -1 below
    bool anyAbove = false;
    for (std::size_t i = 0; i < count; ++i) {
        const double z = solid.corners[i].z;
        side[i] = z > tolerance ? 1 : (z < -tolerance ? -1 : 0);
        anyAbove = anyAbove || side[i] == 1;
    }
    if (!anyAbove) return false;

    const std::uint32_t first = static_cast<std::uint32_t>(mesh.points.size());
    std::vector<std::uint32_t> kept(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (side[i] < 0) continue;
        kept[i] = static_cast<std::uint32_t>(mesh.points.size());
        Vec3 p = solid.corners[i];
        if (side[i] == 0) p.z = 0.0;
        mesh.points.push_back(p);
    }
    // Each crossing edge meets the floor once, whichever face asks first, so neighbouring faces
    // share the point.
    std::vector<Crossing> crossings;
    auto crossing = [&](int a, int b) {
        const int lo = std::min(a, b), hi = std::max(a, b);
        for (const Crossing& c : crossings) {
            if (c.a == lo && c.b == hi) return c.point;
        }
        const Vec3 p = solid.corners[lo], q = solid.corners[hi];
        const double t = p.z / (p.z - q.z);
        Vec3 at = p + (q - p) * t;
        at.z = 0.0;
        const std::uint32_t index = static_cast<std::uint32_t>(mesh.points.size());
        mesh.points.push_back(at);
        crossings.push_back({lo, hi, index});
        return index;
    };

    std::vector<std::uint32_t> loop;
    for (const std::vector<int>& face : solid.faces) {
        loop.clear();
        bool allOnFloor = true;
        for (std::size_t i = 0; i < face.size(); ++i) {
            const int a = face[i], b = face[(i + 1) % face.size()];
            if (side[a] >= 0) {
                loop.push_back(kept[a]);
                allOnFloor = allOnFloor && side[a] == 0;
            }
            if (side[a] * side[b] < 0) loop.push_back(crossing(a, b));
        }
        // A face lying on the floor is the floor face below.
        if (loop.size() >= 3 && !allOnFloor) addPolygon(loop, mesh);
    }

    // The floor face: every point on the floor, around their middle, clockwise seen from above.
    std::vector<std::uint32_t> floor;
    for (std::uint32_t i = first; i < mesh.points.size(); ++i) {
        if (mesh.points[i].z == 0.0) floor.push_back(i);
    }
    if (floor.size() >= 3) {
        double cx = 0.0, cy = 0.0;
        for (std::uint32_t i : floor) {
            cx += mesh.points[i].x;
            cy += mesh.points[i].y;
        }
        cx /= static_cast<double>(floor.size());
        cy /= static_cast<double>(floor.size());
        std::vector<std::pair<double, std::uint32_t>> around;
        for (std::uint32_t i : floor) around.push_back({std::atan2(mesh.points[i].y - cy, mesh.points[i].x - cx), i});
        std::sort(around.begin(), around.end(), [](const auto& l, const auto& r) { return l.first > r.first; });
        loop.clear();
        for (const auto& entry : around) loop.push_back(entry.second);
        addPolygon(loop, mesh);
    }
    return true;
}

bool boxAboveFloor(const ConvexSolid& solid, Vec3& low, Vec3& high) {
    bool any = false;
    auto take = [&](Vec3 p) {
        if (!any) {
            low = high = p;
            any = true;
            return;
        }
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    };
    for (const std::vector<int>& face : solid.faces) {
        for (std::size_t i = 0; i < face.size(); ++i) {
            const Vec3 p = solid.corners[face[i]], q = solid.corners[face[(i + 1) % face.size()]];
            if (p.z >= 0.0) take(p);
            if ((p.z > 0.0 && q.z < 0.0) || (p.z < 0.0 && q.z > 0.0)) {
                Vec3 at = p + (q - p) * (p.z / (p.z - q.z));
                at.z = 0.0;
                take(at);
            }
        }
    }
    return any && high.z > 0.0;
}

void addRing(Vec3 centre, double innerRadius, double outerRadius, double height, int sides, TriangleMesh& mesh) {
    const std::uint32_t first = static_cast<std::uint32_t>(mesh.points.size());
    for (int k = 0; k < sides; ++k) {
        const double angle = 2.0 * kPi * k / sides;
        const double c = std::cos(angle), s = std::sin(angle);
        mesh.points.push_back({centre.x + innerRadius * c, centre.y + innerRadius * s, centre.z});
        mesh.points.push_back({centre.x + outerRadius * c, centre.y + outerRadius * s, centre.z});
        mesh.points.push_back({centre.x + outerRadius * c, centre.y + outerRadius * s, centre.z + height});
        mesh.points.push_back({centre.x + innerRadius * c, centre.y + innerRadius * s, centre.z + height});
    }
    for (int k = 0; k < sides; ++k) {
        const std::uint32_t a = first + 4 * static_cast<std::uint32_t>(k);
        const std::uint32_t b = first + 4 * static_cast<std::uint32_t>((k + 1) % sides);
        // Corners: +0 inner bottom, +1 outer bottom, +2 outer top, +3 inner top.
        addPolygon({a + 3, a + 2, b + 2, b + 3}, mesh);  // top
        addPolygon({b + 0, b + 1, a + 1, a + 0}, mesh);  // bottom
        addPolygon({a + 1, b + 1, b + 2, a + 2}, mesh);  // outer wall
        addPolygon({a + 3, b + 3, b + 0, a + 0}, mesh);  // inner wall
    }
}
