// The main dialog's controls: one table (id, kind, position in dialog units, hidden, role)
// from which the window's template is built and against which the tests check the window.
#pragma once

#include <string>
#include <vector>

namespace qorva {

enum class ControlKind {
    Text,        // plain static text
    TitleLabel,  // static drawn as a title band (1017, 1018, 1036)
    Radio,       // first radio of the method group starts the group
    PushButton,
    DefaultButton,  // OK
    CheckBox,
    Edit,    // real-number edit with the client edge
    Slider,  // the owner-drawn slider
    Frame,   // placeholder over which one of the dialog's own controls is created
};

struct ControlEntry {
    int id;
    ControlKind kind;
    int x, y, width, height;  // dialog units
    bool hidden;              // created invisible and never shown
    const char* caption;
    const char* role;
    bool groupStart = false;  // WS_GROUP: starts a radio group or a new tab group
};

struct DialogTemplateInfo {
    int width;  // dialog units
    int height;
    const char* font;
    int pointSize;
    const char* title;
};

namespace ctl {
// Method radios (index 0..5 of the method group).
constexpr int kMethod0 = 1009, kMethod1 = 1014, kMethod2 = 1015, kMethod3 = 1042, kMethod4 = 1106,
              kMethod5 = 1045;
constexpr int kMethodTitle = 1017, kRowsTitle = 1036, kColourTitle = 1018;
constexpr int kResetMethod = 1020;
// Slider rows A..F: label, edit, slider.
constexpr int kLabelA = 1085, kEditA = 1086, kSliderA = 1087;
constexpr int kLabelB = 1090, kEditB = 1089, kSliderB = 1088;
constexpr int kLabelC = 1093, kEditC = 1092, kSliderC = 1091;
constexpr int kLabelD = 1105, kEditD = 1104, kSliderD = 1103;
constexpr int kLabelE = 1115, kEditE = 1097, kSliderE = 1096;
constexpr int kLabelF = 1119, kEditF = 1118, kSliderF = 1117;
constexpr int kPreviewFrame = 1029;
constexpr int kAutoPreview = 1006;
constexpr int kFast = 1102, kFine = 1109, kAll = 1108;
constexpr int kFilterButton = 1129;
constexpr int kGammaSlider = 1094, kGammaEdit = 1095, kGammaReset = 1116;
constexpr int kCurvesOn = 1099, kCurveReset = 1114, kCurveFrame = 1100;
constexpr int kBalanceOn = 1098, kBalanceReset = 1112, kBalanceFrame = 1101;
constexpr int kHueShiftOn = 1110, kHueShiftReset = 1113, kHueShiftFrame = 1111;
constexpr int kClarity = 1021, kDehaze = 1023;
constexpr int kSaveSettings = 1135, kLoadSettings = 1134;
constexpr int kMemoryFrame = 1128;
constexpr int kOk = 1, kCancel = 2;
// Controls created over a placeholder take this id (the preview, the memory bar).
constexpr int kPlacedControl = 123456;
// The colour-filter chooser while it is open.
constexpr int kFilterChooser = 123457;
}  // namespace ctl

const DialogTemplateInfo& hdrDialogTemplateInfo();
const std::vector<ControlEntry>& hdrDialogControls();
const ControlEntry* findControl(int id);

// The method radios in group order (index = method id 0..5).
constexpr int kMethodRadios[6] = {ctl::kMethod0, ctl::kMethod1, ctl::kMethod2,
                                  ctl::kMethod3, ctl::kMethod4, ctl::kMethod5};

// One slider row's three controls.
struct SliderRowControls {
    char row;  // 'A'..'F'
    int label, edit, slider;
};
const std::vector<SliderRowControls>& sliderRowControls();
// The row whose slider (or edit) has this id, or nullptr.
const SliderRowControls* rowOfSlider(int sliderId);
const SliderRowControls* rowOfEdit(int editId);

}  // namespace qorva
