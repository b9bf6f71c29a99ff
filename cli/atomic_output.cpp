#include "atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qorva::cli {
namespace {

// The temporary files in progress, for the signal handler: one per worker of a batch.
constexpr std::size_t kPathCapacity = 4096;
constexpr std::size_t kSlots = 8;
char g_pendingPath[kSlots][kPathCapacity];
std::atomic<bool> g_slotUsed[kSlots];
std::atomic<bool> g_slotReady[kSlots];

int registerPending(const std::string& path) {
    if (path.size() >= kPathCapacity) return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!g_slotUsed[i].compare_exchange_strong(expected, true)) continue;
        std::memcpy(g_pendingPath[i], path.c_str(), path.size() + 1);
        g_slotReady[i].store(true);
        return static_cast<int>(i);
    }
    return -1;  // more files at once than slots: that one is not cleaned up on a signal
}

void unregisterPending(int slot) {
    if (slot < 0) return;
    g_slotReady[slot].store(false);
    g_slotUsed[slot].store(false);
}

extern "C" void onInterrupt(int signal) {
    for (std::size_t i = 0; i < kSlots; ++i)
        if (g_slotReady[i].load()) unlink(g_pendingPath[i]);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

mode_t newFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::string errnoText(int code = errno) {
    return std::strerror(code);
}

// The temporary name: hidden, beside the target, with its extension, and short enough for the
// folder's limit on names.
std::string temporaryPattern(const std::filesystem::path& folder,
                             const std::filesystem::path& target, std::size_t& suffixLength) {
    const std::string extension = target.extension().string();
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = 255;
    std::string name = "." + target.stem().string() + ".qorvahdr-XXXXXX" + extension;
    if (name.size() > static_cast<std::size_t>(limit)) name = ".qorvahdr-XXXXXX" + extension;
    if (name.size() > static_cast<std::size_t>(limit)) name = ".qorvahdr-XXXXXX";
    suffixLength = name.size() - (name.rfind("XXXXXX") + 6);
    return (folder / name).string();
}

}  // namespace

TempOutput::~TempOutput() {
    discard();
}

bool TempOutput::create(const std::string& finalPath, bool replaceReadOnly, std::string& error) {
    discard();
    newFileMode();  // read the umask before any worker thread runs
    const std::filesystem::path target(finalPath);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";

    // What the output replaces: a regular file only, and a read-only one only when asked.
    mode_ = newFileMode();
    struct stat existing {};
    if (lstat(finalPath.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            error = "is a folder; not replaced";
            return false;
        }
        if (S_ISREG(existing.st_mode)) {
            // By its mode, not by access(): the owner of every file would find none read-only.
            if (!replaceReadOnly && (existing.st_mode & 0222) == 0) {
                error = "is read-only; not replaced (--overwrite replaces it)";
                return false;
            }
            mode_ = existing.st_mode & 07777;
        } else if (!S_ISLNK(existing.st_mode)) {
            error = "is not a regular file; not replaced";
            return false;
        }
    } else if (errno != ENOENT) {
        error = errnoText();
        return false;
    }

    std::size_t suffixLength = 0;
    const std::string pattern = temporaryPattern(folder, target, suffixLength);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkostemps: O_EXCL and mode 0600, never through a symbolic link.
    const int fd = mkostemps(buffer.data(), static_cast<int>(suffixLength), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a file in " + folder.string() + ": " + errnoText();
        return false;
    }
    struct stat created {};
    if (fstat(fd, &created) != 0) {
        error = "cannot create a file in " + folder.string() + ": " + errnoText();
        close(fd);
        unlink(buffer.data());
        return false;
    }
    fd_ = fd;
    device_ = created.st_dev;
    inode_ = created.st_ino;
    finalPath_ = finalPath;
    tempPath_ = buffer.data();
    slot_ = registerPending(tempPath_);
    return true;
}

bool TempOutput::write(const void* data, std::size_t size, std::string& error) {
    if (fd_ < 0) {
        error = "nothing to write to";
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd_, bytes, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = "cannot be written: " + errnoText();
            return false;
        }
        if (put == 0) {
            error = "cannot be written: the disk takes no more";
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool TempOutput::commit(std::string& error) {
    if (tempPath_.empty() || fd_ < 0) {
        error = "nothing was written";
        return false;
    }
    // The data reaches the disk (or the full disk is found) before the name moves.
    if (fsync(fd_) != 0 || fchmod(fd_, mode_) != 0) {
        error = "cannot complete the file: " + errnoText();
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        error = "cannot complete the file: " + errnoText();
        return false;
    }
    // The name still leads to the file written, not to one put there meanwhile.
    struct stat now {};
    if (lstat(tempPath_.c_str(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != device_ ||
        now.st_ino != inode_) {
        error = "the temporary file " + tempPath_ + " was replaced while it was written";
        tempPath_.clear();  // not ours any more: never removed
        unregisterPending(slot_);
        slot_ = -1;
        return false;
    }
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        error = "cannot rename the finished file to " + finalPath_ + ": " + errnoText();
        return false;
    }
    unregisterPending(slot_);
    slot_ = -1;
    tempPath_.clear();
    // The rename itself reaches the disk.
    std::filesystem::path folder = std::filesystem::path(finalPath_).parent_path();
    if (folder.empty()) folder = ".";
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void TempOutput::discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (tempPath_.empty()) return;
    // Only the file this object made: a name replaced under it is left alone.
    struct stat now {};
    if (lstat(tempPath_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_)
        unlink(tempPath_.c_str());
    unregisterPending(slot_);
    slot_ = -1;
    tempPath_.clear();
}

void installInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

}  // namespace qorva::cli
