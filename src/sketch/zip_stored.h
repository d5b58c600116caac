#pragma once

// Zip archives of stored (uncompressed) entries, as 3MF packages are.

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    std::string data;
};

// Empty when an entry or the whole archive is too big for a zip without its 64-bit extension.
std::vector<std::uint8_t> storedZip(const std::vector<ZipEntry>& entries);
