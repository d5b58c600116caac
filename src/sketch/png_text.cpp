#include "sketch/png_text.h"

#include <cstring>

#include "sketch/sketch_codec.h"

namespace {
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

struct Chunk {
    std::size_t start;  // of its length field
    std::size_t length;
    char type[5];
    const std::uint8_t* data;
    std::size_t end() const { return start + 12 + length; }
};

std::uint32_t bigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// The chunks from the signature to IEND, each wholly inside the file; false if they are not.
bool readChunks(const std::uint8_t* png, std::size_t size, std::vector<Chunk>& chunks) {
    if (!isPng(png, size)) return false;
    chunks.clear();
    for (std::size_t at = sizeof kSignature; at + 12 <= size;) {
        Chunk c;
        c.start = at;
        c.length = bigEndian(png + at);
        if (c.length > size - at - 12) return false;
        std::memcpy(c.type, png + at + 4, 4);
        c.type[4] = '\0';
        c.data = png + at + 8;
        chunks.push_back(c);
        if (std::strcmp(c.type, "IEND") == 0) return true;
        at = c.end();
    }
    return false;
}

// The text of a tEXt chunk with this keyword.
bool textOf(const Chunk& c, const std::string& keyword, std::string& text) {
    if (std::strcmp(c.type, "tEXt") != 0 || c.length <= keyword.size()) return false;
    if (std::memcmp(c.data, keyword.data(), keyword.size()) != 0 || c.data[keyword.size()] != 0) return false;
    text.assign(reinterpret_cast<const char*>(c.data) + keyword.size() + 1, c.length - keyword.size() - 1);
    return true;
}
}  // namespace

bool isPng(const std::uint8_t* data, std::size_t size) {
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool findPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, std::string& text,
                 std::string& why) {
    std::vector<Chunk> chunks;
    if (!readChunks(png, size, chunks)) {
        why = "the picture is not a whole PNG file";
        return false;
    }
    for (const Chunk& c : chunks) {
        if (!textOf(c, keyword, text)) continue;
        if (bigEndian(c.data + c.length) != crc32Of(png + c.start + 4, c.length + 4)) {
            why = "the picture's sketch is damaged";
            return false;
        }
        return true;
    }
    why = "the picture holds no Frimel sketch";
    return false;
}

bool withPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, const std::string& text,
                 std::vector<std::uint8_t>& out) {
    std::vector<Chunk> chunks;
    if (!readChunks(png, size, chunks)) return false;
    out.assign(png, png + sizeof kSignature);
    std::string ignored;
    for (const Chunk& c : chunks) {
        if (textOf(c, keyword, ignored)) continue;
        if (std::strcmp(c.type, "IEND") == 0) {
            const std::size_t start = out.size();
            putBigEndian(out, static_cast<std::uint32_t>(keyword.size() + 1 + text.size()));
            out.insert(out.end(), {'t', 'E', 'X', 't'});
            out.insert(out.end(), keyword.begin(), keyword.end());
            out.push_back(0);
            out.insert(out.end(), text.begin(), text.end());
            putBigEndian(out, crc32Of(out.data() + start + 4, out.size() - start - 4));
        }
        out.insert(out.end(), png + c.start, png + c.end());
    }
    return true;
}
