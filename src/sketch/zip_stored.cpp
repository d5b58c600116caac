#include "sketch/zip_stored.h"

#include "sketch/sketch_codec.h"

namespace {
constexpr std::uint64_t kLargestZip = 0xFFFFFFFFu;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1 January 1980: the entries carry no time

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The fields a local header and a central directory entry share, from "version needed" on.
void putCommon(std::vector<std::uint8_t>& out, const ZipEntry& e, std::uint32_t crc) {
    put16(out, 20);  // version needed: 2.0
    put16(out, 0);   // flags
    put16(out, 0);   // stored
    put16(out, 0);   // time
    put16(out, kDosDate);
    put32(out, crc);
    put32(out, static_cast<std::uint32_t>(e.data.size()));
    put32(out, static_cast<std::uint32_t>(e.data.size()));
    put16(out, static_cast<std::uint32_t>(e.name.size()));
    put16(out, 0);  // extra field
}
}  // namespace

std::vector<std::uint8_t> storedZip(const std::vector<ZipEntry>& entries) {
    std::uint64_t total = 22;
    for (const ZipEntry& e : entries) total += 30 + 46 + 2 * e.name.size() + e.data.size();
    if (total > kLargestZip || entries.size() > 0xFFFF) return {};
    std::vector<std::uint8_t> out, directory;
    out.reserve(static_cast<std::size_t>(total));
    for (const ZipEntry& e : entries) {
        const std::uint32_t crc = crc32Of(reinterpret_cast<const std::uint8_t*>(e.data.data()), e.data.size());
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        put32(out, 0x04034b50);
        putCommon(out, e, crc);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), e.data.begin(), e.data.end());

        put32(directory, 0x02014b50);
        put16(directory, 20);  // made by: 2.0
        putCommon(directory, e, crc);
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory.insert(directory.end(), e.name.begin(), e.name.end());
    }
    const std::uint32_t directoryAt = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, directoryAt);
    put16(out, 0);  // comment
    return out;
}
