#pragma once

// Triangle meshes for the model files, and the solids printed cones are made of. Plain
// arithmetic: no GL, so the page and the desktop tool build the same meshes.

#include <array>
#include <cstdint>
#include <vector>

struct Vec3 {
    double x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Triangles by corner index, counter-clockwise seen from outside. A mesh may hold several
// closed shells; no two shells share a corner.
struct TriangleMesh {
    std::vector<Vec3> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

// A convex solid: its corners, and its faces as corner loops, counter-clockwise seen from outside.
struct ConvexSolid {
    std::vector<Vec3> corners;
    std::vector<std::vector<int>> faces;
};

// A cone as a frame draws it, four-sided, along +z of its frame: corners at radius base on z = 0
// and radius top on z = height, at the angles GLU gives its four slices. `frame` is column-major,
// from the cone's frame to the solid's coordinates.
struct ConeFrame {
    Vec3 origin, x, y, z;  // the frame's origin and axes
};
ConvexSolid coneSolid(const ConeFrame& frame, double base, double top, double height);

// Two cones that meet base to base (the same base square, opposite axes) as one solid: forward
// along +z of the frame, backward along -z.
ConvexSolid doubleConeSolid(const ConeFrame& frame, double base, double forwardTop, double forwardHeight,
                            double backwardTop, double backwardHeight);

// The part of a solid at or above z = 0, closed by a face on z = 0, added to `mesh` as a shell
// of its own. Corners within `tolerance` of the floor are put on it. False, adding nothing,
// when nothing of the solid stands above the floor.
bool addShellAboveFloor(const ConvexSolid& solid, double tolerance, TriangleMesh& mesh);

// The box of the part of a solid at or above z = 0; false when nothing is above.
bool boxAboveFloor(const ConvexSolid& solid, Vec3& low, Vec3& high);

// A flat ring lying on z = 0, for hanging: radii of its hole and its rim, height, and `sides`
// segments; added to `mesh` as a closed shell.
void addRing(Vec3 centre, double innerRadius, double outerRadius, double height, int sides, TriangleMesh& mesh);
