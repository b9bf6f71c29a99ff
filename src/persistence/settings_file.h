// "Method and Color Settings": the method, its stored values, gamma, the three curves and the
// colour switches as one flat little-endian byte stream. A .dps file holds it, and so does each
// sample in memory. One routine knows the layout and runs in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "colour/curve_model.h"
#include "settings/method_settings.h"

namespace qorva {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // False when fewer than `size` bytes are left; what could be read is consumed.
    virtual bool read(std::uint8_t* data, std::size_t size) = 0;
    virtual bool write(const std::uint8_t* data, std::size_t size) = 0;
};

// A growable stream in memory (the samples' settings, and a .dps file before it is written).
class MemoryByteStream final : public ByteStream {
public:
    MemoryByteStream() = default;
    explicit MemoryByteStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool read(std::uint8_t* data, std::size_t size) override;
    bool write(const std::uint8_t* data, std::size_t size) override;
    void seek(std::size_t position) {
        position_ = position < bytes_.size() ? position : bytes_.size();
    }
    std::size_t position() const { return position_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A stream over an open file, buffered in 4096-byte blocks; does not own the file.
class FileByteStream final : public ByteStream {
public:
    explicit FileByteStream(std::FILE* file);
    bool read(std::uint8_t* data, std::size_t size) override;
    bool write(const std::uint8_t* data, std::size_t size) override;

private:
    std::FILE* file_;
};

struct CurveBlock {
    std::int32_t on = 0;
    std::vector<CurvePoint> points;
};

// Everything the stream holds, field for field. Reading fills one of these first, so that a
// file that turns out short or damaged changes none of the dialog's settings.
struct SettingsRecord {
    std::int32_t method = 0;
    std::vector<double> methodValues;  // stored values of `method` in file order; ids -1..5 only
    double gamma = 1.0;
    CurveBlock tone;
    CurveBlock balance;
    CurveBlock hue;
    std::int32_t clarityOn = 0;
    std::int32_t dehazeOn = 0;
    std::int32_t filterMode = 0;
};

enum class SerializeDirection { Store, Load };

enum class SettingsStatus {
    Ok,
    CannotOpen,   // silently ends the command
    PastEnd,      // the stream ended inside the layout
    Refused,      // the layout was read but a curve or number is unusable
    WriteFailed,  // the stream or the file could not take every byte
};

struct SettingsResult {
    SettingsStatus status = SettingsStatus::Ok;
    std::string message;  // what the user is told; empty for Ok and CannotOpen
    bool ok() const { return status == SettingsStatus::Ok; }
};

constexpr const char* kPastEndMessage =
    "An attempt was made to access an unnamed file past its end.";
// Largest point count a curve block may claim; the editor never makes more than a few dozen.
constexpr std::int32_t kMaxCurvePoints = 4096;

// The one routine that knows the layout. Store writes the record; Load reads into it and checks
// what it read (counts, finite numbers, curve shape).
SettingsResult serializeSettings(ByteStream& stream, SettingsRecord& record,
                                 SerializeDirection direction);

// The record of the current settings; the sliders are first copied into the current method's
// stored values, as saving has always done.
SettingsRecord captureSettings(MethodSettings& method, const ColorSettings& colour);
// Puts a complete record into the settings: method and its stored values, gamma (limited to
// 0.40..2.60, slider at its truncated position), curves with their switches, clarity, de-haze and
// filter; then the method change sets up the sliders (an id above 1 becomes 0, an id outside
// -1..5 stays and is rendered by nobody).
void applySettings(const SettingsRecord& record, MethodSettings& method, ColorSettings& colour);

SettingsResult storeSettings(ByteStream& stream, MethodSettings& method,
                             const ColorSettings& colour);
// All or nothing: the settings change only when the whole layout was read and accepted.
SettingsResult loadSettings(ByteStream& stream, MethodSettings& method, ColorSettings& colour);

// Largest .dps file read: a settings file with every curve at its largest is far smaller.
constexpr std::size_t kMaxSettingsFileBytes = 1u << 20;

// .dps files. Saving writes a temporary file that replaces the target once complete; a
// folder, a device or another special file at the path is refused, and so is a read-only file
// unless replaceReadOnly (it then keeps its permissions). A failure is WriteFailed with the
// reason and the path in the message.
SettingsResult saveSettingsFile(const std::string& path, MethodSettings& method,
                                const ColorSettings& colour, bool replaceReadOnly = false);
// Missing, unreadable files and folders are CannotOpen; a file that is not a regular file or is
// larger than kMaxSettingsFileBytes is Refused without being read.
SettingsResult loadSettingsFile(const std::string& path, MethodSettings& method,
                                ColorSettings& colour);

}  // namespace qorva
