#include "cli_help.h"

#include <algorithm>
#include <cstdio>

#include "cli_options.h"

#ifndef QORVA_VERSION
#define QORVA_VERSION "unknown"
#endif

namespace qorva::cli {
namespace {

constexpr std::size_t kTextColumn = 26;
constexpr std::size_t kLineWidth = 92;

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

// "-o, --output PATH", "--clarity[=on|off]".
std::string optionName(const OptionEntry& entry) {
    std::string name;
    if (entry.shortName != 0) name = std::string("-") + entry.shortName + ", ";
    name += "--" + entry.name;
    if (entry.argument.empty()) return name;
    return name + (entry.arity == OptionArity::InlineOnly ? "" : " ") + entry.argument;
}

struct GroupText {
    OptionGroup group;
    const char* heading;
    const char* note;  // printed after the group's options
};

constexpr GroupText kGroups[] = {
    {OptionGroup::Method,
     "Method (values are used exactly as given, like a number typed into the dialog)",
     "  Method values apply to the method chosen by the end of the command line.\n"},
    {OptionGroup::Colour, "Colour", ""},
    {OptionGroup::Settings, "Settings", ""},
    {OptionGroup::Output, "Output", ""},
    {OptionGroup::Running, "Running", ""},
};

}  // namespace

std::string helpText() {
    std::string h;
    h += "Usage: qorvahdr [options] INPUT... -o OUTPUT\n"
         "Gives photographs the HDR look of the QorvaHDR filter. One input is written to the\n"
         "file OUTPUT; several inputs, or an OUTPUT that is a folder, ends in \"/\" or has no\n"
         "extension, go into that folder as <input name><suffix><extension>. Reads JPEG, PNG, TIFF "
         "and PPM (and what\n"
         "else the image library reads); writes JPEG, PNG, TIFF and PPM, carrying EXIF, XMP,\n"
         "IPTC and the ICC profile. Deeper inputs are rounded to 8 bits per channel; an alpha\n"
         "channel is passed through unchanged where the output format holds one.\n";
    for (const GroupText& g : kGroups) {
        h += std::string("\n") + g.heading + ":\n";
        for (const OptionEntry& entry : optionTable())
            if (entry.group == g.group) h += option(optionName(entry), entry.help);
        h += g.note;
    }
    h += "\nExit status: 0 when every output was written, 1 when an input could not be read or\n"
         "an output not written (the others are still processed), 2 for a usage error (then\n"
         "nothing is written).\n";
    return h;
}

std::string versionText() {
    return std::string("qorvahdr ") + QORVA_VERSION + "\n";
}

}  // namespace qorva::cli
