#include "image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

namespace qorva::cli {
namespace {

// Rows decoded at a time: the whole picture is never held twice.
constexpr int kStripRows = 64;

std::mutex g_errorLock;

// The first line of what the library last reported, taken out of its buffer, or the fallback.
std::string libraryError(const char* fallback) {
    std::string text;
    {
        const std::lock_guard<std::mutex> lock(g_errorLock);
        if (char* copy = vips_error_buffer_copy()) {
            text = copy;
            g_free(copy);
        }
    }
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    // "VipsJpeg: Premature end of input file": the library's words without its class name.
    const std::size_t colon = text.find(": ");
    if (colon != std::string::npos && text.compare(0, 4, "Vips") == 0) text.erase(0, colon + 2);
    return text.empty() ? fallback : text;
}

void quietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// An owned reference to a library object.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* object) : object_(object) {}
    ~Ref() {
        if (object_ != nullptr) g_object_unref(object_);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void reset(T* object) {
        if (object_ != nullptr) g_object_unref(object_);
        object_ = object;
    }
    T* get() const { return object_; }
    T** out() {
        reset(nullptr);
        return &object_;
    }

private:
    T* object_ = nullptr;
};

std::string errnoText(int code) {
    return std::strerror(code);
}

std::uint8_t floatTo8Bit(double v) {
    if (!(v > 0.0)) return 0;  // also NaN
    if (v >= 1.0) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0));
}

std::string depthName(VipsBandFormat format) {
    switch (format) {
        case VIPS_FORMAT_UCHAR:
            return "";
        case VIPS_FORMAT_USHORT:
            return "16-bit";
        case VIPS_FORMAT_FLOAT:
            return "32-bit floating-point";
        case VIPS_FORMAT_DOUBLE:
            return "64-bit floating-point";
        case VIPS_FORMAT_CHAR:
            return "8-bit signed";
        case VIPS_FORMAT_SHORT:
            return "16-bit signed";
        case VIPS_FORMAT_UINT:
            return "32-bit";
        case VIPS_FORMAT_INT:
            return "32-bit signed";
        default:
            return "complex";
    }
}

// One sample of the decoder's format as 8 bits: 16-bit rounded to nearest, the others through
// their range as a fraction.
template <class Sample>
std::uint8_t sampleTo8(Sample v) {
    if constexpr (std::is_same_v<Sample, std::uint8_t>) {
        return v;
    } else if constexpr (std::is_same_v<Sample, std::uint16_t>) {
        return roundTo8Bit(v);
    } else if constexpr (std::is_floating_point_v<Sample>) {
        return floatTo8Bit(static_cast<double>(v));
    } else {
        return floatTo8Bit(static_cast<double>(v) / std::numeric_limits<Sample>::max());
    }
}

struct Layout {
    int bands = 0;
    bool grey = false;
    int alphaBand = -1;
};

template <class Sample>
void convertRows(const VipsRegion* region, const VipsRect& rect, const Layout& layout,
                 RgbImage& image) {
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        const auto* row = reinterpret_cast<const Sample*>(VIPS_REGION_ADDR(region, 0, y));
        const std::size_t first =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        std::uint8_t* rgb = image.rgb.data() + first * 3;
        std::uint8_t* alpha = image.alpha.empty() ? nullptr : image.alpha.data() + first;
        for (int x = 0; x < image.width; ++x) {
            const Sample* s = row + static_cast<std::size_t>(x) * layout.bands;
            if (layout.grey) {
                rgb[0] = rgb[1] = rgb[2] = sampleTo8(s[0]);
            } else {
                rgb[0] = sampleTo8(s[0]);
                rgb[1] = sampleTo8(s[1]);
                rgb[2] = sampleTo8(s[2]);
            }
            rgb += 3;
            if (alpha != nullptr) alpha[x] = sampleTo8(s[layout.alphaBand]);
        }
    }
}

bool convertStrip(VipsBandFormat format, const VipsRegion* region, const VipsRect& rect,
                  const Layout& layout, RgbImage& image) {
    switch (format) {
        case VIPS_FORMAT_UCHAR:
            convertRows<std::uint8_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_CHAR:
            convertRows<std::int8_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_USHORT:
            convertRows<std::uint16_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_SHORT:
            convertRows<std::int16_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_UINT:
            convertRows<std::uint32_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_INT:
            convertRows<std::int32_t>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_FLOAT:
            convertRows<float>(region, rect, layout, image);
            return true;
        case VIPS_FORMAT_DOUBLE:
            convertRows<double>(region, rect, layout, image);
            return true;
        default:
            return false;
    }
}

// A PNM header's maximum sample value, which the decoder would take on trust: 0 would divide
// by zero and more than 16 bits is no PNM at all. "" when the header is fine or not PNM.
std::string pnmRefusal(int fd) {
    char head[256] = {};
    const ssize_t got = pread(fd, head, sizeof head - 1, 0);
    if (got < 2 || head[0] != 'P' || head[1] < '2' || head[1] > '6' || head[1] == '4') return "";
    // Magic, width, height, maxval: blanks and comments between them.
    int field = 0;
    long long values[3] = {0, 0, 0};
    ssize_t i = 2;
    while (i < got && field < 3) {
        const char c = head[i];
        if (c == '#') {
            while (i < got && head[i] != '\n' && head[i] != '\r') ++i;
        } else if (c >= '0' && c <= '9') {
            long long v = 0;
            while (i < got && head[i] >= '0' && head[i] <= '9') {
                v = std::min<long long>(v * 10 + (head[i] - '0'), 1LL << 40);
                ++i;
            }
            values[field++] = v;
            continue;
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return "";  // leave it to the decoder's own refusal
        }
        ++i;
    }
    if (field < 3) return "";
    if (values[2] < 1 || values[2] > 65535)
        return "has a maximum sample value of " + std::to_string(values[2]) +
               "; PNM allows 1 to 65535";
    return "";
}

std::string formatOfLoader(const char* loader) {
    std::string name = loader != nullptr ? loader : "";
    for (std::string_view tail : {"load_source", "load_buffer", "load"}) {
        if (name.size() > tail.size() &&
            name.compare(name.size() - tail.size(), tail.size(), tail) == 0) {
            name.resize(name.size() - tail.size());
            break;
        }
    }
    return name;
}

bool decode(VipsImage* decoded, const Layout& layout, RgbImage& image, std::string& error) {
    Ref<VipsRegion> region(vips_region_new(decoded));
    for (int top = 0; top < image.height; top += kStripRows) {
        const VipsRect rect{0, top, image.width, std::min(kStripRows, image.height - top)};
        if (vips_region_prepare(region.get(), &rect) != 0) {
            error = libraryError("the pixels cannot be decoded");
            return false;
        }
        if (!convertStrip(decoded->BandFmt, region.get(), rect, layout, image)) {
            error = "has samples of a kind the tool cannot read";
            return false;
        }
    }
    return true;
}

}  // namespace

void initImageLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        vips_init("qorvahdr");
        // The tool runs its own threads (one file per worker); the library adds none.
        vips_concurrency_set(1);
        // Every file is read once: a cache would only keep its pixels and its descriptor.
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
        vips_cache_set_max_files(0);
        // Decoders not made for untrusted input (ImageMagick, PDF, ...) are refused; PNM, which
        // is among them for want of fuzzing upstream, is kept: its header is checked here
        // (pnmRefusal) and its body is plain samples.
        vips_block_untrusted_set(TRUE);
        vips_operation_block_set("VipsForeignLoadPpm", FALSE);
        // The library's warnings would precede the tool's own lines; its errors reach the
        // tool as text and are reported with the file they belong to.
        g_log_set_handler(
            "VIPS",
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            quietLog, nullptr);
    });
}

bool readImageFile(const std::string& path, RgbImage& image, ReadInfo& info, std::string& error,
                   const ReadLimits& limits) {
    initImageLibrary();
    image = RgbImage{};
    info = ReadInfo{};
    // Opened without blocking, so that a FIFO or a device cannot hold the tool before it is
    // seen to be no file at all.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errnoText(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = errnoText(errno);
        close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a folder, not an image" : "is not a regular file";
        close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const std::string pnm = pnmRefusal(fd);
    if (!pnm.empty()) {
        error = pnm;
        close(fd);
        return false;
    }
    // The file's bytes, read once through this descriptor: the decoder works from memory.
    // No picture within the limit needs more than 16 bytes a pixel uncompressed.
    const double largest = limits.maxMegapixels * 1e6 * 16 + 65536;
    if (static_cast<double>(st.st_size) > largest) {
        error = "is larger than any image within the limit of " +
                std::to_string(static_cast<long long>(limits.maxMegapixels)) +
                " megapixels (--max-megapixels)";
        close(fd);
        return false;
    }
    // Not zero-filled first: every byte used is one read from the file.
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size > 0 ? size : 1]);
    if (!bytes) {
        error = "is too large for the memory available";
        close(fd);
        return false;
    }
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(fd, bytes.get() + got, size - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot be read: " + errnoText(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;  // shorter than it was a moment ago: the decoder judges the rest
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (got == 0) {
        error = "is empty";
        return false;
    }
    Ref<VipsSource> source(vips_source_new_from_memory(bytes.get(), got));
    if (source.get() == nullptr) {
        error = libraryError("cannot be read");
        return false;
    }
    // A file cut short is refused, not filled with grey or black.
    Ref<VipsImage> loaded(vips_image_new_from_source(source.get(), "", "access",
                                                     VIPS_ACCESS_SEQUENTIAL, "fail_on",
                                                     VIPS_FAIL_ON_TRUNCATED, nullptr));
    if (loaded.get() == nullptr) {
        error = libraryError("not an image this tool can read");
        return false;
    }
    VipsImage* in = loaded.get();
    const char* loader = nullptr;
    if (vips_image_get_string(in, "vips-loader", &loader) == 0)
        info.format = formatOfLoader(loader);
    int pages = 1;
    if (vips_image_get_typeof(in, "n-pages") != 0 && vips_image_get_int(in, "n-pages", &pages) == 0)
        info.pages = std::max(1, pages);
    const int width = vips_image_get_width(in);
    const int height = vips_image_get_height(in);
    if (width <= 0 || height <= 0 || in->Bands <= 0) {
        error = "has no flat image the tool can process";
        return false;
    }
    const double megapixels = static_cast<double>(width) * height / 1e6;
    if (megapixels > limits.maxMegapixels) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "is %d x %d (%.0f megapixels), over the limit of %g megapixels "
                      "(--max-megapixels)",
                      width, height, std::ceil(megapixels), limits.maxMegapixels);
        error = text;
        return false;
    }
    if (static_cast<std::size_t>(width) * height >
        static_cast<std::size_t>(std::numeric_limits<int>::max()) / 3) {
        error = "is too large";
        return false;
    }

    // CMYK pictures come as RGB, as they would be shown.
    Ref<VipsImage> converted;
    if (vips_image_guess_interpretation(in) == VIPS_INTERPRETATION_CMYK) {
        if (vips_colourspace(in, converted.out(), VIPS_INTERPRETATION_sRGB, nullptr) != 0) {
            error = libraryError("its CMYK colours cannot be turned into RGB");
            return false;
        }
        in = converted.get();
    }

    info.channels = in->Bands;
    info.depth = depthName(in->BandFmt);
    Layout layout;
    layout.bands = in->Bands;
    layout.grey = layout.bands < 3;
    const int colourBands = layout.grey ? 1 : 3;
    if (layout.bands == colourBands + 1) layout.alphaBand = colourBands;
    info.droppedChannels = layout.bands - colourBands - (layout.alphaBand >= 0 ? 1 : 0);

    try {
        const std::size_t pixels = static_cast<std::size_t>(width) * height;
        image.width = width;
        image.height = height;
        image.rgb.resize(pixels * 3);
        if (layout.alphaBand >= 0) image.alpha.resize(pixels);
    } catch (const std::bad_alloc&) {
        image = RgbImage{};
        error = "is too large for the memory available";
        return false;
    }
    if (!decode(in, layout, image, error)) {
        image = RgbImage{};
        return false;
    }
    return true;
}

bool encodeImage(const RgbImage& image, const WriteOptions& options,
                 std::vector<std::uint8_t>& bytes, std::string& error) {
    initImageLibrary();
    bytes.clear();
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    if (image.width <= 0 || image.height <= 0 || image.rgb.size() != pixels * 3) {
        error = "no image to write";
        return false;
    }
    if (options.format == OutputFormat::None) {
        error = "no output format";
        return false;
    }
    try {
        if (options.format == OutputFormat::Ppm) {
            // Written here: a header and the samples, nothing for a library to do.
            const std::string header = "P6\n" + std::to_string(image.width) + " " +
                                       std::to_string(image.height) + "\n255\n";
            bytes.reserve(header.size() + image.rgb.size());
            bytes.assign(header.begin(), header.end());
            bytes.insert(bytes.end(), image.rgb.begin(), image.rgb.end());
            return true;
        }
        const bool withAlpha = !image.alpha.empty() && image.alpha.size() == pixels &&
                               formatHoldsAlpha(options.format);
        std::vector<std::uint8_t> rgba;
        const std::uint8_t* samples = image.rgb.data();
        if (withAlpha) {
            rgba.resize(pixels * 4);
            for (std::size_t i = 0; i < pixels; ++i) {
                std::copy_n(&image.rgb[i * 3], 3, &rgba[i * 4]);
                rgba[i * 4 + 3] = image.alpha[i];
            }
            samples = rgba.data();
        }
        const int bands = withAlpha ? 4 : 3;
        Ref<VipsImage> wrapped(
            vips_image_new_from_memory(samples, pixels * static_cast<std::size_t>(bands),
                                       image.width, image.height, bands, VIPS_FORMAT_UCHAR));
        Ref<VipsImage> described;
        if (wrapped.get() == nullptr || vips_copy(wrapped.get(), described.out(), "interpretation",
                                                  VIPS_INTERPRETATION_sRGB, nullptr) != 0) {
            error = libraryError("the pixels cannot be handed to the encoder");
            return false;
        }
        void* buffer = nullptr;
        std::size_t length = 0;
        int rc = -1;
        switch (options.format) {
            case OutputFormat::Jpeg:
                rc = vips_jpegsave_buffer(described.get(), &buffer, &length, "Q",
                                          options.jpegQuality, "strip", TRUE, nullptr);
                break;
            case OutputFormat::Png:
                rc = vips_pngsave_buffer(described.get(), &buffer, &length, "strip", TRUE, nullptr);
                break;
            case OutputFormat::Tiff:
                rc =
                    vips_tiffsave_buffer(described.get(), &buffer, &length, "strip", TRUE, nullptr);
                break;
            default:
                break;
        }
        if (rc != 0 || buffer == nullptr) {
            error = libraryError("the image cannot be encoded");
            return false;
        }
        const auto* begin = static_cast<const std::uint8_t*>(buffer);
        try {
            bytes.assign(begin, begin + length);
        } catch (...) {
            g_free(buffer);
            throw;
        }
        g_free(buffer);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        error = "not enough memory to encode the image";
        return false;
    }
    return true;
}

bool writeImageFile(const std::string& path, const RgbImage& image, const WriteOptions& options,
                    std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!encodeImage(image, options, bytes, error)) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = errnoText(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int code = errno;
    if (std::fclose(file) != 0 || !written) {
        error = "cannot be written: " + errnoText(written ? errno : code);
        return false;
    }
    return true;
}

}  // namespace qorva::cli
