// The command line: every setting of the dialog as an option named after its slider, taken
// from the same tables the settings model uses, plus the batch's own options. The parser
// applies settings files and memories as the dialog does, so the records it returns are what
// the dialog would hold.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "image_file.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"

namespace qorva::cli {

// A mistake on the command line: reported with exit code 2 before anything is written.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The preview window's client size before fit shrinks it.
struct PreviewSize {
    int width = 520;
    int height = 392;
};

constexpr int kDefaultJpegQuality = 95;
constexpr const char* kDefaultSuffix = "-hdr";

struct CliOptions {
    MethodSettings method;
    ColorSettings colour;

    std::vector<std::string> inputs;
    std::string output;
    std::string suffix = kDefaultSuffix;
    OutputFormat format = OutputFormat::None;  // None: each output keeps its own format
    int jpegQuality = kDefaultJpegQuality;
    RenderQuality quality = RenderQuality::Final;
    PreviewSize previewSize;
    int jobs = 0;  // 0: the automatic thread count

    std::string saveSettingsPath;
    bool printSettings = false;
    bool showHelp = false;
    bool showVersion = false;
    bool quiet = false;
    bool overwrite = false;
    bool skipExisting = false;  // an output that exists already is not made again
    bool dryRun = false;        // print what would be made, make nothing
    double maxMegapixels = kDefaultMaxMegapixels;
};

// Where --memory looks when no --memory-file is given (the dialog's own rule when empty).
struct ParseEnvironment {
    std::string memoryFile;
};

class Parser;

// How an option takes its value: none (--quiet), the next argument or after "=" (--gamma 1.2,
// --gamma=1.2), or only after "=" because a bare one means "on" (--clarity, --clarity=off).
enum class OptionArity { Flag, Value, InlineOnly };
// The sections of --help, in the order it lists them.
enum class OptionGroup { Method, Colour, Settings, Output, Running };

// One option of the command line: the parser finds and applies it from here, --help lists it
// from here, in table order within its group.
struct OptionEntry {
    std::string name;  // "output" for --output
    char shortName;    // 'o' for -o, 0 for none
    OptionArity arity;
    OptionGroup group;
    std::string argument;  // what --help shows after the name ("PATH", "[=on|off]")
    std::string help;
    // Applies the option's value (empty for a flag; "on" for a bare switch).
    void (*apply)(Parser& parser, const OptionEntry& option, const std::string& value);
};

// Every option, the method values of the slider tables among them.
const std::vector<OptionEntry>& optionTable();

// args: the arguments after the program name. Throws UsageError.
CliOptions parseCommandLine(const std::vector<std::string>& args,
                            const ParseEnvironment& environment = {});

// The method-value options of both methods in slider-row order ("brightness", "saturation",
// "mix", ...): each enabled row's option, once.
std::vector<std::string> sliderOptionNames();
// "eye-catching" for "Eye-Catching".
std::string methodOptionName(int method);
// Values as the slider row's edit box shows them: one decimal for a divisor of 10, two for 100.
std::string formatRowValue(double value, int divisor);
// "lo … hi", as help and usage errors give a range.
std::string rangeText(const std::string& lo, const std::string& hi);
// A slider row's range in the row's own decimals ("1.0 … 15.0").
std::string rowRangeText(const SliderRow& row);
// Help text words joined so that --help never wraps them apart ("Orton Sepia", a point list).
std::string keptTogether(std::string text);
constexpr char kKeepTogether = '\x1f';
// A value printed exactly enough to be read back unchanged ("6.37", "0.1").
std::string formatNumber(double value);

}  // namespace qorva::cli
