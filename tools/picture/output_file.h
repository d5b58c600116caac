#pragma once

// The picture's file: checked before anything is drawn, and written whole beside the target,
// taking its place only once it is complete, so that a failure leaves the target as it was,
// even when it is the very picture the sketch was read from.

#include <cstddef>
#include <cstdint>
#include <string>

// Whether a file can be written at path: its folder exists and takes new files, and path is not
// a folder or a device. A path that is a link becomes the file the link names.
bool checkOutput(std::string& path, std::string& why);

struct NewFile {
    std::string target;
    std::string temporary;
    int fd = -1;
};

// An empty hidden file in the target's folder, open for writing, with the target's mode or,
// when there is none, a new file's.
bool startNewFile(const std::string& target, NewFile& file, std::string& why);

// Puts the written file on disk in the target's place. On failure the new file is removed.
bool finishNewFile(NewFile& file, std::string& why);

// Removes the new file; the target stays as it was.
void dropNewFile(NewFile& file);

// Writes all of data to fd, however the system splits it; why says what failed.
bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::string& why);
