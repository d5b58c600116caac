#include "textures/bitmap.h"

#include <climits>
#include <new>

namespace {
constexpr long kPixelDataOffset = 54;

// Bytes from the current position to the end of the file, or -1 when the file cannot seek.
long bytesLeft(FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return end < here ? 0 : end - here;
}

int failReading(FILE* file, const char* fileName) {
    std::printf("Error reading image data from %s.\n", fileName);
    std::fclose(file);
    return 0;
}
}  // namespace

int64_t bitmapRowBytes(int64_t width) { return (width * 3 + 3) / 4 * 4; }

int32_t readLong(FILE* file) {
    uint32_t sum = 0;
    for (int shift = 0; shift < 32; shift += 8) sum += static_cast<uint32_t>(std::getc(file)) << shift;
    return static_cast<int32_t>(sum);
}

uint16_t readShort(FILE* file) {
    const int b0 = std::getc(file);
    const int b1 = std::getc(file);
    return static_cast<uint16_t>(b0 + 256 * b1);
}

int loadBitmap(const char* fileName, Image& image) {
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        std::printf("File Not Found : %s\n", fileName);
        return 0;
    }
    std::fseek(file, 18, SEEK_CUR);
    image.width = readLong(file);
    image.height = readLong(file);

    const unsigned planes = readShort(file);
    if (planes != 1) {
        std::printf("Planes from %s is not 1: %u\n", fileName, planes);
        std::fclose(file);
        return 0;
    }
    const unsigned bits = readShort(file);
    if (bits != 24) {
        std::printf("Bpp from %s is not 24: %u\n", fileName, bits);
        std::fclose(file);
        return 0;
    }
    std::fseek(file, kPixelDataOffset, SEEK_SET);

    // No pixels at all (zero or negative sides, top-down bitmaps included) is nothing to read.
    if (image.width <= 0 || image.height <= 0) return failReading(file, fileName);
    const int64_t rowBytes = bitmapRowBytes(image.width);
    // Compared before multiplying: sides near 2^31 overflow even 64 bits.
    if (rowBytes > INT_MAX / image.height) {
        std::printf("Error allocating memory for color-corrected image data");
        std::fclose(file);
        return 0;
    }
    const int64_t byteCount = rowBytes * image.height;
    // A file too short for its claimed size is refused before anything is allocated for it.
    const long available = bytesLeft(file);
    if (available >= 0 && available < byteCount) return failReading(file, fileName);

    image.pixels.reset(new (std::nothrow) unsigned char[byteCount]);
    if (!image.pixels) {
        std::printf("Error allocating memory for color-corrected image data");
        std::fclose(file);
        return 0;
    }
    if (std::fread(image.pixels.get(), static_cast<size_t>(byteCount), 1, file) != 1) {
        return failReading(file, fileName);
    }
    // Stored blue-green-red; OpenGL takes red-green-blue. Row padding is left alone.
    for (int64_t row = 0; row < image.height; ++row) {
        unsigned char* p = image.pixels.get() + row * rowBytes;
        for (int64_t i = 0; i < static_cast<int64_t>(image.width) * 3; i += 3) {
            const unsigned char blue = p[i];
            p[i] = p[i + 2];
            p[i + 2] = blue;
        }
    }
    std::fclose(file);
    return 1;
}
