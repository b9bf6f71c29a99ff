#include "persistence/settings_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <string_view>

#include "persistence/file_replace.h"

namespace qorva {
namespace {

constexpr std::uint8_t kEndMark = 0xFF;

// Reads or writes one field at a time, little-endian byte by byte on every platform; after the
// first failure every further field is skipped.
class Archive {
public:
    Archive(ByteStream& stream, SerializeDirection direction)
        : stream_(stream), loading_(direction == SerializeDirection::Load) {}

    bool loading() const { return loading_; }
    bool ok() const { return ok_; }

    void io(std::uint8_t& value) { bytes(&value, 1); }

    void io(std::int32_t& value) {
        std::uint8_t b[4];
        const auto u = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(u >> (8 * i));
        if (!bytes(b, 4) || !loading_) return;
        std::uint32_t r = 0;
        for (int i = 0; i < 4; ++i) r |= static_cast<std::uint32_t>(b[i]) << (8 * i);
        value = static_cast<std::int32_t>(r);
    }

    void io(double& value) {
        std::uint8_t b[8];
        const auto u = std::bit_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(u >> (8 * i));
        if (!bytes(b, 8) || !loading_) return;
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i) r |= static_cast<std::uint64_t>(b[i]) << (8 * i);
        value = std::bit_cast<double>(r);
    }

private:
    bool bytes(std::uint8_t* data, std::size_t size) {
        if (!ok_) return false;
        ok_ = loading_ ? stream_.read(data, size) : stream_.write(data, size);
        return ok_;
    }

    ByteStream& stream_;
    bool loading_;
    bool ok_ = true;
};

SettingsResult refused(std::string_view reason) {
    return {SettingsStatus::Refused,
            "This file does not hold usable Method and Color Settings: " + std::string(reason)};
}

SettingsResult streamFailed(const Archive& archive) {
    if (archive.loading()) return {SettingsStatus::PastEnd, kPastEndMessage};
    return {SettingsStatus::WriteFailed, "The settings could not be written completely."};
}

// False when the count is one no editor could have written; the caller stops reading there.
bool serializeCurve(Archive& archive, CurveBlock& curve) {
    archive.io(curve.on);
    auto count = static_cast<std::int32_t>(
        curve.points.size() > static_cast<std::size_t>(kMaxCurvePoints) ? kMaxCurvePoints
                                                                        : curve.points.size());
    archive.io(count);
    if (!archive.ok()) return true;
    if (archive.loading()) {
        if (count < 0 || count > kMaxCurvePoints) return false;
        curve.points.assign(static_cast<std::size_t>(count), CurvePoint{});
    }
    for (std::int32_t i = 0; i < count && archive.ok(); ++i) {
        CurvePoint& p = curve.points[static_cast<std::size_t>(i)];
        archive.io(p.x);
        archive.io(p.y);
    }
    return true;
}

const char* curveFault(const CurveBlock& curve) {
    switch (curveShapeFault(curve.points)) {
        case CurveShapeFault::None:
            return nullptr;
        case CurveShapeFault::TooFewPoints:
            return "a curve has fewer than two points.";
        case CurveShapeFault::NotANumber:
            return "a curve point is not a number.";
        case CurveShapeFault::OutsideUnit:
            return "a curve point lies outside 0 to 1.";
        case CurveShapeFault::OutOfOrder:
            return "the points of a curve are out of order.";
        case CurveShapeFault::OpenEnds:
            break;
    }
    return "a curve does not span the whole range.";
}

void applyCurve(const CurveBlock& block, bool& flag, CurveModel& curve) {
    flag = block.on != 0;
    curve.setPoints(block.points);
    curve.SetActive(flag);
}

}  // namespace

bool MemoryByteStream::read(std::uint8_t* data, std::size_t size) {
    const std::size_t available = bytes_.size() - position_;
    const std::size_t n = size < available ? size : available;
    for (std::size_t i = 0; i < n; ++i) data[i] = bytes_[position_ + i];
    position_ += n;
    return n == size;
}

bool MemoryByteStream::write(const std::uint8_t* data, std::size_t size) {
    if (position_ + size > bytes_.size()) bytes_.resize(position_ + size);
    for (std::size_t i = 0; i < size; ++i) bytes_[position_ + i] = data[i];
    position_ += size;
    return true;
}

FileByteStream::FileByteStream(std::FILE* file) : file_(file) {
    std::setvbuf(file_, nullptr, _IOFBF, 4096);
}

bool FileByteStream::read(std::uint8_t* data, std::size_t size) {
    return std::fread(data, 1, size, file_) == size;
}

bool FileByteStream::write(const std::uint8_t* data, std::size_t size) {
    return std::fwrite(data, 1, size, file_) == size;
}

SettingsResult serializeSettings(ByteStream& stream, SettingsRecord& record,
                                 SerializeDirection direction) {
    Archive archive(stream, direction);
    archive.io(record.method);
    if (hasStoredValues(record.method)) {
        record.methodValues.resize(storedLayout(record.method).size());
        for (double& v : record.methodValues) archive.io(v);
        std::uint8_t end = kEndMark;  // not examined on reading
        archive.io(end);
    } else if (archive.loading()) {
        record.methodValues.clear();
    }
    archive.io(record.gamma);
    for (CurveBlock* curve : {&record.tone, &record.balance, &record.hue})
        if (!serializeCurve(archive, *curve))
            return refused("a curve claims a negative or impossibly large number of points.");
    archive.io(record.clarityOn);
    archive.io(record.dehazeOn);
    archive.io(record.filterMode);
    std::uint8_t end = kEndMark;
    archive.io(end);
    if (!archive.ok()) return streamFailed(archive);
    if (!archive.loading()) return {};

    for (double v : record.methodValues)
        if (!std::isfinite(v)) return refused("a method value is not a number.");
    if (!std::isfinite(record.gamma)) return refused("the gamma is not a number.");
    for (const CurveBlock* curve : {&record.tone, &record.balance, &record.hue})
        if (const char* fault = curveFault(*curve)) return refused(fault);
    return {};
}

SettingsRecord captureSettings(MethodSettings& method, const ColorSettings& colour) {
    copyValuesToStored(method, method.method);
    SettingsRecord record;
    record.method = method.method;
    if (hasStoredValues(method.method)) record.methodValues = method.storedFor(method.method);
    record.gamma = method.gamma;
    record.tone = {colour.curvesOn ? 1 : 0, colour.toneCurve.points()};
    record.balance = {colour.balanceOn ? 1 : 0, colour.balanceCurve.points()};
    record.hue = {colour.hueShiftOn ? 1 : 0, colour.hueCurve.points()};
    record.clarityOn = colour.clarityOn ? 1 : 0;
    record.dehazeOn = colour.dehazeOn ? 1 : 0;
    record.filterMode = colour.filterMode;
    return record;
}

void applySettings(const SettingsRecord& record, MethodSettings& method, ColorSettings& colour) {
    method.method = record.method;
    if (hasStoredValues(record.method)) {
        std::vector<double> values = record.methodValues;
        values.resize(storedLayout(record.method).size());
        method.storedFor(record.method) = std::move(values);
    }
    // The gamma slider cannot show a value outside its range: held to it, the edit, the render
    // and the next save all carry the same gamma.
    method.setGamma(std::clamp(record.gamma, kGammaPositionMin / 100.0, kGammaPositionMax / 100.0));
    applyCurve(record.tone, colour.curvesOn, colour.toneCurve);
    applyCurve(record.balance, colour.balanceOn, colour.balanceCurve);
    applyCurve(record.hue, colour.hueShiftOn, colour.hueCurve);
    colour.clarityOn = record.clarityOn != 0;
    colour.dehazeOn = record.dehazeOn != 0;
    colour.filterMode = record.filterMode;
    SelectMethod(method);
}

SettingsResult storeSettings(ByteStream& stream, MethodSettings& method,
                             const ColorSettings& colour) {
    SettingsRecord record = captureSettings(method, colour);
    return serializeSettings(stream, record, SerializeDirection::Store);
}

SettingsResult loadSettings(ByteStream& stream, MethodSettings& method, ColorSettings& colour) {
    SettingsRecord record;
    SettingsResult result = serializeSettings(stream, record, SerializeDirection::Load);
    if (result.ok()) applySettings(record, method, colour);
    return result;
}

SettingsResult saveSettingsFile(const std::string& path, MethodSettings& method,
                                const ColorSettings& colour, bool replaceReadOnly) {
    MemoryByteStream stream;
    SettingsResult result = storeSettings(stream, method, colour);
    if (!result.ok()) return result;
    const std::vector<std::uint8_t>& bytes = stream.bytes();
    std::string reason;
    if (!writeFileReplacing(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
            reason, {.replaceReadOnly = replaceReadOnly}))
        return {SettingsStatus::WriteFailed, reason};
    return {};
}

SettingsResult loadSettingsFile(const std::string& path, MethodSettings& method,
                                ColorSettings& colour) {
    std::string text;
    switch (readWholeFile(path, text, kMaxSettingsFileBytes)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::NotRegular:
            if (fileStatus(path) == FileStatus::Directory) return {SettingsStatus::CannotOpen, {}};
            return refused("it is not a regular file.");
        case ReadStatus::TooLarge:
            return refused("it is larger than 1 MB, far more than any settings file.");
        case ReadStatus::Missing:
        case ReadStatus::Failed:
            return {SettingsStatus::CannotOpen, {}};
    }
    MemoryByteStream stream(std::vector<std::uint8_t>(text.begin(), text.end()));
    return loadSettings(stream, method, colour);
}

}  // namespace qorva
