#include "support/scratch_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "frimel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string ScratchDir::file(const std::string& name) const { return path + "/" + name; }

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}
