// The main dialog's template, built in memory from the control table so that the window and the
// tests can never disagree on an id, a position or a hidden control.
#pragma once

#include <windows.h>

#include <vector>

namespace qorva::win32 {

// A DLGTEMPLATEEX with one item per control of the table, DWORD-aligned as the dialog manager
// expects; pass data() to DialogBoxIndirectParamW.
std::vector<WORD> buildHdrDialogTemplate();
// A sample window's template: a small captioned popup whose one control is the frame of its
// view.
std::vector<WORD> buildSampleTemplate();

}  // namespace qorva::win32
