#include <gtest/gtest.h>

#include <string>

#include "CheckTestSupport.h"
#include "tools/check/ManifestCheck.h"
#include "tools/check/RegistrationCheck.h"

namespace {

// The version texts the OpenXR loader 1.0.20 accepts and refuses, as observed by listing layers
// through Debian's loader with one manifest per text: it reads them with sscanf, so blanks before
// a number, a sign and text after the last number go unnoticed.
TEST(ManifestVersionTest, FileFormatVersionIsReadAsTheLoaderReadsIt) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"1.0.0", true},    {"1.0.0abc", true}, {" 1.0.0", true}, {"+1.0.0", true},
        {"01.00.00", true}, {"1.0.0.5", true},  {"1.0", false},   {"1.0.1", false},
        {"1.1.0", false},   {"2.0.0", false},   {"0.0.0", false}, {"", false},
        {"one", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoaderAcceptsFileFormatVersion(c.text), c.accepted) << "'" << c.text << "'";
    }
}

TEST(ManifestVersionTest, ApiVersionNeedsMajorVersionOneOrBelowAndNotZeroZero) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"1.0", true},  {"1.1", true},  {"1.99", true},  {"1.0.0", true}, {"1.0abc", true},
        {" 1.0", true}, {"0.5", true},  {"0.1", true},   {"2.0", false},  {"0.0", false},
        {"1", false},   {"1.x", false}, {"-1.0", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoaderAcceptsApiVersion(c.text), c.accepted) << "'" << c.text << "'";
    }
}

class ReadManifestTest : public testing::Test {
protected:
    ManifestFindings Read(const std::string& text, bool implicit = true) {
        const auto path = folder_.Path() / "XR_APILAYER_TARVEX_tracking_override.json";
        WriteFile(path, text);
        return ReadManifest({path.string(), implicit, folder_.Path().string(), std::nullopt});
    }

    TemporaryFolder folder_;
};

// A manifest that is no JSON names where the reader stopped.
TEST_F(ReadManifestTest, MalformedTextIsReportedWithItsPosition) {
    struct Case {
        std::string text;
        std::string problem;
    };
    const Case cases[] = {
        {"", "is not valid JSON (line 1, column 1: "},
        {"{\"file_format_version\": \"1.0.0\",", "is not valid JSON (line 1, column 33: "},
        {"{\"a\" 1}", "is not valid JSON (line 1, column 6: "},
        {"{\n  \"name\": \"x\n\"}", "is not valid JSON (line 3, column 0: "},
        {"{} {}", "is not valid JSON (line 1, column 4: "},
        {std::string(100000, '['), "is not valid JSON (line 1, column 100001: "},
    };
    for (const Case& c : cases) {
        const ManifestFindings findings = Read(c.text);
        EXPECT_TRUE(findings.readable);
        EXPECT_FALSE(findings.document.has_value());
        EXPECT_EQ(findings.problem.rfind(c.problem, 0), 0u) << findings.problem;
        EXPECT_EQ(findings.problem.find("json.exception"), std::string::npos) << findings.problem;
    }
}

// Nesting far deeper than any manifest neither crashes the reader nor counts as a manifest.
TEST_F(ReadManifestTest, DeeplyNestedTextIsReadWithoutHarm) {
    const ManifestFindings findings = Read(std::string(200000, '[') + std::string(200000, ']'));
    EXPECT_TRUE(findings.document.has_value());
    EXPECT_EQ(findings.problem, "has no \"file_format_version\"");
}

TEST_F(ReadManifestTest, FieldsOfTheWrongTypeCountAsMissing) {
    struct Case {
        std::string layer;
        std::string problem;
    };
    const std::string name = std::string("\"name\": \"") + kLayerName + "\"";
    const Case cases[] = {
        {name + ", \"library_path\": \"x.so\", \"api_version\": 1.0, "
                "\"implementation_version\": \"1\", \"disable_environment\": \"D\"",
         "has no \"api_layer.api_version\""},
        {name + ", \"library_path\": \"x.so\", \"api_version\": \"1.0\", "
                "\"implementation_version\": 1, \"disable_environment\": \"D\"",
         "has no \"api_layer.implementation_version\""},
        {name + ", \"library_path\": [\"x.so\"], \"api_version\": \"1.0\", "
                "\"implementation_version\": \"1\", \"disable_environment\": \"D\"",
         "has no \"api_layer.library_path\""},
    };
    for (const Case& c : cases) {
        const ManifestFindings findings =
            Read("{\"file_format_version\": \"1.0.0\", \"api_layer\": {" + c.layer + "}}");
        EXPECT_EQ(findings.problem, c.problem);
    }
    EXPECT_EQ(Read("{\"file_format_version\": 1.0, \"api_layer\": {}}").problem,
              "has no \"file_format_version\"");
}

}  // namespace
