#include "cli_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "cli_help.h"
#include "cli_test_support.h"
#include "colour/color_filters.h"
#include "persistence/memory_store.h"
#include "persistence/settings_file.h"

namespace qorva::cli {
namespace {

using test::ScratchFolder;

CliOptions parse(std::vector<std::string> args, const std::string& memoryFile = "") {
    ParseEnvironment environment;
    environment.memoryFile = memoryFile;
    return parseCommandLine(args, environment);
}

TEST(CliOptions, DefaultsAreTheDialogsStartUpState) {
    const CliOptions o = parse({"in.jpg", "-o", "out.jpg"});
    // Field for field: what the tool renders with is what the dialog would hold.
    EXPECT_EQ(o.method, MethodSettings());
    EXPECT_EQ(o.colour, ColorSettings());
    EXPECT_EQ(o.quality, RenderQuality::Final);
    EXPECT_EQ(o.previewSize.width, 520);
    EXPECT_EQ(o.previewSize.height, 392);
    EXPECT_EQ(o.jpegQuality, 95);
    EXPECT_EQ(o.suffix, "-hdr");
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.jpg"});
    EXPECT_EQ(o.output, "out.jpg");
}

TEST(CliOptions, SliderOptionsComeFromTheSettingsTables) {
    std::set<std::string> fromTables;
    for (int id : {kMethodEyeCatching, kMethodUltraContrast})
        for (const SliderRow& row : methodTable(id)->rows)
            if (row.enabled) fromTables.insert(row.option);
    const std::vector<std::string> names = sliderOptionNames();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), fromTables);
    EXPECT_EQ(names, (std::vector<std::string>{"brightness", "saturation", "mix", "radius",
                                               "strength", "vivid", "smoothness"}));
    const std::string help = helpText();
    for (const std::string& name : names)
        EXPECT_NE(help.find("--" + name + " "), std::string::npos);
    EXPECT_NE(help.find("Dramatic Light Radius, 1.0 … 15.0"), std::string::npos);
    EXPECT_NE(help.find("Brightness, 6.0 … 30.0; default 10.0"), std::string::npos);
}

// The README's reference table is written by hand: an option added to the table without a row
// there is caught here.
TEST(CliOptions, EveryOptionHasARowInTheReadmeReference) {
    std::ifstream readme(QORVA_README);
    ASSERT_TRUE(readme) << QORVA_README;
    std::string rows;
    bool inReference = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("## ", 0) == 0) inReference = line == "## Command-line reference";
        if (inReference && line.rfind("| `", 0) == 0)
            rows += line.substr(0, line.find(" | ")) + "\n";
    }
    const auto named = [&rows](const std::string& name) {
        for (const char after : {'`', ' '})
            if (rows.find("`" + name + after) != std::string::npos) return true;
        return false;
    };
    for (const OptionEntry& entry : optionTable()) {
        EXPECT_TRUE(named("--" + entry.name)) << "--" << entry.name;
        if (entry.shortName != 0) {
            EXPECT_TRUE(named(std::string("-") + entry.shortName)) << entry.name;
        }
    }
}

TEST(CliOptions, MethodValuesAreTakenExactlyForTheFinalMethod) {
    struct Case {
        std::vector<std::string> args;
        int method;
        char row;
        double value;
    } cases[] = {
        {{"--radius", "6.37"}, 0, 'C', 6.37},
        {{"--radius=1"}, 0, 'C', 1.0},
        {{"--brightness", "30"}, 0, 'A', 30.0},
        {{"--saturation", "0"}, 0, 'B', 0.0},
        {{"--method", "ultra-contrast", "--mix", "0.255"}, 1, 'B', 0.255},
        // Values given before the method apply to it all the same.
        {{"--smoothness", "0.9", "--method", "1"}, 1, 'F', 0.9},
        {{"--method", "Ultra-Contrast", "--vivid", "1", "--method", "eye-catching"}, 0, 'E', 1.0},
    };
    for (const Case& c : cases) {
        const CliOptions o = parse(c.args);
        EXPECT_EQ(o.method.method, c.method) << c.args[0];
        EXPECT_EQ(o.method.value(c.row), c.value) << c.args[0];
    }
    // The other method's values stay as they were.
    const CliOptions o = parse({"--method", "1", "--radius", "9"});
    EXPECT_EQ(o.method.storedFor(0), MethodSettings().storedFor(0));
}

TEST(CliOptions, GammaGoesToTheNearestSliderPosition) {
    const struct {
        const char* text;
        int position;
    } cases[] = {{"1", 100},   {"1.234", 123}, {"1.236", 124}, {"0.4", 40},
                 {"2.6", 260}, {"0.404", 40},  {"1.6", 160}};
    for (const auto& c : cases) {
        const CliOptions o = parse({"--gamma", c.text});
        EXPECT_EQ(o.method.gammaPosition, c.position) << c.text;
        EXPECT_EQ(o.method.gamma, c.position / 100.0) << c.text;
    }
}

TEST(CliOptions, ColourOptions) {
    CliOptions o = parse({"--curve", "0,0 0.25,0.4 1,1", "--filter", "orton SEPIA l", "--clarity",
                          "--dehaze=off", "--hue-shift", "0,0.6;0.5,0.4;1,0.6"});
    EXPECT_TRUE(o.colour.curvesOn);
    EXPECT_TRUE(o.colour.toneCurve.active());
    ASSERT_EQ(o.colour.toneCurve.points().size(), 3u);
    EXPECT_EQ(o.colour.toneCurve.points()[1].x, 0.25);
    EXPECT_EQ(o.colour.toneCurve.points()[1].y, 0.4);
    EXPECT_TRUE(o.colour.hueShiftOn);
    EXPECT_FALSE(o.colour.balanceOn);
    EXPECT_EQ(o.colour.filterMode, 11);
    EXPECT_TRUE(o.colour.clarityOn);
    EXPECT_FALSE(o.colour.dehazeOn);
    for (const FilterInfo& f : filterTable()) {
        EXPECT_EQ(parse({"--filter", f.chooserName}).colour.filterMode, f.mode);
        EXPECT_EQ(parse({"--filter", std::to_string(f.mode)}).colour.filterMode, f.mode);
    }
    // Two points on one column, as the editor can leave them and settings files hold them.
    o = parse({"--curve", "0,0 0.5,0.2 0.5,0.7 1,1"});
    ASSERT_EQ(o.colour.toneCurve.points().size(), 4u);
    EXPECT_EQ(o.colour.toneCurve.points()[2].x, 0.5);
    o = parse({"--curve", "0,0 1,0.5", "--curve", "off"});
    EXPECT_FALSE(o.colour.curvesOn);
    EXPECT_FALSE(o.colour.toneCurve.active());
}

TEST(CliOptions, UsageErrorsNameTheValidRangeOrChoices) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--radius", "0.9"}, "--radius (Dramatic Light Radius) must be within 1.0 … 15.0"},
        {{"--radius", "15.01"}, "must be within 1.0 … 15.0, not 15.01"},
        {{"--brightness", "5"}, "must be within 6.0 … 30.0"},
        {{"--strength", "abc"}, "--strength takes a number"},
        {{"--vivid", "nan"}, "--vivid takes a number"},
        {{"--mix", "0.5"}, "--mix does not belong to method 0 (Eye-Catching)"},
        {{"--method", "1", "--brightness", "12"}, "--brightness does not belong to method 1"},
        {{"--method", "2"}, "--method must be eye-catching (0) or ultra-contrast (1)"},
        {{"--gamma", "2.61"}, "--gamma must be a number within 0.40 … 2.60"},
        {{"--gamma", "0.39"}, "0.40 … 2.60"},
        {{"--filter", "Orton Glow"}, "unknown filter \"Orton Glow\"; choose one of \"Color\""},
        {{"--filter", "12"}, "(or its number 0 … 11)"},
        {{"--curve", "0,0 1"}, "--curve takes points"},
        {{"--curve", "0.1,0 1,1"}, "the first point must have x 0"},
        {{"--curve", "0,0 0.6,0.5 0.5,0.7 1,1"}, "x must not decrease"},
        {{"--curve", "0,0 1,1.5"}, "x and y in 0 … 1"},
        {{"--balance", "0,0.5 1,0.6"}, "need the same y"},
        {{"--clarity=maybe"}, "--clarity takes on or off"},
        {{"--quality", "best"}, "--quality must be final, all, fine or fast"},
        {{"--preview-size", "520"}, "--preview-size must be WxH"},
        {{"--preview-size", "4x100"}, "W within 5 … 32768"},
        {{"--jpeg-quality", "101"}, "--jpeg-quality must be a whole number within 1 … 100"},
        {{"--jobs", "0"}, "--jobs must be"},
        {{"--format", "gif"}, "--format must be jpeg, png, tiff or ppm"},
        {{"--memory", "11"}, "--memory must be a memory number within 1 … 10"},
        {{"--colour"}, "unknown option --colour"},
        {{"-x"}, "unknown option -x"},
        {{"--radius"}, "--radius needs a value"},
        {{"--quiet=1"}, "--quiet takes no value"},
        {{"--settings", "/nonexistent/a.dps"}, "the file cannot be opened"},
    };
    for (const auto& c : cases) {
        try {
            parse(c.args);
            ADD_FAILURE() << c.args[0] << " was accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.args[0] << ": " << e.what();
        }
    }
}

TEST(CliOptions, SettingsFileAppliesWhatTheDialogLoads) {
    ScratchFolder folder;
    const std::string path = folder / "look.dps";
    MethodSettings savedMethod;
    ColorSettings savedColour;
    savedMethod.method = 1;
    SelectMethod(savedMethod);
    savedMethod.valueB = 0.37;
    savedMethod.valueC = 11.5;
    savedMethod.setGamma(1.42);
    savedColour.curvesOn = true;
    savedColour.toneCurve.setPoints({{0, 0.1}, {0.6, 0.7}, {1, 0.95}});
    savedColour.filterMode = 5;
    savedColour.dehazeOn = true;
    ASSERT_TRUE(saveSettingsFile(path, savedMethod, savedColour).ok());

    MethodSettings dialogMethod;
    ColorSettings dialogColour;
    ASSERT_TRUE(loadSettingsFile(path, dialogMethod, dialogColour).ok());

    CliOptions o = parse({"--radius", "3", "--filter", "1", "--settings", path});
    EXPECT_EQ(o.method, dialogMethod);
    EXPECT_EQ(o.colour, dialogColour);

    // Options after the file override it; the rest of the file stays.
    o = parse({"--settings", path, "--radius", "3", "--clarity"});
    EXPECT_EQ(o.method.valueC, 3.0);
    EXPECT_EQ(o.method.valueB, 0.37);
    EXPECT_TRUE(o.colour.clarityOn);
    EXPECT_TRUE(o.colour.dehazeOn);
    EXPECT_EQ(o.colour.filterMode, 5);

    // A damaged file is refused whole.
    std::string bytes = test::readFileBytes(path);
    test::writeFileBytes(folder / "short.dps", bytes.substr(0, bytes.size() / 2));
    EXPECT_THROW(parse({"--settings", folder / "short.dps"}), UsageError);
}

TEST(CliOptions, MemoryRecallAppliesWhatTheDialogRecalls) {
    ScratchFolder folder;
    const std::string ini = folder / "memory.ini";
    IniStore store;
    store.SetPath(ini);
    MethodSettings stored;
    stored.method = 1;
    SelectMethod(stored);
    stored.valueD = 0.83;
    stored.valueF = 0.05;
    store.setCurrentSection(memorySectionName(2));  // the cell labelled 3
    store.SetValue(memorySectionName(2), "Created", "1", true);
    StoreToMemory(store, stored);
    stored.method = 0;
    SelectMethod(stored);
    stored.valueA = 21.5;
    store.setCurrentSection(memorySectionName(9));  // the cell labelled 0
    store.SetValue(memorySectionName(9), "Created", "1", true);
    StoreToMemory(store, stored);
    store.setCurrentSection(memorySectionName(4));
    store.SetValue(memorySectionName(4), "Created", "1", true);
    store.SetInt("Mode", 3);  // a method the dialog does not offer
    ASSERT_TRUE(store.Save());

    IniStore dialogStore;
    dialogStore.SetPath(ini);
    ASSERT_TRUE(dialogStore.Load());
    dialogStore.setCurrentSection(memorySectionName(2));
    MethodSettings dialog;
    ColorSettings dialogColour;
    dialog.setGamma(1.5);
    ASSERT_EQ(LoadFromMemory(dialogStore, dialog), "");

    CliOptions o = parse({"--gamma", "1.5", "--memory", "3", "--memory-file", ini});
    EXPECT_EQ(o.method, dialog);
    EXPECT_EQ(o.colour, dialogColour);
    EXPECT_EQ(o.method.valueD, 0.83);

    // The tenth cell is 10, or 0 as the bar labels it.
    EXPECT_EQ(parse({"--memory", "10"}, ini).method.valueA, 21.5);
    EXPECT_EQ(parse({"--memory", "0"}, ini).method.valueA, 21.5);
    // Values after the memory override it, values before it are replaced.
    EXPECT_EQ(parse({"--memory", "3", "--strength", "0.1"}, ini).method.valueD, 0.1);
    EXPECT_EQ(parse({"--strength", "0.1", "--memory", "3"}, ini).method.valueD, 0.83);

    const struct {
        std::vector<std::string> args;
        const char* message;
    } refusals[] = {
        {{"--memory", "5"}, "Data Not for this type of mapping (KELMOR)"},
        {{"--memory", "4"}, "memory 4 is empty"},
    };
    for (const auto& r : refusals) {
        try {
            parse(r.args, ini);
            ADD_FAILURE() << r.args[1] << " was accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(parse({"--memory", "1"}, folder / "missing.ini"), UsageError);
}

TEST(CliOptions, UnrenderableMethodFromAFileIsRefusedForImagesOnly) {
    ScratchFolder folder;
    MethodSettings m;
    ColorSettings c;
    m.method = -1;
    SelectMethod(m);
    ASSERT_TRUE(saveSettingsFile(folder / "pl.dps", m, c).ok());
    EXPECT_EQ(parse({"--settings", folder / "pl.dps", "--print-settings"}).method.method, -1);
    EXPECT_THROW(parse({"--settings", folder / "pl.dps", "in.jpg", "-o", "o.jpg"}), UsageError);
    EXPECT_EQ(parse({"--settings", folder / "pl.dps", "--method", "1", "in.jpg"}).method.method, 1);
}

}  // namespace
}  // namespace qorva::cli
