// Storing the current method's parameters into a setting memory (one section of memory.ini)
// and recalling them. The memory bar makes the section current; these work on that section.
#pragma once

#include <string>
#include <vector>

#include "persistence/ini_store.h"
#include "settings/method_settings.h"

namespace qorva {

// "Memory %d" of a cell index from 0.
std::string memorySectionName(int index);
// The entries a memory holds after "Mode" for a method id, in memory.ini order. Method 1 writes
// "Mix" before "Brighness", unlike its settings-file order.
std::vector<const char*> memoryKeys(int id);

constexpr const char* kForeignMemoryMessage = "Data Not for this type of mapping (KELMOR)";
constexpr const char* kUnusableMemoryMessage =
    "This memory holds a value that is not a number; it is left unused.";

// Copies the sliders into the method's stored values, then writes "Mode" and the method's
// entries into the store's current section.
void StoreToMemory(IniStore& store, MethodSettings& settings);
// Reads "Mode" (a section without it is method 0) and the method's entries, each defaulting to
// the value stored for the method, then runs the method change. A method the dialog does not
// offer, or a value that is not a finite number, changes nothing and returns the message to
// show; success returns an empty text.
std::string LoadFromMemory(IniStore& store, MethodSettings& settings);

}  // namespace qorva
