#include "cli_help.h"

#include <algorithm>
#include <cstdio>

#include "cli_options.h"
#include "colour/color_filters.h"

#ifndef QORVA_VERSION
#define QORVA_VERSION "unknown"
#endif

namespace qorva::cli {
namespace {

constexpr std::size_t kTextColumn = 26;
constexpr std::size_t kLineWidth = 92;
// Joins the words of one item (a filter name, a list of points) so they are never split.
constexpr char kKeepTogether = '\x1f';

std::string together(std::string text) {
    std::replace(text.begin(), text.end(), ' ', kKeepTogether);
    return text;
}

// One option: its name in the left column, the text wrapped at word boundaries beside it.
std::string option(const std::string& name, const std::string& text) {
    std::string out = "  " + name;
    if (out.size() + 1 > kTextColumn)
        out += "\n" + std::string(kTextColumn, ' ');
    else
        out += std::string(kTextColumn - out.size(), ' ');
    std::size_t column = kTextColumn;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(i, end - i);
        std::replace(word.begin(), word.end(), kKeepTogether, ' ');
        if (column > kTextColumn && column + 1 + word.size() > kLineWidth) {
            out += "\n" + std::string(kTextColumn, ' ');
            column = kTextColumn;
        } else if (column > kTextColumn) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        i = end + 1;
    }
    return out + "\n";
}

std::string curvePoints(const CurveModel& curve) {
    std::string s;
    for (const CurvePoint& p : curve.points()) {
        if (!s.empty()) s += ' ';
        s += formatNumber(p.x) + "," + formatNumber(p.y);
    }
    return together("\"" + s + "\"");
}

std::string methodOptions() {
    std::string out;
    const int ids[] = {kMethodEyeCatching, kMethodUltraContrast};
    for (const std::string& name : sliderOptionNames()) {
        std::string label, range, defaults;
        int usedBy = 0;
        int lastMethod = 0;
        for (int id : ids) {
            const SliderRow* row = findOption(*methodTable(id), name.c_str());
            if (!row || !row->enabled) continue;
            ++usedBy;
            lastMethod = id;
            label = row->label;
            const std::string r =
                formatRowValue(static_cast<double>(row->minPosition) / row->divisor, row->divisor) +
                " … " +
                formatRowValue(static_cast<double>(row->maxPosition) / row->divisor, row->divisor);
            if (range.empty())
                range = r;
            else if (range != r)
                range += " (" + methodOptionName(id) + ": " + r + ")";
            if (!defaults.empty()) defaults += ", ";
            defaults +=
                formatRowValue(row->defaultValue, row->divisor) + " " + methodOptionName(id);
        }
        std::string text = label + ", " + range + "; default " + defaults;
        if (usedBy == 1) {
            text = label + ", " + range + "; default " + defaults.substr(0, defaults.find(' ')) +
                   " (" + methodOptionName(lastMethod) + " only)";
        }
        out += option("--" + name + " V", text);
    }
    return out;
}

}  // namespace

std::string helpText() {
    const MethodSettings method;
    const ColorSettings colour;
    std::string filters;
    for (const FilterInfo& f : filterTable()) {
        if (!filters.empty()) filters += ", ";
        filters += together(std::to_string(f.mode) + " \"" + f.chooserName + "\"");
    }
    const PreviewSize preview;
    std::string h;
    h += "Usage: qorvahdr [options] INPUT... -o OUTPUT\n"
         "Gives photographs the HDR look of the QorvaHDR filter. One input is written to the\n"
         "file OUTPUT; several inputs, or an OUTPUT that is a folder, ends in \"/\" or has no\n"
         "extension, go into that folder as <input name><suffix><extension>. Reads JPEG, PNG, TIFF "
         "and PPM (and what\n"
         "else the image library reads); writes JPEG, PNG, TIFF and PPM, carrying EXIF, XMP,\n"
         "IPTC and the ICC profile. Deeper inputs are rounded to 8 bits per channel; an alpha\n"
         "channel is passed through unchanged where the output format holds one.\n"
         "\nMethod (values are used exactly as given, like a number typed into the dialog):\n";
    h += option("--method NAME", methodOptionName(kMethodEyeCatching) + " (0) or " +
                                     methodOptionName(kMethodUltraContrast) + " (1); default " +
                                     methodOptionName(method.method));
    h += methodOptions();
    h += "  Method values apply to the method chosen by the end of the command line.\n";
    h += "\nColour:\n";
    h += option("--gamma G", "0.40 … 2.60, set to the nearest slider step of 0.01; default " +
                                 formatRowValue(method.gammaPosition / 100.0, 100));
    h += option("--curve POINTS",
                "tone curve, points \"x,y x,y ...\" in 0 … 1 with x from 0 "
                "to 1, never decreasing; giving it switches the curve on, \"off\" "
                "switches it off; default off, " +
                    curvePoints(colour.toneCurve));
    h += option("--balance POINTS",
                "colour balance (saturation by hue), points as for "
                "--curve, x is the hue, 0.5 is neutral, the ends share one "
                "y; default off, " +
                    curvePoints(colour.balanceCurve));
    h += option("--hue-shift POINTS", "hue shift by hue, points as for --balance; default off, " +
                                          curvePoints(colour.hueCurve));
    h += option("--filter NAME|N", "colour filter by its chooser name (any case) or number: " +
                                       filters + "; default 0");
    h += option("--clarity[=on|off]", "clarity pass; default off");
    h += option("--dehaze[=on|off]", "de-haze pass; default off");
    h += "\nSettings:\n";
    h += option("--settings FILE.dps",
                "apply a settings file saved by the dialog; options "
                "after it override it");
    h += option("--save-settings FILE.dps", "write the effective settings as a settings file");
    h += option("--memory N",
                "recall setting memory N, 1 … 10 as the memory bar labels them "
                "(its tenth cell, labelled 0, is 10 or 0)");
    h += option("--memory-file FILE",
                "the memories to read; default memory.ini beside the "
                "program, or the per-user copy when that is newer");
    h += option("--print-settings", "print the effective settings and exit");
    h += "\nOutput:\n";
    h += option("-o, --output PATH", "output file (one input), or folder (created if missing)");
    h += option("--format FORMAT",
                "jpeg, png, tiff or ppm; default: the output file's "
                "extension, or in a folder each input's own format");
    h += option("--suffix TEXT",
                std::string("added to each input name in a folder; default ") + kDefaultSuffix);
    h += option("--jpeg-quality Q", "1 … 100; default " + std::to_string(kDefaultJpegQuality));
    h += option("--quality Q",
                "final (the full-size result the host receives), or what the "
                "dialog's preview shows after all, fine or fast; default final");
    h += option("--preview-size WxH",
                "the preview window's client size for the preview "
                "qualities; default " +
                    std::to_string(preview.width) + "x" + std::to_string(preview.height));
    h += option("--overwrite",
                "allow an output to replace one of the inputs or a read-only file, and "
                "--save-settings to replace a read-only file");
    h += option("--skip-existing",
                "leave out inputs whose output exists already (to resume a batch)");
    h += "\nRunning:\n";
    h += option("-j, --jobs N",
                "threads in all, 1 … 256; several inputs are then read, rendered and written "
                "side by side; default: one per processor");
    h += option("--max-megapixels N", "refuse larger images before decoding them; default " +
                                          std::to_string(static_cast<int>(kDefaultMaxMegapixels)));
    h += option("--dry-run", "print each input and its output and the settings; make nothing");
    h += option("-q, --quiet", "no progress bar (it is shown only on a terminal anyway)");
    h += option("-h, --help", "this text");
    h += option("--version", "the program's version");
    h += "\nExit status: 0 when every output was written, 1 when an input could not be read or\n"
         "an output not written (the others are still processed), 2 for a usage error (then\n"
         "nothing is written).\n";
    return h;
}

std::string versionText() {
    return std::string("qorvahdr ") + QORVA_VERSION + "\n";
}

}  // namespace qorva::cli
