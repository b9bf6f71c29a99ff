#include "settings/method_settings.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qorva {
namespace {

// The tables live in functions so that a MethodSettings built during static initialisation of
// another file never sees them unconstructed.

// Row order A..F. The keys are the names under which memories store the values, letter for
// letter as existing memory.ini files hold them.
const MethodTable& eyeCatching() {
    static const MethodTable table{
        kMethodEyeCatching,
        "Eye-Catching",
        {
            {'A', "Brightness", 60, 300, 10, 10.0, "Brighness", true, "brightness"},
            {'B', "Color Saturation", 0, 100, 100, 1.0, "Saturation", true, "saturation"},
            {'C', "Dramatic Light Radius", 10, 150, 10, 6.0, "Radius", true, "radius"},
            {'D', "Dramatic Light Strength", 0, 100, 100, 0.6, "Value", true, "strength"},
            {'E', "Vivid Colors", 0, 100, 100, 0.1, "Vivid", true, "vivid"},
            {'F', "Surface Smoothness", 0, 100, 100, 0.3, "Smooth", true, "smoothness"},
        },
    };
    return table;
}

// Row A is shown but disabled: this method does not use it, yet it is stored and kept.
// "Natural/Saturated" names the two ends of a blend, so its option is the blend's key.
const MethodTable& ultraContrast() {
    static const MethodTable table{
        kMethodUltraContrast,
        "Ultra-Contrast",
        {
            {'A', "Brightness", 100, 500, 10, 25.0, "Brighness", false, "brightness"},
            {'B', "Natural/Saturated", 0, 100, 100, 1.0, "Mix", true, "mix"},
            {'C', "Dramatic Light Radius", 10, 150, 10, 5.0, "Radius", true, "radius"},
            {'D', "Dramatic Light Strength", 0, 100, 100, 0.6, "Value", true, "strength"},
            {'E', "Vivid Colors", 0, 100, 100, 0.0, "Vivid", true, "vivid"},
            {'F', "Surface Smoothness", 0, 100, 100, 0.25, "Smooth", true, "smoothness"},
        },
    };
    return table;
}

// Only reachable through stored settings; displayed, never rendered.
const MethodTable& storedOnly() {
    static const MethodTable table{
        -1,
        "",
        {
            {'A', "Color Contrast", 0, 100, 100, 0.12, "PLcontrast", true, "contrast"},
            {'B', "Color Saturation", 0, 300, 100, 1.0, "PLcolor", true, "saturation"},
        },
    };
    return table;
}

}  // namespace

const SliderRow& gammaRow() {
    static const SliderRow row{
        'G', "Gamma", kGammaPositionMin, kGammaPositionMax, 100, 1.0, "PLgamma", true, "gamma"};
    return row;
}

namespace {

// One id's stored values in settings-file order and, beside it, the order memory.ini holds
// them in. Both are row strings: a slot of a displayable method is named by its slider row
// ('G' for the method's own gamma copy); the methods this product does not offer have no rows,
// so their slots are named by their position ('0'...) and carry the keys in `carried`.
struct LayoutRow {
    const MethodTable* table;
    const char* fileOrder;
    const char* memoryOrder;
    std::vector<const char*> carried;
};

std::vector<StoredSlot> slotsOf(const LayoutRow& layout) {
    std::vector<StoredSlot> slots;
    if (layout.table == nullptr) {
        for (const char* key : layout.carried) slots.push_back({0, key});
        return slots;
    }
    for (const char* r = layout.fileOrder; *r != 0; ++r)
        slots.push_back({*r, *r == 'G' ? gammaRow().key : findRow(*layout.table, *r)->key});
    return slots;
}

std::vector<std::size_t> memoryPositionsOf(const LayoutRow& layout) {
    std::vector<std::size_t> positions;
    for (const char* c = layout.memoryOrder; *c != 0; ++c) {
        if (layout.table == nullptr) {
            positions.push_back(static_cast<std::size_t>(*c - '0'));
        } else {
            const char* at = std::strchr(layout.fileOrder, *c);
            positions.push_back(static_cast<std::size_t>(at - layout.fileOrder));
        }
    }
    return positions;
}

// Ids -1..5. Ids 2..5 belong to methods this product does not offer; their values are only
// carried.
const std::array<LayoutRow, 7>& layoutTable() {
    static const std::array<LayoutRow, 7> rows{{
        {&storedOnly(), "ABG", "ABG", {}},
        {&eyeCatching(), "ABECDF", "ABECDF", {}},
        {&ultraContrast(), "ABECDF", "BAECDF", {}},
        {nullptr, "", "01234", {"Middle", "Dark", "Light", "Saturation", "Radius"}},
        {nullptr, "", "012", {"Vivid", "Radius", "Strength"}},
        {nullptr, "", "0124", {"Brighness", "Saturation", "Sharpness", "Gamma", "Vivid"}},
        {nullptr, "", "01234", {"Brighness", "Saturation", "Vivid", "Radius", "Strength"}},
    }};
    return rows;
}

// Both orders of each id, made once from the layout table.
struct StoredOrders {
    std::vector<StoredSlot> file;
    std::vector<std::size_t> memory;
};

const StoredOrders& storedOrdersAt(std::size_t index) {
    static const std::array<StoredOrders, 7> orders = [] {
        std::array<StoredOrders, 7> all;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = {slotsOf(layoutTable()[i]), memoryPositionsOf(layoutTable()[i])};
        return all;
    }();
    return orders[index];
}

// Truncation toward zero that saturates instead of overflowing on values a file can carry.
int truncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

std::size_t storedIndex(int id) {
    if (!hasStoredValues(id)) throw std::out_of_range("method id has no stored values");
    return static_cast<std::size_t>(id - kStoredMethodMin);
}

}  // namespace

const SliderRow* findRow(const MethodTable& table, char row) {
    for (const SliderRow& r : table.rows)
        if (r.row == row) return &r;
    return nullptr;
}

const MethodTable* methodTable(int id) {
    switch (id) {
        case kMethodEyeCatching:
            return &eyeCatching();
        case kMethodUltraContrast:
            return &ultraContrast();
        case -1:
            return &storedOnly();
        default:
            return nullptr;
    }
}

const SliderRow* findOption(const MethodTable& table, const char* option) {
    for (const SliderRow& r : table.rows)
        if (std::strcmp(r.option, option) == 0) return &r;
    return nullptr;
}

bool hasStoredValues(int id) {
    return id >= kStoredMethodMin && id <= kStoredMethodMax;
}

const std::vector<StoredSlot>& storedLayout(int id) {
    static const std::vector<StoredSlot> none;
    if (!hasStoredValues(id)) return none;
    return storedOrdersAt(storedIndex(id)).file;
}

const std::vector<std::size_t>& memoryLayout(int id) {
    static const std::vector<std::size_t> none;
    if (!hasStoredValues(id)) return none;
    return storedOrdersAt(storedIndex(id)).memory;
}

std::vector<double> defaultStoredValues(int id) {
    const std::vector<StoredSlot>& layout = storedLayout(id);
    std::vector<double> values(layout.size(), 0.0);
    const MethodTable* table = methodTable(id);
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i].row == 'G') {
            values[i] = gammaRow().defaultValue;
        } else if (table != nullptr) {
            if (const SliderRow* row = findRow(*table, layout[i].row))
                values[i] = row->defaultValue;
        }
    }
    return values;
}

int sliderPosition(double value, int divisor) {
    int position = truncToInt(value * divisor);
    if (position == 2147483647) return position;
    if (static_cast<double>(position + 1) / divisor == value) ++position;
    return position;
}

int gammaSliderPosition(double gamma) {
    int position = sliderPosition(gamma, 100);
    if (position < kGammaPositionMin) position = kGammaPositionMin;
    if (position > kGammaPositionMax) position = kGammaPositionMax;
    return position;
}

MethodSettings::MethodSettings() {
    for (int id = kStoredMethodMin; id <= kStoredMethodMax; ++id)
        storedFor(id) = defaultStoredValues(id);
    SelectMethod(*this);
}

std::vector<double>& MethodSettings::storedFor(int id) {
    return stored[storedIndex(id)];
}

const std::vector<double>& MethodSettings::storedFor(int id) const {
    return stored[storedIndex(id)];
}

double& MethodSettings::value(char row) {
    switch (row) {
        case 'A':
            return valueA;
        case 'B':
            return valueB;
        case 'C':
            return valueC;
        case 'D':
            return valueD;
        case 'E':
            return valueE;
        case 'F':
            return valueF;
        default:
            throw std::out_of_range("no such slider row");
    }
}

double MethodSettings::value(char row) const {
    return const_cast<MethodSettings&>(*this).value(row);
}

void MethodSettings::setGamma(double value) {
    gamma = value;
    gammaPosition = gammaSliderPosition(value);
}

ColorSettings::ColorSettings() = default;

CurveTables ColorSettings::curveTables() const {
    CurveTables tables;
    tables.tone = toneCurve.table();
    tables.balance = balanceCurve.table();
    tables.hue = hueCurve.table();
    return tables;
}

void copyValuesToStored(MethodSettings& settings, int id) {
    if (!hasStoredValues(id)) return;
    const std::vector<StoredSlot>& layout = storedLayout(id);
    std::vector<double>& stored = settings.storedFor(id);
    stored.resize(layout.size());
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i].row == 'G')
            stored[i] = settings.gamma;
        else if (layout[i].row != 0)
            stored[i] = settings.value(layout[i].row);
    }
}

void SelectMethod(MethodSettings& settings) {
    if (settings.method > 1) settings.method = kMethodEyeCatching;
    if (settings.method != settings.previousMethod) {
        // At start-up previousMethod is -2, which owns no stored values: nothing to keep.
        copyValuesToStored(settings, settings.previousMethod);
        settings.previousMethod = settings.method;
    }
    if (!hasStoredValues(settings.method)) return;
    const std::vector<StoredSlot>& layout = storedLayout(settings.method);
    const std::vector<double>& stored = settings.storedFor(settings.method);
    // The gamma copy of id -1 is not brought back: gamma stays what the slider says.
    for (std::size_t i = 0; i < layout.size() && i < stored.size(); ++i)
        if (layout[i].row >= 'A' && layout[i].row <= 'F') settings.value(layout[i].row) = stored[i];
}

void ResetMethod(MethodSettings& settings) {
    if (hasStoredValues(settings.method))
        settings.storedFor(settings.method) = defaultStoredValues(settings.method);
    SelectMethod(settings);
}

void ResetGamma(MethodSettings& settings) {
    settings.gamma = 1.0;
    settings.gammaPosition = 100;
}

namespace {

// Both methods read the local equalisation and the colour choices from the same settings; only
// method 0's brightness and saturation, and method 1's mix with the tone-mapping engine, differ.
LocalContrastParams localContrastParamsFor(const MethodSettings& method) {
    LocalContrastParams p;
    p.divisions = truncToInt(method.valueC);
    p.strength = static_cast<float>(method.valueD);
    p.smoothness = static_cast<float>(method.valueF);
    return p;
}

ColorChoices colorChoicesFor(const MethodSettings& method, const ColorSettings& colour,
                             bool colourNeutral) {
    ColorChoices c;
    c.vivid = static_cast<float>(method.valueE);
    if (colourNeutral) return c;
    c.gamma = static_cast<float>(method.gammaPosition * 0.01);
    c.curvesOn = colour.curvesOn;
    c.balanceOn = colour.balanceOn;
    c.hueShiftOn = colour.hueShiftOn;
    c.filterMode = colour.filterMode;
    return c;
}

}  // namespace

ContrastParams contrastParamsFor(const MethodSettings& method, const ColorSettings& colour,
                                 bool colourNeutral) {
    ContrastParams p;
    p.brightnessBlend = static_cast<float>((method.valueA - 6) / 24);
    p.saturationFactor = static_cast<float>((method.valueB + 1) / 2);
    p.local = localContrastParamsFor(method);
    p.colour = colorChoicesFor(method, colour, colourNeutral);
    return p;
}

ToneMappedParams toneMappedParamsFor(const MethodSettings& method, const ColorSettings& colour,
                                     bool colourNeutral) {
    ToneMappedParams p;
    p.naturalSaturated = static_cast<float>(method.valueB);
    p.local = localContrastParamsFor(method);
    p.colour = colorChoicesFor(method, colour, colourNeutral);
    return p;
}

}  // namespace qorva
