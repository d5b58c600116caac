// frimel-picture run as a user runs it: whatever it is given, it draws the picture or says in one
// line why not, before drawing when it can, and a run that fails leaves every file as it was.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "scenes/scene_script.h"
#include "sketch/png_text.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"
#include "support/run_program.h"
#include "support/scratch_files.h"
#include "support/test_window.h"

namespace {
// Each entry of a folder, hidden ones too, as (inode, size, time): a file replaced gets a new inode.
using Listing = std::map<std::string, std::tuple<ino_t, off_t, long>>;

Listing listFolder(const std::string& folder) {
    Listing listing;
    DIR* dir = opendir(folder.c_str());
    struct stat info;
    for (dirent* e; dir != nullptr && (e = readdir(dir)) != nullptr;) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || lstat((folder + "/" + name).c_str(), &info) != 0) continue;
        listing[name] = {info.st_ino, info.st_size, info.st_mtim.tv_sec * 1000000000L + info.st_mtim.tv_nsec};
    }
    if (dir != nullptr) closedir(dir);
    return listing;
}

std::string sketchIn(const std::string& png) {
    const std::vector<std::uint8_t> bytes = readFileBytes(png);
    std::string text, why;
    return findPngText(bytes.data(), bytes.size(), kSketchPngKeyword, bytes.size(), text, why) ? text : "";
}

// "@" in an argument stands for the scratch folder.
ToolRun drawPicture(const ScratchDir& dir, std::vector<std::string> args, unsigned long long addressSpace = 0,
                    unsigned long long fileSize = 0) {
    for (std::string& a : args) {
        if (a[0] == '@') a = dir.path + a.substr(1);
    }
    args.insert(args.begin() + 2, {"--data", FRIMEL_DATA_DIR});
    return runTool(FRIMEL_PICTURE_BINARY, args, addressSpace, fileSize);
}

// A scratch folder holding picture.png, drawn from a small scene whose sketch it carries.
class PictureTool : public ::testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        replayScene("release 0 0; key c; key y; srand 2; grid 2; settle");
        std::string why;
        ASSERT_TRUE(sketchToText(captureSketch(), sketch, why)) << why;
        const ToolRun made = drawPicture(dir, {"https://example.org/frimel/#sketch=" + sketch, "@/picture.png"});
        ASSERT_EQ(made.exitStatus, 0) << made.errors;
        ASSERT_EQ(sketchIn(dir.file("picture.png")), sketch);
    }

    ScratchDir dir;
    std::string sketch;
};

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* said;               // in the one line it writes, or null when it says nothing
    const char* written = nullptr;  // the one file it makes or replaces; every other stays as it was
    unsigned long long addressSpace = 0, fileSize = 0;
};

TEST_F(PictureTool, SaysWhatIsWrongBeforeDrawingAndTouchesNoFileItCannotFinish) {
    // The newest crystal just placed: it takes a hundred frames and more to rest.
    Sketch restless = captureSketch();
    SketchObject& newest = restless.objects[restless.listed - 1];
    newest.growth[static_cast<int>(newest.level)] = 0.001f;
    restless.allGrown = false;
    std::string text, why;
    ASSERT_TRUE(sketchToText(restless, text, why)) << why;
    writeFileBytes(dir.file("restless.txt"), std::vector<std::uint8_t>(text.begin(), text.end()));
    writeFileBytes(dir.file("big.txt"), {});
    ASSERT_EQ(truncate(dir.file("big.txt").c_str(), 20 << 20), 0);
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink("linked.png", dir.file("link.png").c_str()), 0);

    const Case cases[] = {
        {"a folder", {"@/folder", "@/out.png"}, 1, "folder"},
        {"a device", {"/dev/zero", "@/out.png"}, 1, "not a regular file"},
        {"a missing file", {"@/missing.png", "@/out.png"}, 1, "No such file"},
        {"a large file that is no picture", {"@/big.txt", "@/out.png"}, 1, "too large"},
        {"a size of nothing", {"@/picture.png", "@/picture.png", "--size", "0"}, 1, "size"},
        {"a size past the largest", {"@/picture.png", "@/picture.png", "--size", "99999"}, 1, "size"},
        {"no size after --size", {"@/picture.png", "@/out.png", "--size"}, 2, "usage"},
        {"an output in a missing folder", {"@/picture.png", "@/missing/out.png"}, 1, "does not exist"},
        {"an output that is a folder", {"@/picture.png", "@/folder"}, 1, "is a folder"},
        {"an output where no file can be made", {"@/picture.png", "/sys/frimel.png"}, 1, "no new file"},
        {"too large for the memory", {"@/picture.png", "@/picture.png", "--size", "16384"}, 1, "not enough memory",
         nullptr, 700u << 20},
        {"too large for OpenGL's memory", {"@/picture.png", "@/picture.png", "--size", "16384"}, 1,
         "OpenGL has not enough memory", nullptr, 2048u << 20},
        {"a disk that fills while writing over its input", {"@/picture.png", "@/picture.png"}, 1, "File too large",
         nullptr, 0, 16 << 10},
        {"an output link to no file yet", {"@/picture.png", "@/link.png"}, 0, nullptr, "linked.png"},
        {"the picture written over its own input", {"@/picture.png", "@/picture.png"}, 0, nullptr, "picture.png"},
        {"a scene that does not rest in its frames", {"@/restless.txt", "@/restless.png", "--frames", "3"}, 0,
         "did not come to rest in 3 frames", "restless.png"},
        {"frames past the most", {"@/restless.txt", "@/restless.png", "--frames", "20001"}, 1, "frames"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef __SANITIZE_ADDRESS__
        if (c.addressSpace != 0) continue;  // its shadow memory cannot be had under the limit
#endif
        Listing before = listFolder(dir.path);
        const ToolRun run = drawPicture(dir, c.args, c.addressSpace, c.fileSize);
        EXPECT_EQ(run.exitStatus, c.status) << run.errors;
        // Only a failure to write is found after drawing, which begins by loading the bitmaps.
        EXPECT_EQ(run.output.find("trying to load") != std::string::npos, c.status == 0 || c.fileSize != 0);
        if (c.said == nullptr) {
            EXPECT_EQ(run.errors, "");
        } else {
            EXPECT_EQ(run.errors.rfind("frimel-picture: ", 0), 0u) << run.errors;
            EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
            EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
        }
        Listing after = listFolder(dir.path);
        if (c.written != nullptr) {
            EXPECT_NE(before[c.written], after[c.written]) << "the picture is written";
            EXPECT_FALSE(sketchIn(dir.file(c.written)).empty()) << "and carries its sketch";
            before.erase(c.written);
            after.erase(c.written);
        }
        EXPECT_EQ(before, after);
    }
    EXPECT_EQ(sketchIn(dir.file("picture.png")), sketch) << "drawn over itself, it keeps its sketch";
}

// Stopped before drawing by a missing folder, once the sketch is read, a run's peak is its
// reading's: a picture with 64 MiB of empty IDAT chunks after its image data (viewers still read
// it) costs no more than the picture. GNU time measures the peak apart from this test's memory,
// which a child's own count includes.
TEST_F(PictureTool, APictureOfAnySizeIsWalkedNotReadWhole) {
    if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "/usr/bin/time is not installed (Debian: time)";
    std::vector<std::uint8_t> poster = readFileBytes(dir.file("picture.png"));
    ASSERT_EQ(std::string(poster.begin() + 37, poster.begin() + 41), "IDAT");
    const std::size_t idatEnd = 45 + (std::size_t{poster[33]} << 24 | poster[34] << 16 | poster[35] << 8 | poster[36]);
    const std::uint8_t empty[12] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xaf, 0x06, 0x1e};
    std::vector<std::uint8_t> padding;
    while (padding.size() < (64u << 20)) padding.insert(padding.end(), empty, empty + sizeof empty);
    poster.insert(poster.begin() + static_cast<std::ptrdiff_t>(idatEnd), padding.begin(), padding.end());
    writeFileBytes(dir.file("poster.png"), poster);

    long peakKiB[2] = {0, 0};
    const char* sources[2] = {"picture.png", "poster.png"};
    for (int i = 0; i < 2; ++i) {
        const ToolRun run = runTool("/usr/bin/time", {"-q", "-f", "%M", "-o", dir.file("peak"), FRIMEL_PICTURE_BINARY,
                                                      dir.file(sources[i]), dir.file("missing/out.png")});
        EXPECT_NE(run.errors.find("does not exist"), std::string::npos) << "its sketch was read: " << run.errors;
        const std::vector<std::uint8_t> peak = readFileBytes(dir.file("peak"));
        peakKiB[i] = std::atol(std::string(peak.begin(), peak.end()).c_str());
    }
    EXPECT_GT(peakKiB[0], 0);
    EXPECT_LT(peakKiB[1], peakKiB[0] + (16 << 10)) << "the poster's peak KiB: " << peakKiB[1];
}
}  // namespace
