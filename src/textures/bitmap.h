#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

// One decoded bitmap: rows in file order, 3 bytes a pixel (red, green, blue), each row
// padded to a whole number of 4-byte units as in the file.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<unsigned char[]> pixels;
};

// Bytes in one stored row of a 24-bit bitmap: 3 a pixel, rounded up to 4.
int64_t bitmapRowBytes(int64_t width);

// Reads an uncompressed 24-bit, one-plane bitmap. Returns 1, or prints why not and returns 0.
int loadBitmap(const char* fileName, Image& image);

// Little-endian fields; a byte past the end of the file counts as -1, as getc returns it.
int32_t readLong(FILE* file);
uint16_t readShort(FILE* file);
