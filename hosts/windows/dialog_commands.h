// What the dialog tests do around the dialog itself: files beside the test program and in the
// temporary folder, the controls of the plug-in's own classes, and the commands that run a
// modal file dialog, answered as a user would answer it.
#pragma once

#include <windows.h>

#include <string>

#include "windows/dialog_driver.h"

namespace host {

// memory.ini where the plug-in keeps it for this "host": beside the test program.
std::string hostMemoryFile();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// A path in the temporary folder, with no file there yet.
std::string tempFile(const char* name);
HWND childOfClass(HWND parent, const char* className);

// The command runs a modal file dialog: it is posted, so that the driver stays free to work it.
void postCommand(DialogDriver& d, int id);
// Types the path into the file name box of the open file dialog of that title and presses its
// OK; a dialog that does not appear is a failure.
void answerFileDialog(DialogDriver& d, const char* title, const std::string& path);
// A box a failed step left open would keep the dialog from ever closing.
void dismiss(const char* title);
bool noBoxTitled(const char* title);

}  // namespace host
