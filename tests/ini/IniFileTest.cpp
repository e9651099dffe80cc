#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <locale>
#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "ini/IniFile.h"

namespace {

namespace fs = std::filesystem;

// What a construction followed by a lookup ends in: the value, or the message thrown.
struct Thrown {
    std::string message;
};

template <typename T>
using Outcome = std::variant<T, Thrown>;

template <typename Function>
std::string messageOf(Function&& function) {
    try {
        function();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<nothing thrown>";
}

class IniFileTest : public testing::Test {
protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("tarvex_ini_test_" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }

    std::string writeFile(const std::string& content, const std::string& name = "config.ini") {
        const fs::path path = directory / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Appending, rather than "k" + to_string(i), keeps GCC 12 at -O3 from a false -Wrestrict.
    static std::string keyOf(size_t row) {
        std::string key = "k";
        key += std::to_string(row);
        return key;
    }

    // Builds one file holding every row's value text under its own key, then checks each lookup.
    template <typename T>
    void checkLookups(const std::vector<std::pair<std::string, Outcome<T>>>& rows) {
        std::string text = "[SETTINGS]\n";
        for (size_t i = 0; i < rows.size(); ++i) {
            text += keyOf(i) + " = " + rows[i].first + "\n";
        }
        const IniFile file(writeFile(text));
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("value text: '" + rows[i].first + "'");
            const std::string key = keyOf(i);
            if (const auto* expected = std::get_if<T>(&rows[i].second)) {
                EXPECT_EQ(file.get<T>("SETTINGS", key), *expected);
            } else {
                EXPECT_EQ(messageOf([&] { file.get<T>("SETTINGS", key); }),
                          std::get<Thrown>(rows[i].second).message);
            }
        }
    }

    fs::path directory;
};

struct DocumentCase {
    const char* label;
    std::string content;
    std::string section;
    std::string key;
    Outcome<std::string> expected;
};

void PrintTo(const DocumentCase& row, std::ostream* out) {
    *out << row.label;
}

class Documents : public IniFileTest, public testing::WithParamInterface<DocumentCase> {};

TEST_P(Documents, ConstructAndLookUp) {
    const DocumentCase& c = GetParam();
    const std::string path = writeFile(c.content);
    if (const auto* expected = std::get_if<std::string>(&c.expected)) {
        EXPECT_EQ(IniFile(path).get<std::string>(c.section, c.key), *expected);
    } else {
        EXPECT_EQ(messageOf([&] { IniFile(path).get<std::string>(c.section, c.key); }),
                  std::get<Thrown>(c.expected).message);
    }
}

const std::string kName49(49, 'n');
const std::string kLongLine = "name=" + std::string(1994, 'a') + std::string(501, 'b') + "\n";

INSTANTIATE_TEST_SUITE_P(
    Table, Documents,
    testing::Values(
        DocumentCase{"plain", "[SETTINGS]\nipd = 0.064\n", "SETTINGS", "ipd", "0.064"},
        DocumentCase{"empty file", "", "SETTINGS", "ipd", Thrown{"section 'SETTINGS' not found."}},
        DocumentCase{"headers without pairs create nothing", "; c\n[SETTINGS]\n# d\n", "SETTINGS",
                     "ipd", Thrown{"section 'SETTINGS' not found."}},
        DocumentCase{"section names match case", "[settings]\nipd=1\n", "SETTINGS", "ipd",
                     Thrown{"section 'SETTINGS' not found."}},
        DocumentCase{"section names keep blanks", "[ SETTINGS ]\nipd=1\n", "SETTINGS", "ipd",
                     Thrown{"section 'SETTINGS' not found."}},
        DocumentCase{"missing key", "[SETTINGS]\nipd=1\n", "SETTINGS", "hmdrbid",
                     Thrown{"key 'hmdrbid' not found in section 'SETTINGS'."}},
        DocumentCase{"duplicate key", "[S]\nk=1\nk=2\n", "S", "k",
                     Thrown{"duplicate key 'k' in section 'S'."}},
        DocumentCase{"empty value may be replaced", "k=\nk=\nk=2\n", "", "k", "2"},
        DocumentCase{"same key in two sections", "[A]\nk=1\n[B]\nk=2\n", "B", "k", "2"},
        DocumentCase{"duplicate across headers of one section", "[A]\nk=1\n[B]\n[A]\nk=2\n", "A",
                     "k", Thrown{"duplicate key 'k' in section 'A'."}},
        DocumentCase{"sections alike in 49 bytes are one",
                     "[" + kName49 + "X]\nk=1\n[" + kName49 + "Y]\nk=2\n", kName49, "k",
                     Thrown{"duplicate key 'k' in section '" + kName49 + "'."}},
        DocumentCase{"long section name stored cut", "[" + kName49 + "XYZ]\nk=1\n", kName49, "k",
                     "1"},
        DocumentCase{"bad line", "a=1\n\n;c\n[S]\nb=2\n\njusttext\nc=3\n", "S", "b",
                     Thrown{"parse error on line no: 7"}},
        DocumentCase{"duplicate hides later bad line", "[S]\nk=1\n\nk=2\n\n\n\n\njusttext\n", "S",
                     "k", Thrown{"duplicate key 'k' in section 'S'."}},
        DocumentCase{"bad line hides later duplicate", "[S]\nk=1\njusttext\n\nk=2\n", "S", "k",
                     Thrown{"parse error on line no: 3"}},
        DocumentCase{"byte-order mark on line 1", "\xEF\xBB\xBF[SETTINGS]\nk=v\n", "SETTINGS", "k",
                     "v"},
        DocumentCase{"byte-order mark on line 2", "[S]\n\xEF\xBB\xBFtext\n", "S", "k",
                     Thrown{"parse error on line no: 2"}},
        DocumentCase{"CRLF", "[SETTINGS]\r\nipd = 0.064 ; m\r\n", "SETTINGS", "ipd", "0.064"},
        DocumentCase{"split long line", "[S]\n" + kLongLine, "S", "name",
                     Thrown{"parse error on line no: 3"}}),
    [](const testing::TestParamInfo<DocumentCase>& row) {
        std::string name;
        for (const char c : std::string(row.param.label)) {
            name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

TEST_F(IniFileTest, IntegerLookups) {
    auto fails = [](const std::string& value) {
        return Thrown{"cannot parse value '" + value + "' to type<T>."};
    };
    checkLookups<int32_t>({{"12", 12},
                           {"12 ; body", 12},
                           {"12abc", 12},
                           {"0.064", 0},
                           {"+7", 7},
                           {"0x10", 0},
                           {"2147483647", std::numeric_limits<int32_t>::max()},
                           {"-2147483648", std::numeric_limits<int32_t>::min()},
                           {"2147483648", fails("2147483648")},
                           {"-2147483649", fails("-2147483649")},
                           {"abc", fails("abc")},
                           {"-", fails("-")},
                           {"", fails("")}});
}

TEST_F(IniFileTest, FloatLookups) {
    auto fails = [](const std::string& value) {
        return Thrown{"cannot parse value '" + value + "' to type<T>."};
    };
    checkLookups<float>({{"0.064", 0.064F},
                         {"-2.5", -2.5F},
                         {".5", 0.5F},
                         {"1e3", 1000.0F},
                         {"64", 64.0F},
                         {"1.5mm", 1.5F},
                         {"3.4e38", 3.4e38F},
                         {"1e39", fails("1e39")},
                         {"abc", fails("abc")},
                         {"-", fails("-")},
                         {"", fails("")}});
}

TEST_F(IniFileTest, StringLookups) {
    checkLookups<std::string>(
        {{"0.064", "0.064"}, {"a;b", "a;b"}, {"\"quoted\" x", "\"quoted\" x"}, {"", ""}});
}

TEST_F(IniFileTest, BooleanLookups) {
    auto fails = [](const std::string& lowered) {
        return Thrown{"'" + lowered + "' is not a valid boolean value."};
    };
    checkLookups<bool>({{"TRUE", true},
                        {"Yes", true},
                        {"ON", true},
                        {"1", true},
                        {"False", false},
                        {"NO", false},
                        {"off", false},
                        {"0", false},
                        {"Enabled", fails("enabled")},
                        {"TRUE\xC3\x84", fails("true\xC3\x84")},
                        {"2", fails("2")},
                        {"01", fails("01")},
                        {"y", fails("y")},
                        {"t", fails("t")},
                        {"", fails("")}});
}

TEST_F(IniFileTest, UnreadablePathsAreNotFound) {
    const std::string regularFile = writeFile("k=v\n");
    // Tests run as root, so permission bits cannot make a file unreadable here. A directory opens
    // but fails on the first read; a path below a regular file cannot be opened at all.
    for (const std::string& path :
         {(directory / "missing.ini").string(), directory.string(), regularFile + "/below.ini"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(messageOf([&] { IniFile{path}; }), "ini file not found.");
    }
}

// Counted through Linux's list of open descriptors; under Wine that list holds the descriptors
// Wine itself opens and closes, not our files, so the Windows build has no such test.
#ifndef _WIN32
TEST_F(IniFileTest, FileIsClosedWhenReadingFails) {
    const fs::path descriptors = "/proc/self/fd";
    ASSERT_TRUE(fs::exists(descriptors)) << descriptors << " is missing: /proc is not mounted";
    const std::string duplicate = writeFile("k=1\nk=2\n", "duplicate.ini");
    const std::string badLine = writeFile("justtext\n", "bad.ini");
    auto countOpen = [&] {
        return std::distance(fs::directory_iterator(descriptors), fs::directory_iterator());
    };
    const auto before = countOpen();
    for (int round = 0; round < 3; ++round) {
        EXPECT_THROW(IniFile{duplicate}, std::runtime_error);
        EXPECT_THROW(IniFile{badLine}, std::runtime_error);
    }
    EXPECT_EQ(countOpen(), before);
}
#endif

// A host application's locale that writes 1.234,5 for one thousand two hundred thirty-four.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

struct GlobalLocale {
    explicit GlobalLocale(const std::locale& locale) : previous(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(previous); }
    GlobalLocale(const GlobalLocale&) = delete;
    GlobalLocale& operator=(const GlobalLocale&) = delete;
    std::locale previous;
};

TEST_F(IniFileTest, NumbersIgnoreTheHostsGlobalLocale) {
    const IniFile file(writeFile("[SETTINGS]\nipd = 0.064\nhmdrbid = 1.234\n"));
    const GlobalLocale commaDecimal(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_EQ(file.get<float>("SETTINGS", "ipd"), 0.064F);
    EXPECT_EQ(file.get<int32_t>("SETTINGS", "hmdrbid"), 1);
}

template <typename T>
concept Lookup = requires(const IniFile& file, const std::string& text) {
    file.get<T>(text, text);
};
template <typename T>
concept NumberParse = requires(const std::string& text) {
    IniFile::parseNumber<T>(text);
};

static_assert(Lookup<int32_t> && Lookup<float> && Lookup<std::string> && Lookup<bool>);
static_assert(!Lookup<double> && !Lookup<int64_t> && !Lookup<uint32_t> && !Lookup<const char*>);
static_assert(NumberParse<int32_t> && NumberParse<float>);
static_assert(!NumberParse<double> && !NumberParse<bool> && !NumberParse<std::string>);

}  // namespace
