#include "sketch_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sketch/png_text.h"
#include "sketch/sketch_text.h"

namespace {
bool fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

std::string whatItIs(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder, not a sketch or a picture";
    return "it is not a regular file (a device, a pipe or a socket), so no sketch is read from it";
}

bool readWhole(int fd, std::string& text, std::string& why) {
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t got = pread(fd, &text[at], text.size() - at, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail(why, std::string("cannot read it: ") + std::strerror(errno));
        if (got == 0) return fail(why, "it was cut short while it was read");
        at += static_cast<std::size_t>(got);
    }
    return true;
}

bool readSketchFile(int fd, std::uint64_t size, Sketch& sketch, std::string& why) {
    std::string text(size < 8 ? size : 8, '\0');  // enough to tell a PNG
    if (!readWhole(fd, text, why)) return false;
    if (isPng(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        return findPngTextInFile(fd, size, kSketchPngKeyword, kMaxSketchText, text, why) &&
               sketchFromText(text, sketch, why);
    }
    if (size > kMaxSketchText) {
        return fail(why, "it is too large to be a sketch (" + std::to_string(size >> 20) +
                             " MiB; the longest sketch is " + std::to_string(kMaxSketchText >> 20) + " MiB)");
    }
    text.assign(size, '\0');
    return readWhole(fd, text, why) && sketchFromText(text, sketch, why);
}
}  // namespace

bool readSketchArgument(const std::string& source, Sketch& sketch, std::string& why) {
    struct stat info;
    if (stat(source.c_str(), &info) != 0) {
        if (source.find("sketch=") != std::string::npos) return sketchFromText(source, sketch, why);
        return fail(why, std::string("cannot read it: ") + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) return fail(why, whatItIs(info.st_mode));
    // Not blocking, in case a pipe took the file's place since.
    const int fd = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(why, std::string("cannot read it: ") + std::strerror(errno));
    bool read = false;
    if (fstat(fd, &info) != 0) {
        why = std::string("cannot read it: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = whatItIs(info.st_mode);
    } else {
        read = readSketchFile(fd, static_cast<std::uint64_t>(info.st_size), sketch, why);
    }
    close(fd);
    return read;
}
