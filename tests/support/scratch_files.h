#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh empty folder under the temporary directory, removed with everything in it when the
// test is done.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Full path of a file in the folder.
    std::string file(const std::string& name) const;

    std::string path;
};

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFileBytes(const std::string& path);
