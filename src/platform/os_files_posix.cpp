#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/os_files.h"

namespace qorva {
namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name unlikely to be taken, beside the target and hidden like an editor's backup. Taken
// names are skipped by the exclusive creation, so this only has to make clashes rare.
std::string candidateName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%ld-%u-%llx.tmp", static_cast<long>(getpid()),
                  counter.fetch_add(1), clock);
    return folder + "." + name + suffix;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool replaceFileContents(const std::string& target, std::string_view bytes, std::string& reason) {
    const std::string folder = folderOf(target);
    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = candidateName(target);
        // 0666 less the umask, as any new file gets; never through a link.
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        reason = "cannot create a file in " + folder + ": " + std::strerror(errno);
        return false;
    }
    // A replaced file keeps who may read and write it.
    struct stat old {};
    bool ok = true;
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        fchmod(fd, old.st_mode & 07777) != 0)
        ok = false;
    if (ok && !(writeAll(fd, bytes) && fsync(fd) == 0)) ok = false;
    if (!ok) reason = "cannot write to " + folder + ": " + std::strerror(errno);
    if (close(fd) != 0 && ok) {
        reason = "cannot write to " + folder + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        reason = "cannot replace " + target + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder; a file system that cannot sync a
    // folder has still replaced the file.
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

std::string processExecutablePath() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

}  // namespace qorva
#endif
