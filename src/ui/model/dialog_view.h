// What the dialog's controller asks of its window. The Win32 dialog implements it with its
// controls; the tests implement it with a recording view. Control ids are those of the control
// table (dialog_controls.h).
#pragma once

#include <string>

#include "render/render_driver.h"

namespace qorva {

class CurveModel;
class FilterChooserModel;
class WorkingImage;

// How a curve panel is set up when the dialog starts.
struct CurvePanelSetup {
    bool hueBackground = false;  // the hue picture behind a hue-domain curve
    float hueShift = 0;          // its vertical hue shift factor
    bool showFill = false;       // the two shading switches of the curve's area
    bool showFill2 = false;
};

class DialogView {
public:
    virtual ~DialogView() = default;

    // Initialisation steps that only the window can take, in the order the controller calls
    // them: the dialog base (custom controls, layout shift), the preview control over its frame
    // with its click notifications on, the curve controls, the memory bar.
    virtual void initialiseDialogBase() = 0;
    virtual void createPreviewControl() = 0;
    // A curve panel over its frame (frameId also names it afterwards), editing model, which
    // outlives it. Its notifications come back as scrolled(frameId, ...).
    virtual void createCurveControl(int frameId, CurveModel& model,
                                    const CurvePanelSetup& setup) = 0;
    virtual void createMemoryBar() = 0;
    // Draws a curve panel again after its model was changed by the program.
    virtual void repaintCurve(int frameId) = 0;

    virtual std::string controlText(int id) const = 0;
    virtual void setControlText(int id, const std::string& text) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual void setEnabled(int id, bool enabled) = 0;
    virtual void setShown(int id, bool shown) = 0;
    virtual void focusControl(int id) = 0;

    // Sliders. Setting the position moves the thumb without a notification; a paired edit box
    // then shows position / scale (the slider keeps its edit box up to date itself).
    virtual void setSliderRange(int id, int minimum, int maximum) = 0;
    virtual void setSliderPosition(int id, int position) = 0;
    virtual int sliderPosition(int id) const = 0;
    virtual void pairSlider(int sliderId, int editId, int scale) = 0;
    virtual void setRelativeDrag(int sliderId, double factor) = 0;
    // A check box that enables or disables an attached control when clicked.
    virtual void attachToCheckBox(int checkId, int controlId) = 0;

    // The preview control.
    virtual ClientRect previewClientRect() const = 0;
    virtual void showPreviewImage(const WorkingImage& display) = 0;  // repaints at once
    virtual void setStatusText(const std::string& text) = 0;
    // The short text in the preview's top band that names what it shows ("" for the fitted
    // result), painted with the next picture.
    virtual void setPreviewLabel(const std::string& text) = 0;
    virtual void setProgress(int percent) = 0;  // repaints at once
    virtual void setPreviewShown(bool shown) = 0;

    // The colour-filter chooser over the preview area, with the keyboard focus; chooser
    // outlives it. Its notifications come back as scrolled(ctl::kFilterChooser, ...).
    virtual void openFilterChooser(FilterChooserModel& chooser) = 0;
    virtual void closeFilterChooser() = 0;

    virtual void showMessage(const std::string& text) = 0;  // modal, OK button
    // Modal, OK button and the stop sign: a command that could not be carried out.
    virtual void showStopMessage(const std::string& text) = 0;
    // The settings-file dialogs (save or open); the chosen path, or empty when cancelled.
    virtual std::string chooseSettingsFile(bool saving) = 0;

    // Samples. A text painted over the preview at once and forgotten: it stays until the
    // preview is next painted.
    virtual void showPreviewMessage(const std::string& text) = 0;
    // Opens the floating window of sample `number` with a thumbnail of the display image,
    // under the pointer and hanging on it until the button is released. False when it could
    // not be opened.
    virtual bool openSample(int number, const WorkingImage& display) = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void startTimer(int id, int milliseconds) = 0;
    virtual void stopTimer(int id) = 0;
    // Lets waiting window messages through (the driver's step before a render when the
    // chooser was open).
    virtual void dispatchPendingMessages() = 0;
    // Closes the modal dialog; confirmed is false for Cancel.
    virtual void endDialog(bool confirmed) = 0;
};

}  // namespace qorva
