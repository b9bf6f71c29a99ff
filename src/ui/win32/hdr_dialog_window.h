// The main dialog's window: built from the control table, framed by the dialog base, and
// reduced to translating window messages into calls on the dialog controller and carrying out
// what the controller asks of its view.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/hdr_dialog.h"

namespace qorva::win32 {

// The dialog the shipped plug-in runs. Throws std::bad_alloc (nothing written to the host)
// when the confirmed render could not get its memory.
std::unique_ptr<HdrDialog> createWin32HdrDialog();

// The module whose resources and window classes the dialog uses: the plug-in file itself,
// never the host's executable.
HINSTANCE pluginModule();

}  // namespace qorva::win32
