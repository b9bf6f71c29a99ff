// The frame shared by the plug-in's dialogs: it swaps the template's buttons and edit boxes
// for the skinned ones, drops the platform's caption for a caption band of its own, moves the
// controls below that band (lining the last row up in the bottom bar), paints the background
// and panel, and answers the close box and the caption drag.
#pragma once

#include <windows.h>

#include <set>

namespace qorva::win32 {

struct DialogBaseOptions {
    bool bottomBar = false;     // the main dialog's bar of buttons along the bottom
    bool layoutShift = true;    // move the controls below the caption band
    std::set<int> notSkinned;   // control ids left as the template made them
    std::set<int> titleLabels;  // statics drawn as title bands
};

class DialogBase {
public:
    explicit DialogBase(DialogBaseOptions options) : options_(std::move(options)) {}

    // On WM_INITDIALOG, before the dialog's own initialisation: skins the controls, replaces the
    // caption and shifts the layout.
    void initialise(HWND dialog);

    // The frame's share of the dialog procedure: background, colours of the controls, the close
    // box and the caption drag. True when the message was handled (result in *result).
    bool handleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    double scale() const { return scale_; }

private:
    void paintBackground(HWND dialog, HDC target);
    void setCloseBoxHot(HWND dialog, bool hot);

    DialogBaseOptions options_;
    double scale_ = 1.0;
    bool closeBoxHot_ = false;
    bool trackingMouse_ = false;
};

}  // namespace qorva::win32
