// The memory bar without its window: cells and labels in client pixels, and which press stores,
// recalls, deletes or does nothing.
#include "ui/model/memory_bar_model.h"

#include <gtest/gtest.h>

#include "persistence/memory_store.h"

namespace qorva {
namespace {

TEST(MemoryBar, CellsAndLabels) {
    MemoryBarModel bar;
    bar.setClientSize(125, 11);
    EXPECT_EQ(bar.cellSize(), 11);
    EXPECT_EQ(bar.cellCount(), 11);
    EXPECT_EQ(bar.cellAt(0), 0);
    EXPECT_EQ(bar.cellAt(120), 10);
    EXPECT_EQ(bar.cellAt(121), -1);  // slack right of the last cell
    const CellRect r = bar.cellRect(1);
    EXPECT_EQ(r.left, 13);
    EXPECT_EQ(r.right, 21);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.bottom, 9);
    const char* labels[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "B", "C"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(MemoryBarModel::cellLabel(i), labels[i]);
    bar.setClientSize(125, 0);
    EXPECT_EQ(bar.cellCount(), 0);
    EXPECT_EQ(bar.cellAt(5), -1);
}

TEST(MemoryBar, PressesStoreRecallDeleteOrNothing) {
    struct Press {
        bool right;
        bool ctrl;
        bool shift;
        int cell;
        MemoryBarAction action;
        MemoryHighlight highlight;
        bool storedAfter;  // cell's memory exists after the press
    } presses[] = {
        {false, false, false, 2, MemoryBarAction::None, MemoryHighlight::Idle, false},
        {true, false, false, 2, MemoryBarAction::Store, MemoryHighlight::Stored, true},
        {false, true, false, 2, MemoryBarAction::None, MemoryHighlight::Idle, true},
        {false, false, true, 2, MemoryBarAction::None, MemoryHighlight::Idle, true},
        {false, false, false, 2, MemoryBarAction::Recall, MemoryHighlight::Recalled, true},
        {true, false, true, 2, MemoryBarAction::Store, MemoryHighlight::Stored, true},
        {true, true, false, 2, MemoryBarAction::None, MemoryHighlight::Deleted, false},
        {true, true, false, 5, MemoryBarAction::None, MemoryHighlight::Deleted, false},
    };
    MemoryBarModel bar;
    bar.setClientSize(110, 11);
    for (const Press& p : presses) {
        const int x = p.cell * 11 + 4;
        const MemoryBarAction action =
            p.right ? bar.rightButtonDown(x, p.ctrl) : bar.leftButtonDown(x, p.ctrl, p.shift);
        EXPECT_EQ(action, p.action);
        EXPECT_EQ(bar.highlight(), p.highlight);
        EXPECT_EQ(bar.store().currentSection(), memorySectionName(p.cell));
        EXPECT_EQ(bar.cellStored(p.cell), p.storedAfter);
        if (p.highlight == MemoryHighlight::Stored) {
            EXPECT_EQ(bar.cellFill(p.cell), MemoryCellFill::Pressed);
            EXPECT_FALSE(bar.labelShown(p.cell));
            EXPECT_EQ(bar.store().GetValue(memorySectionName(p.cell), "Created", ""), "1");
        }
        if (p.highlight == MemoryHighlight::Recalled) {
            EXPECT_EQ(bar.cellFill(p.cell), MemoryCellFill::Recalled);
        }
        bar.buttonUp();
        EXPECT_EQ(bar.highlight(), MemoryHighlight::Idle);
        EXPECT_EQ(bar.labelShown(p.cell), p.storedAfter);
        EXPECT_EQ(bar.cellFill(p.cell),
                  p.storedAfter ? MemoryCellFill::Stored : MemoryCellFill::Empty);
    }
}

}  // namespace
}  // namespace qorva
