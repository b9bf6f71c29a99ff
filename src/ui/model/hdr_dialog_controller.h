// The main dialog without its window: it owns the settings, the render driver and the render
// triggers, runs the initialisation in its fixed order, moves values between the controls and
// the fields, and routes every notification of the window to the settings model, a render or
// the colour-only refresh. The window (DialogView) only reports messages and carries out what
// it is told.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "persistence/memory_location.h"
#include "render/render_driver.h"
#include "render/render_triggers.h"
#include "settings/method_settings.h"
#include "ui/model/dialog_view.h"
#include "ui/model/filter_chooser_model.h"
#include "ui/model/memory_bar_model.h"
#include "ui/model/preview_zoom.h"
#include "ui/model/samples_model.h"

namespace qorva {

class PlatformServices;

// The platform's text for an edit box that does not hold a number.
constexpr const char* kEnterNumberMessage = "Please enter a number.";
constexpr const char* kPreparingMessage = "Preparing Data, Please Wait...";
// The preview's status text after a preview render ran out of memory.
constexpr const char* kPreviewMemoryMessage = "Not enough memory for the preview";
constexpr int kStartupTimer = 0;
constexpr int kStartupDelayMs = 100;
// Once the preview has been still a moment, the shrunk original for comparing is made ahead,
// so that the first hold shows it at once even on a large photograph.
constexpr int kOriginalTimer = 1;
constexpr int kOriginalDelayMs = 200;

// The settings-file dialogs.
constexpr const char* kSaveSettingsTitle = "Save Current Method and Color";
constexpr const char* kLoadSettingsTitle = "Load Method and Color";
constexpr const char* kSettingsFilterName = "Method and Color Settings";
constexpr const char* kSettingsPattern = "*.dps";
constexpr const char* kSettingsExtension = "dps";

class HdrDialogController : public PreviewHost {
public:
    // platform may be null (no profile: the switches start off and are not written).
    HdrDialogController(DialogView& view, PlatformServices* platform);

    void setHostInput(const std::uint8_t* input, int width, int height);
    // Where memory.ini is read at initialisation and written when the dialog is destroyed;
    // without one the memories live only while the dialog is open.
    void setMemoryLocation(MemoryFileLocation location) { memoryLocation_ = std::move(location); }

    // Initialisation steps 1 to 14, with the window's own steps called on the view in order.
    void initialise();

    // Window notifications. Each is ignored while another handler is rendering (messages let
    // through by a message box or the driver must not start a second render or end the dialog
    // under it).
    void timerFired(int id);
    // A button, radio or check box clicked (BN_CLICKED), by control id; OK and Cancel included.
    void buttonClicked(int id);
    // An edit box lost the focus: a number typed into a slider's edit moves its slider.
    void editFocusLost(int id);
    // Enter in the dialog. With the focus in a slider's edit whose text changed since it was
    // last applied, the number is applied; otherwise the dialog is confirmed.
    void enterPressed(int focusedId);
    // WM_HSCROLL from a control of the dialog (by id), with the scroll code and position.
    void scrolled(int senderId, int code, int position);
    // Escape or the close box.
    void cancelRequested();

    // The memory bar's notification after a right press (store) or a left press on a stored
    // cell (recall).
    void memoryBarNotified(bool store);
    // The dialog is being destroyed, confirmed or cancelled: the memories go to memory.ini.
    // Only memories that were read at initialisation are written back.
    void saveMemories();
    // A press in the preview: a sample of what it shows.
    void previewPressed();
    // A press on a sample's thumbnail: its settings back into the dialog.
    void sampleRestoreRequested(int number);
    void sampleClosed(int number) { samples_.remove(number); }

    // Comparing and zooming in the preview. The right button pressed in the preview (shift:
    // with Shift held) shows the original while it is held, or in the 1:1 view with Shift
    // drags the picture; moves while it is held report how far the pointer went.
    void previewRightPressed(bool shift);
    void previewRightMoved(int dx, int dy);
    void previewRightReleased();
    // The backslash key held or let go: the original in place of the result.
    void originalKey(bool down);
    // The 1:1 view asked for (in) or left; with a pointer over the preview, the picture's
    // point under it comes to the middle of the view, otherwise the picture's middle does.
    // Asking for it on a preview that is not from All renders All first.
    void previewZoom(bool in, const ImagePoint* pointer);
    void previewToggleZoom(const ImagePoint* pointer);
    // An arrow key in the 1:1 view: the view moves an eighth of its size that way.
    void previewPanKey(int dirX, int dirY);
    // The preview changed its size: back to the fitted view.
    void previewResized();
    bool actualSizeShown() const { return actualSize_; }
    bool originalShown() const { return originalHeld_; }
    // The part of the full-size image that the 1:1 view shows.
    const ImageRegion& actualSizeRegion() const { return region_; }

    // Control to field (data exchange). False, after the message and with the focus in the
    // offending edit, when a real-number edit does not hold a number; the fields read before
    // it have then been updated and the rest are as they stood.
    bool controlsToFields();
    // Field to control.
    void fieldsToControls();

    // The final render ran out of memory: the dialog closed and the host gets memFullErr.
    bool finalRenderFailed() const { return finalRenderFailed_; }
    bool busy() const { return busy_ > 0; }

    // Receives the full-size result after a successful final render, before the dialog closes
    // confirmed. Throwing (out of memory while copying) closes it as a failed final render.
    std::function<void(const WorkingImage&)> deliverResult;

    MethodSettings& method() { return method_; }
    ColorSettings& colour() { return colour_; }
    RenderDriver& driver() { return driver_; }
    MemoryBarModel& memoryBar() { return memoryBar_; }
    SamplesModel& samples() { return samples_; }

    // PreviewHost, for the render driver.
    ClientRect previewClientRect() const override;
    bool chooserOpen() const override { return chooser_.has_value(); }
    void closeChooserAndShowPreview() override;
    void dispatchPendingMessages() override;
    void readControls() override;
    void setWaitCursor(bool on) override;
    void repaintPreview() override;
    void setProgress(int percent) override;
    void renderStarting() override;

private:
    class BusyScope;

    // Where a slider row (or the gamma slider) stands: its range and the edit's scale.
    struct RowSetup {
        int minimum = 0, maximum = 100, scale = 1;
    };

    // Runs a window notification: not while closed or inside another handler, never letting
    // an exception out.
    template <class Handler>
    void handle(Handler&& handler);
    void scrolledSlider(int senderId, int code);
    // The filter button: opens the chooser, or closes it when open.
    void toggleFilterChooser();
    // The chooser's notification: a filter chosen (position = its mode) or the chooser closed.
    void chooserScrolled(int code, int position);
    // A curve check box clicked: the panel follows its switch, then the colours refresh.
    void curveSwitchClicked(int frameId);
    // A curve panel takes its switch as its active and enabled state and is repainted.
    void showCurvePanel(int frameId);
    void curveResetClicked(int frameId);
    CurveModel* curveOfFrame(int frameId);
    bool curveSwitchOn(int frameId) const;
    // An edit's number; false (nothing said) when it does not hold one.
    bool readEdit(int editId, double& value) const;
    // As readEdit, but with the message and the focus in the edit when it fails.
    bool readEditOrComplain(int editId, double& value);
    void writeEdit(int index, int editId, double value, int scale);
    void gammaReset();
    void noteRenderOutcome();
    // Shows what the preview is to show now: the fitted result, the original in its place,
    // or the part of the full-size result (or of the original) that the 1:1 view covers.
    void showPreview();
    void updatePreviewLabel();
    void holdOriginal(bool held);
    // Settings or the preview changed: the 1:1 view no longer shows them, so it ends and its
    // full-size result is given back.
    void leaveActualSize();
    void reportPreviewMemory();
    void setUpSliderRows();
    void selectMethod();
    void resetMethod();
    void confirm();
    void clarityOrDehazeClicked(int id);
    void saveSettingsClicked();
    void loadSettingsClicked();
    // After settings came from a file or a sample: the controls show them, the chooser is
    // toggled as the filter button would, and with automatic preview a fast render follows.
    void showLoadedSettings();
    // The colour-filter button's action: the chooser over the preview opens, or closes when
    // open.
    void filterButtonAction() { toggleFilterChooser(); }
    // complain: show the message for text that is no number (Enter, a command); leaving the
    // edit with such text is left to the next command, so the user is told once.
    bool applyEdit(int editId, bool complain);
    // A number the user typed into a row's edit, limited to what the row's slider covers.
    double limitTyped(std::size_t index, int editId, double value);

    DialogView& view_;
    PlatformServices* platform_;
    MethodSettings method_;
    ColorSettings colour_;
    RenderDriver driver_;
    RenderTriggers triggers_;
    int busy_ = 0;
    bool closed_ = false;
    bool finalRenderFailed_ = false;
    bool exchanging_ = false;
    // The text each slider edit held when last applied or written, by row 'A'..'F' and gamma.
    std::string appliedText_[7];
    RowSetup rows_[6];
    bool hostInputSet_ = false;
    bool startupPending_ = false;  // the start-up timer fired while a handler was busy
    bool memoryMessageShown_ = false;
    std::optional<FilterChooserModel> chooser_;  // while the chooser is open
    MemoryBarModel memoryBar_;
    MemoryFileLocation memoryLocation_;
    bool memoriesLoaded_ = false;  // memory.ini was read: the store may be written back
    SamplesModel samples_;
    const std::uint8_t* input_ = nullptr;
    int inputWidth_ = 0;
    int inputHeight_ = 0;
    bool originalHeld_ = false;  // the right button or the backslash key is held
    bool panning_ = false;       // the right button with Shift drags the 1:1 view
    bool actualSize_ = false;    // the 1:1 view
    ImageRegion region_;
    WorkingImage actualPart_;  // what the 1:1 view shows
    std::string previewLabel_;
};

}  // namespace qorva
