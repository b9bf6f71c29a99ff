#include "persistence/ini_store.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "persistence/file_replace.h"

namespace qorva {
namespace {

constexpr const char* kUnableToOpen = "Unable to open ini file.";
constexpr const char* kNoSection = "Unable to locate specified key.";
constexpr const char* kNoEntry = "Unable to locate specified value.";

// The C library's white space: space, tab, LF, vertical tab, form feed, CR.
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimLeading(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    return s.substr(i);
}

std::string_view trimTrailing(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1])) --n;
    return s.substr(0, n);
}

// Rough decimal exponent of a number text that did not fit a double: positive when it is too
// large, negative when it is too small (the only two ways it cannot fit).
long long decimalMagnitude(std::string_view number) {
    long long magnitude = 0;
    std::size_t i = 0;
    bool seenNonZero = false;
    for (; i < number.size() && isDigit(number[i]); ++i) {
        if (number[i] != '0') seenNonZero = true;
        if (seenNonZero) ++magnitude;
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; !seenNonZero && i < number.size() && isDigit(number[i]); ++i) {
            if (number[i] != '0')
                seenNonZero = true;
            else
                --magnitude;
        }
        while (i < number.size() && isDigit(number[i])) ++i;
    }
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
        long long exponent = 0;
        for (; i < number.size() && isDigit(number[i]); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), 100000000LL);
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

}  // namespace

bool IniStore::Load() {
    std::string text;
    switch (readWholeFile(path_, text, kMaxIniFileBytes)) {
        case ReadStatus::Missing:
            return false;
        case ReadStatus::NotRegular:
            lastError_ = fileStatus(path_) == FileStatus::Directory
                             ? kUnableToOpen
                             : "Unable to open ini file: it is not a regular file.";
            return false;
        case ReadStatus::TooLarge:
            lastError_ = "Unable to open ini file: it is larger than 16 MB.";
            return false;
        case ReadStatus::Failed:
            // A read failure part way ends the file there, as the line reader stops at it.
            if (text.empty()) {
                lastError_ = kUnableToOpen;
                return false;
            }
            break;
        case ReadStatus::Ok:
            break;
    }
    LoadText(text);
    return true;
}

void IniStore::LoadText(std::string_view text) {
    std::string header;
    // The section of the current header, looked up once per header instead of once per line,
    // so that a file of thousands of memories does not load in quadratic time.
    int section = kNotFound;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (end < text.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = next;

        // Lines are joined whatever their length: a long value stays one entry.
        line = trimLeading(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            while (!line.empty() && line.front() == '[') line.remove_prefix(1);
            while (!line.empty() && line.back() == ']') line.remove_suffix(1);
            header.assign(line);
            section = kNotFound;
            continue;
        }
        if (section == kNotFound) section = FindSection(header);
        if (section == kNotFound) {
            sections_.push_back(Section{header, {}, {}});
            section = sectionCount() - 1;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            setEntry(static_cast<std::size_t>(section), "", trimTrailing(line));
        } else {
            setEntry(static_cast<std::size_t>(section), trimTrailing(line.substr(0, equals)),
                     trimTrailing(trimLeading(line.substr(equals + 1))));
        }
    }
}

void IniStore::setEntry(std::size_t section, std::string_view name, std::string_view value) {
    Section& target = sections_[section];
    const int e = FindEntry(static_cast<int>(section), name);
    if (e != kNotFound) {
        target.values[static_cast<std::size_t>(e)].assign(value);
        return;
    }
    target.names.emplace_back(name);
    target.values.emplace_back(value);
}

std::string IniStore::SaveText() const {
    std::string out;
    for (const Section& section : sections_) {
        if (section.names.empty()) continue;
        out += '[';
        out += section.name;
        out += "]\r\n";
        for (std::size_t i = 0; i < section.names.size(); ++i) {
            out += section.names[i];
            out += '=';
            out += section.values[i];
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool IniStore::Save() const {
    std::string reason;
    return Save(reason);
}

bool IniStore::Save(std::string& reason) const {
    return writeFileReplacing(path_, SaveText(), reason);
}

int IniStore::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].name == section) return static_cast<int>(i);
    return kNotFound;
}

int IniStore::FindEntry(int section, std::string_view name) const {
    if (section < 0 || section >= sectionCount()) return kNotFound;
    const std::vector<std::string>& names = sections_[static_cast<std::size_t>(section)].names;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return kNotFound;
}

std::string IniStore::GetValue(std::string_view section, std::string_view name,
                               std::string_view defaultValue) {
    const int s = FindSection(section);
    const int e = FindEntry(s, name);
    if (s == kNotFound) {
        lastError_ = kNoSection;
        return std::string(defaultValue);
    }
    if (e == kNotFound) {
        lastError_ = kNoEntry;
        return std::string(defaultValue);
    }
    return sections_[static_cast<std::size_t>(s)].values[static_cast<std::size_t>(e)];
}

int IniStore::GetInt(std::string_view section, std::string_view name, int defaultValue) {
    const std::string v = GetValue(section, name, "");
    return v.empty() ? defaultValue : parseIniInt(v);
}

double IniStore::GetFloat(std::string_view section, std::string_view name, double defaultValue) {
    const std::string v = GetValue(section, name, "");
    return v.empty() ? defaultValue : parseIniFloat(v);
}

bool IniStore::SetValue(std::string_view section, std::string_view name, std::string_view value,
                        bool create) {
    int s = FindSection(section);
    if (s == kNotFound) {
        if (!create) return false;
        sections_.push_back(Section{std::string(section), {}, {}});
        s = sectionCount() - 1;
    }
    Section& target = sections_[static_cast<std::size_t>(s)];
    int e = FindEntry(s, name);
    if (e == kNotFound) {
        if (!create) return false;
        target.names.emplace_back(name);
        target.values.emplace_back();
        e = static_cast<int>(target.names.size()) - 1;
    }
    target.values[static_cast<std::size_t>(e)].assign(value);
    return true;
}

bool IniStore::SetInt(std::string_view section, std::string_view name, int value, bool create) {
    return SetValue(section, name, formatIniInt(value), create);
}

bool IniStore::SetFloat(std::string_view section, std::string_view name, double value,
                        bool create) {
    return SetValue(section, name, formatIniFloat(value), create);
}

bool IniStore::DeleteSection(std::string_view section) {
    const int s = FindSection(section);
    if (s == kNotFound) return false;
    sections_.erase(sections_.begin() + s);
    return true;
}

int IniStore::GetInt(std::string_view name, int defaultValue) {
    return GetInt(currentSection_, name, defaultValue);
}

double IniStore::GetFloat(std::string_view name, double defaultValue) {
    return GetFloat(currentSection_, name, defaultValue);
}

bool IniStore::SetInt(std::string_view name, int value) {
    return SetInt(currentSection_, name, value, true);
}

bool IniStore::SetFloat(std::string_view name, double value) {
    return SetFloat(currentSection_, name, value, true);
}

std::string formatIniInt(int value) {
    return std::to_string(value);
}

std::string formatIniFloat(double value) {
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
    std::string text(buffer, r.ptr);
    // Existing memory files, written on Windows, carry at least three exponent digits; the
    // standard library writes two.
    const std::size_t e = text.find('e');
    if (e != std::string::npos && e + 1 < text.size()) {
        const std::size_t digits = text.size() - (e + 2);
        if (digits < 3) text.insert(e + 2, 3 - digits, '0');
    }
    return text;
}

int parseIniInt(std::string_view text) {
    std::string_view s = trimLeading(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long magnitude = 0;
    for (char c : s) {
        if (!isDigit(c)) break;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 2147483648LL) magnitude = 2147483648LL;  // saturate, keep reading
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

double parseIniFloat(std::string_view text) {
    std::string_view s = trimLeading(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // The longest prefix of the form digits [. digits] [e [sign] digits] with at least one
    // mantissa digit; the exponent only counts when it has a digit.
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) ++j;
            i = j;
        }
    }
    double value = 0.0;
    const std::from_chars_result r =
        std::from_chars(s.data(), s.data() + i, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        value =
            decimalMagnitude(s.substr(0, i)) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}

}  // namespace qorva
