// Feeds arbitrary bytes to Frimel's bitmap reader as if they were a file on disk, and checks
// that a bitmap is loaded exactly when it should be, with exactly the bytes of the file.
// AddressSanitizer and UBSan catch any read out of bounds or arithmetic overflow.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textures/bitmap.h"

namespace {
// loadBitmap takes a file name, so every input is written to this one file.
std::string inputPath;
int inputFile = -1;

constexpr size_t kPixelOffset = 54;

void removeInputFile() { unlink(inputPath.c_str()); }

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "bitmap_fuzzer: %s\n", what);
    std::abort();
}

int32_t fieldInt32(const uint8_t* data, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | data[at + i];
    return static_cast<int32_t>(v);
}

unsigned fieldUint16(const uint8_t* data, size_t at) { return data[at] | data[at + 1] << 8; }

// Whether the header promises a bitmap whose pixels all lie inside the input.
bool shouldLoad(const uint8_t* data, size_t size) {
    if (size < kPixelOffset) return false;
    const int64_t width = fieldInt32(data, 18);
    const int64_t height = fieldInt32(data, 22);
    if (fieldUint16(data, 26) != 1 || fieldUint16(data, 28) != 24) return false;
    if (width <= 0 || height <= 0) return false;
    const int64_t rowBytes = (width * 3 + 3) / 4 * 4;
    // Small inputs only: a claim of more bytes than the input holds must be refused.
    return rowBytes <= static_cast<int64_t>(size) &&
           rowBytes * height <= static_cast<int64_t>(size - kPixelOffset);
}

// Each pixel arrives red-green-blue from the file's blue-green-red, padding bytes untouched.
void checkPixels(const Image& image, const uint8_t* data) {
    const int64_t rowBytes = bitmapRowBytes(image.width);
    const uint8_t* file = data + kPixelOffset;
    for (int64_t row = 0; row < image.height; ++row) {
        const uint8_t* got = image.pixels.get() + row * rowBytes;
        const uint8_t* stored = file + row * rowBytes;
        for (int64_t i = 0; i < rowBytes; ++i) {
            const bool inPixel = i < static_cast<int64_t>(image.width) * 3;
            const int64_t from = !inPixel ? i : i % 3 == 0 ? i + 2 : i % 3 == 2 ? i - 2 : i;
            if (got[i] != stored[from]) fail("a loaded byte differs from the file");
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader reports every refusal on standard output; millions of lines only slow us down.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) fail("cannot silence standard output");
    // Rewriting a file on disk a million times is slow: memory-backed /dev/shm is far quicker.
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    inputPath = std::string(dir) + "/frimel-fuzz-XXXXXX";
    inputFile = mkstemp(inputPath.data());
    if (inputFile < 0) fail("cannot create the input file");
    std::atexit(removeInputFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ftruncate(inputFile, 0) != 0) fail("cannot empty the input file");
    if (size > 0 && pwrite(inputFile, data, size, 0) != static_cast<ssize_t>(size)) {
        fail("cannot write the input file");
    }
    Image image;
    const int loaded = loadBitmap(inputPath.c_str(), image);
    const bool expected = shouldLoad(data, size);
    if (loaded != 0 && loaded != 1) fail("loadBitmap returned neither 0 nor 1");
    if (loaded == 1 && !expected) fail("loaded a bitmap whose header or size is not loadable");
    if (loaded == 0 && expected) fail("refused a loadable bitmap");
    if (loaded == 1) {
        if (image.width != fieldInt32(data, 18) || image.height != fieldInt32(data, 22)) {
            fail("loaded sides differ from the header");
        }
        if (!image.pixels) fail("loaded without pixels");
        checkPixels(image, data);
    }
    return 0;
}
