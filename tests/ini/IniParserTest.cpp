#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "ini/IniParser.h"
#include "ini/IniTextReader.h"

namespace {

struct Pair {
    std::string section;
    std::string name;
    std::string value;
    bool operator==(const Pair&) const = default;
};

void PrintTo(const Pair& pair, std::ostream* out) {
    *out << "[" << pair.section << "] '" << pair.name << "' = '" << pair.value << "'";
}

// Records every pair; a pair named "reject" is refused, one named "throw" throws.
int32_t recordPair(void* user, const char* section, const char* name, const char* value) {
    auto& pairs = *static_cast<std::vector<Pair>*>(user);
    pairs.push_back({section, name, value});
    if (std::string(name) == "throw") {
        throw std::runtime_error("handler failure");
    }
    return std::string(name) == "reject" ? 0 : 1;
}

struct ParseResult {
    int32_t result;
    std::vector<Pair> pairs;
};

ParseResult parseText(std::string_view text) {
    IniTextStream stream{text};
    ParseResult parsed{};
    parsed.result = parseIni(readIniTextLine, &stream, recordPair, &parsed.pairs);
    return parsed;
}

struct LineCase {
    const char* label;
    std::string text;
    int32_t result;
    std::vector<Pair> pairs;
};

const std::string kName49(49, 'n');
const std::string kPadding(1994, 'a');
const std::string kTail = "tail=" + std::string(496, 'b');

void PrintTo(const LineCase& row, std::ostream* out) {
    *out << row.label;
}

class ParseLines : public testing::TestWithParam<LineCase> {};

TEST_P(ParseLines, HandsOverPairsAndReportsFirstBadLine) {
    const LineCase& c = GetParam();
    const ParseResult parsed = parseText(c.text);
    EXPECT_EQ(parsed.result, c.result);
    EXPECT_EQ(parsed.pairs, c.pairs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseLines,
    testing::Values(
        LineCase{"empty input", "", 0, {}},
        LineCase{"pair before any header", "hmdrbid=3\n", 0, {{"", "hmdrbid", "3"}}},
        LineCase{"header and indented pair with comment",
                 "[SETTINGS]\n  ipd = 0.064 ; metres\n",
                 0,
                 {{"SETTINGS", "ipd", "0.064"}}},
        LineCase{"inline comment rules",
                 "name = a;b\nname = a #b\nname = ; nothing\nname =\nx=;b\nx= ;b\nx=v\t;c\n",
                 0,
                 {{"", "name", "a;b"},
                  {"", "name", "a #b"},
                  {"", "name", ""},
                  {"", "name", ""},
                  {"", "x", ";b"},
                  {"", "x", ""},
                  {"", "x", "v"}}},
        LineCase{"first separator wins, names keep inner blanks",
                 "a:b=c\n= v\na b = c\na;b=c\n",
                 0,
                 {{"", "a", "b=c"}, {"", "", "v"}, {"", "a b", "c"}, {"", "a;b", "c"}}},
        LineCase{"section names taken as written",
                 "[ Sec ]\nk=1\n[Sec] anything\nk=2\n[Sec;x]\nk=3\n[a]b]\nk=4\n[]\nk=5\n",
                 0,
                 {{" Sec ", "k", "1"},
                  {"Sec", "k", "2"},
                  {"Sec;x", "k", "3"},
                  {"a", "k", "4"},
                  {"", "k", "5"}}},
        LineCase{"section names cut to 49 bytes",
                 "[" + kName49 + "]\nk=1\n[" + kName49 + std::string(11, 'x') + "]\nk=2\n",
                 0,
                 {{kName49, "k", "1"}, {kName49, "k", "2"}}},
        LineCase{"comments and blank lines",
                 "; note\n# note\n   ; indented note\n \t \v\f\r\nk=v\n",
                 0,
                 {{"", "k", "v"}}},
        LineCase{"only the C white-space set is trimmed",
                 "\v\fk\t=\tv\v\r\nh=\xA0v\xA0\n",
                 0,
                 {{"", "k", "v"}, {"", "h", "\xA0v\xA0"}}},
        LineCase{"quotes are plain text", "\"k\" = \"v\"", 0, {{"", "\"k\"", "\"v\""}}},
        LineCase{"CRLF line ends", "[S]\r\nk = v\r\nj=\r\n", 0, {{"S", "k", "v"}, {"S", "j", ""}}},
        LineCase{"byte-order mark skipped on line 1",
                 "\xEF\xBB\xBF[SETTINGS]\nk=v\n",
                 0,
                 {{"SETTINGS", "k", "v"}}},
        LineCase{"byte-order mark on line 2 is text",
                 "[S]\n\xEF\xBB\xBFk=v\n",
                 0,
                 {{"S", "\xEF\xBB\xBFk", "v"}}},
        LineCase{"byte-order mark on line 2 before a header", "[S]\n\xEF\xBB\xBF[T]\n", 2, {}},
        LineCase{"unclosed header", "[Sec\n", 1, {}},
        LineCase{"comment inside header", "[Sec ;x]\n", 1, {}},
        LineCase{"no separator", "a=1\nb=2\njusttext\nc=3\n", 3, {{"", "a", "1"}, {"", "b", "2"}}},
        LineCase{"comment before separator", "key ;c = v\n", 1, {}},
        LineCase{"handler refusal counts every line",
                 "a=1\n\n; c\n[S]\nreject=x\nb=2\n",
                 5,
                 {{"", "a", "1"}, {"S", "reject", "x"}}},
        LineCase{"last line without line feed", "[S]\nk=v", 0, {{"S", "k", "v"}}},
        LineCase{"long line split at 1,999 bytes, later lines renumbered",
                 "[S]\nname=" + kPadding + kTail + "\njusttext\n",
                 4,
                 {{"S", "name", kPadding}, {"S", "tail", std::string(496, 'b')}}},
        LineCase{"tail of a long line without separator",
                 "[S]\nname=" + kPadding + std::string(501, 'b') + "\n",
                 3,
                 {{"S", "name", kPadding}}}),
    [](const testing::TestParamInfo<LineCase>& row) {
        std::string name;
        for (const char c : std::string(row.param.label)) {
            name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

// Wraps the text reader and records the room each call was given.
struct SizeRecordingStream {
    IniTextStream text;
    std::vector<int32_t> sizes;
};

char* readRecordingSize(char* buffer, int32_t size, void* stream) {
    auto& recording = *static_cast<SizeRecordingStream*>(stream);
    recording.sizes.push_back(size);
    return readIniTextLine(buffer, size, &recording.text);
}

TEST(ParseIni, GrowsLineBufferByDoublingUpTo2000AndKeepsIt) {
    const std::string text =
        "k=" + std::string(1997, 'v') + std::string(499, 'w') + "=1\nshort=1\n";
    SizeRecordingStream stream{{text}, {}};
    std::vector<Pair> pairs;
    EXPECT_EQ(parseIni(readRecordingSize, &stream, recordPair, &pairs), 0);
    // 199 bytes fill 200; each growth reads into the room behind them: 400-199, 800-399, ...
    // The rest of the long line and the next line are read with the grown 2,000 bytes.
    const std::vector<int32_t> expected{200, 201, 401, 801, 401, 2000, 2000, 2000};
    EXPECT_EQ(stream.sizes, expected);
    ASSERT_EQ(pairs.size(), 3U);
    EXPECT_EQ(pairs[0].value, std::string(1997, 'v'));
    EXPECT_EQ(pairs[1], (Pair{"", std::string(499, 'w'), "1"}));
    EXPECT_EQ(pairs[2].name, "short");
}

TEST(ParseIni, InputEndingInsideGrowthParsesWhatWasRead) {
    // Exactly fills the first buffer without a line feed, so growth meets the end of the input.
    const std::string text = "k=" + std::string(197, 'v');
    const ParseResult parsed = parseText(text);
    EXPECT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.pairs, (std::vector<Pair>{{"", "k", std::string(197, 'v')}}));
}

TEST(ParseIni, HandlerExceptionPassesThroughAfterGrowth) {
    // The throwing pair sits on a grown buffer; the sanitizer build checks that it is released.
    const std::string text = "a=1\nthrow=" + std::string(900, 'v') + "\nb=2\n";
    IniTextStream stream{text};
    std::vector<Pair> pairs;
    EXPECT_THROW(parseIni(readIniTextLine, &stream, recordPair, &pairs), std::runtime_error);
    EXPECT_EQ(pairs.size(), 2U);
}

}  // namespace
