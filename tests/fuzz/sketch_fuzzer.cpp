// Feeds arbitrary bytes to the sketch reader as a file, a link and a picture would reach it,
// and checks that whatever it accepts is a sketch it writes and reads back unchanged, and that
// its frame at rest stays within the cone bound.
// AddressSanitizer and UBSan catch any read out of bounds or arithmetic overflow.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sketch/png_text.h"
#include "render/cone_count.h"
#include "sketch/sketch_codec.h"
#include "sketch/sketch_cost.h"
#include "sketch/sketch_text.h"

namespace {
[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "sketch_fuzzer: %s\n", what);
    std::abort();
}

void checkRoundTrip(const Sketch& sketch) {
    if (sketchConesAtRest(sketch, kFrameConeBound) > kFrameConeBound) fail("a sketch past the cone bound was accepted");
    std::vector<std::uint8_t> bytes, again;
    std::string why;
    if (!encodeSketch(sketch, bytes, why)) fail("a sketch the reader accepted cannot be written");
    Sketch reread;
    if (!decodeSketch(bytes.data(), bytes.size(), reread, why)) fail("a written sketch cannot be read back");
    if (!encodeSketch(reread, again, why) || again != bytes) fail("a sketch read back is not the one written");
    std::string text;
    Sketch fromText;
    if (!sketchToText(sketch, text, why) || !sketchFromText("#sketch=" + text, fromText, why)) {
        fail("a sketch's link cannot be read back");
    }
}

// The walk over an open file finds what the walk over the same bytes in memory finds.
void checkFileWalk(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("sketch_fuzzer", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        fail("the scratch file cannot be written");
    }
    std::string inMemory, fromFile, whyInMemory, whyFromFile;
    const bool found = findPngText(data, size, kSketchPngKeyword, size, inMemory, whyInMemory);
    if (findPngTextInFile(fd, size, kSketchPngKeyword, size, fromFile, whyFromFile) != found ||
        fromFile != inMemory || whyFromFile != whyInMemory) {
        fail("a picture read from a file is not read as the same bytes in memory");
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sketch sketch;
    std::string why;
    if (sketchFromFile(data, size, sketch, why)) {
        checkRoundTrip(sketch);
    } else if (why.empty()) {
        fail("a refusal gave no reason");
    }
    checkFileWalk(data, size);
    // The same bytes as a sketch's own bytes, past the text layer, and with a check sum that
    // matches, so that mutations reach the checks behind it.
    if (decodeSketch(data, size, sketch, why)) checkRoundTrip(sketch);
    if (size >= 5) {
        std::vector<std::uint8_t> summed(data, data + size);
        const std::uint32_t crc = crc32Of(summed.data(), size - 4);
        for (int k = 0; k < 4; ++k) summed[size - 4 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
        if (decodeSketch(summed.data(), size, sketch, why)) checkRoundTrip(sketch);
    }

    // A picture that takes a sketch gives back exactly that text.
    std::vector<std::uint8_t> picture;
    const std::string text(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    if (withPngText(data, size, kSketchPngKeyword, text, picture)) {
        std::string found;
        if (!findPngText(picture.data(), picture.size(), kSketchPngKeyword, picture.size(), found, why) || found != text) {
            fail("a picture does not give back the text it was given");
        }
    }
    return 0;
}
