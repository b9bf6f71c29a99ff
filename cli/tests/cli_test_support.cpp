#include "cli_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "image_metadata.h"
#include "support/child_process.h"
#include "support/test_images.h"

extern char** environ;

namespace qorva::cli::test {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "qorvahdr-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "cannot create a scratch folder";
    path_ = buffer.data();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::entries(const std::string& sub) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sub.empty() ? path_ : path_ + "/" + sub, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RgbImage sceneImage(int width, int height, std::uint32_t seed) {
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb = qorva::test::makePhotoLikeImage(width, height, seed);
    return image;
}

void writeImage(const std::string& path, const RgbImage& image, int jpegQuality) {
    WriteOptions options;
    options.format = formatFromPath(path);
    options.jpegQuality = jpegQuality;
    std::string error;
    EXPECT_TRUE(writeImageFile(path, image, options, error)) << path << ": " << error;
}

RgbImage readImage(const std::string& path) {
    RgbImage image;
    ReadInfo info;
    std::string error;
    EXPECT_TRUE(readImageFile(path, image, info, error)) << path << ": " << error;
    return image;
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

void writeSamples(const std::string& path, const void* samples, int width, int height, int bands,
                  bool sixteenBit) {
    initImageLibrary();
    const std::size_t size =
        static_cast<std::size_t>(width) * height * bands * (sixteenBit ? 2 : 1);
    VipsImage* image = vips_image_new_from_memory(
        samples, size, width, height, bands, sixteenBit ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    ASSERT_NE(image, nullptr);
    image->Type = bands < 3 ? (sixteenBit ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_B_W)
                            : (sixteenBit ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB);
    EXPECT_EQ(vips_image_write_to_file(image, path.c_str(), nullptr), 0) << path;
    g_object_unref(image);
}

bool carryMetadataFile(const std::string& from, const std::string& to, int width, int height,
                       std::string& warning) {
    const std::string bytes = readFileBytes(to);
    std::vector<std::uint8_t> encoded(bytes.begin(), bytes.end());
    const bool carried = carryMetadata(from, width, height, encoded, warning);
    writeFileBytes(to, std::string(encoded.begin(), encoded.end()));
    return carried;
}

namespace {

std::vector<std::string> toolArguments(const std::vector<std::string>& args) {
    std::vector<std::string> all{QORVAHDR_EXE};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

std::vector<char*> argvOf(std::vector<std::string>& all) {
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

// In the forked child: the streams to their files, the limits, then the tool.
int startLimited(std::vector<char*>& argv, const std::string& outPath, const std::string& errPath,
                 const ToolLimits& limits) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT, 0644);
    if (in < 0 || out < 0 || err < 0) return 120;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (limits.fileSize > 0) {
        const rlimit limit{static_cast<rlim_t>(limits.fileSize),
                           static_cast<rlim_t>(limits.fileSize)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 120;
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    }
    if (limits.addressSpace > 0 && !qorva::test::capAddressSpace(limits.addressSpace)) return 120;
    execv(QORVAHDR_EXE, argv.data());
    return 127;
}

}  // namespace

ToolRun runTool(const std::vector<std::string>& args) {
    ScratchFolder streams;
    const std::string outPath = streams / "out", errPath = streams / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<std::string> all = toolArguments(args);
    std::vector<char*> argv = argvOf(all);
    ToolRun run;
    pid_t pid = 0;
    const int started = posix_spawn(&pid, QORVAHDR_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        ADD_FAILURE() << "cannot start " << QORVAHDR_EXE;
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFileBytes(outPath);
    run.err = readFileBytes(errPath);
    return run;
}

ToolRun runToolWithLimits(const std::vector<std::string>& args, const ToolLimits& limits) {
    ScratchFolder streams;
    const std::string outPath = streams / "out", errPath = streams / "err";
    std::vector<std::string> all = toolArguments(args);
    std::vector<char*> argv = argvOf(all);
    const qorva::test::ChildEnd end =
        qorva::test::runInChild([&] { return startLimited(argv, outPath, errPath, limits); });
    ToolRun run;
    if (end.exitCode < 0 && end.signal == 0) {
        ADD_FAILURE() << "cannot start " << QORVAHDR_EXE;
        return run;
    }
    run.exitCode = end.signal != 0 ? 128 + end.signal : end.exitCode;
    run.out = readFileBytes(outPath);
    run.err = readFileBytes(errPath);
    return run;
}

ToolRun runToolWithFileLimit(const std::vector<std::string>& args, long fileSizeLimit) {
    return runToolWithLimits(args, ToolLimits{fileSizeLimit, 0});
}

std::vector<std::uint8_t> makeIccProfile() {
    std::vector<std::uint8_t> p(164, 0);
    auto be32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    auto tag = [&](std::size_t at, const char* text) { std::memcpy(&p[at], text, 4); };
    be32(0, static_cast<std::uint32_t>(p.size()));
    tag(4, "none");
    be32(8, 0x02100000);
    tag(12, "mntr");
    tag(16, "RGB ");
    tag(20, "XYZ ");
    tag(36, "acsp");
    be32(68, 0x0000F6D6);  // D50 illuminant
    be32(72, 0x00010000);
    be32(76, 0x0000D32D);
    be32(128, 1);  // one tag: the media white point
    tag(132, "wtpt");
    be32(136, 144);
    be32(140, 20);
    tag(144, "XYZ ");
    be32(152, 0x0000F6D6);
    be32(156, 0x00010000);
    be32(160, 0x0000D32D);
    return p;
}

}  // namespace qorva::cli::test
