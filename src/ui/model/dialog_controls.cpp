#include "ui/model/dialog_controls.h"

#include "settings/method_settings.h"

namespace qorva {
namespace {

using K = ControlKind;

// A slider row in the left column: its label, the edit box at the label's right end and the
// slider under both. `top` is the label's top; the row takes 25 dialog units.
void addRow(std::vector<ControlEntry>& out, const SliderRowControls& row, int top,
            const char* label) {
    out.push_back({row.label, K::Text, 11, top, 82, 8, false, label, "slider row label"});
    out.push_back({row.edit, K::Edit, 95, top - 1, 25, 12, false, "", "slider row value"});
    // One dialog unit below the edit, so that no rounding of units to pixels makes them touch.
    out.push_back({row.slider, K::Slider, 8, top + 12, 116, 13, false, "", "slider row slider"});
}

const char* methodZeroLabel(char row) {
    for (const SliderRow& r : methodTable(kMethodEyeCatching)->rows)
        if (r.row == row) return r.label;
    return "";
}

std::vector<ControlEntry> buildControls() {
    std::vector<ControlEntry> c;
    // The method group. The four methods the product does not offer keep their radios so that
    // the group's indices stay those of the stored settings.
    c.push_back({ctl::kMethodTitle, K::TitleLabel, 11, 5, 109, 8, false, "Method",
                 "title of the method group"});
    c.push_back(
        {ctl::kMethod0, K::Radio, 11, 16, 108, 10, false, "Eye-Catching", "method 0", true});
    c.push_back({ctl::kMethod1, K::Radio, 11, 28, 109, 10, false, "Ultra-Contrast", "method 1"});
    c.push_back({ctl::kMethod2, K::Radio, 11, 40, 108, 10, true, "", "method 2 (not offered)"});
    c.push_back({ctl::kMethod3, K::Radio, 11, 52, 108, 10, true, "", "method 3 (not offered)"});
    c.push_back({ctl::kMethod4, K::Radio, 11, 64, 108, 10, true, "", "method 4 (not offered)"});
    c.push_back({ctl::kMethod5, K::Radio, 11, 78, 108, 10, true, "", "method 5 (not offered)"});

    // The slider rows, top to bottom (the rows keep their historic letters, E above C).
    c.push_back({ctl::kRowsTitle, K::TitleLabel, 12, 77, 95, 8, false, "Settings",
                 "title of the slider rows", true});
    c.push_back(
        {ctl::kResetMethod, K::PushButton, 110, 74, 12, 13, false, "R", "reset the method"});
    const int tops[] = {89, 117, 171, 198, 144, 225};  // rows A..F
    const std::vector<SliderRowControls>& rows = sliderRowControls();
    const int order[] = {0, 1, 4, 2, 3, 5};  // A, B, E, C, D, F
    for (int i : order) addRow(c, rows[i], tops[i], methodZeroLabel(rows[i].row));

    // The preview and its commands.
    c.push_back({ctl::kPreviewFrame, K::Frame, 128, 7, 348, 246, false, "",
                 "place of the preview control"});
    c.push_back(
        {ctl::kAutoPreview, K::CheckBox, 219, 260, 31, 10, false, "Auto", "automatic preview"});
    c.push_back({ctl::kFast, K::PushButton, 255, 258, 35, 14, false, "Fast", "fast preview"});
    c.push_back({ctl::kFine, K::PushButton, 293, 258, 35, 14, false, "Fine", "fine preview"});
    c.push_back({ctl::kAll, K::PushButton, 331, 258, 35, 14, false, "All", "preview of all"});

    // The colour side.
    c.push_back({ctl::kFilterButton, K::PushButton, 481, 4, 110, 14, false, "Color Filter: Color",
                 "colour filter"});
    c.push_back({ctl::kGammaEdit, K::Edit, 481, 32, 24, 12, false, "", "gamma value"});
    c.push_back({ctl::kGammaSlider, K::Slider, 507, 31, 70, 14, false, "", "gamma"});
    c.push_back({ctl::kGammaReset, K::PushButton, 580, 19, 10, 13, false, "R", "reset gamma"});
    c.push_back(
        {ctl::kCurvesOn, K::CheckBox, 482, 52, 95, 10, false, "Tone Curve", "tone curve on"});
    c.push_back({ctl::kCurveReset, K::PushButton, 580, 50, 10, 13, false, "R", "reset tone curve"});
    c.push_back({ctl::kCurveFrame, K::Frame, 482, 65, 108, 50, false, "",
                 "place of the tone-curve control"});
    c.push_back({ctl::kBalanceOn, K::CheckBox, 482, 120, 95, 10, false, "Color Balance",
                 "colour balance on"});
    c.push_back(
        {ctl::kBalanceReset, K::PushButton, 580, 118, 10, 13, false, "R", "reset colour balance"});
    c.push_back({ctl::kBalanceFrame, K::Frame, 482, 133, 108, 50, false, "",
                 "place of the colour-balance control"});
    c.push_back(
        {ctl::kHueShiftOn, K::CheckBox, 482, 188, 95, 10, false, "Hue Shift", "hue shift on"});
    c.push_back(
        {ctl::kHueShiftReset, K::PushButton, 580, 186, 10, 13, false, "R", "reset hue shift"});
    c.push_back({ctl::kHueShiftFrame, K::Frame, 483, 200, 108, 50, false, "",
                 "place of the hue-shift control"});
    c.push_back({ctl::kColourTitle, K::TitleLabel, 481, 242, 110, 8, true, "Color",
                 "title of the colour operations"});
    c.push_back({ctl::kClarity, K::CheckBox, 482, 260, 48, 10, false, "Clarity", "clarity"});
    c.push_back({ctl::kDehaze, K::CheckBox, 538, 260, 44, 10, false, "De-haze", "de-haze"});

    // The bottom row: memories and settings files, then the dialog's own buttons.
    c.push_back(
        {ctl::kMemoryFrame, K::Frame, 7, 288, 121, 11, false, "", "place of the memory bar"});
    c.push_back(
        {ctl::kSaveSettings, K::PushButton, 132, 286, 11, 13, false, "S", "save settings file"});
    c.push_back(
        {ctl::kLoadSettings, K::PushButton, 144, 286, 11, 13, false, "L", "load settings file"});
    // Kept invisible: they have no function in this product, but the ids stay taken.
    c.push_back({1022, K::CheckBox, 380, 260, 40, 10, true, "", "unused"});
    c.push_back({1140, K::PushButton, 437, 258, 35, 14, true, "", "unused"});
    c.push_back({1026, K::PushButton, 459, 287, 20, 14, true, "", "unused"});
    c.push_back({ctl::kOk, K::DefaultButton, 536, 287, 57, 14, false, "OK", "confirm"});
    c.push_back({ctl::kCancel, K::PushButton, 482, 287, 50, 14, false, "Cancel", "cancel"});
    return c;
}

}  // namespace

const DialogTemplateInfo& hdrDialogTemplateInfo() {
    static const DialogTemplateInfo info{599, 306, "MS Sans Serif", 8,
                                         "HDR effect simulation - QorvaHDR"};
    return info;
}

const std::vector<ControlEntry>& hdrDialogControls() {
    static const std::vector<ControlEntry> controls = buildControls();
    return controls;
}

const ControlEntry* findControl(int id) {
    for (const ControlEntry& c : hdrDialogControls())
        if (c.id == id) return &c;
    return nullptr;
}

const std::vector<SliderRowControls>& sliderRowControls() {
    static const std::vector<SliderRowControls> rows{
        {'A', ctl::kLabelA, ctl::kEditA, ctl::kSliderA},
        {'B', ctl::kLabelB, ctl::kEditB, ctl::kSliderB},
        {'C', ctl::kLabelC, ctl::kEditC, ctl::kSliderC},
        {'D', ctl::kLabelD, ctl::kEditD, ctl::kSliderD},
        {'E', ctl::kLabelE, ctl::kEditE, ctl::kSliderE},
        {'F', ctl::kLabelF, ctl::kEditF, ctl::kSliderF},
    };
    return rows;
}

const SliderRowControls* rowOfSlider(int sliderId) {
    for (const SliderRowControls& r : sliderRowControls())
        if (r.slider == sliderId) return &r;
    return nullptr;
}

const SliderRowControls* rowOfEdit(int editId) {
    for (const SliderRowControls& r : sliderRowControls())
        if (r.edit == editId) return &r;
    return nullptr;
}

}  // namespace qorva
