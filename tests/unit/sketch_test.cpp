// Sketches: a kept scene brought back must show the same picture and go on exactly as the scene
// it was kept from; anything damaged or forged is refused with its reason and changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/state.h"
#include "model/crystal.h"
#include "scenes/scene_script.h"
#include "sketch/png_text.h"
#include "sketch/sketch_codec.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"
#include "support/scene_invariants.h"
#include "support/test_window.h"

namespace {
std::string sketchNow() {
    std::string text, why;
    EXPECT_TRUE(sketchToText(captureSketch(), text, why)) << why;
    return text;
}

bool open(const std::string& text, std::string& why) {
    Sketch s;
    if (!sketchFromText(text, s, why)) return false;
    applySketch(s);
    return true;
}

struct RoundTrip {
    const char* name;
    const char* scene;   // builds the sketch that is kept
    const char* onward;  // then draws on: clicks, drags, holds, undos, chunks
};

const RoundTrip kRoundTrips[] = {
    {"a drag", "key y; srand 3; press 150 330; move 175 330; move 200 325; hold 30; move 230 320; release 230 320",
     "frames 3; press 260 300; move 300 300; hold 20; move 330 290; release 330 290; key z; key u; "
     "press 400 350; release 400 350; settle"},
    {"a deep hold", "key 4; key y; press 300 300; hold 160; release 300 300; frames 4",
     "press 320 280; hold 25; release 320 280; key z; key z; press 200 330; release 200 330; settle"},
    {"undos after a clear", "key y; srand 5; grid 6; settle; key c; key u; grid 3; key z; key z; key z; key z",
     "press 250 300; release 250 300; press 300 330; move 340 330; release 340 330; key z; settle"},
    {"a turned chunk scene", "key u; srand 9; grid 5; settle; key t; key s; key r; press 300 300; move 350 330; "
     "frames 1; move 360 250; frames 1; release 360 250",
     "press 360 250; move 300 300; frames 1; release 300 300; key u; press 350 300; release 350 300; "
     "key 1; key d; press 200 320; release 200 320; settle"},
};

TEST(SketchRoundTrip, KeptScenesComeBackWithTheSamePictureAndGoOnAlike) {
    startFrimelWindow();
    for (const RoundTrip& c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        replayScene("release 0 0; key c; key y; key 2; key o; key b; key b");
        replayScene(c.scene);
        const std::string kept = sketchNow();
        const std::vector<uint8_t> picture = drawAndReadFrame();
        replayScene(c.onward);
        const std::vector<uint8_t> onwardPicture = drawAndReadFrame();
        const std::string onwardSketch = sketchNow();

        std::string why;
        ASSERT_TRUE(open(kept, why)) << why;
        EXPECT_EQ(sketchNow(), kept) << "a sketch brought back is kept as it was";
        EXPECT_TRUE(drawAndReadFrame() == picture) << "the same picture, bit for bit";
        replayScene(c.onward);
        EXPECT_TRUE(drawAndReadFrame() == onwardPicture) << "drawing on gives the same picture";
        EXPECT_EQ(sketchNow(), onwardSketch) << "drawing on leaves the same objects and links";
    }
}

TEST(SketchSize, ALinkFollowsWhatTheSketchHoldsNotItsHistory) {
    startFrimelWindow();
    replayScene("release 0 0; key c; key y; key 2; srand 1; grid 400; settle");
    EXPECT_LE(sketchNow().size(), 8000u) << "the bench's 400 crystals";

    replayScene("key c; key y; srand 1; grid 12; settle");
    const std::size_t fresh = sketchNow().size();
    for (int round = 0; round < 20; ++round) {
        replayScene("press 130 330; hold 40; move 200 330; move 260 320; move 330 320; hold 60; "
                    "release 330 320; key z; key z; settle; key c");
    }
    replayScene("srand 1; grid 12; settle");
    // Left behind: the last drag's anchor and the object the first click links to.
    EXPECT_LE(sketchNow().size(), fresh + 120) << "twenty cleared strokes lengthen nothing";
}

// count crystals at their deepest: every size 5, four arms a side, branching three levels deep,
// each one alone past the frame's bound; each after the first costs a byte.
void heavyCrystals(Sketch& s, std::size_t count) {
    SketchObject o = s.objects[0];
    o.kind = 0;
    o.parent = kNoParent;
    o.level = 14.0f;
    o.maxSize = 5.0f;
    for (float& g : o.growth) g = 5.0f;
    s.objects.assign(count, o);
    s.listed = static_cast<std::uint32_t>(count);
    s.current = s.link = s.anchor = 0;
    s.fractalThreshold = 0.06f;
    s.sideBranches = true;
    s.armLayout = 0;
}

// Every open frees the objects of the scene it replaces: the keeper holds the sketch's own
// objects alone, and drawing on, which follows every pointer the scene holds, finds them sound.
TEST(SketchOpen, FreesTheObjectsOfTheSceneItReplaces) {
    startFrimelWindow();
    replayScene("release 0 0; key c; key y; srand 4; grid 30; settle; key z; press 130 330; move 200 330; "
                "hold 20; move 260 320; release 260 320; settle");
    const std::string kept = sketchNow();
    Sketch s;
    std::string why;
    ASSERT_TRUE(sketchFromText(kept, s, why)) << why;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(open(kept, why)) << why;
        EXPECT_EQ(keptCrystalCount(), s.objects.size()) << "round " << round;
        EXPECT_TRUE(sceneIsSound());
        replayScene("move 300 320; hold 10; release 300 320; press 350 300; hold 10; release 350 300; key z; "
                    "key z; key z; settle");
        EXPECT_TRUE(sceneIsSound());
    }
}

// Sound sketches made unsound one way each, written as they are: the reader must refuse them.
struct Forgery {
    const char* why;
    std::function<void(Sketch&)> forge;
};

const Forgery kForgeries[] = {
    {"off the snow", [](Sketch& s) { s.objects[1].x = 1.75f; }},
    {"size out of range", [](Sketch& s) { s.objects[0].growth[3] = NAN; }},
    {"size out of range", [](Sketch& s) { s.objects[2].maxSize = 1e30f; }},
    {"leans too far", [](Sketch& s) { s.objects[0].spin = 40.0f; }},
    {"branching level", [](Sketch& s) { s.objects[1].level = 15.0f; }},
    {"neither a crystal nor a chunk", [](Sketch& s) { s.objects[1].kind = 2; }},
    {"unknown ice colour", [](Sketch& s) { s.objects[2].texture = 9; }},
    {"predecessor comes after it", [](Sketch& s) { s.objects[0].parent = 2; }},
    {"predecessor comes after it", [](Sketch& s) { s.objects[1].parent = 1; }},
    {"not in the scene yet names a predecessor", [](Sketch& s) { s.objects.back().parent = 0; }},
    {"not a rotation", [](Sketch& s) { s.rotateMode = 1; s.sceneRotation[5] = INFINITY; }},
    {"not a rotation", [](Sketch& s) { s.rotateMode = 1; std::fill_n(s.sceneRotation, 16, 0.0f); }},
    {"not a rotation", [](Sketch& s) { s.rotateMode = 1; s.sceneRotation[0] = -1.0f; }},  // a mirror
    {"not a rotation", [](Sketch& s) { s.rotateMode = 1; s.sceneRotation[4] = 0.01f; }},
    {"would take too long to draw", [](Sketch& s) { heavyCrystals(s, 1); }},
    {"would take too long to draw", [](Sketch& s) { heavyCrystals(s, 24000); }},
    {"would take too long to draw", [](Sketch& s) {  // 40,000 small crystals of 12 cones each
         heavyCrystals(s, 40000);
         for (SketchObject& o : s.objects) o.maxSize = 0.2f, std::fill_n(o.growth, kGrowthLevels, 0.2f);
     }},
    {"drawn too often", [](Sketch& s) { s.lean.draws = kMaxLeanDraws + 1; }},
    {"last gesture", [](Sketch& s) { s.growthBoost = -1.0f; }},
    {"100000 Frimel opens", [](Sketch& s) { s.objects.resize(kMaxSketchObjects + 1, s.objects[0]); }},
};

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    Sketch s;
    std::string why;
    EXPECT_TRUE(sketchFromText(text, s, why)) << why;
    std::vector<std::uint8_t> bytes;
    writeSketchBytes(s, bytes);
    return bytes;
}

std::string textOf(std::vector<std::uint8_t> bytes, bool fixCheckSum) {
    if (fixCheckSum) {
        const std::uint32_t crc = crc32Of(bytes.data(), bytes.size() - 4);
        for (int k = 0; k < 4; ++k) bytes[bytes.size() - 4 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
    }
    return textOfSketchBytes(bytes);
}

TEST(SketchReader, RefusesWhatIsDamagedOrForgedAndChangesNothing) {
    startFrimelWindow();
    replayScene("release 0 0; key c; key y; srand 2; grid 3; settle; key z; key u; grid 1; settle");
    const std::string sound = sketchNow();
    const std::vector<uint8_t> picture = drawAndReadFrame();
    std::vector<std::uint8_t> newer = bytesOf(sound);
    newer[0] = 2;
    std::vector<std::uint8_t> cut = bytesOf(sound);
    cut.resize(cut.size() - 5);
    std::vector<std::uint8_t> flipped = bytesOf(sound);
    flipped[flipped.size() / 2] ^= 0x10;

    std::vector<std::pair<std::string, std::string>> bad = {
        {"", "empty"},
        {"https://example.org/frimel/#view=3", "holds no Frimel sketch"},
        {"#sketch=AB$C", "characters that are not part of one"},
        {textOf(cut, false), "check sum"},
        {sound.substr(0, 1), "cut short"},
        {textOf(newer, false), "newer Frimel (format 2"},
        {textOf(flipped, false), "check sum"},
        {textOf(std::vector<std::uint8_t>(9, 1), true), "cut short"},
    };
    for (const Forgery& f : kForgeries) {
        Sketch s;
        std::string why;
        ASSERT_TRUE(sketchFromText(sound, s, why)) << why;
        f.forge(s);
        std::vector<std::uint8_t> bytes;
        writeSketchBytes(s, bytes);
        bad.emplace_back(textOf(bytes, false), f.why);
    }
    for (const auto& [text, reason] : bad) {
        SCOPED_TRACE(reason);
        std::string why;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(open(text, why));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "refused at once";
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_EQ(sketchNow(), sound);
    }
    EXPECT_TRUE(drawAndReadFrame() == picture);
}

// A newest object that can grow no more, its size met exactly, opens and comes to rest at once.
TEST(SketchReader, ASketchThatCannotGrowOpensAndRests) {
    startFrimelWindow();
    replayScene("release 0 0; key c; key y; srand 2; grid 3; settle");
    for (const float size : {0.2f, 0.0f}) {
        SCOPED_TRACE(size);
        Sketch s = captureSketch();
        SketchObject& newest = s.objects[s.listed - 1];
        newest.maxSize = size;
        newest.growth[static_cast<int>(newest.level)] = size;
        s.allGrown = false;
        std::string text, why;
        ASSERT_TRUE(sketchToText(s, text, why)) << why;
        ASSERT_TRUE(open(text, why)) << why;
        drawAndReadFrame();
        EXPECT_TRUE(allGrown);
    }
}

// A 1 x 1 PNG as an encoder writes it: header, pixels, end.
const std::vector<std::uint8_t> kPng = {
    0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0,
    0, 0x90, 0x77, 0x53, 0xde, 0, 0, 0, 12, 'I', 'D', 'A', 'T', 0x08, 0xd7, 0x63, 0xf8, 0xcf, 0xc0, 0, 0, 0x03,
    0x01, 0x01, 0x00, 0x18, 0xdd, 0x8d, 0xb0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xae, 0x42, 0x60, 0x82};

TEST(SketchPicture, APngCarriesItsSketchAndKeepsItsPicture) {
    startFrimelWindow();
    replayScene("release 0 0; key c; key y; grid 2; settle");
    const std::string text = sketchNow();
    std::vector<std::uint8_t> once, twice;
    ASSERT_TRUE(withPngText(kPng.data(), kPng.size(), kSketchPngKeyword, "old", once));
    ASSERT_TRUE(withPngText(once.data(), once.size(), kSketchPngKeyword, text, twice));
    // The new chunk replaces the old one, just before the end; everything else is as it was.
    ASSERT_EQ(twice.size(), kPng.size() + 12 + std::string(kSketchPngKeyword).size() + 1 + text.size());
    EXPECT_TRUE(std::equal(kPng.begin(), kPng.end() - 12, twice.begin()));
    EXPECT_TRUE(std::equal(kPng.end() - 12, kPng.end(), twice.end() - 12));
    Sketch s;
    std::string why;
    ASSERT_TRUE(sketchFromFile(twice.data(), twice.size(), s, why)) << why;
    EXPECT_EQ(s.objects.size(), captureSketch().objects.size());

    const std::vector<std::uint8_t> cut(twice.begin(), twice.end() - 20);
    EXPECT_FALSE(sketchFromFile(cut.data(), cut.size(), s, why));
    EXPECT_NE(why.find("not a whole PNG"), std::string::npos) << why;
    EXPECT_FALSE(sketchFromFile(kPng.data(), kPng.size(), s, why));
    EXPECT_NE(why.find("holds no Frimel sketch"), std::string::npos) << why;
}
}  // namespace
