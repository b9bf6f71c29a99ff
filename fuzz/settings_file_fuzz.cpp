// Any byte sequence handed to the settings reader (a .dps file or a sample's stream) must be
// read or refused without a crash, a leak or an unbounded allocation, and a refused one must
// leave the settings as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "persistence/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qorva;
    MethodSettings method;
    ColorSettings colour;
    MemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
    const SettingsResult result = loadSettings(stream, method, colour);
    if (!result.ok()) {
        MethodSettings fresh;
        if (method.method != fresh.method || method.gamma != fresh.gamma ||
            method.stored != fresh.stored)
            std::abort();
        return 0;
    }
    // What was accepted must write out again and read back to the same record.
    MemoryByteStream again;
    if (!storeSettings(again, method, colour).ok()) std::abort();
    again.seek(0);
    SettingsRecord record;
    if (!serializeSettings(again, record, SerializeDirection::Load).ok()) std::abort();
    return 0;
}
