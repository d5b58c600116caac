#include "output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

namespace {
bool fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The new file's name while it is written: a run stopped by a signal half-way removes it, as a
// failed one does.
char pendingName[PATH_MAX + 32];
volatile std::sig_atomic_t pending = 0;

void removePendingAndStop(int signalNumber) {
    if (pending) unlink(pendingName);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void watchSignals(const std::string& name) {
    if (name.size() >= sizeof pendingName) return;
    std::memcpy(pendingName, name.c_str(), name.size() + 1);
    pending = 1;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, removePendingAndStop);
    // Past the file size limit, a write then fails and is said, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
}  // namespace

bool checkOutput(std::string& path, std::string& why) {
    // A link is followed to the file it names, which need not exist yet.
    struct stat info;
    for (int links = 0; lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode); ++links) {
        char named[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), named, sizeof named);
        if (links == 40 || length <= 0 || length == sizeof named) {
            return fail(why, "cannot write " + path + ": " + std::strerror(links == 40 ? ELOOP : errno));
        }
        const std::string target(named, static_cast<std::size_t>(length));
        path = target[0] == '/' ? target : folderOf(path) + "/" + target;
    }
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return fail(why, "cannot write " + path + ": it is a folder");
        if (!S_ISREG(info.st_mode)) return fail(why, "cannot write " + path + ": it is not a regular file");
    }
    const std::string folder = folderOf(path);
    if (stat(folder.c_str(), &info) != 0) {
        return fail(why, "cannot write " + path + ": the folder " + folder +
                             (errno == ENOENT ? " does not exist" : std::string(": ") + std::strerror(errno)));
    }
    if (!S_ISDIR(info.st_mode)) return fail(why, "cannot write " + path + ": " + folder + " is not a folder");
    // The folder takes new files only if one can be made there.
    NewFile probe;
    if (!startNewFile(path, probe, why)) return false;
    dropNewFile(probe);
    return true;
}

bool startNewFile(const std::string& target, NewFile& file, std::string& why) {
    file.target = target;
    file.temporary = folderOf(target) + "/.frimel-picture-XXXXXX";
    file.fd = mkstemp(&file.temporary[0]);
    if (file.fd < 0) {
        return fail(why, "cannot write " + target + ": no new file can be made in " + folderOf(target) + ": " +
                             std::strerror(errno));
    }
    watchSignals(file.temporary);
    struct stat info;
    const mode_t mode = stat(target.c_str(), &info) == 0 ? info.st_mode & 07777 : newFileMode();
    if (fchmod(file.fd, mode) != 0) {
        why = "cannot write " + target + ": " + std::strerror(errno);
        dropNewFile(file);
        return false;
    }
    return true;
}

bool finishNewFile(NewFile& file, std::string& why) {
    const bool synced = fsync(file.fd) == 0;
    const int syncError = errno;
    const bool closed = close(file.fd) == 0;
    file.fd = -1;
    if (!synced || !closed || rename(file.temporary.c_str(), file.target.c_str()) != 0) {
        why = "cannot write " + file.target + ": " + std::strerror(synced ? errno : syncError);
        dropNewFile(file);
        return false;
    }
    pending = 0;
    return true;
}

void dropNewFile(NewFile& file) {
    if (file.fd >= 0) close(file.fd);
    file.fd = -1;
    unlink(file.temporary.c_str());
    pending = 0;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::string& why) {
    while (size > 0) {
        const ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            why = std::strerror(done < 0 ? errno : EIO);
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}
