#include "settings_report.h"

#include <cstdio>

#include "cli_options.h"
#include "colour/color_filters.h"

namespace qorva::cli {
namespace {

std::string line(const std::string& name, const std::string& value, const std::string& note) {
    char text[512];
    std::snprintf(text, sizeof text, "%-12s %-10s %s", name.c_str(), value.c_str(), note.c_str());
    std::string s = text;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s + "\n";
}

std::string points(const CurveModel& curve) {
    std::string s;
    for (const CurvePoint& p : curve.points()) {
        if (!s.empty()) s += ' ';
        s += formatNumber(p.x) + "," + formatNumber(p.y);
    }
    return s;
}

}  // namespace

std::string settingsReport(const MethodSettings& method, const ColorSettings& colour) {
    std::string out;
    const MethodTable* table = methodTable(method.method);
    const bool renderable =
        method.method == kMethodEyeCatching || method.method == kMethodUltraContrast;
    out +=
        line("method", renderable ? methodOptionName(method.method) : std::to_string(method.method),
             renderable ? "(" + std::to_string(method.method) + ")" : "(cannot be rendered)");
    if (table) {
        for (const SliderRow& row : table->rows) {
            if (!row.enabled) continue;
            out += line(row.option, formatNumber(method.value(row.row)),
                        std::string(row.label) + ", " + rowRangeText(row));
        }
    }
    out += line("gamma", formatRowValue(method.gammaPosition / 100.0, 100),
                "slider position " + std::to_string(method.gammaPosition));
    out += line("curve", colour.curvesOn ? "on" : "off", points(colour.toneCurve));
    out += line("balance", colour.balanceOn ? "on" : "off", points(colour.balanceCurve));
    out += line("hue-shift", colour.hueShiftOn ? "on" : "off", points(colour.hueCurve));
    const FilterInfo* filter = filterByMode(colour.filterMode);
    out += line("filter", filter ? filter->chooserName : std::to_string(colour.filterMode),
                "(" + std::to_string(colour.filterMode) + ")");
    out += line("clarity", colour.clarityOn ? "on" : "off", "");
    out += line("dehaze", colour.dehazeOn ? "on" : "off", "");
    return out;
}

}  // namespace qorva::cli
