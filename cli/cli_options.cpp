#include "cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <string_view>

#include "colour/color_filters.h"
#include "persistence/memory_location.h"
#include "persistence/memory_store.h"
#include "persistence/settings_file.h"

namespace qorva::cli {
namespace {

enum class Arity { Flag, Value, InlineOnly };

struct OptionInfo {
    std::string name;
    char shortName;
    Arity arity;
};

const std::vector<OptionInfo>& optionTable() {
    static const std::vector<OptionInfo> table = [] {
        std::vector<OptionInfo> s{
            {"output", 'o', Arity::Value},       {"method", 0, Arity::Value},
            {"gamma", 0, Arity::Value},          {"curve", 0, Arity::Value},
            {"balance", 0, Arity::Value},        {"hue-shift", 0, Arity::Value},
            {"filter", 0, Arity::Value},         {"clarity", 0, Arity::InlineOnly},
            {"dehaze", 0, Arity::InlineOnly},    {"settings", 0, Arity::Value},
            {"save-settings", 0, Arity::Value},  {"memory", 0, Arity::Value},
            {"memory-file", 0, Arity::Value},    {"print-settings", 0, Arity::Flag},
            {"quality", 0, Arity::Value},        {"preview-size", 0, Arity::Value},
            {"format", 0, Arity::Value},         {"suffix", 0, Arity::Value},
            {"jpeg-quality", 0, Arity::Value},   {"jobs", 'j', Arity::Value},
            {"quiet", 'q', Arity::Flag},         {"overwrite", 0, Arity::Flag},
            {"help", 'h', Arity::Flag},          {"version", 0, Arity::Flag},
            {"skip-existing", 0, Arity::Flag},   {"dry-run", 0, Arity::Flag},
            {"max-megapixels", 0, Arity::Value},
        };
        for (const std::string& name : sliderOptionNames()) s.push_back({name, 0, Arity::Value});
        return s;
    }();
    return table;
}

const OptionInfo* findLongOption(std::string_view name) {
    for (const OptionInfo& s : optionTable())
        if (s.name == name) return &s;
    return nullptr;
}

const OptionInfo* findShort(char c) {
    for (const OptionInfo& s : optionTable())
        if (s.shortName == c) return &s;
    return nullptr;
}

std::string lower(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<double> parseDouble(std::string_view text) {
    double v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int> parseInt(std::string_view text) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return v;
}

int decimalsOf(int divisor) {
    int d = 0;
    for (int v = divisor; v >= 10; v /= 10) ++d;
    return d;
}

bool isSliderOption(std::string_view name) {
    for (const std::string& s : sliderOptionNames())
        if (s == name) return true;
    return false;
}

std::string rowRange(const SliderRow& row) {
    return formatRowValue(static_cast<double>(row.minPosition) / row.divisor, row.divisor) + " … " +
           formatRowValue(static_cast<double>(row.maxPosition) / row.divisor, row.divisor);
}

std::string methodOptionsList(const MethodTable& table) {
    std::string list;
    for (const SliderRow& r : table.rows) {
        if (!r.enabled) continue;
        if (!list.empty()) list += ", ";
        list += "--";
        list += r.option;
    }
    return list;
}

// "x,y x,y ...": the shape the curve editor keeps (curveShapeFault). A hue-domain curve's end
// points stand for the same hue; files saved by the editor are not held to that, but a curve
// typed here is.
std::vector<CurvePoint> parseCurve(const std::string& option, const std::string& text,
                                   bool hueDomain) {
    const std::string usage = "--" + option +
                              " takes points \"x,y x,y ...\" with x and y in 0 … 1, " +
                              "x from 0 to 1, never decreasing (or \"off\")";
    std::vector<CurvePoint> points;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == ';'))
            ++i;
        if (i >= text.size()) break;
        std::size_t j = i;
        while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) &&
               text[j] != ';')
            ++j;
        const std::string_view token(text.data() + i, j - i);
        const std::size_t comma = token.find(',');
        if (comma == std::string_view::npos) throw UsageError(usage + "; got \"" + text + "\"");
        auto x = parseDouble(token.substr(0, comma));
        auto y = parseDouble(token.substr(comma + 1));
        if (!x || !y || *x < 0 || *x > 1 || *y < 0 || *y > 1)
            throw UsageError(usage + "; got \"" + std::string(token) + "\"");
        points.push_back({*x, *y});
        i = j;
    }
    // Each point is a number in 0..1 by now: what is left of the shape is count, order and ends.
    switch (curveShapeFault(points)) {
        case CurveShapeFault::TooFewPoints:
            throw UsageError(usage + "; at least two points are needed");
        case CurveShapeFault::OutOfOrder:
            throw UsageError(usage + "; x must not decrease from point to point");
        case CurveShapeFault::OpenEnds:
            throw UsageError(usage + "; the first point must have x 0 and the last x 1");
        default:
            break;
    }
    if (hueDomain && points.front().y != points.back().y)
        throw UsageError("--" + option +
                         ": the points at x 0 and x 1 stand for the same hue and need the same y");
    return points;
}

bool parseSwitch(const std::string& option, const std::optional<std::string>& value) {
    if (!value) return true;
    const std::string v = lower(*value);
    if (v == "on" || v == "1" || v == "yes" || v == "true") return true;
    if (v == "off" || v == "0" || v == "no" || v == "false") return false;
    throw UsageError("--" + option + " takes on or off (--" + option + "=off), not \"" + *value +
                     "\"");
}

struct PendingValue {
    std::string option;
    double value;
};

class Parser {
public:
    Parser(const std::vector<std::string>& args, const ParseEnvironment& environment)
        : args_(args), memoryFile_(environment.memoryFile) {}

    CliOptions run() {
        findMemoryFile();
        for (std::size_t i = 0; i < args_.size(); ++i) {
            const std::string& arg = args_[i];
            if (arg == "--") {
                for (++i; i < args_.size(); ++i) options_.inputs.push_back(args_[i]);
                break;
            }
            if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
                const std::size_t eq = arg.find('=');
                const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
                std::optional<std::string> inlineValue;
                if (eq != std::string::npos) inlineValue = arg.substr(eq + 1);
                const OptionInfo* option = findLongOption(name);
                if (!option) throw UsageError("unknown option --" + name);
                handle(*option, inlineValue, i);
            } else if (arg.size() > 1 && arg[0] == '-') {
                const OptionInfo* option = findShort(arg[1]);
                if (!option) throw UsageError("unknown option " + arg);
                std::optional<std::string> inlineValue;
                if (arg.size() > 2) {
                    if (option->arity != Arity::Value) throw UsageError("unknown option " + arg);
                    inlineValue = arg.substr(2);
                }
                handle(*option, inlineValue, i);
            } else if (arg == "-") {
                throw UsageError("reading an image from standard input is not supported");
            } else {
                options_.inputs.push_back(arg);
            }
            if (options_.showHelp || options_.showVersion) return std::move(options_);
        }
        finish();
        return std::move(options_);
    }

private:
    // --memory-file may follow --memory; the last one given names the file for all.
    void findMemoryFile() {
        for (std::size_t i = 0; i < args_.size() && args_[i] != "--"; ++i) {
            const std::string& a = args_[i];
            if (a == "--memory-file" && i + 1 < args_.size())
                memoryFile_ = args_[++i];
            else if (a.rfind("--memory-file=", 0) == 0)
                memoryFile_ = a.substr(14);
        }
    }

    std::string takeValue(const OptionInfo& option, const std::optional<std::string>& inlineValue,
                          std::size_t& i) {
        if (inlineValue) return *inlineValue;
        if (i + 1 >= args_.size()) throw UsageError("--" + option.name + " needs a value");
        return args_[++i];
    }

    void handle(const OptionInfo& option, const std::optional<std::string>& inlineValue,
                std::size_t& i) {
        if (option.arity == Arity::Flag && inlineValue)
            throw UsageError("--" + option.name + " takes no value");
        if (option.arity == Arity::InlineOnly) {
            setSwitch(option.name, parseSwitch(option.name, inlineValue));
            return;
        }
        if (option.arity == Arity::Flag) {
            setFlag(option.name);
            return;
        }
        const std::string value = takeValue(option, inlineValue, i);
        if (isSliderOption(option.name)) {
            auto v = parseDouble(value);
            if (!v) throw UsageError("--" + option.name + " takes a number, not \"" + value + "\"");
            pending_.push_back({option.name, *v});
            return;
        }
        setValue(option.name, value);
    }

    void setSwitch(const std::string& name, bool on) {
        if (name == "clarity")
            options_.colour.clarityOn = on;
        else
            options_.colour.dehazeOn = on;
    }

    void setFlag(const std::string& name) {
        if (name == "print-settings")
            options_.printSettings = true;
        else if (name == "quiet")
            options_.quiet = true;
        else if (name == "skip-existing")
            options_.skipExisting = true;
        else if (name == "dry-run")
            options_.dryRun = true;
        else if (name == "overwrite")
            options_.overwrite = true;
        else if (name == "help")
            options_.showHelp = true;
        else if (name == "version")
            options_.showVersion = true;
    }

    void setValue(const std::string& name, const std::string& value) {
        if (name == "output") {
            if (value.empty()) throw UsageError("-o needs a file or folder name");
            options_.output = value;
        } else if (name == "method") {
            setMethod(value);
        } else if (name == "gamma") {
            auto g = parseDouble(value);
            if (!g || *g < kGammaPositionMin / 100.0 || *g > kGammaPositionMax / 100.0)
                throw UsageError("--gamma must be a number within 0.40 … 2.60, not \"" + value +
                                 "\"");
            // The slider moves in steps of 0.01: the value lands on the nearest position.
            const long position = std::lround(*g * 100);
            options_.method.setGamma(static_cast<double>(position) / 100);
        } else if (name == "curve") {
            setCurve(options_.colour.toneCurve, options_.colour.curvesOn, name, value);
        } else if (name == "balance") {
            setCurve(options_.colour.balanceCurve, options_.colour.balanceOn, name, value);
        } else if (name == "hue-shift") {
            setCurve(options_.colour.hueCurve, options_.colour.hueShiftOn, name, value);
        } else if (name == "filter") {
            setFilter(value);
        } else if (name == "settings") {
            loadSettings(value);
        } else if (name == "save-settings") {
            if (value.empty()) throw UsageError("--save-settings needs a file name");
            options_.saveSettingsPath = value;
        } else if (name == "memory") {
            recallMemory(value);
        } else if (name == "memory-file") {
            // Taken before the other options (findMemoryFile).
        } else if (name == "quality") {
            setQuality(value);
        } else if (name == "preview-size") {
            setPreviewSize(value);
        } else if (name == "format") {
            options_.format = formatFromName(value);
            if (options_.format == OutputFormat::None)
                throw UsageError("--format must be jpeg, png, tiff or ppm, not \"" + value + "\"");
        } else if (name == "suffix") {
            if (value.find('/') != std::string::npos)
                throw UsageError("--suffix must not contain a folder separator");
            options_.suffix = value;
        } else if (name == "jpeg-quality") {
            auto q = parseInt(value);
            if (!q || *q < 1 || *q > 100)
                throw UsageError("--jpeg-quality must be a whole number within 1 … 100, not \"" +
                                 value + "\"");
            options_.jpegQuality = *q;
        } else if (name == "max-megapixels") {
            auto mp = parseDouble(value);
            if (!mp || *mp <= 0 || *mp > 1e6)
                throw UsageError(
                    "--max-megapixels must be a number above 0 and up to 1000000, "
                    "not \"" +
                    value + "\"");
            options_.maxMegapixels = *mp;
        } else if (name == "jobs") {
            auto n = parseInt(value);
            if (!n || *n < 1 || *n > 256)
                throw UsageError("--jobs must be a whole number within 1 … 256, not \"" + value +
                                 "\"");
            options_.jobs = *n;
        }
    }

    void setMethod(const std::string& value) {
        const std::string v = lower(value);
        int method = -1;
        if (v == "0" || v == methodOptionName(kMethodEyeCatching)) method = kMethodEyeCatching;
        if (v == "1" || v == methodOptionName(kMethodUltraContrast)) method = kMethodUltraContrast;
        if (method < 0)
            throw UsageError("--method must be " + methodOptionName(kMethodEyeCatching) +
                             " (0) or " + methodOptionName(kMethodUltraContrast) + " (1), not \"" +
                             value + "\"");
        options_.method.method = method;
        SelectMethod(options_.method);
    }

    void setCurve(CurveModel& curve, bool& on, const std::string& name, const std::string& value) {
        if (lower(value) == "off") {
            on = false;
        } else {
            curve.setPoints(parseCurve(name, value, curve.hueDomain()));
            on = true;
        }
        curve.SetActive(on);
    }

    void setFilter(const std::string& value) {
        int mode = -1;
        if (auto n = parseInt(value))
            mode = (*n >= 0 && *n < kFilterCount) ? *n : -1;
        else
            mode = filterModeByName(value);
        if (mode < 0) {
            std::string names;
            for (const FilterInfo& f : filterTable()) {
                if (!names.empty()) names += ", ";
                names += std::string("\"") + f.chooserName + "\"";
            }
            throw UsageError("unknown filter \"" + value + "\"; choose one of " + names +
                             " (or its number 0 … " + std::to_string(kFilterCount - 1) + ")");
        }
        options_.colour.filterMode = mode;
    }

    void setQuality(const std::string& value) {
        const std::string v = lower(value);
        if (v == "final")
            options_.quality = RenderQuality::Final;
        else if (v == "all")
            options_.quality = RenderQuality::All;
        else if (v == "fine")
            options_.quality = RenderQuality::Fine;
        else if (v == "fast")
            options_.quality = RenderQuality::Fast;
        else
            throw UsageError("--quality must be final, all, fine or fast, not \"" + value + "\"");
    }

    void setPreviewSize(const std::string& value) {
        const std::size_t x = lower(value).find('x');
        std::optional<int> w, h;
        if (x != std::string::npos) {
            w = parseInt(std::string_view(value).substr(0, x));
            h = parseInt(std::string_view(value).substr(x + 1));
        }
        // The preview keeps a 2-pixel frame at the sides and 10-pixel bands at the top and
        // bottom: below these sizes nothing of the picture would be left.
        if (!w || !h || *w < 5 || *h < 21 || *w > 32768 || *h > 32768)
            throw UsageError(
                "--preview-size must be WxH with W within 5 … 32768 and H within "
                "21 … 32768, not \"" +
                value + "\"");
        options_.previewSize = {*w, *h};
    }

    void loadSettings(const std::string& path) {
        const SettingsResult result = loadSettingsFile(path, options_.method, options_.colour);
        if (result.status == SettingsStatus::CannotOpen)
            throw UsageError("--settings " + path + ": the file cannot be opened");
        if (!result.ok())
            throw UsageError(
                "--settings " + path + ": " +
                (result.message.empty() ? "not a usable settings file" : result.message));
        // The file holds every method value: values given before it are replaced.
        pending_.clear();
    }

    void recallMemory(const std::string& value) {
        auto n = parseInt(value);
        // The bar labels its tenth cell "0".
        if (n && *n == 0) n = 10;
        if (!n || *n < 1 || *n > 10)
            throw UsageError("--memory must be a memory number within 1 … 10, not \"" + value +
                             "\"");
        if (!memoryLoaded_) loadMemories();
        const std::string section = memorySectionName(*n - 1);
        if (memories_.FindSection(section) == IniStore::kNotFound)
            throw UsageError("memory " + std::to_string(*n) + " is empty in " + memoryPath_);
        memories_.setCurrentSection(section);
        const std::string refusal = LoadFromMemory(memories_, options_.method);
        if (!refusal.empty())
            throw UsageError("memory " + std::to_string(*n) + " in " + memoryPath_ + ": " +
                             refusal);
        // A memory holds every value of its method: values given before it are replaced.
        pending_.clear();
    }

    void loadMemories() {
        memoryLoaded_ = true;
        if (!memoryFile_.empty()) {
            memories_.SetPath(memoryFile_);
            memoryPath_ = memoryFile_;
            if (!memories_.Load())
                throw UsageError(
                    "cannot read the memory file " + memoryFile_ +
                    (memories_.lastError().empty() ? "" : ": " + memories_.lastError()));
            return;
        }
        const MemoryFileLocation location = memoryFileLocation(ProcessMemoryFolders());
        memoryPath_ = location.hostPath;
        if (!loadMemoryFile(memories_, location))
            throw UsageError("no memory file found at " + location.hostPath +
                             (location.userPath.empty() ? "" : " or " + location.userPath) +
                             "; name one with --memory-file");
        memoryPath_ = memories_.path();
    }

    // Method values apply to the method in effect once every option has been read.
    void finish() {
        MethodSettings& m = options_.method;
        const MethodTable* table = methodTable(m.method);
        const bool renderable = m.method == kMethodEyeCatching || m.method == kMethodUltraContrast;
        if (!renderable && (!pending_.empty() || !options_.inputs.empty()))
            throw UsageError("the settings select method " + std::to_string(m.method) +
                             ", which cannot be rendered; choose one with --method");
        for (const PendingValue& p : pending_) {
            const SliderRow* row = table ? findOption(*table, p.option.c_str()) : nullptr;
            if (!row || !row->enabled)
                throw UsageError("--" + p.option + " does not belong to method " +
                                 std::to_string(m.method) + " (" + table->name + "), which takes " +
                                 methodOptionsList(*table));
            const double lo = static_cast<double>(row->minPosition) / row->divisor;
            const double hi = static_cast<double>(row->maxPosition) / row->divisor;
            if (p.value < lo || p.value > hi)
                throw UsageError("--" + p.option + " (" + row->label + ") must be within " +
                                 rowRange(*row) + ", not " + formatNumber(p.value));
            m.value(row->row) = p.value;
        }
    }

    const std::vector<std::string>& args_;
    CliOptions options_;
    std::vector<PendingValue> pending_;
    std::string memoryFile_;
    IniStore memories_;
    std::string memoryPath_;
    bool memoryLoaded_ = false;
};

}  // namespace

CliOptions parseCommandLine(const std::vector<std::string>& args,
                            const ParseEnvironment& environment) {
    return Parser(args, environment).run();
}

std::vector<std::string> sliderOptionNames() {
    std::vector<std::string> names;
    const MethodTable* tables[] = {methodTable(kMethodEyeCatching),
                                   methodTable(kMethodUltraContrast)};
    for (char row = 'A'; row <= 'F'; ++row) {
        for (const MethodTable* t : tables) {
            for (const SliderRow& r : t->rows) {
                if (r.row != row || !r.enabled) continue;
                if (std::find(names.begin(), names.end(), r.option) == names.end())
                    names.push_back(r.option);
            }
        }
    }
    return names;
}

std::string methodOptionName(int method) {
    const MethodTable* t = methodTable(method);
    if (!t) return std::to_string(method);
    std::string name = lower(t->name);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

std::string formatRowValue(double value, int divisor) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimalsOf(divisor), value);
    return text;
}

std::string formatNumber(double value) {
    char text[64];
    auto [ptr, ec] = std::to_chars(text, text + sizeof text, value);
    if (ec != std::errc()) return "?";
    return std::string(text, ptr);
}

}  // namespace qorva::cli
