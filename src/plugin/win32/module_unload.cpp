// What the plug-in file gives back when the editor unloads it. Editors load and unload a filter
// at every use, hundreds of times in one working day, so whatever the static runtime keeps for
// the life of the module must go with the module, or the editor grows at every filter run.

#include <windows.h>

#include "plugin/win32/thread_storage.h"

// The threads library's own thread hook (the system calls it through the module's list of
// thread callbacks): at a thread's detach it releases the record (a thread handle and an event)
// it made for that thread the first time the thread took a lock of ours. The editor's thread
// outlives the module, so its detach never reaches this copy of the library; called here at the
// unload, the record goes with the module instead.
extern "C" PIMAGE_TLS_CALLBACK __xl_f;

namespace __gnu_cxx {
// Frees the C++ runtime's reserve for throwing exceptions when memory is short.
void __freeres();
}  // namespace __gnu_cxx

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_THREAD_DETACH) qorva::win32::releaseThreadStorage();
    // Only on a real unload: when the process ends (reserved set) other threads may still be
    // inside the runtime, and the system takes everything back anyway.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        if (__xl_f) __xl_f(instance, DLL_THREAD_DETACH, nullptr);
        __gnu_cxx::__freeres();
        qorva::win32::releaseThreadStorage();
        qorva::win32::releaseStorageSlot();
    }
    return TRUE;
}
