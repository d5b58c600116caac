// Bitmaps that once broke the reader (found by tests/fuzz) or sit at the edge of what it can
// hold. Each must be refused with one of the reader's messages, never read out of bounds.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "textures/bitmap.h"

namespace {
const char kNoMemory[] = "Error allocating memory for color-corrected image data";

// A header of a 24-bit one-plane bitmap with the given sides, then `extra` bytes of pixels.
std::vector<uint8_t> bitmapBytes(int32_t width, int32_t height, size_t extra) {
    std::vector<uint8_t> bytes(54 + extra, 0x5A);
    bytes[0] = 'B';
    bytes[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * i));
        bytes[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
    }
    bytes[26] = 1;
    bytes[27] = 0;
    bytes[28] = 24;
    bytes[29] = 0;
    return bytes;
}

// A scratch file of its own for each test, since tests run side by side.
struct ScratchFile {
    std::string path = "/tmp/frimel-bitmap-XXXXXX";
    explicit ScratchFile(const std::vector<uint8_t>& bytes) {
        const int fd = mkstemp(path.data());
        EXPECT_GE(fd, 0);
        if (fd < 0) return;
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }
    ~ScratchFile() { unlink(path.c_str()); }
};

struct LoadResult {
    int loaded;
    std::string output;
    bool hasPixels;
    std::string readFailure;  // the message a short file gets
};

LoadResult load(const std::vector<uint8_t>& bytes) {
    ScratchFile file(bytes);
    Image image;
    testing::internal::CaptureStdout();
    const int loaded = loadBitmap(file.path.c_str(), image);
    return LoadResult{loaded, testing::internal::GetCapturedStdout(), image.pixels != nullptr,
                      "Error reading image data from " + file.path + ".\n"};
}
}  // namespace

// Found by the fuzzer: width 0x7D600000 and height 0x7FFFFFFF made the byte count overflow
// 64-bit arithmetic before the size check. The whole input was 36 bytes.
TEST(BitmapFuzzFindings, SidesWhoseByteCountOverflowsAreRefused) {
    const std::vector<uint8_t> found = {
        0x42, 0x4d, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x33, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x60, 0xc0, 0x00, 0x00, 0x60, 0x7d, 0xff, 0xff,
        0xff, 0x7f, 0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x18, 0x00, 0xff, 0x00};
    const LoadResult result = load(found);
    EXPECT_EQ(result.loaded, 0);
    EXPECT_EQ(result.output, kNoMemory);
    EXPECT_FALSE(result.hasPixels);
}

TEST(BitmapFuzzFindings, LargestSidesBothWaysAreRefused) {
    const LoadResult result = load(bitmapBytes(INT32_MAX, INT32_MAX, 12));
    EXPECT_EQ(result.loaded, 0);
    EXPECT_EQ(result.output, kNoMemory);
    EXPECT_FALSE(result.hasPixels);
}

// 0x55555556 pixels of 3 bytes are 0x100000002 bytes: a 32-bit count would wrap to 2 and read
// two bytes into a buffer meant for billions.
TEST(BitmapSizeLimits, ByteCountThatWrapsThirtyTwoBitsIsRefused) {
    const LoadResult result = load(bitmapBytes(0x55555556, 1, 8));
    EXPECT_EQ(result.loaded, 0);
    EXPECT_EQ(result.output, kNoMemory);
}

// The largest row that fits in an int is read normally (and found short); one pixel more is
// refused as too big before the file is looked at.
TEST(BitmapSizeLimits, RowAtTheLimitIsReadRowPastItIsRefused) {
    const int32_t widest = 715827881;  // 2147483644 bytes a row with padding
    ASSERT_LE(bitmapRowBytes(widest), INT_MAX);
    ASSERT_GT(bitmapRowBytes(widest + 1), INT_MAX);

    const LoadResult inside = load(bitmapBytes(widest, 1, 16));
    EXPECT_EQ(inside.loaded, 0);
    EXPECT_EQ(inside.output, inside.readFailure);
    EXPECT_FALSE(inside.hasPixels);

    const LoadResult past = load(bitmapBytes(widest + 1, 1, 16));
    EXPECT_EQ(past.loaded, 0);
    EXPECT_EQ(past.output, kNoMemory);
}

TEST(BitmapSizeLimits, TallNarrowBitmapLongerThanTheFileIsRefusedUnread) {
    const LoadResult result = load(bitmapBytes(1, 100000000, 400));
    EXPECT_EQ(result.output, result.readFailure);
    EXPECT_FALSE(result.hasPixels);
}

TEST(BitmapSizeLimits, SmallestSidesPastTheLimitInBothDirections) {
    // 4 bytes a row (1 pixel padded) times 536870912 rows is 2^31: one byte past an int.
    EXPECT_EQ(load(bitmapBytes(1, 536870912, 8)).output, kNoMemory);
    const LoadResult justInside = load(bitmapBytes(1, 536870911, 8));
    EXPECT_EQ(justInside.output, justInside.readFailure);
}

// The same finding reaches the program as one of its eight files: it must end with status 1
// and the message, not crash.
TEST(BitmapFuzzFindings, ProgramEndsWithStatusOneOnOverflowingSnowBitmap) {
    char dirTemplate[] = "/tmp/frimel-badsnow-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    for (const char* name : {"background.bmp", "white.bmp", "ice.bmp", "ice2.bmp", "ice3.bmp",
                             "ice4.bmp", "ice5.bmp"}) {
        std::ifstream in(std::string(FRIMEL_DATA_DIR) + "/" + name, std::ios::binary);
        std::ofstream out(dir + "/" + name, std::ios::binary);
        out << in.rdbuf();
    }
    const std::vector<uint8_t> bad = bitmapBytes(0x7D600000, INT32_MAX, 12);
    std::ofstream(dir + "/snow.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bad.data()), static_cast<std::streamsize>(bad.size()));

    const std::string command =
        "cd " + dir + " && " + FRIMEL_BINARY + " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    std::ifstream outFile(dir + "/out.txt");
    const std::string output((std::istreambuf_iterator<char>(outFile)), {});
    std::system(("rm -rf " + dir).c_str());

    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string tail = std::string("trying to load snow.bmp\n") + kNoMemory;
    ASSERT_GE(output.size(), tail.size()) << output;
    EXPECT_EQ(output.substr(output.size() - tail.size()), tail);
}
