// The in-memory INI file of the setting memories: an ordered list of sections, each an ordered
// list of name/value texts, read once from its file and written back whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qorva {

// Largest memory file read: far beyond thousands of memories, far below what a device or a
// runaway file would make the store hold.
constexpr std::size_t kMaxIniFileBytes = 16u << 20;

class IniStore {
public:
    // Lookups return an index from 0, or -1 for "not found".
    static constexpr int kNotFound = -1;

    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    // Reads the file at the path and merges it into the store; false when there is no file or
    // it cannot be opened, is not a regular file or is larger than kMaxIniFileBytes.
    bool Load();
    // Applies the line rules of Load to text already in memory (what Load does with the file).
    void LoadText(std::string_view text);
    // Writes the whole store to the path through a temporary file renamed over it, so the
    // earlier file survives a crash or a full disk. False when nothing could be written.
    bool Save() const;
    // The same, with why it failed (the path or folder included) in `reason`.
    bool Save(std::string& reason) const;
    // The bytes Save writes: CR LF line ends, an empty line after every written section.
    std::string SaveText() const;

    int FindSection(std::string_view section) const;
    int FindEntry(int section, std::string_view name) const;

    std::string GetValue(std::string_view section, std::string_view name,
                         std::string_view defaultValue);
    int GetInt(std::string_view section, std::string_view name, int defaultValue);
    double GetFloat(std::string_view section, std::string_view name, double defaultValue);
    bool SetValue(std::string_view section, std::string_view name, std::string_view value,
                  bool create);
    bool SetInt(std::string_view section, std::string_view name, int value, bool create);
    bool SetFloat(std::string_view section, std::string_view name, double value, bool create);
    bool DeleteSection(std::string_view section);

    // The section-less accessors use the current section; the setters create what is missing.
    int GetInt(std::string_view name, int defaultValue);
    double GetFloat(std::string_view name, double defaultValue);
    bool SetInt(std::string_view name, int value);
    bool SetFloat(std::string_view name, double value);

    const std::string& currentSection() const { return currentSection_; }
    void setCurrentSection(std::string section) { currentSection_ = std::move(section); }
    // Why the last lookup or load failed; a later success does not clear it.
    const std::string& lastError() const { return lastError_; }

    int sectionCount() const { return static_cast<int>(sections_.size()); }
    const std::string& sectionName(int section) const { return sections_.at(section).name; }
    int entryCount(int section) const {
        return static_cast<int>(sections_.at(section).names.size());
    }
    const std::string& entryName(int section, int entry) const {
        return sections_.at(section).names.at(entry);
    }
    const std::string& entryValue(int section, int entry) const {
        return sections_.at(section).values.at(entry);
    }

private:
    // Sets or adds an entry of an existing section.
    void setEntry(std::size_t section, std::string_view name, std::string_view value);

    struct Section {
        std::string name;
        std::vector<std::string> names;
        std::vector<std::string> values;
    };

    std::string path_;
    std::vector<Section> sections_;
    std::string currentSection_ = "empty";
    std::string lastError_;
};

// The number texts of the store, the same on every platform and in every locale.
std::string formatIniInt(int value);
// "%e" with a three-digit exponent: 5.000000e-001, -2.000000e-001, 1.500000e+000.
std::string formatIniFloat(double value);
// Leading white space, optional sign, digits up to the first character that does not fit;
// no digits give 0. Out-of-range values saturate.
int parseIniInt(std::string_view text);
// As parseIniInt, with a decimal point and an exponent; overflow gives an infinity.
double parseIniFloat(std::string_view text);

}  // namespace qorva
