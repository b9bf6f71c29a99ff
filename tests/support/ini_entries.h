// The entries of one section of an INI store as "name=value|" in the store's order, so that a
// test compares a whole section in one line.
#pragma once

#include <string>

#include "persistence/ini_store.h"

namespace qorva::test {

inline std::string entries(const IniStore& store, const std::string& section) {
    std::string out;
    const int s = store.FindSection(section);
    for (int e = 0; s >= 0 && e < store.entryCount(s); ++e)
        out += store.entryName(s, e) + "=" + store.entryValue(s, e) + "|";
    return out;
}

}  // namespace qorva::test
