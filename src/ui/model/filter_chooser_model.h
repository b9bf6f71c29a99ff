// The colour-filter chooser without its window: the twelve thumbnails made from the cached
// colour-neutral preview, where they lie in the chooser, and which one is selected. The Win32
// chooser paints from here and passes mouse and keys in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour/color_filters.h"
#include "render/render_driver.h"

namespace qorva {

struct ChooserItem {
    int mode = 0;
    std::string label;                 // the filter's chooser name
    std::vector<std::uint8_t> pixels;  // packed RGB at the thumbnail size, rows from the top
};

// Scroll codes of the chooser's notification: an item chosen (the position is its mode), or the
// chooser closed without a choice.
constexpr int kChooserChosen = 4;
constexpr int kChooserClosed = 8;

enum class ChooserKey { Left, Right, Up, Down, Enter, Escape };
enum class ChooserAction { None, Moved, Choose, Close };

class FilterChooserModel {
public:
    // Scales the preview (packed RGB) down to the base thumbnail and renders each filter from
    // it with the switches and tables of pass; the item of currentMode is selected (item 0 for
    // a mode outside the table). False, with no items, when there is no preview.
    bool build(const std::uint8_t* preview, int width, int height, const ColorPassParams& pass,
               int currentMode);

    ThumbnailSize thumbnail() const { return size_; }
    const std::vector<std::uint8_t>& base() const { return base_; }
    const std::vector<ChooserItem>& items() const { return items_; }

    // Places the items in equal rows, centred in the chooser's client area, each thumbnail with
    // its label of labelHeight pixels below it and at least gap pixels between items. The number
    // of columns is the largest that fits and divides the twelve items into full rows.
    void layOut(int areaWidth, int areaHeight, int labelHeight, int gap);
    int columns() const { return columns_; }
    ClientRect thumbnailRect(int index) const;
    ClientRect labelRect(int index) const;
    int itemAt(int x, int y) const;  // the item whose thumbnail or label is under (x, y), or -1

    int selected() const { return selected_; }
    void select(int index);  // an index outside the items is ignored
    // Right and Left step through the modes in order, Down and Up by a row; Enter chooses the
    // selected item, Escape closes the chooser.
    ChooserAction key(ChooserKey key);

private:
    ThumbnailSize size_;
    std::vector<std::uint8_t> base_;
    std::vector<ChooserItem> items_;
    int selected_ = 0;
    int columns_ = 1;
    int left_ = 0, top_ = 0, labelHeight_ = 0, gap_ = 0, columnGap_ = 0;
};

}  // namespace qorva
