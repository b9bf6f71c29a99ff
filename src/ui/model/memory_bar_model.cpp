#include "ui/model/memory_bar_model.h"

#include "persistence/memory_store.h"

namespace qorva {

void MemoryBarModel::setClientSize(int width, int height) {
    // A bar of no height has no cells rather than a division by zero.
    cellSize_ = height > 0 ? height : 0;
    cellCount_ = cellSize_ > 0 && width > 0 ? width / cellSize_ : 0;
}

int MemoryBarModel::cellAt(int clientX) const {
    if (cellSize_ <= 0 || clientX < 0) return -1;
    const int index = clientX / cellSize_;
    // The slack right of the last cell is not a cell: memories there could be stored but never
    // seen on the bar.
    return index < cellCount_ ? index : -1;
}

CellRect MemoryBarModel::cellRect(int index) const {
    CellRect r;
    r.left = index * cellSize_ + 2;
    r.right = (index + 1) * cellSize_ + 1 - 2;
    r.top = 2;
    r.bottom = cellSize_ - 2;
    return r;
}

std::string MemoryBarModel::cellLabel(int index) {
    if (index < 0) return {};
    if (index <= 8) return std::string(1, static_cast<char>('1' + index));
    if (index == 9) return "0";
    const int code = 56 + index;
    if (code > 255) return {};
    return std::string(1, static_cast<char>(static_cast<unsigned char>(code)));
}

MemoryBarAction MemoryBarModel::leftButtonDown(int clientX, bool ctrl, bool shift) {
    const int index = cellAt(clientX);
    if (index < 0) return MemoryBarAction::None;
    store_.setCurrentSection(memorySectionName(index));
    if (ctrl || shift || !cellStored(index)) return MemoryBarAction::None;
    highlight_ = MemoryHighlight::Recalled;
    return MemoryBarAction::Recall;
}

MemoryBarAction MemoryBarModel::rightButtonDown(int clientX, bool ctrl) {
    const int index = cellAt(clientX);
    if (index < 0) return MemoryBarAction::None;
    const std::string section = memorySectionName(index);
    store_.setCurrentSection(section);
    if (ctrl) {
        highlight_ = MemoryHighlight::Deleted;
        store_.DeleteSection(section);
        return MemoryBarAction::None;
    }
    highlight_ = MemoryHighlight::Stored;
    store_.SetValue(section, "Created", "1", true);
    return MemoryBarAction::Store;
}

bool MemoryBarModel::cellStored(int index) const {
    return store_.FindSection(memorySectionName(index)) != IniStore::kNotFound;
}

bool MemoryBarModel::isCurrent(int index) const {
    return store_.currentSection() == memorySectionName(index);
}

MemoryCellFill MemoryBarModel::cellFill(int index) const {
    const bool current = isCurrent(index);
    if (current &&
        (highlight_ == MemoryHighlight::Stored || highlight_ == MemoryHighlight::Deleted))
        return MemoryCellFill::Pressed;
    if (!cellStored(index)) return MemoryCellFill::Empty;
    return current && highlight_ == MemoryHighlight::Recalled ? MemoryCellFill::Recalled
                                                              : MemoryCellFill::Stored;
}

bool MemoryBarModel::labelShown(int index) const {
    return cellStored(index) && cellFill(index) != MemoryCellFill::Pressed;
}

}  // namespace qorva
