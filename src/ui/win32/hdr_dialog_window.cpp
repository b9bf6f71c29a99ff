#include "ui/win32/hdr_dialog_window.h"

#include <commdlg.h>

#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "persistence/memory_location.h"
#include "plugin/platform_services.h"
#include "plugin/plugin_app.h"
#include "ui/model/dialog_controls.h"
#include "ui/model/hdr_dialog_controller.h"
#include "ui/win32/control_window.h"
#include "ui/win32/curve_control.h"
#include "ui/win32/dialog_base.h"
#include "ui/win32/dialog_template.h"
#include "ui/win32/filter_chooser.h"
#include "ui/win32/gdi.h"
#include "ui/win32/memory_bar_control.h"
#include "ui/win32/preview_control.h"
#include "ui/win32/sample_window.h"
#include "ui/win32/skinned_button.h"
#include "ui/win32/slider_control.h"

namespace qorva::win32 {
namespace {

bool isSliderEdit(int id) {
    return id == ctl::kGammaEdit || rowOfEdit(id) != nullptr;
}

// The window classes of the dialog's own controls, for as long as it is open. Classes stay
// registered after the host unloads the file unless removed: a later load at another address
// would find them pointing into the old image.
class ControlClasses {
public:
    explicit ControlClasses(HINSTANCE module) : module_(module) {
        registerSliderClass(module_);
        registerPreviewClass(module_);
        registerCurveClass(module_);
        registerFilterChooserClass(module_);
        registerMemoryBarClass(module_);
    }
    ~ControlClasses() {
        unregisterMemoryBarClass(module_);
        unregisterFilterChooserClass(module_);
        unregisterCurveClass(module_);
        unregisterPreviewClass(module_);
        unregisterSliderClass(module_);
    }
    ControlClasses(const ControlClasses&) = delete;
    ControlClasses& operator=(const ControlClasses&) = delete;

private:
    HINSTANCE module_;
};

class Win32HdrDialog : public HdrDialog, public DialogView {
public:
    DialogResult runModal(DialogHostContext& context) override;

private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onCommand(int id, int code, HWND control);
    // Backslash and Z, wherever the keyboard focus is in the dialog.
    void onPreviewKey(WPARAM key, LPARAM transition);
    void onPreviewView(WPARAM action, LPARAM lParam);
    // The wheel over the preview: forward into the 1:1 view, back out of it. False when the
    // pointer is elsewhere.
    bool onWheel(int delta, POINT screen);
    // The pointer in the preview's client coordinates, when it is over the preview.
    bool pointerInPreview(POINT screen, qorva::ImagePoint& at) const;
    // Into the 1:1 view: the preview takes the keyboard first (so the arrows pan), while no
    // handler is running, so that an edit left behind applies its number.
    void zoomIn(const qorva::ImagePoint* at);

    HWND item(int id) const {
        if (id == ctl::kPlacedControl) return preview_;
        if (id == ctl::kFilterChooser) return chooser_;
        for (const auto& [frame, curve] : curves_)
            if (frame == id && curve != nullptr) return curve;
        return GetDlgItem(dialog_, id);
    }
    // The rectangle of a control in the dialog's client coordinates.
    RECT placeOf(HWND control) const { return childRect(dialog_, control); }

    // DialogView
    void initialiseDialogBase() override;
    void createPreviewControl() override;
    void createCurveControl(int frameId, CurveModel& model, const CurvePanelSetup& setup) override;
    void repaintCurve(int frameId) override;
    void setPreviewShown(bool shown) override;
    void openFilterChooser(FilterChooserModel& chooser) override;
    void closeFilterChooser() override;
    void createMemoryBar() override;
    std::string controlText(int id) const override;
    void setControlText(int id, const std::string& text) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    void setEnabled(int id, bool enabled) override;
    void setShown(int id, bool shown) override;
    void focusControl(int id) override;
    void setSliderRange(int id, int minimum, int maximum) override;
    void setSliderPosition(int id, int position) override;
    int sliderPosition(int id) const override;
    void pairSlider(int sliderId, int editId, int scale) override;
    void setRelativeDrag(int sliderId, double factor) override;
    void attachToCheckBox(int checkId, int controlId) override;
    ClientRect previewClientRect() const override;
    void showPreviewImage(const WorkingImage& display) override;
    void setStatusText(const std::string& text) override;
    void setPreviewLabel(const std::string& text) override;
    void setProgress(int percent) override;
    void showMessage(const std::string& text) override;
    void showStopMessage(const std::string& text) override;
    std::string chooseSettingsFile(bool saving) override;
    void showPreviewMessage(const std::string& text) override;
    bool openSample(int number, const WorkingImage& display) override;
    // Samples close with the dialog, before it disappears.
    void closeSamples();
    void setWaitCursor(bool on) override;
    void startTimer(int id, int milliseconds) override;
    void stopTimer(int id) override;
    void dispatchPendingMessages() override;
    void endDialog(bool confirmed) override;

    DialogHostContext* context_ = nullptr;
    std::unique_ptr<HdrDialogController> controller_;
    DialogBase base_{
        DialogBaseOptions{true, true, {}, {ctl::kMethodTitle, ctl::kRowsTitle, ctl::kColourTitle}}};
    HWND dialog_ = nullptr;
    HWND preview_ = nullptr;
    HWND chooser_ = nullptr;
    std::pair<int, HWND> curves_[3] = {};  // frame id, panel
    HWND memoryBar_ = nullptr;
    std::vector<HWND> samples_;  // open sample windows; each leaves when it closes
    int waitCursor_ = 0;
};

INT_PTR CALLBACK Win32HdrDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    // Nothing may escape into the host's message loop: a failure ends up as a handled message.
    try {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            auto* self = reinterpret_cast<Win32HdrDialog*>(lParam);
            self->dialog_ = dialog;
        }
        auto* self = reinterpret_cast<Win32HdrDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (!self || !self->dialog_) return FALSE;
        return self->handle(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR Win32HdrDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    switch (message) {
        case WM_INITDIALOG: {
            controller_->initialise();
            // Centred on the host's window (or the screen) once the frame has its final size.
            RECT mine, over;
            GetWindowRect(dialog_, &mine);
            HWND owner = GetWindow(dialog_, GW_OWNER);
            if (!owner || !GetWindowRect(owner, &over))
                SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
            const int x = over.left + ((over.right - over.left) - (mine.right - mine.left)) / 2;
            const int y = over.top + ((over.bottom - over.top) - (mine.bottom - mine.top)) / 2;
            SetWindowPos(dialog_, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return TRUE;
        }
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_HSCROLL: {
            HWND sender = reinterpret_cast<HWND>(lParam);
            if (!sender) return FALSE;
            const int code = LOWORD(wParam);
            if (sender == preview_) {
                // A press in the preview takes a sample; the pressed state ends at once.
                if (code == SB_THUMBPOSITION) {
                    previewEndPress(preview_);
                    controller_->previewPressed();
                }
                return TRUE;
            }
            if (sender == memoryBar_) {
                controller_->memoryBarNotified(HIWORD(wParam) == 1);
                return TRUE;
            }
            if (sender == chooser_) {
                controller_->scrolled(ctl::kFilterChooser, code, HIWORD(wParam));
                return TRUE;
            }
            const int id = GetDlgCtrlID(sender);
            controller_->scrolled(id, code, win32::sliderPosition(sender));
            return TRUE;
        }
        case WM_TIMER:
            controller_->timerFired(static_cast<int>(wParam));
            return TRUE;
        case kPreviewKeyMessage:
            onPreviewKey(wParam, lParam);
            return TRUE;
        case WM_KEYDOWN:
        case WM_KEYUP:
            // The dialog itself has the keyboard when no control does.
            if (!isPreviewKey(wParam, false)) break;
            onPreviewKey(wParam, keyTransition(message, lParam));
            return TRUE;
        case kPreviewViewMessage:
            onPreviewView(wParam, lParam);
            return TRUE;
        case WM_MOUSEWHEEL: {
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (!onWheel(static_cast<short>(HIWORD(wParam)), at)) break;
            SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        case WM_ACTIVATE:
            // A key let go in another window never reaches us: the hold ends with the focus.
            if (LOWORD(wParam) == WA_INACTIVE) controller_->originalKey(false);
            break;
        case WM_SETCURSOR:
            if (waitCursor_ > 0) {
                SetCursor(LoadCursor(nullptr, IDC_WAIT));
                SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            controller_->cancelRequested();
            return TRUE;
        case kSampleRestoreMessage:
            controller_->sampleRestoreRequested(static_cast<int>(wParam));
            return TRUE;
        case kSampleClosedMessage: {
            std::erase(samples_, reinterpret_cast<HWND>(lParam));
            controller_->sampleClosed(static_cast<int>(wParam));
            return TRUE;
        }
        case WM_DESTROY:
            closeSamples();
            // Confirmed or cancelled, the memories stored and deleted meanwhile are kept.
            controller_->saveMemories();
            preview_ = nullptr;
            chooser_ = nullptr;
            for (auto& curve : curves_) curve = {};
            memoryBar_ = nullptr;
            return FALSE;
        default:
            break;
    }
    if (base_.handleMessage(dialog_, message, wParam, lParam, &result)) {
        if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC ||
            message == WM_CTLCOLORBTN || message == WM_CTLCOLORDLG)
            return result;
        SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

void Win32HdrDialog::onPreviewKey(WPARAM key, LPARAM transition) {
    if (key == backslashKey()) {
        controller_->originalKey(transition != kKeyReleased);
        return;
    }
    if (key != 'Z' || transition != kKeyPressed) return;
    POINT screen{};
    GetCursorPos(&screen);
    qorva::ImagePoint at;
    const bool over = pointerInPreview(screen, at);
    if (controller_->actualSizeShown()) {
        controller_->previewZoom(false, nullptr);
    } else {
        zoomIn(over ? &at : nullptr);
    }
}

void Win32HdrDialog::onPreviewView(WPARAM action, LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (action) {
        case kPreviewRightPress:
            controller_->previewRightPressed(x != 0);
            break;
        case kPreviewRightMove:
            controller_->previewRightMoved(x, y);
            break;
        case kPreviewRightRelease:
            controller_->previewRightReleased();
            break;
        case kPreviewArrowKey:
            controller_->previewPanKey(x, y);
            break;
        case kPreviewResized:
            controller_->previewResized();
            break;
        default:
            break;
    }
}

bool Win32HdrDialog::pointerInPreview(POINT screen, qorva::ImagePoint& at) const {
    if (!preview_ || chooser_ || !IsWindowVisible(preview_)) return false;
    RECT r{};
    GetWindowRect(preview_, &r);
    if (!PtInRect(&r, screen)) return false;
    ScreenToClient(preview_, &screen);
    at = {static_cast<double>(screen.x), static_cast<double>(screen.y)};
    return true;
}

bool Win32HdrDialog::onWheel(int delta, POINT screen) {
    qorva::ImagePoint at;
    if (delta == 0 || !pointerInPreview(screen, at)) return false;
    if (delta > 0) {
        zoomIn(&at);
    } else {
        controller_->previewZoom(false, nullptr);
    }
    return true;
}

void Win32HdrDialog::zoomIn(const qorva::ImagePoint* at) {
    if (controller_->busy() || controller_->actualSizeShown()) return;
    if (GetFocus() != preview_) SetFocus(preview_);
    controller_->previewZoom(true, at);
}

void Win32HdrDialog::onCommand(int id, int code, HWND control) {
    if (id == IDOK) {
        // Enter in a slider's edit box applies the typed number first; the OK button (which
        // takes the focus when clicked) and Enter elsewhere confirm.
        HWND focus = GetFocus();
        const int focusedId = focus && GetParent(focus) == dialog_ ? GetDlgCtrlID(focus) : 0;
        controller_->enterPressed(isSliderEdit(focusedId) ? focusedId : 0);
        return;
    }
    if (id == IDCANCEL) {
        controller_->cancelRequested();
        return;
    }
    if (!control) return;
    if (code == BN_CLICKED) {
        controller_->buttonClicked(id);
    } else if (code == EN_KILLFOCUS && isSliderEdit(id)) {
        controller_->editFocusLost(id);
    }
}

DialogResult Win32HdrDialog::runModal(DialogHostContext& context) {
    context_ = &context;
    HINSTANCE module = pluginModule();
    const ControlClasses classes(module);
    controller_ = std::make_unique<HdrDialogController>(*this, context.platform);
    controller_->setHostInput(context.input, context.width, context.height);
    controller_->setMemoryLocation(memoryFileLocation(ProcessMemoryFolders()));
    controller_->deliverResult = [&context](const WorkingImage& result) {
        if (context.output) context.output->writeResult(result);
    };

    const std::vector<WORD> dialogTemplate = buildHdrDialogTemplate();
    const INT_PTR outcome = DialogBoxIndirectParamW(
        module, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
        reinterpret_cast<HWND>(context.ownerWindow), dialogProc, reinterpret_cast<LPARAM>(this));
    const bool failed = controller_->finalRenderFailed();
    controller_.reset();
    dialog_ = nullptr;

    if (outcome == -1 || outcome == 0)
        throw PluginMessageError{"The Qorva HDR window could not be opened."};
    if (failed) throw std::bad_alloc();
    return outcome == IDOK ? DialogResult::Confirmed : DialogResult::Cancelled;
}

void Win32HdrDialog::initialiseDialogBase() {
    base_.initialise(dialog_);
}

void Win32HdrDialog::createPreviewControl() {
    HWND frame = GetDlgItem(dialog_, ctl::kPreviewFrame);
    preview_ = win32::createPreviewControl(dialog_, placeOf(frame), pluginModule());
    previewEnableClicks(preview_, true);
}

void Win32HdrDialog::createCurveControl(int frameId, CurveModel& model,
                                        const CurvePanelSetup& setup) {
    HWND frame = GetDlgItem(dialog_, frameId);
    if (!frame) return;
    HWND curve =
        win32::createCurveControl(dialog_, placeOf(frame), frameId, pluginModule(), model, setup);
    for (auto& slot : curves_) {
        if (slot.second == nullptr) {
            slot = {frameId, curve};
            break;
        }
    }
}

void Win32HdrDialog::repaintCurve(int frameId) {
    for (const auto& [frame, curve] : curves_)
        if (frame == frameId && curve != nullptr) curveRedraw(curve);
}

void Win32HdrDialog::setPreviewShown(bool shown) {
    if (preview_) ShowWindow(preview_, shown ? SW_SHOWNA : SW_HIDE);
}

void Win32HdrDialog::openFilterChooser(FilterChooserModel& chooser) {
    if (chooser_ || !preview_) return;
    chooser_ = createFilterChooser(dialog_, placeOf(preview_), pluginModule(), chooser);
}

void Win32HdrDialog::closeFilterChooser() {
    if (!chooser_) return;
    HWND chooser = std::exchange(chooser_, nullptr);
    // The keyboard goes back to the button that opened the chooser.
    if (GetFocus() == chooser) {
        if (HWND button = GetDlgItem(dialog_, ctl::kFilterButton))
            SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
    }
    DestroyWindow(chooser);
}

void Win32HdrDialog::createMemoryBar() {
    HWND frame = GetDlgItem(dialog_, ctl::kMemoryFrame);
    memoryBar_ =
        win32::createMemoryBar(dialog_, placeOf(frame), pluginModule(), controller_->memoryBar());
}

std::string Win32HdrDialog::controlText(int id) const {
    HWND w = item(id);
    if (!w) return std::string();
    const int length = GetWindowTextLengthA(w);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(w, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void Win32HdrDialog::setControlText(int id, const std::string& text) {
    if (HWND w = item(id)) SetWindowTextA(w, text.c_str());
}

bool Win32HdrDialog::isChecked(int id) const {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32HdrDialog::setChecked(int id, bool checked) {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32HdrDialog::setEnabled(int id, bool enabled) {
    if (HWND w = item(id)) EnableWindow(w, enabled ? TRUE : FALSE);
}

void Win32HdrDialog::setShown(int id, bool shown) {
    const ControlEntry* entry = findControl(id);
    if (entry && entry->hidden) return;  // created hidden, never shown
    if (HWND w = item(id)) ShowWindow(w, shown ? SW_SHOWNA : SW_HIDE);
}

void Win32HdrDialog::focusControl(int id) {
    if (HWND w = item(id)) {
        SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w), TRUE);
        SendMessageA(w, EM_SETSEL, 0, -1);
    }
}

void Win32HdrDialog::setSliderRange(int id, int minimum, int maximum) {
    if (HWND w = item(id)) win32::setSliderRange(w, minimum, maximum);
}

void Win32HdrDialog::setSliderPosition(int id, int position) {
    if (HWND w = item(id)) win32::setSliderPosition(w, position);
}

int Win32HdrDialog::sliderPosition(int id) const {
    HWND w = item(id);
    return w ? win32::sliderPosition(w) : 0;
}

void Win32HdrDialog::pairSlider(int sliderId, int editId, int scale) {
    HWND slider = item(sliderId);
    HWND edit = item(editId);
    if (slider && edit) pairSliderEdit(slider, edit, scale);
}

void Win32HdrDialog::setRelativeDrag(int sliderId, double factor) {
    if (HWND w = item(sliderId)) setSliderRelativeDrag(w, factor);
}

void Win32HdrDialog::attachToCheckBox(int checkId, int controlId) {
    HWND check = item(checkId);
    HWND control = item(controlId);
    if (check && control) win32::attachToCheckBox(check, control);
}

ClientRect Win32HdrDialog::previewClientRect() const {
    RECT r{};
    if (preview_) GetClientRect(preview_, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void Win32HdrDialog::showPreviewImage(const WorkingImage& display) {
    if (preview_) previewShowImage(preview_, display);
}

void Win32HdrDialog::setStatusText(const std::string& text) {
    if (preview_) previewSetStatusText(preview_, text);
}

void Win32HdrDialog::setPreviewLabel(const std::string& text) {
    if (preview_) previewSetLabel(preview_, text);
}
void Win32HdrDialog::setProgress(int percent) {
    if (preview_) previewSetProgress(preview_, percent);
}

void Win32HdrDialog::showMessage(const std::string& text) {
    if (context_ && context_->platform) {
        context_->platform->messageBox(text);
    } else {
        MessageBoxA(dialog_, text.c_str(), kApplicationName, MB_OK);
    }
}

void Win32HdrDialog::showStopMessage(const std::string& text) {
    MessageBoxA(dialog_, text.c_str(), kApplicationName, MB_OK | MB_ICONSTOP);
}

std::string Win32HdrDialog::chooseSettingsFile(bool saving) {
    std::string filter = std::string(kSettingsFilterName) + '\0' + kSettingsPattern + '\0';
    filter += '\0';
    char file[MAX_PATH] = {};
    lstrcpynA(file, kSettingsPattern, MAX_PATH);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = dialog_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = kSettingsExtension;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (saving) {
        dialog.lpstrTitle = kSaveSettingsTitle;
        dialog.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        if (!GetSaveFileNameA(&dialog)) return {};
    } else {
        dialog.lpstrTitle = kLoadSettingsTitle;
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        if (!GetOpenFileNameA(&dialog)) return {};
    }
    return file;
}

void Win32HdrDialog::showPreviewMessage(const std::string& text) {
    if (preview_) previewShowTransientMessage(preview_, text);
}

bool Win32HdrDialog::openSample(int number, const WorkingImage& display) {
    const HWND sample = openSampleWindow(dialog_, pluginModule(), number, display);
    if (!sample) return false;
    samples_.push_back(sample);
    return true;
}

void Win32HdrDialog::closeSamples() {
    // Each sample leaves the list as it closes (kSampleClosedMessage).
    const std::vector<HWND> open = samples_;
    for (HWND sample : open)
        if (IsWindow(sample)) DestroyWindow(sample);
    samples_.clear();
}

void Win32HdrDialog::setWaitCursor(bool on) {
    waitCursor_ += on ? 1 : -1;
    if (waitCursor_ < 0) waitCursor_ = 0;
    if (waitCursor_ > 0) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
    } else {
        POINT p;
        GetCursorPos(&p);
        SetCursorPos(p.x, p.y);  // the window under the pointer sets its own cursor again
    }
}

void Win32HdrDialog::startTimer(int id, int milliseconds) {
    SetTimer(dialog_, static_cast<UINT_PTR>(id), static_cast<UINT>(milliseconds), nullptr);
}

void Win32HdrDialog::stopTimer(int id) {
    KillTimer(dialog_, static_cast<UINT_PTR>(id));
}

void Win32HdrDialog::dispatchPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (IsDialogMessageA(dialog_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Win32HdrDialog::endDialog(bool confirmed) {
    closeSamples();
    EndDialog(dialog_, confirmed ? IDOK : IDCANCEL);
}

}  // namespace

std::unique_ptr<HdrDialog> createWin32HdrDialog() {
    return std::make_unique<Win32HdrDialog>();
}

HINSTANCE pluginModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&pluginModule), &module);
    return module;
}

}  // namespace qorva::win32
