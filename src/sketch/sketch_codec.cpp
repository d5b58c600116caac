#include "sketch/sketch_codec.h"

#include <cmath>
#include <cstring>

#include "model/fractal_depth.h"
#include "render/cone_count.h"
#include "sketch/sketch_cost.h"
#include "textures/textures.h"

namespace {
// An object's fields that differ from the object before it (the first is held against a fresh
// object at the origin); only those are written, in this order.
enum : std::uint32_t {
    kFieldX = 1u << 0,
    kFieldLeanDraw = 1u << 1,  // spin, as the generator's draw that gives it
    kFieldY = 1u << 2,
    kFieldZ = 1u << 3,
    kFieldGrowth = 1u << 4,    // a mask of the levels that differ, then those
    kFieldMaxSize = 1u << 5,
    kFieldLevel = 1u << 6,
    kFieldKind = 1u << 7,
    kFieldTexture = 1u << 8,
    kFieldSpin = 1u << 9,      // spin as it is, when no draw gives it
    kParentShift = 10,         // two bits, a ParentMode
    kKnownFields = (1u << 12) - 1,
};
enum ParentMode : std::uint32_t { kParentPrevious = 0, kParentNone = 1, kParentIndex = 2 };

enum : std::uint8_t {
    kChunkMode = 1 << 0,
    kSideBranches = 1 << 1,
    kTwoArmsASide = 1 << 2,
    kSnowSurface = 1 << 3,
    kTranslucent = 1 << 4,
    kRotateMode = 1 << 5,
    kAllGrown = 1 << 6,
};

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr int kLeanDraws = 32768;

std::uint32_t bitsOf(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
bool sameBits(float a, float b) { return bitsOf(a) == bitsOf(b); }

// The draw whose lean is exactly this spin, or -1.
int leanDrawOf(float spin) {
    const double guess = std::round((spin * 1.5 + 16.4) * 1000.0);
    if (!(guess > -2.0 && guess < kLeanDraws + 1.0)) return -1;
    for (int r = static_cast<int>(guess) - 1; r <= static_cast<int>(guess) + 1; ++r) {
        if (r >= 0 && r < kLeanDraws && sameBits(leanFromDraw(r), spin)) return r;
    }
    return -1;
}

SketchObject freshObject() {
    SketchObject o{};
    for (float& g : o.growth) g = 0.001f;
    o.maxSize = 0.2f;
    o.parent = kNoParent;
    return o;
}

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
    void byte(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint32_t v) {
        byte(static_cast<std::uint8_t>(v));
        byte(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    void f32(float v) { u32(bitsOf(v)); }
    void varint(std::uint64_t v) {
        while (v >= 0x80) {
            byte(static_cast<std::uint8_t>(v | 0x80));
            v >>= 7;
        }
        byte(static_cast<std::uint8_t>(v));
    }
    void signedVarint(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        varint((u << 1) ^ (v < 0 ? 0xffffffffu : 0u));
    }

private:
    std::vector<std::uint8_t>& out_;
};

// Reads past the end, or a malformed number, only mark the reader as failed.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}
    bool ok() const { return ok_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    std::uint8_t byte() {
        if (at_ == end_) {
            ok_ = false;
            return 0;
        }
        return *at_++;
    }
    std::uint32_t u16() {
        const std::uint32_t low = byte();
        return low | static_cast<std::uint32_t>(byte()) << 8;
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | u16() << 16;
    }
    float f32() {
        const std::uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::uint64_t varint(std::uint64_t limit) {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t b = byte();
            v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) {
                if (v > limit) ok_ = false;
                return ok_ ? v : 0;
            }
        }
        ok_ = false;
        return 0;
    }
    std::int32_t signedVarint() {
        const auto u = static_cast<std::uint32_t>(varint(0xffffffffu));
        return static_cast<std::int32_t>((u >> 1) ^ (0u - (u & 1)));
    }

private:
    const std::uint8_t* at_;
    const std::uint8_t* end_;
    bool ok_ = true;
};

void writeObject(Writer& w, const SketchObject& o, const SketchObject& before, std::uint32_t index) {
    std::uint32_t growthMask = 0;
    for (int k = 0; k < kGrowthLevels; ++k) {
        if (!sameBits(o.growth[k], before.growth[k])) growthMask |= 1u << k;
    }
    const int draw = sameBits(o.spin, before.spin) ? -1 : leanDrawOf(o.spin);
    std::uint32_t fields = 0;
    if (!sameBits(o.x, before.x)) fields |= kFieldX;
    if (draw >= 0) fields |= kFieldLeanDraw;
    if (!sameBits(o.y, before.y)) fields |= kFieldY;
    if (!sameBits(o.z, before.z)) fields |= kFieldZ;
    if (growthMask != 0) fields |= kFieldGrowth;
    if (!sameBits(o.maxSize, before.maxSize)) fields |= kFieldMaxSize;
    if (!sameBits(o.level, before.level)) fields |= kFieldLevel;
    if (o.kind != before.kind) fields |= kFieldKind;
    if (o.texture != before.texture) fields |= kFieldTexture;
    if (draw < 0 && !sameBits(o.spin, before.spin)) fields |= kFieldSpin;
    const std::uint32_t parentMode = o.parent == kNoParent ? kParentNone
                                     : index > 0 && o.parent == static_cast<std::int32_t>(index - 1)
                                         ? kParentPrevious
                                         : kParentIndex;
    fields |= parentMode << kParentShift;

    w.varint(fields);
    if (fields & kFieldX) w.f32(o.x);
    if (fields & kFieldLeanDraw) w.u16(static_cast<std::uint32_t>(draw));
    if (fields & kFieldY) w.f32(o.y);
    if (fields & kFieldZ) w.f32(o.z);
    if (fields & kFieldGrowth) {
        w.u16(growthMask);
        for (int k = 0; k < kGrowthLevels; ++k) {
            if (growthMask & (1u << k)) w.f32(o.growth[k]);
        }
    }
    if (fields & kFieldMaxSize) w.f32(o.maxSize);
    if (fields & kFieldLevel) w.byte(static_cast<std::uint8_t>(o.level));
    if (fields & kFieldKind) w.byte(static_cast<std::uint8_t>(o.kind));
    if (fields & kFieldTexture) w.varint(static_cast<std::uint32_t>(o.texture));
    if (fields & kFieldSpin) w.f32(o.spin);
    if (parentMode == kParentIndex) w.varint(static_cast<std::uint32_t>(o.parent));
}

// Fills o from the fields written for it; false on a field or reference the format lacks.
bool readObject(Reader& r, SketchObject& o, const SketchObject& before, std::uint32_t index,
                std::uint32_t count) {
    o = before;
    const auto fields = static_cast<std::uint32_t>(r.varint(kKnownFields));
    if (fields & kFieldX) o.x = r.f32();
    if (fields & kFieldLeanDraw) {
        const std::uint32_t draw = r.u16();
        if (draw >= kLeanDraws) return false;
        o.spin = leanFromDraw(static_cast<int>(draw));
    }
    if (fields & kFieldY) o.y = r.f32();
    if (fields & kFieldZ) o.z = r.f32();
    if (fields & kFieldGrowth) {
        const std::uint32_t growthMask = r.u16();
        if (growthMask >> kGrowthLevels) return false;
        for (int k = 0; k < kGrowthLevels; ++k) {
            if (growthMask & (1u << k)) o.growth[k] = r.f32();
        }
    }
    if (fields & kFieldMaxSize) o.maxSize = r.f32();
    if (fields & kFieldLevel) o.level = r.byte();
    if (fields & kFieldKind) o.kind = r.byte();
    if (fields & kFieldTexture) o.texture = static_cast<std::int32_t>(r.varint(0x7fffffff));
    if (fields & kFieldSpin) o.spin = r.f32();
    switch (fields >> kParentShift) {
    case kParentPrevious:
        if (index == 0) return false;
        o.parent = static_cast<std::int32_t>(index - 1);
        break;
    case kParentNone: o.parent = kNoParent; break;
    case kParentIndex: o.parent = static_cast<std::int32_t>(r.varint(count - 1)); break;
    default: return false;
    }
    return true;
}

bool fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

std::string objectName(std::size_t index) { return "object " + std::to_string(index + 1); }

bool finiteWithin(float v, double low, double high) { return std::isfinite(v) && v >= low && v <= high; }

// A turn the trackball can make: its columns of unit length and at right angles, turning without
// mirroring, and no shift. The tolerance holds far more turning than anyone does, as each turn
// adds float rounding.
bool isRotation(const float m[16]) {
    constexpr double kTolerance = 1e-3;
    const auto near = [](double v, double to) { return std::fabs(v - to) <= kTolerance; };
    for (int k = 0; k < 16; ++k) {
        if (!std::isfinite(m[k])) return false;
    }
    for (int k = 0; k < 3; ++k) {
        if (!near(m[4 * k + 3], 0.0) || !near(m[12 + k], 0.0)) return false;
    }
    if (!near(m[15], 1.0)) return false;
    const auto dot = [m](int a, int b) {
        double sum = 0.0;
        for (int row = 0; row < 3; ++row) sum += static_cast<double>(m[4 * a + row]) * m[4 * b + row];
        return sum;
    };
    for (int a = 0; a < 3; ++a) {
        if (!near(dot(a, a), 1.0)) return false;
        for (int b = a + 1; b < 3; ++b) {
            if (!near(dot(a, b), 0.0)) return false;
        }
    }
    // The third column is the cross product of the first two, not its mirror image.
    const double cross[3] = {static_cast<double>(m[1]) * m[6] - static_cast<double>(m[2]) * m[5],
                             static_cast<double>(m[2]) * m[4] - static_cast<double>(m[0]) * m[6],
                             static_cast<double>(m[0]) * m[5] - static_cast<double>(m[1]) * m[4]};
    return cross[0] * m[8] + cross[1] * m[9] + cross[2] * m[10] > 0.0;
}

bool checkObject(const Sketch& s, std::size_t i, std::string& why) {
    const SketchObject& o = s.objects[i];
    const std::string name = objectName(i);
    for (float g : o.growth) {
        if (!finiteWithin(g, 0.0, kMaxSketchSize)) return fail(why, name + " has a size out of range");
    }
    if (!finiteWithin(o.maxSize, 0.0, kMaxSketchSize)) return fail(why, name + " has a size out of range");
    // Every object ever placed lies on the snow; the stand-ins lie at its centre.
    if (!finiteWithin(o.x, -1.5, 1.5) || !finiteWithin(o.y, -1.5, 1.5) || !finiteWithin(o.z, -2.0, 2.0)) {
        return fail(why, name + " lies off the snow");
    }
    if (!finiteWithin(o.spin, -11.0, 11.0)) return fail(why, name + " leans too far");
    if (!finiteWithin(o.level, 0.0, kMaxLevel) || o.level != std::floor(o.level)) {
        return fail(why, name + " has a branching level out of range");
    }
    if (o.kind != 0 && o.kind != 1) return fail(why, name + " is neither a crystal nor a chunk");
    if (o.texture < 0 || o.texture > 8) return fail(why, name + " has an unknown ice colour");
    // Predecessors always come before: no chain of them can loop. Objects off the scene are
    // never drawn, so they need none.
    if (o.parent == kNoParent) return true;
    const auto parent = static_cast<std::size_t>(o.parent);
    if (o.parent < 0 || parent >= s.objects.size()) return fail(why, name + " names a predecessor that is not there");
    if (i >= s.listed) return fail(why, name + " is not in the scene yet names a predecessor");
    if (parent >= i && parent < s.listed) return fail(why, name + "'s predecessor comes after it");
    return true;
}
}  // namespace

std::uint32_t crc32Of(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    static std::uint32_t table[256];
    if (table[1] == 0) {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

bool checkSketch(const Sketch& s, std::string& why) {
    const std::size_t count = s.objects.size();
    if (count == 0) return fail(why, "the sketch holds no objects");
    if (count > kMaxSketchObjects) {
        return fail(why, "the sketch holds " + std::to_string(count) + " objects, more than the " +
                             std::to_string(kMaxSketchObjects) + " Frimel opens");
    }
    if (s.listed > count || s.current >= count || s.link >= count || s.anchor >= count) {
        return fail(why, "the sketch names objects that are not there");
    }
    const bool flagsSound = (s.placeKind == 0 || s.placeKind == 1) && (s.armLayout == 0 || s.armLayout == 1) &&
                            (s.snowSurface == 0 || s.snowSurface == 1) &&
                            (s.translucent == 0.0f || s.translucent == 1.0f) &&
                            (s.rotateMode == 0 || s.rotateMode == 1);
    if (!flagsSound || fractalDepthOf(s.fractalThreshold) < 0 || s.crystalTexture < 0 ||
        s.crystalTexture > static_cast<std::int32_t>(kSnowTexture)) {
        return fail(why, "the sketch holds settings Frimel does not have");
    }
    bool identity = true;
    for (int k = 0; k < 16; ++k) identity = identity && sameBits(s.sceneRotation[k], kIdentity[k]);
    if (!isRotation(s.sceneRotation) || (s.rotateMode == 0 && !identity)) {
        return fail(why, "the scene's turn is not a rotation");
    }
    if (!finiteWithin(s.growthBoost, 0.0, kMaxSketchSize) || !finiteWithin(s.lastDragX, -1e9, 1e9) ||
        !finiteWithin(s.lastDragY, -1e9, 1e9)) {
        return fail(why, "the last gesture holds numbers out of range");
    }
    if (s.lean.draws > kMaxLeanDraws) return fail(why, "the random lean has been drawn too often");
    for (std::size_t i = 0; i < count; ++i) {
        if (!checkObject(s, i, why)) return false;
    }
    if (sketchConesAtRest(s, kFrameConeBound) > kFrameConeBound) {
        return fail(why, "the sketch would take too long to draw: its frame holds more than " +
                             std::to_string(kFrameConeBound) + " cones, the most Frimel draws");
    }
    return true;
}

bool encodeSketch(const Sketch& s, std::vector<std::uint8_t>& out, std::string& why) {
    out.clear();
    if (!checkSketch(s, why)) return false;
    writeSketchBytes(s, out);
    return true;
}

void writeSketchBytes(const Sketch& s, std::vector<std::uint8_t>& out) {
    out.clear();
    Writer w(out);
    w.byte(kSketchFormat);
    std::uint8_t flags = 0;
    if (s.placeKind == 1) flags |= kChunkMode;
    if (s.sideBranches) flags |= kSideBranches;
    if (s.armLayout == 1) flags |= kTwoArmsASide;
    if (s.snowSurface == 1) flags |= kSnowSurface;
    if (s.translucent != 0.0f) flags |= kTranslucent;
    if (s.rotateMode == 1) flags |= kRotateMode;
    if (s.allGrown) flags |= kAllGrown;
    w.byte(flags);
    w.byte(static_cast<std::uint8_t>(fractalDepthOf(s.fractalThreshold)));
    w.varint(static_cast<std::uint32_t>(s.crystalTexture));
    if (s.rotateMode == 1) {
        for (float v : s.sceneRotation) w.f32(v);
    }
    w.f32(s.growthBoost);
    w.f32(s.lastDragX);
    w.f32(s.lastDragY);
    for (std::int32_t v : {s.mouseX, s.mouseY, s.prevMouseX, s.prevMouseY}) w.signedVarint(v);
    w.varint(s.lean.seed);
    w.varint(s.lean.draws);
    w.varint(s.objects.size());
    for (std::uint32_t v : {s.listed, s.current, s.link, s.anchor}) w.varint(v);
    SketchObject before = freshObject();
    for (std::size_t i = 0; i < s.objects.size(); ++i) {
        writeObject(w, s.objects[i], before, static_cast<std::uint32_t>(i));
        before = s.objects[i];
    }
    w.u32(crc32Of(out.data(), out.size()));
}

bool decodeSketch(const std::uint8_t* data, std::size_t size, Sketch& out, std::string& why) {
    if (size == 0) return fail(why, "the sketch is empty");
    if (data[0] != kSketchFormat) {
        if (data[0] > kSketchFormat) {
            return fail(why, "the sketch was made by a newer Frimel (format " + std::to_string(data[0]) +
                                 "; this one reads format " + std::to_string(kSketchFormat) + ")");
        }
        return fail(why, "this is not a Frimel sketch");
    }
    if (size < 5) return fail(why, "the sketch is cut short");
    Reader tail(data + size - 4, 4);
    if (tail.u32() != crc32Of(data, size - 4)) {
        return fail(why, "the sketch is damaged or cut short (its check sum does not match)");
    }

    Reader r(data + 1, size - 5);
    Sketch s;
    const std::uint8_t flags = r.byte();
    if (flags & 0x80) return fail(why, "the sketch holds settings Frimel does not have");
    s.placeKind = flags & kChunkMode ? 1 : 0;
    s.sideBranches = (flags & kSideBranches) != 0;
    s.armLayout = flags & kTwoArmsASide ? 1 : 0;
    s.snowSurface = flags & kSnowSurface ? 1 : 0;
    s.translucent = flags & kTranslucent ? 1.0f : 0.0f;
    s.rotateMode = flags & kRotateMode ? 1 : 0;
    s.allGrown = (flags & kAllGrown) != 0;
    const std::uint8_t depth = r.byte();
    if (depth >= kFractalDepths) return fail(why, "the sketch holds settings Frimel does not have");
    s.fractalThreshold = kFractalThresholds[depth];
    s.crystalTexture = static_cast<std::int32_t>(r.varint(0x7fffffff));
    if (s.rotateMode == 1) {
        for (float& v : s.sceneRotation) v = r.f32();
    }
    s.growthBoost = r.f32();
    s.lastDragX = r.f32();
    s.lastDragY = r.f32();
    for (std::int32_t* v : {&s.mouseX, &s.mouseY, &s.prevMouseX, &s.prevMouseY}) *v = r.signedVarint();
    s.lean.seed = static_cast<unsigned>(r.varint(0xffffffffu));
    s.lean.draws = r.varint(~std::uint64_t{0});
    const std::uint64_t count = r.varint(kMaxSketchObjects + 1);
    if (!r.ok()) return fail(why, "the sketch is cut short");
    if (count > kMaxSketchObjects) {
        return fail(why, "the sketch holds more objects than the " + std::to_string(kMaxSketchObjects) +
                             " Frimel opens");
    }
    // Every object takes at least a byte: a count beyond what is left cannot be true.
    if (count == 0 || count > r.left()) return fail(why, "the sketch is cut short");
    const auto n = static_cast<std::uint32_t>(count);
    s.listed = static_cast<std::uint32_t>(r.varint(n));
    s.current = static_cast<std::uint32_t>(r.varint(n - 1));
    s.link = static_cast<std::uint32_t>(r.varint(n - 1));
    s.anchor = static_cast<std::uint32_t>(r.varint(n - 1));
    if (!r.ok()) return fail(why, "the sketch names objects that are not there");
    s.objects.resize(n);
    SketchObject before = freshObject();
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!readObject(r, s.objects[i], before, i, n) || !r.ok()) {
            return fail(why, objectName(i) + " is cut short or malformed");
        }
        before = s.objects[i];
    }
    if (r.left() != 0) return fail(why, "the sketch has bytes left over after its last object");
    if (!checkSketch(s, why)) return false;
    out = std::move(s);
    return true;
}
