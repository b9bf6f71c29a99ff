// What the plug-in's per-thread storage gives back: a thread's variables when it leaves the
// module, and the system slot when the module is unloaded.
#pragma once

namespace qorva::win32 {

// The calling thread's variables.
void releaseThreadStorage();

// After every thread's variables: the slot itself.
void releaseStorageSlot();

}  // namespace qorva::win32
