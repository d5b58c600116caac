#include "sketch/part_grouping.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {
struct Box {
    Vec3 low, high;
    bool empty = true;
};

void extend(Box& box, Vec3 low, Vec3 high) {
    if (box.empty) {
        box = {low, high, false};
        return;
    }
    box.low = {std::min(box.low.x, low.x), std::min(box.low.y, low.y), std::min(box.low.z, low.z)};
    box.high = {std::max(box.high.x, high.x), std::max(box.high.y, high.y), std::max(box.high.z, high.z)};
}

bool overlap(const Box& a, const Box& b) {
    return !a.empty && !b.empty && a.low.x <= b.high.x && b.low.x <= a.high.x && a.low.y <= b.high.y &&
           b.low.y <= a.high.y && a.low.z <= b.high.z && b.low.z <= a.high.z;
}

Box capsuleBox(const Capsule& c) {
    const Vec3 r = {c.radius, c.radius, c.radius};
    const Vec3 low = {std::min(c.a.x, c.b.x), std::min(c.a.y, c.b.y), std::min(c.a.z, c.b.z)};
    const Vec3 high = {std::max(c.a.x, c.b.x), std::max(c.a.y, c.b.y), std::max(c.a.z, c.b.z)};
    return {low - r, high + r, false};
}

int root(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

void join(std::vector<int>& parent, int a, int b) {
    a = root(parent, a);
    b = root(parent, b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
}
}  // namespace

double segmentDistance(Vec3 p1, Vec3 q1, Vec3 p2, Vec3 q2) {
    const Vec3 d1 = q1 - p1, d2 = q2 - p2, r = p1 - p2;
    const double a = dot(d1, d1), e = dot(d2, d2), f = dot(d2, r);
    double s = 0.0, t = 0.0;
    if (a <= 1e-300 && e <= 1e-300) {
        s = t = 0.0;
    } else if (a <= 1e-300) {
        t = std::clamp(f / e, 0.0, 1.0);
    } else {
        const double c = dot(d1, r);
        if (e <= 1e-300) {
            s = std::clamp(-c / a, 0.0, 1.0);
        } else {
            const double b = dot(d1, d2), denominator = a * e - b * b;
            s = denominator > 0.0 ? std::clamp((b * f - c * e) / denominator, 0.0, 1.0) : 0.0;
            t = (b * s + f) / e;
            if (t < 0.0) {
                t = 0.0;
                s = std::clamp(-c / a, 0.0, 1.0);
            } else if (t > 1.0) {
                t = 1.0;
                s = std::clamp((b - c) / a, 0.0, 1.0);
            }
        }
    }
    const Vec3 gap = (p1 + d1 * s) - (p2 + d2 * t);
    return std::sqrt(dot(gap, gap));
}

std::vector<int> touchingGroups(const std::vector<Capsule>& capsules, int objectCount, std::int64_t maxTests) {
    std::vector<Box> boxes(static_cast<std::size_t>(objectCount));
    std::vector<std::vector<int>> owned(static_cast<std::size_t>(objectCount));
    for (std::size_t i = 0; i < capsules.size(); ++i) {
        const Box box = capsuleBox(capsules[i]);
        extend(boxes[capsules[i].object], box.low, box.high);
        owned[capsules[i].object].push_back(static_cast<int>(i));
    }
    std::vector<int> parent(static_cast<std::size_t>(objectCount));
    std::iota(parent.begin(), parent.end(), 0);

    // Objects in order of their boxes' left sides: a pair can touch only while their boxes
    // overlap along x.
    std::vector<int> order;
    for (int i = 0; i < objectCount; ++i) {
        if (!boxes[i].empty) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](int l, int r) { return boxes[l].low.x < boxes[r].low.x; });
    std::int64_t tests = 0;
    std::vector<int> near, farSide;
    std::size_t i = 0;
    for (; i < order.size() && tests <= maxTests; ++i) {
        const int a = order[i];
        for (std::size_t j = i + 1; j < order.size() && boxes[order[j]].low.x <= boxes[a].high.x; ++j) {
            const int b = order[j];
            ++tests;
            if (!overlap(boxes[a], boxes[b]) || root(parent, a) == root(parent, b)) continue;
            // Only the rods inside the other object's box can reach it.
            near.clear();
            farSide.clear();
            for (int c : owned[a]) {
                if (overlap(capsuleBox(capsules[c]), boxes[b])) near.push_back(c);
            }
            for (int c : owned[b]) {
                if (overlap(capsuleBox(capsules[c]), boxes[a])) farSide.push_back(c);
            }
            tests += static_cast<std::int64_t>(owned[a].size() + owned[b].size());
            bool touching = false;
            for (std::size_t m = 0; m < near.size() && !touching; ++m) {
                const Capsule& p = capsules[near[m]];
                for (std::size_t n = 0; n < farSide.size() && !touching; ++n) {
                    const Capsule& q = capsules[farSide[n]];
                    ++tests;
                    touching = segmentDistance(p.a, p.b, q.a, q.b) <= p.radius + q.radius;
                }
            }
            if (touching || tests > maxTests) join(parent, a, b);
        }
    }
    // Past the budget, every object overlapping the ones before it along x joins them.
    if (i > 0 && i < order.size()) {
        double reach = boxes[order[i - 1]].high.x;
        for (std::size_t k = 0; k < i; ++k) reach = std::max(reach, boxes[order[k]].high.x);
        for (; i < order.size(); ++i) {
            if (boxes[order[i]].low.x <= reach) join(parent, order[i - 1], order[i]);
            reach = std::max(reach, boxes[order[i]].high.x);
        }
    }
    std::vector<int> group(static_cast<std::size_t>(objectCount));
    for (int i = 0; i < objectCount; ++i) group[i] = root(parent, i);
    return group;
}
