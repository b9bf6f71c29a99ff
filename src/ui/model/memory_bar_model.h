// The strip of numbered memory cells without its window: cell geometry, labels, which press
// stores, recalls or deletes a memory, and the highlight the painting shows meanwhile.
#pragma once

#include <string>

#include "persistence/ini_store.h"

namespace qorva {

enum class MemoryHighlight { Idle, Recalled, Stored, Deleted };

// What the dialog is to do after a press (the bar posts it as a notification).
enum class MemoryBarAction { None, Recall, Store };

// How a cell is painted.
enum class MemoryCellFill { Empty, Stored, Recalled, Pressed };

struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class MemoryBarModel {
public:
    // The bar owns the store of memory.ini for the dialog's lifetime.
    IniStore& store() { return store_; }
    const IniStore& store() const { return store_; }

    // Cells are squares as high as the client area; as many as fit across it.
    void setClientSize(int width, int height);
    int cellSize() const { return cellSize_; }
    int cellCount() const { return cellCount_; }
    // Index of the cell under a client x, or -1 outside every cell.
    int cellAt(int clientX) const;
    // Frame of cell i: one pixel wider than the cell, shrunk by 2 pixels on every side.
    CellRect cellRect(int index) const;
    // "1".."9", "0", then the characters from "B" on.
    static std::string cellLabel(int index);

    MemoryBarAction leftButtonDown(int clientX, bool ctrl, bool shift);
    // Ctrl deletes the memory at once; otherwise the cell gets its "Created" entry and the
    // dialog is asked to store into it.
    MemoryBarAction rightButtonDown(int clientX, bool ctrl);
    void buttonUp() { highlight_ = MemoryHighlight::Idle; }

    MemoryHighlight highlight() const { return highlight_; }
    bool cellStored(int index) const;
    bool isCurrent(int index) const;
    MemoryCellFill cellFill(int index) const;
    bool labelShown(int index) const;

private:
    IniStore store_;
    int cellSize_ = 0;
    int cellCount_ = 0;
    MemoryHighlight highlight_ = MemoryHighlight::Idle;
};

}  // namespace qorva
