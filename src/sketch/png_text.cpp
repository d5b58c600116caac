#include "sketch/png_text.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sketch/sketch_codec.h"

namespace {
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// Where a PNG's bytes come from: the whole file in memory, or an open file read only where a
// chunk is looked at. One walk serves both, so the page and the picture tool read alike.
struct PngSource {
    const std::uint8_t* bytes = nullptr;
    int fd = -1;  // read from when not negative, in place of bytes
    std::uint64_t size = 0;
    int error = 0;  // errno of a read that failed
    // The file's bytes from the last read, so that runs of small chunks cost few reads.
    std::uint8_t window[4096];
    std::uint64_t windowStart = 0;
    std::size_t windowSize = 0;
};

struct Chunk {
    std::uint64_t start;  // of its length field
    std::uint32_t length;
    char type[4];
    std::uint64_t end() const { return start + 12 + length; }
};

std::uint32_t bigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool readFully(PngSource& s, std::uint64_t offset, void* into, std::size_t count) {
    auto* at = static_cast<std::uint8_t*>(into);
    while (count > 0) {
        const ssize_t got = pread(s.fd, at, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            s.error = got < 0 ? errno : EIO;  // shorter than its size said: it shrank under us
            return false;
        }
        at += got;
        offset += static_cast<std::uint64_t>(got);
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// False when the bytes are not all in the file, or cannot be read.
bool readAt(PngSource& s, std::uint64_t offset, void* into, std::size_t count) {
    if (offset > s.size || count > s.size - offset) return false;
    if (s.fd < 0) {
        std::memcpy(into, s.bytes + offset, count);
        return true;
    }
    if (count > sizeof s.window) return readFully(s, offset, into, count);
    if (offset < s.windowStart || offset + count > s.windowStart + s.windowSize) {
        const std::uint64_t left = s.size - offset;
        s.windowSize = left < sizeof s.window ? static_cast<std::size_t>(left) : sizeof s.window;
        s.windowStart = offset;
        if (!readFully(s, offset, s.window, s.windowSize)) {
            s.windowSize = 0;
            return false;
        }
    }
    std::memcpy(into, s.window + (offset - s.windowStart), count);
    return true;
}

enum class Walk { whole, stopped, broken };

// Visits the chunks from the signature to IEND, reading only their headers; the file is whole
// when every chunk lies inside it. visit(chunk) returns false to stop early.
template <typename Visit>
Walk walkChunks(PngSource& s, Visit visit) {
    std::uint8_t head[8];
    if (!readAt(s, 0, head, sizeof head) || std::memcmp(head, kSignature, sizeof kSignature) != 0) {
        return Walk::broken;
    }
    for (std::uint64_t at = sizeof kSignature; readAt(s, at, head, sizeof head);) {
        Chunk c;
        c.start = at;
        c.length = bigEndian(head);
        std::memcpy(c.type, head + 4, 4);
        if (s.size - at < 12 || c.length > s.size - at - 12) return Walk::broken;
        if (!visit(c)) return Walk::stopped;
        if (std::memcmp(c.type, "IEND", 4) == 0) return Walk::whole;
        at = c.end();
    }
    return Walk::broken;
}

// Whether a chunk is tEXt with this keyword: only its keyword is read.
bool hasKeyword(PngSource& s, const Chunk& c, const std::string& keyword) {
    if (std::memcmp(c.type, "tEXt", 4) != 0 || c.length <= keyword.size()) return false;
    std::string head(keyword.size() + 1, '\0');
    return readAt(s, c.start + 8, &head[0], head.size()) && head.compare(0, keyword.size(), keyword) == 0 &&
           head.back() == '\0';
}

// The text of a keyword's chunk, once its check sum matches.
bool takeText(PngSource& s, const Chunk& c, std::size_t keywordSize, std::size_t largestText, std::string& text,
              std::string& why) {
    if (c.length - keywordSize - 1 > largestText) {
        why = "the picture's sketch is too long to be one Frimel can hold";
        return false;
    }
    std::string body(c.length, '\0');
    std::uint8_t crc[4];
    if (!readAt(s, c.start + 8, &body[0], body.size()) || !readAt(s, c.end() - 4, crc, sizeof crc)) {
        why = std::string("the picture cannot be read: ") + std::strerror(s.error);
        return false;
    }
    const std::uint32_t sum = crc32Of(reinterpret_cast<const std::uint8_t*>(body.data()), body.size(),
                                      crc32Of(reinterpret_cast<const std::uint8_t*>(c.type), 4));
    if (bigEndian(crc) != sum) {
        why = "the picture's sketch is damaged";
        return false;
    }
    body.erase(0, keywordSize + 1);
    text.swap(body);
    return true;
}

// The whole file is walked first, keeping only where the first chunk of the keyword lies.
bool findText(PngSource& s, const std::string& keyword, std::size_t largestText, std::string& text,
              std::string& why) {
    bool found = false;
    Chunk chunk{};
    const Walk walk = walkChunks(s, [&](const Chunk& c) {
        if (!found && hasKeyword(s, c, keyword)) {
            found = true;
            chunk = c;
        }
        return s.error == 0;
    });
    if (walk != Walk::whole) {
        why = s.error != 0 ? std::string("the picture cannot be read: ") + std::strerror(s.error)
                           : "the picture is not a whole PNG file";
        return false;
    }
    if (!found) {
        why = "the picture holds no Frimel sketch";
        return false;
    }
    return takeText(s, chunk, keyword.size(), largestText, text, why);
}
}  // namespace

bool isPng(const std::uint8_t* data, std::size_t size) {
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool findPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, std::size_t largestText,
                 std::string& text, std::string& why) {
    PngSource s;
    s.bytes = png;
    s.size = size;
    return findText(s, keyword, largestText, text, why);
}

bool findPngTextInFile(int fd, std::uint64_t size, const std::string& keyword, std::size_t largestText,
                       std::string& text, std::string& why) {
    PngSource s;
    s.fd = fd;
    s.size = size;
    return findText(s, keyword, largestText, text, why);
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void appendPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32Of(out.data() + start, out.size() - start));
}

std::vector<std::uint8_t> pngStart(int width, int height) {
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits a channel, RGB, no interlace
    std::vector<std::uint8_t> start(kSignature, kSignature + sizeof kSignature);
    appendPngChunk(start, "IHDR", header);
    return start;
}

void appendPngText(std::vector<std::uint8_t>& out, const std::string& keyword, const std::string& text) {
    std::vector<std::uint8_t> data(keyword.begin(), keyword.end());
    data.push_back(0);
    data.insert(data.end(), text.begin(), text.end());
    appendPngChunk(out, "tEXt", data);
}

bool withPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, const std::string& text,
                 std::vector<std::uint8_t>& out) {
    PngSource s;
    s.bytes = png;
    s.size = size;
    std::vector<std::uint8_t> made(kSignature, kSignature + sizeof kSignature);
    const Walk walk = walkChunks(s, [&](const Chunk& c) {
        if (hasKeyword(s, c, keyword)) return true;
        if (std::memcmp(c.type, "IEND", 4) == 0) appendPngText(made, keyword, text);
        made.insert(made.end(), png + c.start, png + c.end());
        return true;
    });
    if (walk != Walk::whole) return false;
    out.swap(made);
    return true;
}
