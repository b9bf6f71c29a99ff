// memory.ini is a text file anyone can edit: any content must load, answer lookups, save,
// and load again from what was saved.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "persistence/ini_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qorva;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniStore store;
    store.LoadText(text);
    for (int s = 0; s < store.sectionCount(); ++s) {
        const std::string section = store.sectionName(s);
        for (int e = 0; e < store.entryCount(s); ++e) {
            const std::string name = store.entryName(s, e);
            store.GetInt(section, name, 1);
            const double v = store.GetFloat(section, name, 0.5);
            store.SetFloat(section, name, v, false);
        }
    }
    const std::string saved = store.SaveText();
    IniStore reread;
    reread.LoadText(saved);
    // A store without sections saves to nothing at all.
    if (store.sectionCount() == 0 && !saved.empty()) std::abort();
    return 0;
}
