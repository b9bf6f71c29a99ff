#include "atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qorva::cli {
namespace {

// The temporary file in progress, for the signal handler. Files are written one at a time,
// so one slot is enough; a second writer simply is not cleaned up on a signal.
constexpr std::size_t kPathCapacity = 4096;
char g_pendingPath[kPathCapacity];
std::atomic<bool> g_pendingSet{false};

void registerPending(const std::string& path) {
    if (path.size() >= kPathCapacity) return;
    if (g_pendingSet.load()) return;
    std::memcpy(g_pendingPath, path.c_str(), path.size() + 1);
    g_pendingSet.store(true);
}

void unregisterPending(const std::string& path) {
    if (g_pendingSet.load() && path == g_pendingPath) g_pendingSet.store(false);
}

extern "C" void onInterrupt(int signal) {
    if (g_pendingSet.load()) unlink(g_pendingPath);
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

std::string errnoText() {
    return std::strerror(errno);
}

}  // namespace

TempOutput::~TempOutput() {
    discard();
}

bool TempOutput::create(const std::string& finalPath, std::string& error) {
    discard();
    newFileMode();  // read the umask before any worker thread runs
    const std::filesystem::path target(finalPath);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const std::string extension = target.extension().string();
    std::string name = ".";
    name += target.stem().string();
    name += ".qorvahdr-XXXXXX";
    name += extension;
    const std::string pattern = (folder / name).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemps(buffer.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        error = "cannot create a file in " + folder.string() + ": " + errnoText();
        return false;
    }
    close(fd);
    finalPath_ = finalPath;
    tempPath_ = buffer.data();
    registerPending(tempPath_);
    return true;
}

bool TempOutput::commit(std::string& error) {
    if (tempPath_.empty()) {
        error = "nothing was written";
        return false;
    }
    const int fd = open(tempPath_.c_str(), O_RDONLY);
    if (fd < 0 || fsync(fd) != 0 || fchmod(fd, newFileMode()) != 0) {
        error = "cannot complete " + tempPath_ + ": " + errnoText();
        if (fd >= 0) close(fd);
        return false;
    }
    close(fd);
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        error = "cannot rename the finished file to " + finalPath_ + ": " + errnoText();
        return false;
    }
    unregisterPending(tempPath_);
    tempPath_.clear();
    return true;
}

void TempOutput::discard() {
    if (tempPath_.empty()) return;
    unregisterPending(tempPath_);
    unlink(tempPath_.c_str());
    tempPath_.clear();
}

void installInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

}  // namespace qorva::cli
