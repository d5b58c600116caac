#include "sketch/print_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "sketch/part_grouping.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kFloorToleranceMm = 1e-4;
// Solids that would share corners (cones starting at one point, a bridge ending where its
// neighbour starts) are moved this far apart, so every shell keeps corners of its own.
constexpr double kNudgeMm = 0.002;
constexpr std::int64_t kMostTouchTests = 20000000;
constexpr double kGapMm = 5.0;
constexpr double kLoopHoleMm = 2.5;
constexpr int kLoopSides = 24;
constexpr int kScaleRounds = 6;

// A cone, or two that meet base to base, in print coordinates (x along the bank, y up the
// slope, z out of it), in scene units, measured from the object's plane.
struct Item {
    ConeFrame frame;
    double base, top, height;
    bool twin = false;  // a second cone backward along -z
    double backTop = 0.0, backHeight = 0.0;
    int nudges = 0;
    int object;
};

struct Slope {
    double cosine, sine;
    // The bank's slope turned flat: the object's plane becomes z = 0.
    Vec3 vector(double x, double y, double z) const { return {x, cosine * y - sine * z, sine * y + cosine * z}; }
};

bool sameMatrix(const RecordedCone& a, const RecordedCone& b) {
    return std::memcmp(a.matrix, b.matrix, sizeof a.matrix) == 0;
}

// Without cones that a frame draws again on top of others, or inside a longer one from the same
// base toward the same point.
std::vector<int> distinctCones(const std::vector<RecordedCone>& cones, int objects) {
    std::vector<int> order;
    for (std::size_t i = 0; i < cones.size(); ++i) {
        const RecordedCone& c = cones[i];
        if (c.height > 0.0 && c.object >= 0 && c.object < objects) order.push_back(static_cast<int>(i));
    }
    std::sort(order.begin(), order.end(), [&](int l, int r) {
        const RecordedCone &a = cones[l], &b = cones[r];
        const int m = std::memcmp(a.matrix, b.matrix, sizeof a.matrix);
        if (m != 0) return m < 0;
        if (a.base != b.base) return a.base < b.base;
        if (a.top != b.top) return a.top < b.top;
        if (a.height != b.height) return a.height > b.height;
        return l < r;
    });
    std::vector<int> kept;
    for (int i : order) {
        if (!kept.empty()) {
            const RecordedCone &a = cones[kept.back()], &b = cones[i];
            if (sameMatrix(a, b) && a.base == b.base && (a.top == b.top && (a.height == b.height || a.top == 0.0))) {
                continue;
            }
        }
        kept.push_back(i);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

Item itemOf(const RecordedCone& c, const Slope& slope, double planeHeight) {
    const float* m = c.matrix;
    Item item;
    item.frame.origin = slope.vector(m[12], m[13], m[14]);
    item.frame.origin.z -= planeHeight;
    item.frame.x = slope.vector(m[0], m[1], m[2]);
    item.frame.y = slope.vector(m[4], m[5], m[6]);
    item.frame.z = slope.vector(m[8], m[9], m[10]);
    item.base = c.base;
    item.top = c.top;
    item.height = c.height;
    item.object = c.object;
    return item;
}

bool sameSquare(const Item& a, const Item& b) {
    const double side = std::max(std::fabs(dot(a.frame.x, b.frame.x)), std::fabs(dot(a.frame.x, b.frame.y)));
    return a.base == b.base && dot(a.frame.z, b.frame.z) < -0.9999 && side > 0.9999;
}

// Cones from one point: two that meet base to base become one solid; the others are nudged
// along their axes, each a step farther.
std::vector<Item> joinAtBases(std::vector<Item> cones) {
    std::vector<int> order(cones.size());
    std::iota(order.begin(), order.end(), 0);
    auto key = [&](int i) {
        const Vec3 o = cones[i].frame.origin;
        return std::make_tuple(o.x, o.y, o.z);
    };
    std::stable_sort(order.begin(), order.end(), [&](int l, int r) { return key(l) < key(r); });
    std::vector<bool> used(cones.size(), false);
    std::vector<Item> items;
    for (std::size_t start = 0; start < order.size();) {
        std::size_t end = start + 1;
        while (end < order.size() && key(order[end]) == key(order[start])) ++end;
        int step = 0;
        for (std::size_t i = start; i < end; ++i) {
            if (used[order[i]]) continue;
            Item item = cones[order[i]];
            used[order[i]] = true;
            for (std::size_t j = i + 1; j < end; ++j) {
                const Item& other = cones[order[j]];
                if (used[order[j]] || item.top != 0.0 || other.top != 0.0 || !sameSquare(item, other)) continue;
                used[order[j]] = true;
                item.twin = true;
                item.backTop = other.top;
                item.backHeight = other.height;
                break;
            }
            item.nudges = step++;
            items.push_back(item);
        }
        start = end;
    }
    return items;
}

// The item as a solid: scaled, at least the wall thick, nudged off its neighbours.
ConvexSolid solidOf(const Item& item, double scale, double wall) {
    ConeFrame f = item.frame;
    f.origin = f.origin * scale;
    const double shift = kNudgeMm * item.nudges;
    f.origin = f.origin + f.z * shift;
    const double base = std::max(item.base * scale, wall);
    const double top = std::max(item.top * scale, wall);
    if (item.twin) {
        return doubleConeSolid(f, base, top, item.height * scale - shift, std::max(item.backTop * scale, wall),
                               item.backHeight * scale + shift);
    }
    // A cone with a top (a bridge) stops short of the neighbour whose base it reaches.
    const double height = item.height * scale - shift - (item.top > 0.0 ? kNudgeMm : 0.0);
    return coneSolid(f, base, top, std::max(height, kNudgeMm));
}

ConvexSolid unscaledSolid(const Item& item) {
    if (item.twin) return doubleConeSolid(item.frame, item.base, item.top, item.height, item.backTop, item.backHeight);
    return coneSolid(item.frame, item.base, item.top, item.height);
}

Capsule capsuleOf(const Item& item) {
    const Vec3 back = item.twin ? item.frame.origin - item.frame.z * item.backHeight : item.frame.origin;
    return {back, item.frame.origin + item.frame.z * item.height, std::max(item.base, item.top), item.object};
}

// Twigs far thinner than the wall would print as blobs: left out.
bool printed(const Item& item, double scale, double wall) { return item.base * scale >= wall / 2.0; }

struct Range {
    std::uint32_t first, end;
};

void extendBox(Vec3& low, Vec3& high, bool& any, Vec3 l, Vec3 h) {
    if (!any) {
        low = l;
        high = h;
        any = true;
        return;
    }
    low = {std::min(low.x, l.x), std::min(low.y, l.y), std::min(low.z, l.z)};
    high = {std::max(high.x, h.x), std::max(high.y, h.y), std::max(high.z, h.z)};
}

// A loop on the bed beyond the point of the crystal that lies farthest out on the bed.
void addHangingLoop(PrintPart& part, const std::vector<Range>& ranges, Vec3 centre, double wall) {
    const double rim = std::max(2.0 * wall, 2.0);
    const double height = std::max(2.0 * wall, 2.0);
    double farthest = -1.0;
    Vec3 tip = centre;
    for (const Range& r : ranges) {
        for (std::uint32_t i = r.first; i < r.end; ++i) {
            const Vec3 p = part.mesh.points[i];
            const double d = std::hypot(p.x - centre.x, p.y - centre.y);
            if (p.z <= height / 2.0 && d > farthest) {
                farthest = d;
                tip = p;
            }
        }
    }
    if (farthest <= 0.0) return;
    const Vec3 out = {(tip.x - centre.x) / farthest, (tip.y - centre.y) / farthest, 0.0};
    const Vec3 ring = {tip.x + out.x * (kLoopHoleMm + rim / 2.0), tip.y + out.y * (kLoopHoleMm + rim / 2.0), 0.0};
    addRing(ring, kLoopHoleMm, kLoopHoleMm + rim, height, kLoopSides, part.mesh);
    ++part.shells;
}

// Parts in rows on the plate, the deepest first; a note when they need more than the plate.
void layOut(PrintModel& model) {
    std::vector<Vec3> lows, highs;
    for (const PrintPart& part : model.parts) {
        Vec3 low{}, high{};
        bool any = false;
        for (const Vec3& p : part.mesh.points) extendBox(low, high, any, p, p);
        lows.push_back(low);
        highs.push_back(high);
    }
    std::vector<std::size_t> order(model.parts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t l, std::size_t r) { return highs[l].y - lows[l].y > highs[r].y - lows[r].y; });
    double x = kGapMm, y = kGapMm, rowDepth = 0.0, width = 0.0, depth = 0.0;
    for (std::size_t i : order) {
        const double w = highs[i].x - lows[i].x, d = highs[i].y - lows[i].y;
        if (x > kGapMm && x + w + kGapMm > kPlateMm) {
            x = kGapMm;
            y += rowDepth + kGapMm;
            rowDepth = 0.0;
        }
        const Vec3 shift = {x - lows[i].x, y - lows[i].y, -lows[i].z};
        for (Vec3& p : model.parts[i].mesh.points) p = p + shift;
        width = std::max(width, x + w + kGapMm);
        depth = std::max(depth, y + d + kGapMm);
        x += w + kGapMm;
        rowDepth = std::max(rowDepth, d);
    }
    if (width > kPlateMm || depth > kPlateMm) {
        const int needW = static_cast<int>(std::ceil(width)), needD = static_cast<int>(std::ceil(depth));
        model.note = "The " + std::to_string(model.parts.size()) + " parts need " + std::to_string(needW) + " x " +
                     std::to_string(needD) + " mm, more than the 200 x 200 mm plate: print them in turns, or "
                     "choose a smaller size.";
    }
}
}  // namespace

bool checkPrintSettings(const PrintSettings& s, std::string& why) {
    if (!(s.longestMm >= kShortestPrintMm && s.longestMm <= kLongestPrintMm)) {
        why = "the size is from 5 to 1000 mm";
        return false;
    }
    if (!(s.wallMm >= kThinnestWallMm && s.wallMm <= kThickestWallMm)) {
        why = "the wall is from 0.1 to 5 mm";
        return false;
    }
    if (s.wallMm * 4.0 > s.longestMm) {
        why = "the wall must be at most a quarter of the size";
        return false;
    }
    return true;
}

bool buildPrintModel(const PrintScene& scene, const PrintSettings& settings, std::size_t maxShells, PrintModel& out,
                     std::string& why) {
    out = PrintModel();
    if (!checkPrintSettings(settings, why)) return false;
    const int objects = static_cast<int>(scene.positions.size());
    const double tilt = scene.bankTiltDegrees * kPi / 180.0;
    const Slope slope = {std::cos(tilt), std::sin(tilt)};
    std::vector<double> planeHeight(static_cast<std::size_t>(objects));
    for (int i = 0; i < objects; ++i) {
        const Vec3 p = scene.positions[i];
        planeHeight[i] = slope.vector(p.x, p.y, p.z).z;
    }

    std::vector<Item> cones;
    for (int i : distinctCones(scene.cones, objects)) {
        const RecordedCone& c = scene.cones[i];
        cones.push_back(itemOf(c, slope, planeHeight[c.object]));
    }
    std::vector<Item> items;
    for (const Item& item : joinAtBases(std::move(cones))) {
        Vec3 low, high;
        if (boxAboveFloor(unscaledSolid(item), low, high)) items.push_back(item);
    }
    if (items.empty()) {
        why = "nothing stands above the snow to print";
        return false;
    }
    if (items.size() > maxShells) {
        why = "the model would hold " + std::to_string(items.size()) + " solids, more than " +
              std::to_string(maxShells) + " fit in its largest file";
        return false;
    }

    // Parts, and the longest of them, before any wall is added.
    std::vector<Capsule> capsules;
    for (const Item& item : items) capsules.push_back(capsuleOf(item));
    const std::vector<int> group = touchingGroups(capsules, objects, kMostTouchTests);
    std::vector<int> partOf(static_cast<std::size_t>(objects), -1);
    for (const Item& item : items) {
        const int root = group[item.object];
        if (partOf[root] < 0) {
            partOf[root] = static_cast<int>(out.parts.size());
            out.parts.emplace_back();
        }
    }
    std::vector<Vec3> boxLows(items.size()), boxHighs(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) boxAboveFloor(unscaledSolid(items[i]), boxLows[i], boxHighs[i]);
    // The longest part of what is printed at a scale: twigs thinner than half the wall are not.
    auto longestAt = [&](double scale) {
        std::vector<Vec3> lows(out.parts.size()), highs(out.parts.size());
        std::vector<bool> seen(out.parts.size(), false);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!printed(items[i], scale, settings.wallMm)) continue;
            const int part = partOf[group[items[i].object]];
            bool any = seen[part];
            extendBox(lows[part], highs[part], any, boxLows[i], boxHighs[i]);
            seen[part] = true;
        }
        double longest = 0.0;
        for (std::size_t p = 0; p < out.parts.size(); ++p) {
            const Vec3 size = highs[p] - lows[p];
            if (seen[p]) longest = std::max({longest, size.x, size.y, size.z});
        }
        return longest;
    };
    // Which twigs are left out depends on the scale, and the scale on what is left: a few rounds
    // settle it, and the last round's choice stands.
    double keptAt = std::numeric_limits<double>::infinity();
    for (int round = 0; round < kScaleRounds; ++round) {
        const double longest = longestAt(keptAt);
        if (!(longest > 0.0)) break;
        const double next = settings.longestMm / longest;
        if (next == out.scale) break;
        out.scale = next;
        if (round + 1 < kScaleRounds) keptAt = next;
    }
    if (!(out.scale > 0.0) || !(longestAt(keptAt) > 0.0)) {
        why = "at this size every piece is thinner than half the wall: choose a larger size";
        return false;
    }
    std::vector<std::vector<Range>> pointsOf(static_cast<std::size_t>(objects));
    for (const Item& item : items) {
        if (!printed(item, keptAt, settings.wallMm)) continue;
        PrintPart& part = out.parts[partOf[group[item.object]]];
        const std::size_t points = part.mesh.points.size(), triangles = part.mesh.triangles.size();
        if (!addShellAboveFloor(solidOf(item, out.scale, settings.wallMm), kFloorToleranceMm, part.mesh)) continue;
        double top = 0.0;
        for (std::size_t i = points; i < part.mesh.points.size(); ++i) top = std::max(top, part.mesh.points[i].z);
        // A sliver where a cone grazes the floor would be thinner than the wall: left out.
        if (top < settings.wallMm) {
            part.mesh.points.resize(points);
            part.mesh.triangles.resize(triangles);
            continue;
        }
        ++part.shells;
        pointsOf[item.object].push_back(
            {static_cast<std::uint32_t>(points), static_cast<std::uint32_t>(part.mesh.points.size())});
    }
    for (int i = 0; i < objects; ++i) {
        if (pointsOf[i].empty()) continue;
        PrintPart& part = out.parts[partOf[group[i]]];
        part.objects.push_back(i);
        if (settings.hangingLoops && scene.crystal[i]) {
            const Vec3 p = scene.positions[i];
            const Vec3 centre = slope.vector(p.x, p.y, p.z) * out.scale;
            addHangingLoop(part, pointsOf[i], centre, settings.wallMm);
        }
    }
    out.parts.erase(std::remove_if(out.parts.begin(), out.parts.end(), [](const PrintPart& p) { return p.shells == 0; }),
                    out.parts.end());
    layOut(out);
    return true;
}
