// A memory is recalled from memory.ini, a file anyone can edit: whatever its text, every
// section must recall or be refused, store back, and the recalled values must render a small
// image without a crash or undefined behaviour (NaN, infinities and huge numbers included).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/ini_store.h"
#include "persistence/memory_store.h"
#include "pipelines/contrast_pipeline.h"
#include "pipelines/tone_mapped_pipeline.h"
#include "settings/method_settings.h"

namespace {

using namespace qorva;

// Small enough to keep each input fast, large enough for several tiles and both blend axes.
constexpr int kWidth = 7;
constexpr int kHeight = 5;

void renderWith(const MethodSettings& method, const ColorSettings& colour) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 37 + 11);
    RunContext context;
    context.curves = colour.curveTables();
    context.clarityOn = true;
    context.dehazeOn = true;
    if (method.method == kMethodEyeCatching) {
        ContrastParams p = contrastParamsFor(method, colour, false);
        p.image = image.data();
        p.width = kWidth;
        p.height = kHeight;
        runContrastPipeline(context, p);
    } else if (method.method == kMethodUltraContrast) {
        ToneMappedParams p = toneMappedParamsFor(method, colour, false);
        p.image = image.data();
        p.width = kWidth;
        p.height = kHeight;
        runToneMappedPipeline(context, p);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniStore store;
    store.LoadText(text);
    ColorSettings colour;
    colour.curvesOn = colour.balanceOn = colour.hueShiftOn = true;
    colour.filterMode = static_cast<int>(size % 12);
    // Every section, as the memory bar would reach it, plus the bar's never-clicked default.
    std::vector<std::string> sections{store.currentSection()};
    for (int s = 0; s < store.sectionCount(); ++s) sections.push_back(store.sectionName(s));
    for (const std::string& section : sections) {
        store.setCurrentSection(section);
        MethodSettings method;
        if (!LoadFromMemory(store, method).empty()) continue;
        renderWith(method, colour);
        StoreToMemory(store, method);
        MethodSettings again;
        LoadFromMemory(store, again);
    }
    store.SaveText();
    return 0;
}
