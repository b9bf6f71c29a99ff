#include "ui/win32/dialog_template.h"

#include <string>

#include "ui/model/dialog_controls.h"
#include "ui/model/samples_model.h"
#include "ui/win32/slider_control.h"

namespace qorva::win32 {
namespace {

// Predefined window classes by atom, as the dialog manager knows them.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

class TemplateWriter {
public:
    void word(WORD w) { words_.push_back(w); }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void align() {
        if (words_.size() % 2 != 0) word(0);
    }
    // ASCII text (every caption and class name of this dialog is) as a NUL-terminated string.
    void text(const char* s) {
        for (; s && *s; ++s) word(static_cast<WORD>(static_cast<unsigned char>(*s)));
        word(0);
    }
    void wideText(const wchar_t* s) {
        for (; *s; ++s) word(static_cast<WORD>(*s));
        word(0);
    }
    std::vector<WORD> take() { return std::move(words_); }

private:
    std::vector<WORD> words_;
};

struct ItemStyle {
    DWORD style;
    DWORD exStyle;
    WORD atom;  // 0: the slider's registered class
};

ItemStyle styleOf(const ControlEntry& c) {
    switch (c.kind) {
        case ControlKind::Text:
            // One line: a label that does not fit is cut, never wrapped under its edit box.
            return {SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, kStaticAtom};
        case ControlKind::TitleLabel:
            return {SS_LEFT | SS_NOPREFIX, 0, kStaticAtom};
        case ControlKind::Radio:
            return {BS_AUTORADIOBUTTON | WS_TABSTOP, 0, kButtonAtom};
        case ControlKind::PushButton:
            return {BS_PUSHBUTTON | WS_TABSTOP, 0, kButtonAtom};
        case ControlKind::DefaultButton:
            return {BS_DEFPUSHBUTTON | WS_TABSTOP, 0, kButtonAtom};
        case ControlKind::CheckBox:
            return {BS_AUTOCHECKBOX | WS_TABSTOP, 0, kButtonAtom};
        case ControlKind::Edit:
            return {ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE, kEditAtom};
        case ControlKind::Slider:
            return {WS_TABSTOP, 0, 0};
        case ControlKind::Frame:
        default:
            // Only a place: the control created over it is what the user sees.
            return {SS_LEFT, 0, kStaticAtom};
    }
}

// The extended template's header: a captioned popup in the dialogs' font.
void writeHeader(TemplateWriter& t, std::size_t controlCount, int width, int height,
                 const char* title, const char* font, int pointSize) {
    t.word(1);       // dlgVer
    t.word(0xFFFF);  // signature: extended template
    t.dword(0);      // helpID
    t.dword(0);      // exStyle
    t.dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.word(static_cast<WORD>(controlCount));
    t.word(0);  // x, y: placed by the window once it exists
    t.word(0);
    t.word(static_cast<WORD>(width));
    t.word(static_cast<WORD>(height));
    t.word(0);  // no menu
    t.word(0);  // the standard dialog class
    t.text(title);
    t.word(static_cast<WORD>(pointSize));
    t.word(FW_NORMAL);
    t.word(0);  // italic = 0, charset = DEFAULT_CHARSET (0)
    t.text(font);
}

}  // namespace

std::vector<WORD> buildHdrDialogTemplate() {
    const DialogTemplateInfo& info = hdrDialogTemplateInfo();
    const std::vector<ControlEntry>& controls = hdrDialogControls();
    TemplateWriter t;
    writeHeader(t, controls.size(), info.width, info.height, info.title, info.font, info.pointSize);

    bool inRadioGroup = false;
    for (const ControlEntry& c : controls) {
        const ItemStyle s = styleOf(c);
        DWORD style = WS_CHILD | s.style;
        if (!c.hidden && c.kind != ControlKind::Frame) style |= WS_VISIBLE;
        // A radio group runs from its first radio to the next control that starts a group:
        // every other control starts one, so the method radios form exactly one group.
        const bool radio = c.kind == ControlKind::Radio;
        if (!radio || c.groupStart || !inRadioGroup) style |= WS_GROUP;
        inRadioGroup = radio;
        t.align();
        t.dword(0);  // helpID
        t.dword(s.exStyle);
        t.dword(style);
        t.word(static_cast<WORD>(c.x));
        t.word(static_cast<WORD>(c.y));
        t.word(static_cast<WORD>(c.width));
        t.word(static_cast<WORD>(c.height));
        t.dword(static_cast<DWORD>(c.id));
        if (s.atom != 0) {
            t.word(0xFFFF);
            t.word(s.atom);
        } else {
            t.wideText(kSliderClassName);
        }
        t.text(c.caption ? c.caption : "");
        t.word(0);  // no creation data
    }
    return t.take();
}

std::vector<WORD> buildSampleTemplate() {
    const DialogTemplateInfo& info = hdrDialogTemplateInfo();
    TemplateWriter t;
    writeHeader(t, 1, kSampleTemplateWidth, kSampleTemplateHeight, kSampleTemplateTitle, info.font,
                info.pointSize);
    t.align();
    t.dword(0);                   // helpID
    t.dword(0);                   // exStyle
    t.dword(WS_CHILD | SS_LEFT);  // only a place: the view is made over it
    t.word(kSampleViewX);
    t.word(kSampleViewY);
    t.word(kSampleViewWidth);
    t.word(kSampleViewHeight);
    t.dword(kSampleViewFrame);
    t.word(0xFFFF);
    t.word(kStaticAtom);
    t.text("");
    t.word(0);  // no creation data
    return t.take();
}

}  // namespace qorva::win32
