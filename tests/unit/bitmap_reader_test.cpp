// The bitmap reader on files written for the test: colour order, layout, header fields and
// the exact reason printed for every file it refuses.

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bitmap_samples.h"
#include "support/scratch_files.h"
#include "support/test_window.h"
#include "textures/bitmap.h"
#include "textures/bitmap_writer.h"
#include "textures/textures.h"

namespace {
// A picture whose every byte differs from its neighbours, bottom row first.
std::vector<uint8_t> countingPicture(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(10 + i);
    return rgb;
}

std::vector<uint8_t> pixelBytes(const Image& image, size_t offset, size_t count) {
    return std::vector<uint8_t>(image.pixels.get() + offset, image.pixels.get() + offset + count);
}

// A file holding exactly these bytes, open for reading; closed by the caller.
FILE* fileWith(const std::vector<uint8_t>& bytes) {
    FILE* file = std::tmpfile();
    if (file == nullptr) return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

size_t openDescriptors() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

struct LoadResult {
    int status;
    std::string output;
};

LoadResult loadCapturingOutput(const std::string& path, Image& image) {
    testing::internal::CaptureStdout();
    const int status = loadBitmap(path.c_str(), image);
    return {status, testing::internal::GetCapturedStdout()};
}
}  // namespace

TEST(BitmapColours, StoredBlueGreenRedIsHandedOnAsRedGreenBlue) {
    ScratchDir dir;
    std::vector<uint8_t> bytes = bitmapHeader(4, 1, 1, 24);
    const std::vector<uint8_t> stored = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    bytes.insert(bytes.end(), stored.begin(), stored.end());
    writeFileBytes(dir.file("a.bmp"), bytes);

    Image image;
    ASSERT_EQ(loadCapturingOutput(dir.file("a.bmp"), image).status, 1);
    EXPECT_EQ(pixelBytes(image, 0, 12),
              (std::vector<uint8_t>{30, 20, 10, 60, 50, 40, 90, 80, 70, 120, 110, 100}));
}

TEST(BitmapColours, WrittenPictureReadsBackRowByRowInFileOrder) {
    ScratchDir dir;
    const std::vector<uint8_t> rgb = countingPicture(4, 3);
    ASSERT_TRUE(writeBitmap(dir.file("a.bmp").c_str(), 4, 3, rgb));

    Image image;
    const LoadResult result = loadCapturingOutput(dir.file("a.bmp"), image);
    ASSERT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(pixelBytes(image, 0, rgb.size()), rgb);
}

TEST(BitmapLayout, PixelDataStartsAtByte54WhateverTheOffsetFieldSays) {
    ScratchDir dir;
    // The header claims the pixels start at 70, as after a longer info header.
    std::vector<uint8_t> bytes = bitmapHeader(4, 1, 1, 24, 70);
    for (int i = 0; i < 12; ++i) bytes.push_back(static_cast<uint8_t>(1 + i));
    while (bytes.size() < 70 + 12) bytes.push_back(0xEE);
    writeFileBytes(dir.file("a.bmp"), bytes);

    Image image;
    ASSERT_EQ(loadCapturingOutput(dir.file("a.bmp"), image).status, 1);
    EXPECT_EQ(pixelBytes(image, 0, 12),
              (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST(BitmapLayout, BytesAfterThePixelDataAreIgnored) {
    ScratchDir dir;
    const std::vector<uint8_t> rgb = countingPicture(4, 2);
    ASSERT_TRUE(writeBitmap(dir.file("a.bmp").c_str(), 4, 2, rgb));
    std::vector<uint8_t> bytes = readFileBytes(dir.file("a.bmp"));
    bytes.insert(bytes.end(), 100, 0xAB);
    writeFileBytes(dir.file("a.bmp"), bytes);

    Image image;
    const LoadResult result = loadCapturingOutput(dir.file("a.bmp"), image);
    ASSERT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(pixelBytes(image, 0, rgb.size()), rgb);
}

TEST(BitmapLayout, RowsOfAnOddWidthKeepTheirPadding) {
    ScratchDir dir;
    const std::vector<uint8_t> rgb = {1,  2,  3,  4,  5,  6,  7,  8,  9,  // bottom row
                                      11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_TRUE(writeBitmap(dir.file("a.bmp").c_str(), 3, 2, rgb));

    Image image;
    ASSERT_EQ(loadCapturingOutput(dir.file("a.bmp"), image).status, 1);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    // 9 bytes of pixels and 3 of padding a row: the second row starts at byte 12.
    EXPECT_EQ(pixelBytes(image, 0, 9), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(pixelBytes(image, 12, 9), (std::vector<uint8_t>{11, 12, 13, 14, 15, 16, 17, 18, 19}));
}

TEST(BitmapLayout, StoredRowsAreWholeFourByteUnits) {
    EXPECT_EQ(bitmapRowBytes(1), 4);
    EXPECT_EQ(bitmapRowBytes(2), 8);
    EXPECT_EQ(bitmapRowBytes(3), 12);
    EXPECT_EQ(bitmapRowBytes(4), 12);
    EXPECT_EQ(bitmapRowBytes(5), 16);
    EXPECT_EQ(bitmapRowBytes(512), 1536);
}

TEST(BitmapFields, LongIsSignedLittleEndian) {
    FILE* file = fileWith({0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80});
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(readLong(file), 0x04030201);
    EXPECT_EQ(readLong(file), -2);
    EXPECT_EQ(readLong(file), INT32_MIN);
    std::fclose(file);
}

TEST(BitmapFields, ShortIsUnsignedLittleEndian) {
    FILE* file = fileWith({0x34, 0x12, 0xFF, 0xFF, 0x01, 0x00});
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(readShort(file), 0x1234);
    EXPECT_EQ(readShort(file), 65535);
    EXPECT_EQ(readShort(file), 1);
    std::fclose(file);
}

TEST(BitmapFields, BytesPastTheEndCountAsMinusOne) {
    FILE* file = fileWith({0x05});
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(readShort(file), 65285);  // 5 + 256 * -1, kept to 16 bits
    EXPECT_EQ(readShort(file), 65279);  // -1 + 256 * -1
    EXPECT_EQ(readLong(file), -1 - 256 - 65536 - 16777216);
    std::fclose(file);
}

class RefusedBitmap : public testing::TestWithParam<BadBitmap> {};

TEST_P(RefusedBitmap, PrintsItsReasonClosesTheFileAndFails) {
    const BadBitmap& bad = GetParam();
    ScratchDir dir;
    const std::string path = dir.file("bad.bmp");
    if (bad.exists) writeFileBytes(path, bad.bytes);

    const size_t descriptorsBefore = openDescriptors();
    Image image;
    const LoadResult result = loadCapturingOutput(path, image);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, failureMessage(bad, path));
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

INSTANTIATE_TEST_SUITE_P(EachKind, RefusedBitmap, testing::ValuesIn(badBitmaps()),
                         [](const testing::TestParamInfo<BadBitmap>& info) {
                             return std::string(info.param.label);
                         });

INSTANTIATE_TEST_SUITE_P(
    MoreKinds, RefusedBitmap,
    testing::Values(
        // Planes is checked before the bit depth.
        BadBitmap{"PlanesNotOne", true, bitmapFile(4, 4, 3, 32, 64),
                  "Planes from %s is not 1: 3\n"},
        BadBitmap{"ZeroHeight", true, bitmapFile(4, 0, 1, 24, 48),
                  "Error reading image data from %s.\n"},
        BadBitmap{"NegativeWidth", true, bitmapFile(-4, 4, 1, 24, 48),
                  "Error reading image data from %s.\n"},
        // The largest sides a file can claim: their byte count overflows even 64 bits.
        BadBitmap{"LargestDimensions", true, bitmapFile(INT32_MAX, INT32_MAX, 1, 24, 48),
                  "Error allocating memory for color-corrected image data"},
        // 1.2 GB claimed, under the allocation limit, but the file holds 48 bytes.
        BadBitmap{"ClaimsGigabytesHoldsBytes", true, bitmapFile(20000, 20000, 1, 24, 48),
                  "Error reading image data from %s.\n"}),
    [](const testing::TestParamInfo<BadBitmap>& info) { return std::string(info.param.label); });

// The padded rows go to OpenGL with its default 4-byte row alignment, so an odd width gives
// no stray padding colour in the texture. (Not 2 rows: GLU's rescaling drops the second row
// of a 2-row image whatever the alignment.)
TEST(TextureUpload, OddWidthBitmapOfOneColourGivesATextureOfThatColour) {
    startFrimelWindow();
    ScratchDir dir;
    const std::string path = dir.file("odd.bmp");
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 5 * 3; ++i) rgb.insert(rgb.end(), {200, 100, 50});
    ASSERT_TRUE(writeBitmap(path.c_str(), 5, 3, rgb));

    const GLuint name = 20;  // clear of the program's names 0 to 8
    testing::internal::CaptureStdout();
    loadTexture(path.c_str(), static_cast<int>(name));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "trying to load " + path + "\n");

    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    ASSERT_GT(width * height, 0);
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    for (size_t i = 0; i < texels.size(); i += 3) {
        EXPECT_EQ(std::vector<uint8_t>(texels.begin() + i, texels.begin() + i + 3),
                  (std::vector<uint8_t>{200, 100, 50}))
            << "texel " << i / 3 << " of " << width << " x " << height;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}
