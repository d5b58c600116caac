#include "png_file.h"

#include "output_file.h"
#include "sketch/png_text.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace {
using ::writeAll;
constexpr std::uint32_t kLargestChunk = 0x7fffffff;
constexpr off_t kIdatLengthAt = 8 + 12 + 13;  // after the signature and the header chunk

std::uint32_t crcOf(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}


bool writeAll(int fd, const std::vector<std::uint8_t>& bytes, std::string& why) {
    return ::writeAll(fd, bytes.data(), bytes.size(), why);
}

// Each row after a filter byte: "Sub", which suits the smooth snow and sky. The IDAT chunk's
// length is known only at the end, and is written into its place then.
bool writeImageData(int fd, const std::uint8_t* rgb, int width, int height, z_stream& z, std::string& why) {
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> line(row + 1);
    std::vector<std::uint8_t> packed(1 << 16);
    std::vector<std::uint8_t> head;
    putBigEndian(head, 0);
    head.insert(head.end(), {'I', 'D', 'A', 'T'});
    if (!writeAll(fd, head, why)) return false;
    std::uint32_t crc = crcOf(head.data() + 4, 4, 0);
    std::uint64_t length = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* pixels = rgb + row * static_cast<std::size_t>(height - 1 - y);
        line[0] = 1;
        for (std::size_t i = 0; i < row; ++i) {
            line[i + 1] = static_cast<std::uint8_t>(pixels[i] - (i >= 3 ? pixels[i - 3] : 0));
        }
        z.next_in = line.data();
        z.avail_in = static_cast<uInt>(line.size());
        do {
            z.next_out = packed.data();
            z.avail_out = static_cast<uInt>(packed.size());
            deflate(&z, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
            const std::size_t made = packed.size() - z.avail_out;
            crc = crcOf(packed.data(), made, crc);
            length += made;
            if (!writeAll(fd, packed.data(), made, why)) return false;
        } while (z.avail_out == 0);
    }
    if (length > kLargestChunk) {
        why = "the picture packs into more than one PNG chunk holds";
        return false;
    }
    std::vector<std::uint8_t> number;
    putBigEndian(number, static_cast<std::uint32_t>(length));
    if (pwrite(fd, number.data(), 4, kIdatLengthAt) != 4) {
        why = std::strerror(errno);
        return false;
    }
    number.clear();
    putBigEndian(number, crc);
    return writeAll(fd, number, why);
}
}  // namespace

bool writePng(int fd, const std::uint8_t* rgb, int width, int height, const std::vector<std::uint8_t>& endChunks,
              std::string& why) {
    const std::vector<std::uint8_t> start = pngStart(width, height);

    z_stream z{};
    if (deflateInit(&z, 6) != Z_OK) {
        why = "not enough memory to pack the picture";
        return false;
    }
    const bool written = writeAll(fd, start, why) && writeImageData(fd, rgb, width, height, z, why);
    deflateEnd(&z);
    std::vector<std::uint8_t> end = endChunks;
    appendPngChunk(end, "IEND", {});
    return written && writeAll(fd, end, why);
}
