// The real program's console output and exit status as it loads its eight bitmaps.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/bitmap_samples.h"
#include "support/run_program.h"
#include "support/scratch_files.h"

namespace {
const char* const loadOrder[8] = {"background.bmp", "white.bmp", "ice.bmp",  "ice2.bmp",
                                  "ice3.bmp",       "ice4.bmp",  "ice5.bmp", "snow.bmp"};

// The progress lines for the first `count` files of the loading order.
std::string progressLines(int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) lines += std::string("trying to load ") + loadOrder[i] + "\n";
    return lines;
}

// A folder holding the good bitmaps with `broken` in place of the one named badName.
void fillFolder(const ScratchDir& dir, const std::string& badName, const BadBitmap& broken) {
    for (const char* name : loadOrder) {
        if (name == badName) continue;
        std::filesystem::copy_file(std::string(FRIMEL_DATA_DIR) + "/" + name, dir.file(name));
    }
    if (broken.exists) writeFileBytes(dir.file(badName), broken.bytes);
}

constexpr double kTimeLimit = 20.0;
}  // namespace

TEST(ProgramStart, LoadsTheEightBitmapsInOrderThenKeepsRunning) {
    const ProgramRun run = runProgram(FRIMEL_DATA_DIR, kTimeLimit, progressLines(8), 0.7);
    EXPECT_FALSE(run.exited) << "status " << run.exitStatus << ", signal " << run.signal;
    EXPECT_EQ(run.output, progressLines(8));
}

class BadSnowBitmap : public testing::TestWithParam<BadBitmap> {};

TEST_P(BadSnowBitmap, StopsWithItsMessageAndStatusOne) {
    const BadBitmap& bad = GetParam();
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    fillFolder(dir, "snow.bmp", bad);

    const ProgramRun run = runProgram(dir.path, kTimeLimit);
    ASSERT_TRUE(run.exited) << "still running after " << kTimeLimit << " s";
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, progressLines(8) + failureMessage(bad, "snow.bmp"));
}

INSTANTIATE_TEST_SUITE_P(EachKind, BadSnowBitmap, testing::ValuesIn(badBitmaps()),
                         [](const testing::TestParamInfo<BadBitmap>& info) {
                             return std::string(info.param.label);
                         });

TEST(ProgramStart, BadBitmapEarlyInTheOrderStopsRightThere) {
    const BadBitmap thirtyTwoBit = badBitmap("ThirtyTwoBit");
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    fillFolder(dir, "white.bmp", thirtyTwoBit);

    const ProgramRun run = runProgram(dir.path, kTimeLimit);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, progressLines(2) + "Bpp from white.bmp is not 24: 32\n");
}

TEST(ProgramStart, MissingFirstBitmapStopsBeforeAnyOther) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    fillFolder(dir, "background.bmp", badBitmap("Missing"));

    const ProgramRun run = runProgram(dir.path, kTimeLimit);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "trying to load background.bmp\nFile Not Found : background.bmp\n");
}
