#include "persistence/file_replace.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/os_files.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qorva {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Pushes the written bytes to the disk before the rename makes them the file's content.
bool flushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

}  // namespace

FileStatus fileStatus(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return FileStatus::Missing;
    if ((st.st_mode & S_IFMT) == S_IFDIR) return FileStatus::Directory;
    return FileStatus::Regular;
}

bool modifiedTime(const std::string& path, long long& nanoseconds) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
#ifdef _WIN32
    nanoseconds = static_cast<long long>(st.st_mtime) * 1000000000LL;
#else
    nanoseconds = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
#endif
    return true;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    char buffer[4096];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        bytes.append(buffer, n);
        if (n < sizeof buffer) return std::ferror(f.get()) == 0;
    }
}

bool writeFileReplacing(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    const std::string temporary = path + ".tmp";
    bool written = false;
    {
        std::unique_ptr<std::FILE, FileCloser> f(std::fopen(temporary.c_str(), "wb"));
        if (!f) return false;
        written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() &&
                  flushToDisk(f.get());
        if (std::fclose(f.release()) != 0) written = false;
    }
    if (written && renameReplacing(temporary, path)) return true;
    std::remove(temporary.c_str());
    return false;
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    // Narrow paths throughout, in the same code page as every other path of this layer.
    for (std::size_t i = 1; i <= folder.size(); ++i) {
#ifdef _WIN32
        const bool separator = folder[i] == '/' || folder[i] == '\\';
#else
        const bool separator = folder[i] == '/';
#endif
        if (i < folder.size() && !separator) continue;
        const std::string part = folder.substr(0, i);
        if (fileStatus(part) != FileStatus::Missing) continue;
#ifdef _WIN32
        _mkdir(part.c_str());
#else
        mkdir(part.c_str(), 0777);
#endif
    }
    return fileStatus(folder) == FileStatus::Directory;
}

}  // namespace qorva
