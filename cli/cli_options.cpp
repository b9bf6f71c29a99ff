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

// The values a slider row can show, from its first position to its last.
double rowMinimum(const SliderRow& row) {
    return static_cast<double>(row.minPosition) / row.divisor;
}
double rowMaximum(const SliderRow& row) {
    return static_cast<double>(row.maxPosition) / row.divisor;
}
bool withinRow(const SliderRow& row, double value) {
    return value >= rowMinimum(row) && value <= rowMaximum(row);
}

bool parseSwitch(const std::string& option, const std::string& value) {
    const std::string v = lower(value);
    if (v == "on" || v == "1" || v == "yes" || v == "true") return true;
    if (v == "off" || v == "0" || v == "no" || v == "false") return false;
    throw UsageError("--" + option + " takes on or off (--" + option + "=off), not \"" + value +
                     "\"");
}

struct PendingValue {
    std::string option;
    double value;
};

const OptionEntry* findLongOption(std::string_view name) {
    for (const OptionEntry& s : optionTable())
        if (s.name == name) return &s;
    return nullptr;
}

const OptionEntry* findShort(char c) {
    for (const OptionEntry& s : optionTable())
        if (s.shortName != 0 && s.shortName == c) return &s;
    return nullptr;
}

}  // namespace

// Reads the arguments in order; the option table's entries call the setters below.
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
                const OptionEntry* option = findLongOption(name);
                if (!option) throw UsageError("unknown option --" + name);
                handle(*option, inlineValue, i);
            } else if (arg.size() > 1 && arg[0] == '-') {
                const OptionEntry* option = findShort(arg[1]);
                if (!option) throw UsageError("unknown option " + arg);
                std::optional<std::string> inlineValue;
                if (arg.size() > 2) {
                    if (option->arity != OptionArity::Value)
                        throw UsageError("unknown option " + arg);
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

    // A method value is checked against its row once the method is known (finish).
    void addMethodValue(const std::string& option, const std::string& value) {
        auto v = parseDouble(value);
        if (!v) throw UsageError("--" + option + " takes a number, not \"" + value + "\"");
        pending_.push_back({option, *v});
    }

    void setOutput(const std::string& value) {
        if (value.empty()) throw UsageError("-o needs a file or folder name");
        options_.output = value;
    }

    void setGamma(const std::string& value) {
        const SliderRow& row = gammaRow();
        auto g = parseDouble(value);
        if (!g || !withinRow(row, *g))
            throw UsageError("--gamma must be a number within " + rowRangeText(row) + ", not \"" +
                             value + "\"");
        // The slider moves in steps of one position: the value lands on the nearest one.
        const long position = std::lround(*g * row.divisor);
        options_.method.setGamma(static_cast<double>(position) / row.divisor);
    }

    void setSaveSettings(const std::string& value) {
        if (value.empty()) throw UsageError("--save-settings needs a file name");
        options_.saveSettingsPath = value;
    }

    void setFormat(const std::string& value) {
        options_.format = formatFromName(value);
        if (options_.format == OutputFormat::None)
            throw UsageError("--format must be jpeg, png, tiff or ppm, not \"" + value + "\"");
    }

    void setSuffix(const std::string& value) {
        if (value.find('/') != std::string::npos)
            throw UsageError("--suffix must not contain a folder separator");
        options_.suffix = value;
    }

    void setJpegQuality(const std::string& value) {
        auto q = parseInt(value);
        if (!q || *q < 1 || *q > 100)
            throw UsageError("--jpeg-quality must be a whole number within " +
                             rangeText("1", "100") + ", not \"" + value + "\"");
        options_.jpegQuality = *q;
    }

    void setMaxMegapixels(const std::string& value) {
        auto mp = parseDouble(value);
        if (!mp || *mp <= 0 || *mp > 1e6)
            throw UsageError(
                "--max-megapixels must be a number above 0 and up to 1000000, "
                "not \"" +
                value + "\"");
        options_.maxMegapixels = *mp;
    }

    void setJobs(const std::string& value) {
        auto n = parseInt(value);
        if (!n || *n < 1 || *n > 256)
            throw UsageError("--jobs must be a whole number within " + rangeText("1", "256") +
                             ", not \"" + value + "\"");
        options_.jobs = *n;
    }

    CliOptions& options() { return options_; }

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
            throw UsageError("--memory must be a memory number within " + rangeText("1", "10") +
                             ", not \"" + value + "\"");
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

private:
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
            if (!withinRow(*row, p.value))
                throw UsageError("--" + p.option + " (" + row->label + ") must be within " +
                                 rowRangeText(*row) + ", not " + formatNumber(p.value));
            m.value(row->row) = p.value;
        }
    }

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

    std::string takeValue(const OptionEntry& option, const std::optional<std::string>& inlineValue,
                          std::size_t& i) {
        if (inlineValue) return *inlineValue;
        if (i + 1 >= args_.size()) throw UsageError("--" + option.name + " needs a value");
        return args_[++i];
    }

    void handle(const OptionEntry& option, const std::optional<std::string>& inlineValue,
                std::size_t& i) {
        switch (option.arity) {
            case OptionArity::Flag:
                if (inlineValue) throw UsageError("--" + option.name + " takes no value");
                option.apply(*this, option, {});
                return;
            case OptionArity::InlineOnly:
                option.apply(*this, option, inlineValue.value_or("on"));
                return;
            case OptionArity::Value:
                option.apply(*this, option, takeValue(option, inlineValue, i));
                return;
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

namespace {

std::string curvePoints(const CurveModel& curve) {
    std::string s;
    for (const CurvePoint& p : curve.points()) {
        if (!s.empty()) s += ' ';
        s += formatNumber(p.x) + "," + formatNumber(p.y);
    }
    return keptTogether("\"" + s + "\"");
}

// A method value's help: its label, range and default for each method that shows it.
std::string methodValueHelp(const std::string& name) {
    std::string label, range, defaults;
    int usedBy = 0;
    int lastMethod = 0;
    for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
        const SliderRow* row = findOption(*methodTable(id), name.c_str());
        if (!row || !row->enabled) continue;
        ++usedBy;
        lastMethod = id;
        label = row->label;
        const std::string r = rowRangeText(*row);
        if (range.empty())
            range = r;
        else if (range != r)
            range += " (" + methodOptionName(id) + ": " + r + ")";
        if (!defaults.empty()) defaults += ", ";
        defaults += formatRowValue(row->defaultValue, row->divisor) + " " + methodOptionName(id);
    }
    if (usedBy == 1)
        return label + ", " + range + "; default " + defaults.substr(0, defaults.find(' ')) + " (" +
               methodOptionName(lastMethod) + " only)";
    return label + ", " + range + "; default " + defaults;
}

std::string filterList() {
    std::string filters;
    for (const FilterInfo& f : filterTable()) {
        if (!filters.empty()) filters += ", ";
        filters += keptTogether(std::to_string(f.mode) + " \"" + f.chooserName + "\"");
    }
    return filters;
}

using G = OptionGroup;
using A = OptionArity;

// The three curve options differ only in the curve and the switch they set.
template <CurveModel ColorSettings::*curve, bool ColorSettings::*on>
void applyCurve(Parser& p, const OptionEntry& o, const std::string& v) {
    ColorSettings& c = p.options().colour;
    p.setCurve(c.*curve, c.*on, o.name, v);
}

std::vector<OptionEntry> buildOptionTable() {
    const MethodSettings method;
    const ColorSettings colour;
    const PreviewSize preview;
    const SliderRow& gamma = gammaRow();
    std::vector<OptionEntry> t{
        {"method", 0, A::Value, G::Method, "NAME",
         methodOptionName(kMethodEyeCatching) + " (0) or " +
             methodOptionName(kMethodUltraContrast) + " (1); default " +
             methodOptionName(method.method),
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setMethod(v); }},
    };
    for (const std::string& name : sliderOptionNames())
        t.push_back({name, 0, A::Value, G::Method, "V", methodValueHelp(name),
                     [](Parser& p, const OptionEntry& o, const std::string& v) {
                         p.addMethodValue(o.name, v);
                     }});
    const std::vector<OptionEntry> rest{
        {"gamma", 0, A::Value, G::Colour, "G",
         rowRangeText(gamma) + ", set to the nearest slider step of " +
             formatRowValue(1.0 / gamma.divisor, gamma.divisor) + "; default " +
             formatRowValue(gamma.defaultValue, gamma.divisor),
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setGamma(v); }},
        {"curve", 0, A::Value, G::Colour, "POINTS",
         "tone curve, points \"x,y x,y ...\" in 0 … 1 with x from 0 to 1, never decreasing; "
         "giving it switches the curve on, \"off\" switches it off; default off, " +
             curvePoints(colour.toneCurve),
         applyCurve<&ColorSettings::toneCurve, &ColorSettings::curvesOn>},
        {"balance", 0, A::Value, G::Colour, "POINTS",
         "colour balance (saturation by hue), points as for --curve, x is the hue, 0.5 is "
         "neutral, the ends share one y; default off, " +
             curvePoints(colour.balanceCurve),
         applyCurve<&ColorSettings::balanceCurve, &ColorSettings::balanceOn>},
        {"hue-shift", 0, A::Value, G::Colour, "POINTS",
         "hue shift by hue, points as for --balance; default off, " + curvePoints(colour.hueCurve),
         applyCurve<&ColorSettings::hueCurve, &ColorSettings::hueShiftOn>},
        {"filter", 0, A::Value, G::Colour, "NAME|N",
         "colour filter by its chooser name (any case) or number: " + filterList() + "; default 0",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setFilter(v); }},
        {"clarity", 0, A::InlineOnly, G::Colour, "[=on|off]", "clarity pass; default off",
         [](Parser& p, const OptionEntry& o, const std::string& v) {
             p.options().colour.clarityOn = parseSwitch(o.name, v);
         }},
        {"dehaze", 0, A::InlineOnly, G::Colour, "[=on|off]", "de-haze pass; default off",
         [](Parser& p, const OptionEntry& o, const std::string& v) {
             p.options().colour.dehazeOn = parseSwitch(o.name, v);
         }},
        {"settings", 0, A::Value, G::Settings, "FILE.dps",
         "apply a settings file saved by the dialog; options after it override it",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.loadSettings(v); }},
        {"save-settings", 0, A::Value, G::Settings, "FILE.dps",
         "write the effective settings as a settings file",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setSaveSettings(v); }},
        {"memory", 0, A::Value, G::Settings, "N",
         "recall setting memory N, " + rangeText("1", "10") +
             " as the memory bar labels them (its tenth cell, labelled 0, is 10 or 0)",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.recallMemory(v); }},
        // Read before the other options (Parser::findMemoryFile), so that it may follow
        // --memory.
        {"memory-file", 0, A::Value, G::Settings, "FILE",
         "the memories to read; default memory.ini beside the program, or the per-user copy "
         "when that is newer",
         [](Parser&, const OptionEntry&, const std::string&) {}},
        {"print-settings", 0, A::Flag, G::Settings, "", "print the effective settings and exit",
         [](Parser& p, const OptionEntry&, const std::string&) {
             p.options().printSettings = true;
         }},
        {"output", 'o', A::Value, G::Output, "PATH",
         "output file (one input), or folder (created if missing)",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setOutput(v); }},
        {"format", 0, A::Value, G::Output, "FORMAT",
         "jpeg, png, tiff or ppm; default: the output file's extension, or in a folder each "
         "input's own format",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setFormat(v); }},
        {"suffix", 0, A::Value, G::Output, "TEXT",
         std::string("added to each input name in a folder; default ") + kDefaultSuffix,
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setSuffix(v); }},
        {"jpeg-quality", 0, A::Value, G::Output, "Q",
         rangeText("1", "100") + "; default " + std::to_string(kDefaultJpegQuality),
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setJpegQuality(v); }},
        {"quality", 0, A::Value, G::Output, "Q",
         "final (the full-size result the host receives), or what the dialog's preview shows "
         "after all, fine or fast; default final",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setQuality(v); }},
        {"preview-size", 0, A::Value, G::Output, "WxH",
         "the preview window's client size for the preview qualities; default " +
             std::to_string(preview.width) + "x" + std::to_string(preview.height),
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setPreviewSize(v); }},
        {"overwrite", 0, A::Flag, G::Output, "",
         "allow an output to replace one of the inputs or a read-only file, and "
         "--save-settings to replace a read-only file",
         [](Parser& p, const OptionEntry&, const std::string&) { p.options().overwrite = true; }},
        {"skip-existing", 0, A::Flag, G::Output, "",
         "leave out inputs whose output exists already (to resume a batch)",
         [](Parser& p, const OptionEntry&, const std::string&) {
             p.options().skipExisting = true;
         }},
        {"jobs", 'j', A::Value, G::Running, "N",
         "threads in all, " + rangeText("1", "256") +
             "; several inputs are then read, rendered and written side by side; default: one "
             "per processor",
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setJobs(v); }},
        {"max-megapixels", 0, A::Value, G::Running, "N",
         "refuse larger images before decoding them; default " +
             std::to_string(static_cast<int>(kDefaultMaxMegapixels)),
         [](Parser& p, const OptionEntry&, const std::string& v) { p.setMaxMegapixels(v); }},
        {"dry-run", 0, A::Flag, G::Running, "",
         "print each input and its output and the settings; make nothing",
         [](Parser& p, const OptionEntry&, const std::string&) { p.options().dryRun = true; }},
        {"quiet", 'q', A::Flag, G::Running, "",
         "no progress bar (it is shown only on a terminal anyway)",
         [](Parser& p, const OptionEntry&, const std::string&) { p.options().quiet = true; }},
        {"help", 'h', A::Flag, G::Running, "", "this text",
         [](Parser& p, const OptionEntry&, const std::string&) { p.options().showHelp = true; }},
        {"version", 0, A::Flag, G::Running, "", "the program's version",
         [](Parser& p, const OptionEntry&, const std::string&) { p.options().showVersion = true; }},
    };
    t.insert(t.end(), rest.begin(), rest.end());
    return t;
}

}  // namespace

const std::vector<OptionEntry>& optionTable() {
    static const std::vector<OptionEntry> table = buildOptionTable();
    return table;
}

std::string rangeText(const std::string& lo, const std::string& hi) {
    return lo + " … " + hi;
}

std::string rowRangeText(const SliderRow& row) {
    return rangeText(formatRowValue(rowMinimum(row), row.divisor),
                     formatRowValue(rowMaximum(row), row.divisor));
}

std::string keptTogether(std::string text) {
    std::replace(text.begin(), text.end(), ' ', kKeepTogether);
    return text;
}

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
