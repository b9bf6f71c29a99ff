#include "ui/model/hdr_dialog_controller.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <new>
#include <system_error>

#include "colour/color_filters.h"
#include "persistence/memory_store.h"
#include "persistence/settings_file.h"
#include "plugin/platform_services.h"
#include "ui/hdr_dialog.h"
#include "ui/model/dialog_controls.h"
#include "ui/model/slider_model.h"

namespace qorva {
namespace {

constexpr int kGammaIndex = 6;  // appliedText_ slot of the gamma edit
constexpr int kGammaScale = 100;
constexpr int kRadioCount = 6;

// The method radios the product does not offer: kept (their index is a stored method id) but
// never selectable.
constexpr int kHiddenMethodRadios[] = {ctl::kMethod2, ctl::kMethod3, ctl::kMethod4, ctl::kMethod5};

// A real number as the user typed it, read the same whatever the locale: blanks around it are
// allowed, anything else after it is not. Infinities and NaN are not numbers to a slider.
bool parseNumber(const std::string& text, double& value) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return false;
    const std::size_t end = text.find_last_not_of(" \t") + 1;
    if (text[begin] == '+' && end - begin > 1 && text[begin + 1] != '-') ++begin;
    double parsed = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    const auto result = std::from_chars(first, last, parsed);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

// What an edit shows for a value: the slider's own text when the value is exactly one of its
// positions, otherwise the shortest text that reads back as the same value, so that writing
// the fields and reading them again changes nothing (a value from a memory or a settings file
// need not sit on a position).
std::string formatValue(double value, int scale) {
    const int position = sliderPosition(value, scale);
    if (static_cast<double>(position) / scale == value) return formatSliderValue(position, scale);
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

int limitedPosition(double value, int scale, int minimum, int maximum) {
    return std::clamp(sliderPosition(value, scale), minimum, maximum);
}

std::size_t rowIndex(const SliderRowControls& row) {
    return static_cast<std::size_t>(&row - sliderRowControls().data());
}

// The three curve panels in the order the dialog creates them: colour balance, tone curve, hue
// shift.
constexpr int kCurveFrames[] = {ctl::kBalanceFrame, ctl::kCurveFrame, ctl::kHueShiftFrame};

bool isCurveFrame(int id) {
    return std::find(std::begin(kCurveFrames), std::end(kCurveFrames), id) !=
           std::end(kCurveFrames);
}

class WaitCursorScope {
public:
    explicit WaitCursorScope(DialogView& view) : view_(view) { view_.setWaitCursor(true); }
    ~WaitCursorScope() {
        try {
            view_.setWaitCursor(false);
        } catch (...) {
        }
    }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;

private:
    DialogView& view_;
};

bool isKeyboardScroll(int code) {
    return code == static_cast<int>(SliderNotify::LineUp) ||
           code == static_cast<int>(SliderNotify::LineDown) ||
           code == static_cast<int>(SliderNotify::PageUp) ||
           code == static_cast<int>(SliderNotify::PageDown);
}

}  // namespace

// Counts the handlers on the stack. A start-up timer that fires meanwhile is started again
// when the last one ends, so that the first preview is late rather than lost.
class HdrDialogController::BusyScope {
public:
    explicit BusyScope(HdrDialogController& controller) : c_(controller) { ++c_.busy_; }
    ~BusyScope() {
        if (--c_.busy_ != 0 || !c_.startupPending_ || c_.closed_) return;
        c_.startupPending_ = false;
        try {
            c_.view_.startTimer(kStartupTimer, kStartupDelayMs);
        } catch (...) {
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    HdrDialogController& c_;
};

HdrDialogController::HdrDialogController(DialogView& view, PlatformServices* platform)
    : view_(view),
      platform_(platform),
      driver_(*this, method_, colour_),
      triggers_(driver_, method_, colour_) {
    // Until the rows are set up for a method, the edits follow the first method's scales.
    const MethodTable& first = *methodTable(kMethodEyeCatching);
    for (const SliderRowControls& rc : sliderRowControls()) {
        if (const SliderRow* row = findRow(first, rc.row))
            rows_[rowIndex(rc)] = {row->minPosition, row->maxPosition, row->divisor};
    }
}

void HdrDialogController::setHostInput(const std::uint8_t* input, int width, int height) {
    driver_.setHostInput(input, width, height);
    hostInputSet_ = input != nullptr && width > 0 && height > 0;
    input_ = hostInputSet_ ? input : nullptr;
    inputWidth_ = hostInputSet_ ? width : 0;
    inputHeight_ = hostInputSet_ ? height : 0;
}

void HdrDialogController::initialise() {
    try {
        // 1. Every method starts from its defaults.
        for (int id = kStoredMethodMin; id <= kStoredMethodMax; ++id)
            method_.storedFor(id) = defaultStoredValues(id);
        SelectMethod(method_);
        // 2. The switches the user keeps between runs.
        if (platform_ != nullptr) {
            colour_.clarityOn = platform_->profileInt(kProfileSection, kProfileClarity, 0) != 0;
            colour_.dehazeOn = platform_->profileInt(kProfileSection, kProfileHaze, 0) != 0;
        }
        // 3. to 5. The window's own controls, with the fields moved into them.
        view_.initialiseDialogBase();
        fieldsToControls();
        view_.createPreviewControl();
        // The two hue-domain panels rest flat at the middle (no change); the tone curve keeps
        // its identity curve.
        colour_.balanceCurve.SetCentred(true);
        view_.createCurveControl(ctl::kBalanceFrame, colour_.balanceCurve,
                                 {true, 0.0f, true, false});
        view_.createCurveControl(ctl::kCurveFrame, colour_.toneCurve, {false, 0.0f, true, true});
        colour_.hueCurve.SetCentred(true);
        view_.createCurveControl(ctl::kHueShiftFrame, colour_.hueCurve, {true, 1.0f, true, false});
        // 6. Gamma follows the drag relatively: a press must not jump it across the range.
        view_.setSliderRange(ctl::kGammaSlider, kGammaPositionMin, kGammaPositionMax);
        view_.pairSlider(ctl::kGammaSlider, ctl::kGammaEdit, kGammaScale);
        view_.setRelativeDrag(ctl::kGammaSlider, 1.0);
        view_.setSliderPosition(ctl::kGammaSlider, method_.gammaPosition);
        // 7.
        view_.attachToCheckBox(ctl::kCurvesOn, ctl::kCurveFrame);
        view_.attachToCheckBox(ctl::kBalanceOn, ctl::kBalanceFrame);
        view_.attachToCheckBox(ctl::kHueShiftOn, ctl::kHueShiftFrame);
        // 8. Only the two methods of this product are offered.
        for (int id : kHiddenMethodRadios) view_.setEnabled(id, false);
        view_.setControlText(ctl::kMethod0, methodTable(kMethodEyeCatching)->name);
        view_.setControlText(ctl::kMethod1, methodTable(kMethodUltraContrast)->name);
        // 9. to 14.
        view_.setWaitCursor(true);
        view_.setStatusText(kPreparingMessage);
        setUpSliderRows();
        for (int frame : kCurveFrames) showCurvePanel(frame);
        // The first preview waits until the dialog is on screen.
        view_.startTimer(kStartupTimer, kStartupDelayMs);
        view_.createMemoryBar();
        if (!memoryLocation_.hostPath.empty() || !memoryLocation_.userPath.empty()) {
            loadMemoryFile(memoryBar_.store(), memoryLocation_);
            memoriesLoaded_ = true;
        }
        view_.setWaitCursor(false);
    } catch (...) {
        // The dialog opens with what could be set up; a preview command can still follow.
        try {
            view_.setWaitCursor(false);
        } catch (...) {
        }
    }
}

template <class Handler>
void HdrDialogController::handle(Handler&& handler) {
    if (closed_ || busy_ > 0) return;
    BusyScope scope(*this);
    try {
        handler();
        noteRenderOutcome();
    } catch (const std::bad_alloc&) {
        reportPreviewMemory();
    } catch (...) {
        // Nothing may cross the window procedure; the dialog carries on with its settings.
    }
}

void HdrDialogController::reportPreviewMemory() {
    if (closed_) return;
    try {
        view_.setStatusText(kPreviewMemoryMessage);
        memoryMessageShown_ = true;
    } catch (...) {
    }
}

void HdrDialogController::noteRenderOutcome() {
    if (closed_) return;
    // A render that ran out of memory leaves the preview stale and without pixels; any render
    // that worked afterwards gives it pixels again.
    const bool failed = driver_.previewStale() && !driver_.renderImage().hasPixels();
    if (failed && !memoryMessageShown_) {
        reportPreviewMemory();
    } else if (!failed && memoryMessageShown_) {
        view_.setStatusText("");
        memoryMessageShown_ = false;
    }
}

void HdrDialogController::timerFired(int id) {
    if (id == kOriginalTimer) {
        if (closed_ || busy_ > 0) return;  // tried again after the next picture
        handle([this] {
            view_.stopTimer(kOriginalTimer);
            driver_.originalPreview();
        });
        return;
    }
    if (id != kStartupTimer || closed_) return;
    if (busy_ > 0) {
        startupPending_ = true;
        return;
    }
    handle([this] {
        view_.stopTimer(kStartupTimer);
        triggers_.startupTimerFired();
        view_.setStatusText("");
    });
}

void HdrDialogController::buttonClicked(int id) {
    handle([this, id] {
        // Saving, the automatic-preview switch and closing change nothing that the 1:1 view
        // shows; loading leaves it only once something was loaded.
        const int keepsView[] = {ctl::kSaveSettings, ctl::kLoadSettings, ctl::kAutoPreview,
                                 ctl::kOk, ctl::kCancel};
        if (std::find(std::begin(keepsView), std::end(keepsView), id) == std::end(keepsView))
            leaveActualSize();
        switch (id) {
            case ctl::kMethod0:
            case ctl::kMethod1:
            case ctl::kMethod2:
            case ctl::kMethod3:
            case ctl::kMethod4:
            case ctl::kMethod5:
                selectMethod();
                break;
            case ctl::kResetMethod:
                resetMethod();
                break;
            case ctl::kFast:
                triggers_.previewRequested(RenderQuality::Fast);
                break;
            case ctl::kFine:
                triggers_.previewRequested(RenderQuality::Fine);
                break;
            case ctl::kAll:
                triggers_.previewRequested(RenderQuality::All);
                break;
            case ctl::kGammaReset:
                gammaReset();
                break;
            case ctl::kClarity:
            case ctl::kDehaze:
                clarityOrDehazeClicked(id);
                break;
            case ctl::kAutoPreview:
                controlsToFields();
                break;
            case ctl::kCurvesOn:
                curveSwitchClicked(ctl::kCurveFrame);
                break;
            case ctl::kBalanceOn:
                curveSwitchClicked(ctl::kBalanceFrame);
                break;
            case ctl::kHueShiftOn:
                curveSwitchClicked(ctl::kHueShiftFrame);
                break;
            case ctl::kCurveReset:
                curveResetClicked(ctl::kCurveFrame);
                break;
            case ctl::kBalanceReset:
                curveResetClicked(ctl::kBalanceFrame);
                break;
            case ctl::kHueShiftReset:
                curveResetClicked(ctl::kHueShiftFrame);
                break;
            case ctl::kFilterButton:
                toggleFilterChooser();
                break;
            case ctl::kSaveSettings:
                saveSettingsClicked();
                break;
            case ctl::kLoadSettings:
                loadSettingsClicked();
                break;
            case ctl::kOk:
                confirm();
                break;
            case ctl::kCancel:
                closed_ = true;
                view_.endDialog(false);
                break;
            default:
                break;
        }
    });
}

CurveModel* HdrDialogController::curveOfFrame(int frameId) {
    if (frameId == ctl::kCurveFrame) return &colour_.toneCurve;
    if (frameId == ctl::kBalanceFrame) return &colour_.balanceCurve;
    if (frameId == ctl::kHueShiftFrame) return &colour_.hueCurve;
    return nullptr;
}

bool HdrDialogController::curveSwitchOn(int frameId) const {
    if (frameId == ctl::kCurveFrame) return colour_.curvesOn;
    if (frameId == ctl::kBalanceFrame) return colour_.balanceOn;
    return frameId == ctl::kHueShiftFrame && colour_.hueShiftOn;
}

void HdrDialogController::showCurvePanel(int frameId) {
    const bool on = curveSwitchOn(frameId);
    curveOfFrame(frameId)->SetActive(on);
    view_.setEnabled(frameId, on);
    view_.repaintCurve(frameId);
}

void HdrDialogController::curveSwitchClicked(int frameId) {
    controlsToFields();
    showCurvePanel(frameId);
    triggers_.colourSwitchChanged();
}

void HdrDialogController::curveResetClicked(int frameId) {
    controlsToFields();
    curveOfFrame(frameId)->ResetCurve();
    view_.repaintCurve(frameId);
    triggers_.colourSwitchChanged();
}

void HdrDialogController::toggleFilterChooser() {
    if (chooser_) {
        closeChooserAndShowPreview();
        return;
    }
    // The thumbnails are made from the colour-neutral preview: one is rendered first when the
    // preview holds a full render, or none has been made yet.
    triggers_.chooserOpening();
    const WorkingImage& preview = driver_.renderImage();
    if (driver_.previewStale() || !preview.hasPixels()) return;
    const CurveTables tables = colour_.curveTables();
    // Filter 0: each thumbnail applies its own filter.
    const ColorPassParams pass =
        colorPassParams(colour_.curvesOn, colour_.balanceOn, colour_.hueShiftOn, 0, &tables);
    FilterChooserModel chooser;
    if (!chooser.build(preview.pixels(), preview.width(), preview.height(), pass,
                       colour_.filterMode))
        return;
    chooser_ = std::move(chooser);
    try {
        view_.setPreviewShown(false);
        view_.openFilterChooser(*chooser_);
    } catch (...) {
        closeChooserAndShowPreview();
        throw;
    }
}

void HdrDialogController::chooserScrolled(int code, int position) {
    if (!chooser_) return;
    if (code == kChooserChosen) {
        colour_.filterMode = position;
        view_.setControlText(ctl::kFilterButton, UpdateFilterCaption(colour_.filterMode));
        const WaitCursorScope wait(view_);
        triggers_.filterChosen(colour_.filterMode);
    }
    closeChooserAndShowPreview();
}

void HdrDialogController::closeChooserAndShowPreview() {
    if (!chooser_) return;
    view_.setPreviewShown(true);
    // The window goes before the model it paints from.
    view_.closeFilterChooser();
    chooser_.reset();
}

void HdrDialogController::selectMethod() {
    controlsToFields();
    // A click on the radio that is already checked changes nothing: running the method change
    // for it would bring the method's stored values back over the ones the user has set.
    if (method_.method == method_.previousMethod) return;
    SelectMethod(method_);
    setUpSliderRows();
    fieldsToControls();
    triggers_.methodChanged();
}

void HdrDialogController::resetMethod() {
    controlsToFields();
    ResetMethod(method_);
    setUpSliderRows();
    fieldsToControls();
    triggers_.methodChanged();
}

void HdrDialogController::gammaReset() {
    // The controls first: on a stale preview the refresh becomes a fast render, which reads
    // the controls and would otherwise bring the old gamma back.
    ResetGamma(method_);
    view_.setSliderPosition(ctl::kGammaSlider, method_.gammaPosition);
    writeEdit(kGammaIndex, ctl::kGammaEdit, method_.gamma, kGammaScale);
    triggers_.gammaReset();
}

void HdrDialogController::clarityOrDehazeClicked(int id) {
    controlsToFields();
    if (platform_ != nullptr) {
        if (id == ctl::kClarity)
            platform_->writeProfileInt(kProfileSection, kProfileClarity, colour_.clarityOn ? 1 : 0);
        else
            platform_->writeProfileInt(kProfileSection, kProfileHaze, colour_.dehazeOn ? 1 : 0);
    }
    triggers_.clarityOrDehazeSwitched();
}

void HdrDialogController::confirm() {
    // A number the dialog does not show must not be rendered: the dialog stays open with the
    // focus in the edit that needs correcting.
    if (!controlsToFields()) return;
    for (int frame : kCurveFrames) view_.repaintCurve(frame);
    view_.setWaitCursor(true);
    bool ok = false;
    try {
        ok = triggers_.confirmed();
        if (ok && deliverResult) deliverResult(driver_.finalResult());
    } catch (...) {
        // The host's document must stay as it was; it learns that memory ran out.
        ok = false;
    }
    view_.setWaitCursor(false);
    finalRenderFailed_ = !ok;
    closed_ = true;
    view_.endDialog(ok);
}

void HdrDialogController::cancelRequested() {
    handle([this] {
        closed_ = true;
        view_.endDialog(false);
    });
}

void HdrDialogController::scrolled(int senderId, int code, int position) {
    handle([this, senderId, code, position] {
        leaveActualSize();
        if (senderId == ctl::kFilterChooser) {
            chooserScrolled(code, position);
        } else if (isCurveFrame(senderId)) {
            triggers_.curveScrolled(code);
        } else {
            scrolledSlider(senderId, code);
        }
    });
}

void HdrDialogController::saveSettingsClicked() {
    // What the dialog does not show must not be saved: the edit that holds no number is
    // pointed out instead.
    if (!controlsToFields()) return;
    const std::string path = view_.chooseSettingsFile(true);
    if (path.empty()) return;
    const SettingsResult saved = saveSettingsFile(path, method_, colour_);
    if (!saved.ok()) {
        // Ending silently would leave the user believing the look is kept; the reason says
        // what to change (another folder, a file that is not read-only, free space).
        view_.showStopMessage("The settings could not be saved to \"" + path + "\"" +
                              (saved.message.empty() ? "." : ": " + saved.message + "."));
    }
}

void HdrDialogController::loadSettingsClicked() {
    // The values on screen reach the fields first: the method the file replaces keeps them.
    if (!controlsToFields()) return;
    const std::string path = view_.chooseSettingsFile(false);
    if (path.empty()) return;
    const SettingsResult result = loadSettingsFile(path, method_, colour_);
    if (result.status == SettingsStatus::CannotOpen) return;
    if (!result.ok()) {
        view_.showStopMessage(result.message);  // nothing was changed
        return;
    }
    showLoadedSettings();
}

void HdrDialogController::showLoadedSettings() {
    leaveActualSize();
    setUpSliderRows();
    fieldsToControls();
    // The panels show the loaded switches and points.
    for (int frame : kCurveFrames) showCurvePanel(frame);
    // Only once the controls show the loaded settings: the chooser's pending fast render reads
    // them, and would otherwise bring the old values back over part of the load.
    filterButtonAction();
    triggers_.settingsRecalled();
}

void HdrDialogController::memoryBarNotified(bool store) {
    handle([this, store] {
        // The memory takes what the controls show, and a recall leaves the method it replaces
        // with the values that were on screen.
        if (!controlsToFields()) return;
        if (store) {
            StoreToMemory(memoryBar_.store(), method_);
            return;
        }
        const std::string refusal = LoadFromMemory(memoryBar_.store(), method_);
        if (!refusal.empty()) {
            view_.showMessage(refusal);
            return;
        }
        leaveActualSize();
        setUpSliderRows();
        fieldsToControls();
        triggers_.settingsRecalled();
    });
}

void HdrDialogController::saveMemories() {
    if (!memoriesLoaded_) return;
    memoriesLoaded_ = false;
    try {
        saveMemoryFile(memoryBar_.store(), memoryLocation_);
    } catch (...) {
        // The dialog is going away: nothing is left to tell.
    }
}

void HdrDialogController::previewPressed() {
    handle([this] {
        const WorkingImage& shown = driver_.displayImage();
        if (!shown.hasPixels()) return;
        if (samples_.sameData()) {
            view_.showPreviewMessage(kSameDataMessage);
            return;
        }
        MemoryByteStream settings;
        try {
            storeSettings(settings, method_, colour_);
        } catch (const std::bad_alloc&) {
            // The sample keeps what could be written; restoring it then changes nothing.
        }
        const int number = samples_.add(std::move(settings));
        if (!view_.openSample(number, shown)) {
            samples_.remove(number);
            return;
        }
        samples_.sampled();
    });
}

void HdrDialogController::sampleRestoreRequested(int number) {
    handle([this, number] {
        MemoryByteStream* settings = samples_.settingsOf(number);
        if (settings == nullptr || !controlsToFields()) return;
        settings->seek(0);
        // A sample that does not read back whole leaves the dialog as it was.
        if (!qorva::loadSettings(*settings, method_, colour_).ok()) return;
        showLoadedSettings();
    });
}

void HdrDialogController::scrolledSlider(int senderId, int code) {
    // The position comes from the slider itself: not every scroll code carries it.
    if (senderId == ctl::kGammaSlider) {
        triggers_.gammaSliderScrolled(code, view_.sliderPosition(ctl::kGammaSlider));
        return;
    }
    const SliderRowControls* row = rowOfSlider(senderId);
    if (row == nullptr) return;
    // The slider has already written its value into the edit; the field follows it, so that
    // with automatic preview off the next preview command renders what the row shows.
    double value = 0;
    if (readEdit(row->edit, value)) method_.value(row->row) = value;
    // A key press is a whole scroll, begun and ended: it earns the preview a mouse drag gets
    // when it ends.
    if (code == kScrollEnd || isKeyboardScroll(code)) triggers_.methodSliderScrolled(kScrollEnd);
}

void HdrDialogController::editFocusLost(int id) {
    handle([this, id] { applyEdit(id, false); });
}

void HdrDialogController::enterPressed(int focusedId) {
    handle([this, focusedId] {
        if (!applyEdit(focusedId, true)) confirm();
    });
}

bool HdrDialogController::applyEdit(int editId, bool complain) {
    std::size_t index = 0;
    int slider = 0;
    RowSetup setup;
    const SliderRowControls* row = rowOfEdit(editId);
    if (editId == ctl::kGammaEdit) {
        index = kGammaIndex;
        slider = ctl::kGammaSlider;
        setup = {kGammaPositionMin, kGammaPositionMax, kGammaScale};
    } else if (row != nullptr) {
        index = rowIndex(*row);
        slider = row->slider;
        setup = rows_[index];
    } else {
        return false;
    }
    const std::string text = view_.controlText(editId);
    if (text == appliedText_[index]) return false;
    // The slider's own text after it moved: nothing typed.
    if (text == formatSliderValue(view_.sliderPosition(slider), setup.scale)) {
        appliedText_[index] = text;
        return false;
    }
    double value = 0;
    if (!complain && !readEdit(editId, value)) return false;
    if (complain && !readEditOrComplain(editId, value)) return true;
    value = limitTyped(index, editId, value);
    const std::string applied = view_.controlText(editId);
    appliedText_[index] = applied;
    leaveActualSize();
    // The slider moves to the number, but the edit keeps what was typed: that is the value
    // the renders use, also outside the slider's range.
    view_.setSliderPosition(slider,
                            limitedPosition(value, setup.scale, setup.minimum, setup.maximum));
    view_.setControlText(editId, applied);
    if (row == nullptr) {
        triggers_.gammaSliderScrolled(kScrollEnd, gammaSliderPosition(value));
        method_.setGamma(value);
    } else {
        method_.value(row->row) = value;
        triggers_.methodSliderScrolled(kScrollEnd);
    }
    return true;
}

double HdrDialogController::limitTyped(std::size_t index, int editId, double value) {
    // What the program wrote (a memory, a settings file) is used as it stands; only a number
    // typed by the user is held to the slider's range, where every method is known to behave.
    if (view_.controlText(editId) == appliedText_[index]) return value;
    const RowSetup setup = index == kGammaIndex
                               ? RowSetup{kGammaPositionMin, kGammaPositionMax, kGammaScale}
                               : rows_[index];
    const double low = static_cast<double>(setup.minimum) / setup.scale;
    const double high = static_cast<double>(setup.maximum) / setup.scale;
    const double limited = std::clamp(value, low, high);
    if (limited != value) writeEdit(static_cast<int>(index), editId, limited, setup.scale);
    return limited;
}

bool HdrDialogController::readEdit(int editId, double& value) const {
    return parseNumber(view_.controlText(editId), value);
}

bool HdrDialogController::readEditOrComplain(int editId, double& value) {
    if (readEdit(editId, value)) return true;
    view_.showMessage(kEnterNumberMessage);
    view_.focusControl(editId);
    return false;
}

bool HdrDialogController::controlsToFields() {
    if (exchanging_) return true;
    exchanging_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{exchanging_};

    for (int i = 0; i < kRadioCount; ++i) {
        if (view_.isChecked(kMethodRadios[i])) {
            method_.method = i;
            break;
        }
    }
    double value = 0;
    if (!readEditOrComplain(ctl::kGammaEdit, value)) return false;
    method_.setGamma(limitTyped(kGammaIndex, ctl::kGammaEdit, value));
    for (const SliderRowControls& row : sliderRowControls()) {
        if (!readEditOrComplain(row.edit, value)) return false;
        method_.value(row.row) = limitTyped(rowIndex(row), row.edit, value);
    }
    colour_.autoPreview = view_.isChecked(ctl::kAutoPreview);
    colour_.curvesOn = view_.isChecked(ctl::kCurvesOn);
    colour_.balanceOn = view_.isChecked(ctl::kBalanceOn);
    colour_.hueShiftOn = view_.isChecked(ctl::kHueShiftOn);
    colour_.clarityOn = view_.isChecked(ctl::kClarity);
    colour_.dehazeOn = view_.isChecked(ctl::kDehaze);
    return true;
}

void HdrDialogController::writeEdit(int index, int editId, double value, int scale) {
    const std::string text = formatValue(value, scale);
    view_.setControlText(editId, text);
    appliedText_[index] = text;
}

void HdrDialogController::fieldsToControls() {
    // Method -1 checks no radio: it has none.
    for (int i = 0; i < kRadioCount; ++i) view_.setChecked(kMethodRadios[i], method_.method == i);
    // Sliders before edits: a paired edit takes the slider's rounded text, which the exact
    // values then replace.
    for (const SliderRowControls& row : sliderRowControls()) {
        const RowSetup& setup = rows_[rowIndex(row)];
        view_.setSliderPosition(row.slider, limitedPosition(method_.value(row.row), setup.scale,
                                                            setup.minimum, setup.maximum));
    }
    view_.setSliderPosition(ctl::kGammaSlider, method_.gammaPosition);
    for (const SliderRowControls& row : sliderRowControls()) {
        const std::size_t i = rowIndex(row);
        writeEdit(static_cast<int>(i), row.edit, method_.value(row.row), rows_[i].scale);
    }
    writeEdit(kGammaIndex, ctl::kGammaEdit, method_.gamma, kGammaScale);
    view_.setChecked(ctl::kAutoPreview, colour_.autoPreview);
    view_.setChecked(ctl::kCurvesOn, colour_.curvesOn);
    view_.setChecked(ctl::kBalanceOn, colour_.balanceOn);
    view_.setChecked(ctl::kHueShiftOn, colour_.hueShiftOn);
    view_.setChecked(ctl::kClarity, colour_.clarityOn);
    view_.setChecked(ctl::kDehaze, colour_.dehazeOn);
    view_.setControlText(ctl::kFilterButton, UpdateFilterCaption(colour_.filterMode));
}

void HdrDialogController::setUpSliderRows() {
    const MethodTable* table = methodTable(method_.method);
    if (table == nullptr) return;
    // Surface smoothness belongs to the two rendered methods only.
    const bool rowFShown =
        method_.method == kMethodEyeCatching || method_.method == kMethodUltraContrast;
    for (const SliderRowControls& rc : sliderRowControls()) {
        const SliderRow* row = findRow(*table, rc.row);
        bool enabled = false;
        if (row != nullptr) {
            // A row the method does not have keeps its label, range and value, disabled.
            RowSetup& setup = rows_[rowIndex(rc)];
            setup = {row->minPosition, row->maxPosition, row->divisor};
            view_.setControlText(rc.label, row->label);
            view_.setSliderRange(rc.slider, setup.minimum, setup.maximum);
            view_.pairSlider(rc.slider, rc.edit, setup.scale);
            view_.setSliderPosition(rc.slider, limitedPosition(method_.value(rc.row), setup.scale,
                                                               setup.minimum, setup.maximum));
            enabled = row->enabled;
        }
        for (int id : {rc.label, rc.edit, rc.slider}) {
            view_.setEnabled(id, enabled);
            if (rc.row == 'F') view_.setShown(id, rowFShown);
        }
    }
}

ClientRect HdrDialogController::previewClientRect() const {
    return view_.previewClientRect();
}

void HdrDialogController::dispatchPendingMessages() {
    view_.dispatchPendingMessages();
}

void HdrDialogController::readControls() {
    controlsToFields();
}

void HdrDialogController::setWaitCursor(bool on) {
    view_.setWaitCursor(on);
}

void HdrDialogController::repaintPreview() {
    // Every new picture, a colour-only refresh included, may be sampled again.
    samples_.previewChanged();
    showPreview();
    if (!driver_.originalPreviewReady()) view_.startTimer(kOriginalTimer, kOriginalDelayMs);
}

void HdrDialogController::renderStarting() {
    samples_.previewChanged();
    // The driver has given back the full-size result: the fitted view is shown until the
    // render paints its own.
    if (actualSize_) {
        actualSize_ = false;
        showPreview();
    }
}

void HdrDialogController::showPreview() {
    if (actualSize_) {
        const WorkingImage& full = driver_.fullResult();
        const bool shown =
            originalHeld_
                ? copyRegion(input_, inputWidth_, inputHeight_, region_, actualPart_)
                : copyRegion(full.pixels(), full.width(), full.height(), region_, actualPart_);
        if (shown) {
            updatePreviewLabel();
            view_.showPreviewImage(actualPart_);
            return;
        }
        // Not enough memory for the part: the fitted view is still there to show.
        actualSize_ = false;
        actualPart_.Release();
    }
    actualPart_.Release();
    const WorkingImage* original = originalHeld_ ? driver_.originalPreview() : nullptr;
    updatePreviewLabel();
    view_.showPreviewImage(original != nullptr ? *original : driver_.displayImage());
}

void HdrDialogController::updatePreviewLabel() {
    const char* label = actualSize_ ? (originalHeld_ ? kOriginalActualSizeLabel : kActualSizeLabel)
                                    : (originalHeld_ ? kOriginalLabel : "");
    if (previewLabel_ == label) return;
    previewLabel_ = label;
    view_.setPreviewLabel(previewLabel_);
}

void HdrDialogController::leaveActualSize() {
    if (!actualSize_ && !driver_.fullResult().hasPixels()) return;
    driver_.releaseFullResult();
    if (!actualSize_) return;
    actualSize_ = false;
    showPreview();
}

void HdrDialogController::holdOriginal(bool held) {
    if (originalHeld_ == held) return;
    originalHeld_ = held;
    // Let go during another handler (a render letting messages through), the next picture
    // shown is the result again.
    if (closed_ || busy_ > 0) return;
    handle([this] {
        if (driver_.displayImage().hasPixels()) showPreview();
    });
}

void HdrDialogController::originalKey(bool down) {
    holdOriginal(down);
}

void HdrDialogController::previewRightPressed(bool shift) {
    if (actualSize_ && shift) {
        panning_ = true;
        return;
    }
    holdOriginal(true);
}

void HdrDialogController::previewRightMoved(int dx, int dy) {
    if (!panning_) return;
    handle([this, dx, dy] {
        if (!actualSize_) return;
        // The picture follows the pointer.
        const ImageRegion moved = pannedRegion(
            region_, {driver_.fullResult().width(), driver_.fullResult().height()}, -dx, -dy);
        if (moved == region_) return;
        region_ = moved;
        showPreview();
    });
}

void HdrDialogController::previewRightReleased() {
    panning_ = false;
    holdOriginal(false);
}

void HdrDialogController::previewZoom(bool in, const ImagePoint* pointer) {
    handle([this, in, pointer] {
        if (!in) {
            if (!actualSize_) return;
            actualSize_ = false;
            showPreview();
            return;
        }
        if (actualSize_ || !hostInputSet_) return;
        const ImageSize full{inputWidth_, inputHeight_};
        // Where the pointer is in the picture now, before a render can change the picture.
        const WorkingImage& shown = driver_.displayImage();
        const ImagePoint centre =
            pointer != nullptr
                ? fullImagePoint(view_.previewClientRect(), {shown.width(), shown.height()}, full,
                                 static_cast<int>(pointer->x), static_cast<int>(pointer->y))
                : ImagePoint{full.width / 2.0, full.height / 2.0};
        if (!driver_.fullResult().hasPixels()) {
            triggers_.previewRequested(RenderQuality::All);
            // A method that renders nothing, or not enough memory: the fitted view stays.
            if (!driver_.fullResult().hasPixels()) return;
        }
        region_ = qorva::actualSizeRegion(full, driver_.previewArea(), centre.x, centre.y);
        actualSize_ = true;
        showPreview();
    });
}

void HdrDialogController::previewToggleZoom(const ImagePoint* pointer) {
    previewZoom(!actualSize_, pointer);
}

void HdrDialogController::previewPanKey(int dirX, int dirY) {
    handle([this, dirX, dirY] {
        if (!actualSize_) return;
        const ImageRegion moved = pannedRegion(
            region_, {driver_.fullResult().width(), driver_.fullResult().height()},
            dirX * std::max(1, region_.width / 8), dirY * std::max(1, region_.height / 8));
        if (moved == region_) return;
        region_ = moved;
        showPreview();
    });
}

void HdrDialogController::previewResized() {
    handle([this] { leaveActualSize(); });
}

void HdrDialogController::setProgress(int percent) {
    view_.setProgress(percent);
}

}  // namespace qorva
