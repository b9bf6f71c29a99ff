#include "persistence/file_replace.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/os_files.h"

#ifdef _WIN32
#include <direct.h>
#endif

namespace qorva {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string folderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos) return ".";
    // The root ("/", "C:\\") keeps its separator: without it a drive names its current folder.
    const bool root = slash == 0 || path[slash - 1] == ':';
    return path.substr(0, root ? slash + 1 : slash);
}

}  // namespace

FileStatus fileStatus(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return FileStatus::Missing;
    if ((st.st_mode & S_IFMT) == S_IFDIR) return FileStatus::Directory;
    if ((st.st_mode & S_IFMT) == S_IFREG) return FileStatus::Regular;
    return FileStatus::Other;
}

bool isReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG)
        return false;
#ifdef _WIN32
    return (st.st_mode & _S_IWRITE) == 0;
#else
    // The permission bits, not access(): a user who may write anything still keeps what the
    // owner marked read-only.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
#endif
}

bool fileSize(const std::string& path, unsigned long long& bytes) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
    bytes = static_cast<unsigned long long>(st.st_size);
    return true;
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

ReadStatus readWholeFile(const std::string& path, std::string& bytes, std::size_t limit) {
    bytes.clear();
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return ReadStatus::Missing;
    if ((st.st_mode & S_IFMT) != S_IFREG) return ReadStatus::NotRegular;
    if (static_cast<unsigned long long>(st.st_size) > limit) return ReadStatus::TooLarge;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return ReadStatus::Failed;
    char buffer[4096];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        // A file that grows while it is read is held to the same limit.
        if (n > limit - bytes.size()) return ReadStatus::TooLarge;
        bytes.append(buffer, n);
        if (n < sizeof buffer)
            return std::ferror(f.get()) == 0 ? ReadStatus::Ok : ReadStatus::Failed;
    }
}

bool writeFileReplacing(const std::string& path, std::string_view bytes, std::string& reason,
                        ReplaceOptions options) {
    reason.clear();
    if (path.empty()) {
        reason = "no file name given";
        return false;
    }
    switch (fileStatus(path)) {
        case FileStatus::Directory:
            reason = path + " is a folder";
            return false;
        case FileStatus::Other:
            reason = path + " is not a regular file";
            return false;
        case FileStatus::Regular:
            if (!options.replaceReadOnly && isReadOnlyFile(path)) {
                reason = path + " is read-only";
                return false;
            }
            break;
        case FileStatus::Missing: {
            const std::string folder = folderOf(path);
            const FileStatus at = fileStatus(folder);
            if (at != FileStatus::Directory) {
                reason = at == FileStatus::Missing ? "the folder " + folder + " does not exist"
                                                   : folder + " is not a folder";
                return false;
            }
            break;
        }
    }
    return replaceFileContents(path, bytes, reason);
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
