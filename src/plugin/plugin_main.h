// The plug-in file's single entry point, looked up by hosts under the name given in the
// property list. Exported undecorated with the C calling convention on both Windows targets.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define QORVA_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#define QORVA_PLUGIN_CALL __cdecl
#else
#define QORVA_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#define QORVA_PLUGIN_CALL
#endif

// record: the host's FilterRecord, or for selector 0 its about record. data: the host's
// pointer-sized slot. result: left as the host set it unless the call fails.
QORVA_PLUGIN_EXPORT void QORVA_PLUGIN_CALL PluginMain(std::int16_t selector, void* record,
                                                      std::intptr_t* data, std::int16_t* result);
