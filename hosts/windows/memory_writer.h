// The memories each writer process of the concurrent-save test holds: one store per writer,
// of very different sizes, so that a cut or mixed memory.ini cannot pass for either.
#pragma once

#include <string>

#include "persistence/ini_store.h"
#include "persistence/memory_store.h"

namespace host {

inline qorva::IniStore writerMemories(int writer) {
    qorva::IniStore store;
    const int sections = writer == 0 ? 60 : 1;
    for (int i = 0; i < sections; ++i) {
        const std::string section = qorva::memorySectionName(i + 7 * writer);
        store.SetValue(section, "Created", "1", true);
        store.SetValue(section, "Mode", "0", true);
        store.SetValue(section, "Radius", qorva::formatIniFloat(4.5 + i), true);
    }
    return store;
}

}  // namespace host
