#include "persistence/memory_store.h"

#include <cmath>
#include <utility>

namespace qorva {

std::string memorySectionName(int index) {
    return "Memory " + std::to_string(index);
}

std::vector<const char*> memoryKeys(int id) {
    std::vector<const char*> keys;
    const std::vector<StoredSlot>& layout = storedLayout(id);
    for (std::size_t i : memoryLayout(id)) keys.push_back(layout[i].key);
    return keys;
}

void StoreToMemory(IniStore& store, MethodSettings& settings) {
    const int id = settings.method;
    copyValuesToStored(settings, id);
    store.SetInt("Mode", id);
    if (!hasStoredValues(id)) return;
    const std::vector<StoredSlot>& layout = storedLayout(id);
    const std::vector<double>& stored = settings.storedFor(id);
    for (std::size_t i : memoryLayout(id)) store.SetFloat(layout[i].key, stored[i]);
}

std::string LoadFromMemory(IniStore& store, MethodSettings& settings) {
    const int id = store.GetInt("Mode", kMethodEyeCatching);
    // Ids below -1 own no stored values either: refused like the hidden methods, instead of
    // reading past the stored copies.
    if (id > kMethodUltraContrast || !hasStoredValues(id)) return kForeignMemoryMessage;
    const std::vector<StoredSlot>& layout = storedLayout(id);
    std::vector<double> values = settings.storedFor(id);
    if (values.size() < layout.size()) values.resize(layout.size());
    for (std::size_t i : memoryLayout(id)) {
        values[i] = store.GetFloat(layout[i].key, values[i]);
        // An overflowing number reads as an infinity: no slider shows it and a settings file
        // holding it would be refused, so the memory is refused as such a file is.
        if (!std::isfinite(values[i])) return kUnusableMemoryMessage;
    }
    settings.method = id;
    settings.storedFor(id) = std::move(values);
    SelectMethod(settings);
    return {};
}

}  // namespace qorva
