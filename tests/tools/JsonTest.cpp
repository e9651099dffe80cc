#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tools/check/Json.h"

namespace {

TEST(JsonTest, ReadsAManifest) {
    const auto parsed = ParseJson(R"({
        "file_format_version": "1.0.0",
        "api_layer": {
            "name": "XR_APILAYER_TARVEX_tracking_override",
            "library_path": "./libtarvex_tracking.so",
            "instance_extensions": [],
            "disable_environment": "DISABLE_TARVEX_TRACKING_OVERRIDE"
        }
    })");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue* layer = parsed.value->Find("api_layer");
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->Find("library_path"), nullptr);
    EXPECT_EQ(*layer->Find("library_path")->AsString(), "./libtarvex_tracking.so");
    EXPECT_EQ(layer->Find("instance_extensions")->AsArray()->size(), 0u);
    EXPECT_EQ(layer->Find("missing"), nullptr);
}

TEST(JsonTest, ReadsEveryKindOfValue) {
    const auto parsed =
        ParseJson(R"([0, -1.5e2, 3.25E-1, true, false, null, "a\"b\\c\/d\n\t", {}, [[]]])");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const auto& items = *parsed.value->AsArray();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(*items[0].AsNumber(), 0.0);
    EXPECT_EQ(*items[1].AsNumber(), -150.0);
    EXPECT_DOUBLE_EQ(*items[2].AsNumber(), 0.325);
    EXPECT_TRUE(*items[3].AsBool());
    EXPECT_FALSE(*items[4].AsBool());
    EXPECT_TRUE(items[5].IsNull());
    EXPECT_EQ(*items[6].AsString(), "a\"b\\c/d\n\t");
    EXPECT_TRUE(items[7].AsObject()->empty());
    EXPECT_EQ(items[8].AsArray()->size(), 1u);
}

TEST(JsonTest, DecodesUnicodeEscapesToUtf8) {
    const auto parsed = ParseJson(R"(["\u00e9", "\u20ac", "\ud83d\ude00", "\u0041"])");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const auto& items = *parsed.value->AsArray();
    EXPECT_EQ(*items[0].AsString(), "\xC3\xA9");
    EXPECT_EQ(*items[1].AsString(), "\xE2\x82\xAC");
    EXPECT_EQ(*items[2].AsString(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(*items[3].AsString(), "A");
}

TEST(JsonTest, RefusesMalformedTextWithItsPosition) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"", "line 1, column 1: unexpected end of text"},
        {"{\"a\": 1,}", "line 1, column 9: expected a member name"},
        {"{\"a\" 1}", "line 1, column 6: expected ':'"},
        {"[1, 2", "line 1, column 6: expected ']'"},
        {"{\n  \"name\": \"x\n\"}", "line 2, column 13: control character in string"},
        {"\"open", "line 1, column 6: unterminated string"},
        {"[01]", "line 1, column 3: expected ']'"},
        {"[1.]", "line 1, column 4: digit expected after '.'"},
        {"[1e]", "line 1, column 4: digit expected in exponent"},
        {"[tru]", "line 1, column 5: expected 'true'"},
        {"[\"\\x\"]", "line 1, column 4: bad escape"},
        {"[\"\\ud800\"]", "line 1, column 9: expected '\\u'"},
        {"[\"\\udc00\"]", "line 1, column 9: unpaired surrogate"},
        {"{} {}", "line 1, column 4: unexpected text after the document"},
        {"[+1]", "line 1, column 2: unexpected character"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseJson(c.text);
        EXPECT_FALSE(parsed.value) << c.text;
        EXPECT_EQ(parsed.error, c.error) << c.text;
    }
}

TEST(JsonTest, RefusesNestingTooDeepForTheStack) {
    EXPECT_TRUE(ParseJson(std::string(60, '[') + std::string(60, ']')).value);
    const auto deep = ParseJson(std::string(100000, '['));
    EXPECT_FALSE(deep.value);
    EXPECT_NE(deep.error.find("nested too deeply"), std::string::npos);
}

TEST(JsonTest, WrittenTextReadsBackTheSame) {
    JsonValue document;
    document.Set("text", "quote \" backslash \\ newline \n control \x01 end");
    document.Set("number", -0.125);
    document.Set("count", 42);
    document.Set("flag", true);
    document.Set("nothing", nullptr);
    document.Set("list", JsonValue::Array{1, "two", JsonValue::Object{}});
    document.Set("count", 43);  // replaces, keeps the place

    const std::string text = document.Write();
    const auto parsed = ParseJson(text);
    ASSERT_TRUE(parsed.value) << parsed.error << "\n" << text;
    EXPECT_EQ(parsed.value->Write(), text);
    EXPECT_EQ(*parsed.value->Find("text")->AsString(),
              "quote \" backslash \\ newline \n control \x01 end");
    EXPECT_EQ(*parsed.value->Find("count")->AsNumber(), 43.0);
    EXPECT_EQ(parsed.value->AsObject()->at(2).first, "count");
}

TEST(JsonTest, TextThatIsNotUtf8IsWrittenAsLatin1) {
    struct Case {
        std::string text;
        std::string written;
    };
    const Case cases[] = {
        {"J\xC3\xB6rg", "\"J\xC3\xB6rg\""},             // UTF-8 kept
        {"J\xF6rg", "\"J\\u00f6rg\""},                  // a Windows code-page byte
        {"\xE2\x82", "\"\\u00e2\\u0082\""},             // cut-off sequence
        {"\xC0\xAF", "\"\\u00c0\\u00af\""},             // overlong form
        {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},  // encoded surrogate
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},   // four bytes kept
    };
    for (const Case& c : cases) {
        const std::string written = JsonValue(c.text).Write();
        EXPECT_EQ(written, c.written);
        EXPECT_TRUE(ParseJson(written).value) << written;
    }
}

TEST(JsonTest, NonFiniteNumbersAreWrittenAsNull) {
    const JsonValue value(JsonValue::Array{std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity()});
    EXPECT_EQ(value.Write(), "[null,null]");
}

}  // namespace
