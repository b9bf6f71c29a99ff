// The two parameter records of the filter and the per-method slider tables. The tables are the
// single source for the dialog's slider rows, the memory keys, the settings-file order and the
// command line's options and help.
#pragma once

#include <array>
#include <vector>

#include "colour/curve_model.h"
#include "pipelines/contrast_pipeline.h"
#include "pipelines/tone_mapped_pipeline.h"

namespace qorva {

constexpr int kMethodEyeCatching = 0;
constexpr int kMethodUltraContrast = 1;
constexpr int kGammaPositionMin = 40;
constexpr int kGammaPositionMax = 260;
// Ids whose stored values exist (and which a settings file carries a method block for).
constexpr int kStoredMethodMin = -1;
constexpr int kStoredMethodMax = 5;

// One method slider row (A..F) as the dialog shows it for a method.
struct SliderRow {
    char row;           // 'A'..'F'
    const char* label;  // "Dramatic Light Radius"
    int minPosition;
    int maxPosition;
    int divisor;  // value = position / divisor
    double defaultValue;
    const char* key;  // memory.ini entry name, letter for letter ("Brighness")
    bool enabled;
    const char* option;  // command-line option name ("radius"), from the label's last word
};

struct MethodTable {
    int id;
    const char* name;  // radio caption ("Eye-Catching"); empty for method -1
    std::vector<SliderRow> rows;
};

// The table of a displayable method (-1, 0, 1), or nullptr.
const MethodTable* methodTable(int id);
// The gamma slider described as a method row is ('G', positions 40..260, divisor 100, default
// 1.00, option "gamma"): the command line's range, rounding and help read it from here. Its key
// is the name of method -1's own gamma copy.
const SliderRow& gammaRow();
// The row 'A'..'F' of a method's table, or nullptr when the method does not show it.
const SliderRow* findRow(const MethodTable& table, char row);
// The row of a displayable method whose command-line option is `option`, or nullptr.
const SliderRow* findOption(const MethodTable& table, const char* option);

// One stored value of a method id: the slider row it comes from ('A'..'F'), or 'G' for the
// method's own gamma copy, or 0 for a value that is only carried (ids 2..5), and its name.
struct StoredSlot {
    char row;
    const char* key;
};
// The stored values of ids -1..5 in settings-file order (lengths 3, 6, 6, 5, 3, 5, 5); empty
// for any other id.
const std::vector<StoredSlot>& storedLayout(int id);
// Positions in storedLayout(id) of the values a memory holds, in memory.ini order (method 1
// writes "Mix" before "Brighness"; method 4 keeps its gamma out of memories).
const std::vector<std::size_t>& memoryLayout(int id);
bool hasStoredValues(int id);
std::vector<double> defaultStoredValues(int id);

// Slider position of a value: value x divisor truncated toward zero. A value that is exactly
// what some position reads back as (position / divisor) gets that position, so reading the edit
// box and setting the slider again never walks the slider down by one (0.29 x 100 is
// 28.999999999999996 in binary).
int sliderPosition(double value, int divisor);
// Gamma slider position (gamma x 100 truncated, as above), limited to 40..260.
int gammaSliderPosition(double gamma);

struct MethodSettings {
    MethodSettings();  // the dialog's start-up state: method 0 with every default

    int method = 0;
    double gamma = 1.0;
    int gammaPosition = 100;  // slider 40..260; gamma = position / 100
    double valueA = 0, valueB = 0, valueC = 0, valueD = 0, valueE = 0, valueF = 0;
    int previousMethod = -2;
    // Stored values of method ids -1..5 (index id + 1), in settings-file order.
    std::array<std::vector<double>, 7> stored;

    std::vector<double>& storedFor(int id);
    const std::vector<double>& storedFor(int id) const;
    double& value(char row);  // 'A'..'F'
    double value(char row) const;
    // Sets gamma and its slider position together (position limited to 40..260).
    void setGamma(double value);

    bool operator==(const MethodSettings&) const = default;
};

struct ColorSettings {
    ColorSettings();

    bool curvesOn = false;
    bool balanceOn = false;
    bool hueShiftOn = false;
    CurveModel toneCurve{false};
    CurveModel balanceCurve{true};
    CurveModel hueCurve{true};
    int filterMode = 0;
    bool clarityOn = false;
    bool dehazeOn = false;
    bool autoPreview = true;

    CurveTables curveTables() const;

    bool operator==(const ColorSettings&) const = default;
};

// Method change: ids above 1 become 0; values of the previous method are kept in its stored
// copy and the new method's stored values are brought in.
void SelectMethod(MethodSettings& settings);
// Copies valueA..valueF (and, for id -1, gamma) into the stored values of `id`; what a method
// change does for the method it leaves, and what storing a memory or a settings file does first.
void copyValuesToStored(MethodSettings& settings, int id);
// The current method's stored values back to the defaults, then SelectMethod.
void ResetMethod(MethodSettings& settings);
void ResetGamma(MethodSettings& settings);

// Pipeline parameters for the render driver. A colour-neutral run passes gamma 1, the colour
// switches off and filter 0.
ContrastParams contrastParamsFor(const MethodSettings& method, const ColorSettings& colour,
                                 bool colourNeutral);
ToneMappedParams toneMappedParamsFor(const MethodSettings& method, const ColorSettings& colour,
                                     bool colourNeutral);

}  // namespace qorva
