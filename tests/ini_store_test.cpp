#include "persistence/ini_store.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "support/temp_folder.h"

namespace qorva {
namespace {

// "[section]name=value|name=value|[next]..." in store order.
std::string dump(const IniStore& store) {
    std::string out;
    for (int s = 0; s < store.sectionCount(); ++s) {
        out += "[" + store.sectionName(s) + "]";
        for (int e = 0; e < store.entryCount(s); ++e)
            out += store.entryName(s, e) + "=" + store.entryValue(s, e) + "|";
    }
    return out;
}

struct LineCase {
    const char* what;
    const char* text;
    const char* expected;
};

TEST(IniStoreLoad, LineRules) {
    const LineCase cases[] = {
        {"comment after blanks", "[s]\n  ;note=1\nk=v\n", "[s]k=v|"},
        {"semicolon inside data", "[s]\nk=a;b\n", "[s]k=a;b|"},
        {"blanks around name and value", "[s]\n\tkey = value \n", "[s]key=value|"},
        {"first equals splits", "[s]\na=b=c\n", "[s]a=b=c|"},
        {"empty name", "[s]\n=v\n", "[s]=v|"},
        {"no equals", "[s]\n  hello world  \n", "[s]=hello world|"},
        {"empty value", "[s]\nk=\n", "[s]k=|"},
        {"repeated brackets", "[[x]]\nk=1\n", "[x]k=1|"},
        {"blanks inside brackets", "[ x ]\nk=1\n", "[ x ]k=1|"},
        {"header with trailing blank", "[s]\n[t] \nk=1\n", "[s]=[t]|k=1|"},
        {"letter case matters", "[memory 1]\na=1\n[Memory 1]\na=2\n",
         "[memory 1]a=1|[Memory 1]a=2|"},
        {"repeated name keeps place", "[s]\na=1\nb=2\na=3\n", "[s]a=3|b=2|"},
        {"entries before any header", "a=1\n[s]\nb=2\n", "[]a=1|[s]b=2|"},
        {"empty header", "[]\nk=v\n", "[]k=v|"},
        {"header alone creates nothing, repeated header continues",
         "[s]\n[t]\nk=v\n[s]\nm=n\n[t]\no=p\n", "[t]k=v|o=p|[s]m=n|"},
        {"CR LF line ends and no final line end", "[s]\r\nk=v\r\nz=1", "[s]k=v|z=1|"},
        {"blank lines", "\n \r\n[s]\n\n\t\nk=v\n", "[s]k=v|"},
    };
    for (const LineCase& c : cases) {
        IniStore store;
        store.LoadText(c.text);
        EXPECT_EQ(dump(store), c.expected) << c.what;
    }
}

TEST(IniStoreLoad, MergesIntoWhatTheStoreHolds) {
    IniStore store;
    store.SetValue("s", "a", "1", true);
    store.LoadText("[s]\nb=2\na=3\n");
    EXPECT_EQ(dump(store), "[s]a=3|b=2|");
}

TEST(IniStoreSave, WritesSectionsWithEntriesAndCrLf) {
    IniStore store;
    store.LoadText("a=1\n[Memory 0]\nCreated=1\nMode=0\n[empty]\n");
    store.SetValue("unused", "x", "1", true);
    store.DeleteSection("unused");
    store.SetValue("kept", "k", "", true);
    EXPECT_EQ(store.SaveText(),
              "[]\r\na=1\r\n\r\n[Memory 0]\r\nCreated=1\r\nMode=0\r\n\r\n"
              "[kept]\r\nk=\r\n\r\n");
}

TEST(IniStoreSave, MissingFileThenSaveCreatesItAndReloads) {
    test::TempFolder folder;
    IniStore store;
    store.SetPath(folder.file("memory.ini"));
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(store.sectionCount(), 0);
    EXPECT_EQ(store.lastError(), "");
    store.SetFloat("Memory 3", "Smooth", 0.25, true);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(test::readFile(store.path()), "[Memory 3]\r\nSmooth=2.500000e-001\r\n\r\n");

    IniStore again;
    again.SetPath(store.path());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetFloat("Memory 3", "Smooth", 9.0), 0.25);
}

TEST(IniStoreSave, FailedSaveLeavesTheOldFile) {
    test::TempFolder folder;
    const std::string path = folder.file("memory.ini");
    test::writeFile(path, "[old]\r\nk=v\r\n\r\n");
    IniStore store;
    store.SetValue("new", "k", "v", true);
    store.SetPath(folder.file("missing-folder/memory.ini"));
    EXPECT_FALSE(store.Save());
    store.SetPath("");
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(test::readFile(path), "[old]\r\nk=v\r\n\r\n");
    store.SetPath(path);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(test::readFile(path), "[new]\r\nk=v\r\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(IniStoreErrors, LastErrorTexts) {
    test::TempFolder folder;
    IniStore store;
    store.SetValue("s", "k", "v", true);
    EXPECT_EQ(store.GetValue("t", "k", "d"), "d");
    EXPECT_EQ(store.lastError(), "Unable to locate specified key.");
    EXPECT_EQ(store.GetInt("s", "x", 4), 4);
    EXPECT_EQ(store.lastError(), "Unable to locate specified value.");
    EXPECT_EQ(store.GetValue("s", "k", "d"), "v");
    EXPECT_EQ(store.lastError(), "Unable to locate specified value.");  // kept after success
    EXPECT_FALSE(store.SetValue("t", "k", "v", false));
    EXPECT_FALSE(store.SetValue("s", "y", "v", false));
    EXPECT_EQ(store.FindSection("t"), -1);
    EXPECT_EQ(store.FindEntry(-1, "k"), -1);

    IniStore directory;
    directory.SetPath(folder.path());
    EXPECT_FALSE(directory.Load());
    EXPECT_EQ(directory.lastError(), "Unable to open ini file.");
}

TEST(IniStoreValues, SectionLessAccessorsUseTheCurrentSection) {
    IniStore store;
    EXPECT_EQ(store.currentSection(), "empty");
    store.setCurrentSection("Memory 2");
    EXPECT_TRUE(store.SetInt("Mode", -1));
    EXPECT_TRUE(store.SetFloat("PLgamma", 1.5));
    EXPECT_EQ(dump(store), "[Memory 2]Mode=-1|PLgamma=1.500000e+000|");
    EXPECT_EQ(store.GetInt("Mode", 7), -1);
    EXPECT_EQ(store.GetFloat("PLgamma", 0), 1.5);
    EXPECT_TRUE(store.DeleteSection("Memory 2"));
    EXPECT_FALSE(store.DeleteSection("Memory 2"));
}

TEST(IniStoreValues, LenientNumbers) {
    struct IntCase {
        const char* text;
        int value;
    } ints[] = {{"12abc", 12},
                {"abc", 0},
                {"", 77},
                {" \t-7", -7},
                {"+5", 5},
                {"1.9", 1},
                {"99999999999", 2147483647},
                {"-99999999999", -2147483647 - 1}};
    for (const IntCase& c : ints) {
        IniStore store;
        store.SetValue("s", "k", c.text, true);
        EXPECT_EQ(store.GetInt("s", "k", 77), c.value) << c.text;
    }
    const double inf = std::numeric_limits<double>::infinity();
    struct FloatCase {
        const char* text;
        double value;
    } floats[] = {{"5.000000e-001", 0.5},
                  {"5.000000e-01", 0.5},
                  {"1.5e+000x", 1.5},
                  {".5", 0.5},
                  {"1e", 1.0},
                  {"-2.5E-1", -0.25},
                  {"abc", 0.0},
                  {"", 77.0},
                  {"1e999", inf},
                  {"-1e999", -inf},
                  {"1e-999", 0.0},
                  {"0.0000001e-400", 0.0},
                  {"12,5", 12.0},
                  {"nan", 0.0}};
    for (const FloatCase& c : floats) {
        IniStore store;
        store.SetValue("s", "k", c.text, true);
        EXPECT_EQ(store.GetFloat("s", "k", 77.0), c.value) << c.text;
    }
}

TEST(IniStoreValues, FloatsWithThreeExponentDigits) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {{0.5, "5.000000e-001"},   {-0.2, "-2.000000e-001"}, {1.5, "1.500000e+000"},
                 {0.0, "0.000000e+000"},   {25.0, "2.500000e+001"},  {1e100, "1.000000e+100"},
                 {1e-300, "1.000000e-300"}};
    for (const Case& c : cases) EXPECT_EQ(formatIniFloat(c.value), c.text);
    // Every slider value a memory can hold reads back exactly.
    for (int p = 0; p <= 500; ++p)
        for (int divisor : {10, 100}) {
            const double v = static_cast<double>(p) / divisor;
            ASSERT_EQ(parseIniFloat(formatIniFloat(v)), v) << v;
        }
}

}  // namespace
}  // namespace qorva
