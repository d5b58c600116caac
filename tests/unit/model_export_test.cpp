// 3-D models of a scene: print meshes must be closed, outward, at least the wall thick and on
// the plate, touching objects one part; the viewing file must hold what the frame draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/state.h"
#include "render/cone_record.h"
#include "scenes/scene_script.h"
#include "sketch/model_export.h"
#include "support/model_scenes.h"
#include "support/test_window.h"

namespace {
// Shells of a mesh: triangles joined through shared corners.
std::vector<std::vector<std::size_t>> shellsOf(const TriangleMesh& mesh) {
    std::vector<std::size_t> parent(mesh.points.size());
    for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = i;
    auto root = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (const auto& t : mesh.triangles) {
        parent[root(t[1])] = root(t[0]);
        parent[root(t[2])] = root(t[0]);
    }
    std::map<std::size_t, std::vector<std::size_t>> byRoot;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) byRoot[root(mesh.triangles[i][0])].push_back(i);
    std::vector<std::vector<std::size_t>> shells;
    for (auto& entry : byRoot) shells.push_back(std::move(entry.second));
    return shells;
}

// Closed and consistently oriented: every edge used once in each direction.
int edgesNotPairedOnce(const TriangleMesh& mesh) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> uses;
    for (const auto& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) ++uses[{t[k], t[(k + 1) % 3]}];
    }
    int bad = 0;
    for (const auto& [edge, count] : uses) {
        const auto back = uses.find({edge.second, edge.first});
        if (count != 1 || back == uses.end() || back->second != 1) ++bad;
    }
    return bad;
}

double signedVolume(const TriangleMesh& mesh, const std::vector<std::size_t>& shell) {
    double six = 0.0;
    for (std::size_t i : shell) {
        const auto& t = mesh.triangles[i];
        six += dot(mesh.points[t[0]], cross(mesh.points[t[1]], mesh.points[t[2]]));
    }
    return six / 6.0;
}

// The narrowest a convex shell is, across any of its faces.
double narrowestWidth(const TriangleMesh& mesh, const std::vector<std::size_t>& shell) {
    double narrowest = 1e300;
    for (std::size_t i : shell) {
        const auto& t = mesh.triangles[i];
        Vec3 n = cross(mesh.points[t[1]] - mesh.points[t[0]], mesh.points[t[2]] - mesh.points[t[0]]);
        const double length = std::sqrt(dot(n, n));
        if (length < 1e-9) continue;
        n = n * (1.0 / length);
        double low = 1e300, high = -1e300;
        for (std::size_t j : shell) {
            for (std::uint32_t corner : mesh.triangles[j]) {
                low = std::min(low, dot(n, mesh.points[corner]));
                high = std::max(high, dot(n, mesh.points[corner]));
            }
        }
        narrowest = std::min(narrowest, high - low);
    }
    return narrowest;
}

// Two corners of one shell in the same place: a cone brought to a point, or a sliver.
bool cornersApart(const TriangleMesh& mesh, const std::vector<std::size_t>& shell) {
    std::vector<std::uint32_t> corners;
    for (std::size_t i : shell) corners.insert(corners.end(), mesh.triangles[i].begin(), mesh.triangles[i].end());
    std::sort(corners.begin(), corners.end());
    corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
    for (std::size_t a = 0; a < corners.size(); ++a) {
        for (std::size_t b = a + 1; b < corners.size(); ++b) {
            const Vec3 d = mesh.points[corners[a]] - mesh.points[corners[b]];
            if (dot(d, d) < 1e-12) return false;
        }
    }
    return true;
}

void startScene(const char* scene) {
    startFrimelWindow();
    ASSERT_TRUE(startModelScene(scene));
}

TEST(PrintModel, EveryShellIsClosedOutwardAtLeastTheWallAndOnThePlate) {
    for (const ModelScene& c : kModelScenes) {
        SCOPED_TRACE(c.name);
        startScene(c.script);
        PrintSettings settings;
        PrintModel model;
        std::string why;
        ASSERT_TRUE(buildScenePrintModel(settings, model, why)) << why;
        ASSERT_FALSE(model.parts.empty());
        EXPECT_TRUE(model.note.empty()) << model.note;
        if (c.onePart) {
            EXPECT_EQ(model.parts.size(), 1u);
        } else {
            EXPECT_GT(model.parts.size(), 1u) << "objects apart are parts of their own";
        }
        double longest = 0.0;
        for (const PrintPart& part : model.parts) {
            EXPECT_EQ(edgesNotPairedOnce(part.mesh), 0);
            const auto shells = shellsOf(part.mesh);
            EXPECT_EQ(static_cast<int>(shells.size()), part.shells);
            int thin = 0, pointed = 0, inward = 0;
            for (const auto& shell : shells) {
                thin += narrowestWidth(part.mesh, shell) < settings.wallMm - 1e-6;
                pointed += !cornersApart(part.mesh, shell);
                inward += signedVolume(part.mesh, shell) <= 0.0;
            }
            EXPECT_EQ(thin, 0) << "shells thinner than the wall";
            EXPECT_EQ(pointed, 0) << "shells with corners in one place";
            EXPECT_EQ(inward, 0) << "shells inside out";
            Vec3 low = part.mesh.points[0], high = low;
            for (const Vec3& p : part.mesh.points) {
                low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
                high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
            }
            EXPECT_EQ(low.z, 0.0) << "stands on the plate";
            EXPECT_GE(low.x, 0.0);
            EXPECT_GE(low.y, 0.0);
            EXPECT_LE(high.x, kPlateMm);
            EXPECT_LE(high.y, kPlateMm);
            longest = std::max({longest, high.x - low.x, high.y - low.y, high.z - low.z});
        }
        // The walls added to thin cones may reach a little past the size asked for.
        EXPECT_GE(longest, settings.longestMm - 1e-6);
        EXPECT_LE(longest, settings.longestMm + 2 * settings.wallMm);
    }
}

TEST(PrintModel, HangingLoopsAddAClosedRingToEachCrystalOnly) {
    startScene("key y; srand 4; grid 3; settle; key u; grid 2; settle");
    PrintSettings settings;
    PrintModel plain, hung;
    std::string why;
    ASSERT_TRUE(buildScenePrintModel(settings, plain, why)) << why;
    settings.hangingLoops = true;
    ASSERT_TRUE(buildScenePrintModel(settings, hung, why)) << why;
    int plainShells = 0, hungShells = 0;
    for (const PrintPart& p : plain.parts) plainShells += p.shells;
    for (const PrintPart& p : hung.parts) {
        hungShells += p.shells;
        EXPECT_EQ(edgesNotPairedOnce(p.mesh), 0);
        for (const auto& shell : shellsOf(p.mesh)) EXPECT_GT(signedVolume(p.mesh, shell), 0.0);
    }
    EXPECT_EQ(hung.parts.size(), plain.parts.size()) << "a loop joins its crystal's part";
    EXPECT_EQ(hungShells - plainShells, 3) << "three crystals, two chunks";
}

TEST(PrintModel, PartsThatDoNotFitThePlateAreSaidAndOverLargeModelsRefused) {
    startScene("key u; srand 9; grid 60; settle");
    PrintSettings settings;
    settings.longestMm = 60.0;
    PrintModel model;
    std::string why, note;
    ASSERT_TRUE(buildScenePrintModel(settings, model, why)) << why;
    EXPECT_NE(model.note.find("more than the 200 x 200 mm plate"), std::string::npos) << model.note;

    std::vector<std::uint8_t> bytes;
    for (const double bad : {0.0, 4.0, 1001.0, static_cast<double>(NAN)}) {
        settings.longestMm = bad;
        EXPECT_FALSE(makeSceneModel(ModelFormat::ThreeMf, settings, bytes, why, note)) << bad;
        EXPECT_TRUE(bytes.empty());
    }
    settings = PrintSettings();
    settings.wallMm = 0.0;
    EXPECT_FALSE(makeSceneModel(ModelFormat::Stl, settings, bytes, why, note));

    // A crystal with four arms a side held to the cone bound at the deepest branching, printed
    // 200 mm long: every twig is thick enough to keep, more than a model may take.
    startScene("key 4; key d; key y; press 300 300; hold 160; release 300 300");
    ASSERT_FALSE(recordSceneAtRest().empty());
    settings = PrintSettings();
    settings.longestMm = 200.0;
    EXPECT_FALSE(makeSceneModel(ModelFormat::ThreeMf, settings, bytes, why, note));
    EXPECT_NE(why.find("50 MB"), std::string::npos) << why;
    EXPECT_TRUE(bytes.empty());
}

std::string glbJson(const std::vector<std::uint8_t>& glb) {
    std::uint32_t length = 0;
    if (glb.size() < 20) return "";
    std::memcpy(&length, glb.data() + 12, 4);
    return std::string(glb.begin() + 20, glb.begin() + 20 + std::min<std::size_t>(length, glb.size() - 20));
}

TEST(ViewModel, HoldsEveryDrawnConeAndTheIcesTranslucency) {
    startScene("key y; srand 2; stroke 6 20; settle");
    const std::vector<RecordedCone> cones = recordSceneAtRest();
    ASSERT_FALSE(cones.empty());
    std::vector<std::uint8_t> glb;
    std::string why, note;
    ASSERT_TRUE(makeSceneModel(ModelFormat::Glb, PrintSettings(), glb, why, note)) << why;
    std::string json = glbJson(glb);
    // Ten corners a cone of some length, and the bank's four.
    std::size_t drawn = 0;
    for (const RecordedCone& c : cones) drawn += c.height > 0.0 || c.base != c.top;
    std::size_t corners = 0;
    for (std::size_t at = json.find("\"VEC3\",\"min\""); at != std::string::npos; at = json.find("\"VEC3\",\"min\"", at + 1)) {
        const std::size_t count = json.rfind("\"count\":", at);
        corners += std::stoul(json.substr(count + 8));
    }
    EXPECT_EQ(corners, 10 * drawn + 4);
    EXPECT_EQ(json.find("BLEND"), std::string::npos);
    replayScene("key t");
    ASSERT_TRUE(makeSceneModel(ModelFormat::Glb, PrintSettings(), glb, why, note)) << why;
    EXPECT_NE(glbJson(glb).find("\"baseColorFactor\":[1,1,1,0.6],\"metallicFactor\":0,\"roughnessFactor\":1},"
                                "\"doubleSided\":true,\"alphaMode\":\"BLEND\""),
              std::string::npos);
}
}  // namespace
