#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CheckTestSupport.h"
#include "tools/check/RegistrationCheck.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kManifestFile = "XR_APILAYER_TARVEX_tracking_override.json";

// JSON text of a manifest; empty optional fields are left out.
std::string ManifestText(const std::string& library, const std::string& name = kLayerName,
                         const std::string& disable = kDisableVariable,
                         const std::string& extra = {}) {
    std::string layer = "\"name\": \"" + name +
                        "\", \"api_version\": \"1.0\", "
                        "\"implementation_version\": \"1\", \"description\": \"test\"";
    if (!library.empty()) {
        layer += ", \"library_path\": \"" + library + "\"";
    }
    if (!disable.empty()) {
        layer += ", \"disable_environment\": \"" + disable + "\"";
    }
    layer += extra;
    return "{\"file_format_version\": \"1.0.0\", \"api_layer\": {" + layer + "}}";
}

// The manifest text with other version fields.
std::string WithVersions(std::string text, const std::string& fileFormat, const std::string& api) {
    const auto replace = [&text](const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
    };
    replace("\"file_format_version\": \"1.0.0\"",
            "\"file_format_version\": \"" + fileFormat + "\"");
    replace("\"api_version\": \"1.0\"", "\"api_version\": \"" + api + "\"");
    return text;
}

// JSON strings take forward slashes on both platforms; Windows paths would need escaping.
std::string JsonPath(const fs::path& path) {
    return path.generic_string();
}

// Puts manifests where the loader of this platform looks: the XDG folders of a temporary home on
// Linux, the current user's registry keys on Windows. Nothing outside the temporary folder and
// the values it added is visible or changed.
class RegistrationCheckTest : public testing::Test {
protected:
    ~RegistrationCheckTest() override {
#ifdef _WIN32
        for (const auto& [key, value] : registryValues_) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), value.c_str());
        }
#endif
    }

    // Writes a manifest and registers it; returns its path.
    fs::path Register(const std::string& text, bool implicit = true,
                      const std::string& fileName = kManifestFile) {
        const std::string kind = implicit ? "implicit.d" : "explicit.d";
        const fs::path path =
            folder_.Path() / "home" / "openxr" / "1" / "api_layers" / kind / fileName;
        WriteFile(path, text);
#ifdef _WIN32
        RegisterInRegistry(path.string(), implicit, 0);
#endif
        return path;
    }

#ifdef _WIN32
    void RegisterInRegistry(const std::string& manifest, bool implicit, DWORD value) {
        const std::string key = std::string("SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\") +
                                (implicit ? "Implicit" : "Explicit");
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), manifest.c_str(), REG_DWORD,
                                  &value, sizeof value),
                  ERROR_SUCCESS);
        registryValues_.emplace_back(key, manifest);
    }
#endif

    Report Check() {
        Report report;
        CheckRegistration(report);
        return report;
    }

    TemporaryFolder folder_;
    ScopedVariable configDirs_{"XDG_CONFIG_DIRS", (folder_.Path() / "config").string()};
    ScopedVariable dataDirs_{"XDG_DATA_DIRS", (folder_.Path() / "data").string()};
    ScopedVariable dataHome_{"XDG_DATA_HOME", (folder_.Path() / "home").string()};
    ScopedVariable layerPath_{"XR_API_LAYER_PATH", std::nullopt};
    ScopedVariable enable_{"XR_ENABLE_API_LAYERS", std::nullopt};
    ScopedVariable disable_{kDisableVariable, std::nullopt};
    std::vector<std::pair<std::string, std::string>> registryValues_;
};

TEST_F(RegistrationCheckTest, NoManifestFailsAndSaysHowToInstall) {
    const Report report = Check();
    const CheckLine line = OnlyLineOf(report, "registered");
    EXPECT_EQ(line.verdict, Verdict::kFail);
#ifdef _WIN32
    EXPECT_NE(line.advice.find("install-layer.ps1"), std::string::npos) << line.advice;
#else
    EXPECT_NE(line.advice.find("install-layer.sh"), std::string::npos) << line.advice;
#endif
    EXPECT_EQ(line.advice.find("cmake --install"), std::string::npos) << line.advice;
    EXPECT_FALSE(report.Passed());
    EXPECT_FALSE(OnlyLineOf(report, "search").details.empty());
}

TEST_F(RegistrationCheckTest, AGoodImplicitManifestPasses) {
    const fs::path manifest = Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
    const Report report = Check();
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_EQ(OnlyLineOf(report, "manifest").verdict, Verdict::kOk);
    const CheckLine library = OnlyLineOf(report, "library");
    EXPECT_EQ(library.verdict, Verdict::kOk);
    EXPECT_NE(library.message.find("xrNegotiateLoaderApiLayerInterface"), std::string::npos);
    EXPECT_TRUE(LinesOf(report, "registered").empty()) << report.Text();
    EXPECT_NE(report.Text().find(manifest.string()), std::string::npos);
}

TEST_F(RegistrationCheckTest, ARelativeLibraryPathCountsFromTheManifestsFolder) {
    const fs::path manifest = Register(
        ManifestText("./layer-copy/" + fs::path(TARVEX_LAYER_LIBRARY).filename().string()));
    fs::create_directories(manifest.parent_path() / "layer-copy");
    fs::copy_file(TARVEX_LAYER_LIBRARY, manifest.parent_path() / "layer-copy" /
                                            fs::path(TARVEX_LAYER_LIBRARY).filename());
    const Report report = Check();
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_NE(OnlyLineOf(report, "library")
                  .message.find((manifest.parent_path() / "layer-copy").string()),
              std::string::npos);
}

TEST_F(RegistrationCheckTest, AManifestNamingAMissingLibraryFailsWithTheResolvedPath) {
    const fs::path manifest = Register(ManifestText("./gone/libtarvex_tracking.so"));
    const Report report = Check();
    const CheckLine line = OnlyLineOf(report, "library");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    const std::string resolved =
        (manifest.parent_path() / "gone" / "libtarvex_tracking.so").string();
    EXPECT_NE(line.message.find(resolved + " not found"), std::string::npos) << line.message;
    EXPECT_NE(line.advice.find("manifest's folder"), std::string::npos);
    // The missing library is the one failure; the summary line only points at it.
    EXPECT_EQ(OnlyLineOf(report, "registered").verdict, Verdict::kInfo);
    EXPECT_EQ(report.Count(Verdict::kFail), 1) << report.Text();
    EXPECT_FALSE(report.Passed());
}

TEST_F(RegistrationCheckTest, LibrariesThatTheLoaderCouldNotUseFail) {
    struct Case {
        std::string library;
        std::string expected;
    };
    const fs::path notALibrary = folder_.Path() / "not-a-library.so";
    WriteFile(notALibrary, "this is text, not a shared library\n");
    const Case cases[] = {
        {JsonPath(TARVEX_NO_EXPORT_LIBRARY),
         "loads but does not export xrNegotiateLoaderApiLayerInterface"},
        {JsonPath(notALibrary), "does not load: "},
    };
    for (const Case& c : cases) {
        Register(ManifestText(c.library));
        const Report report = Check();
        const CheckLine line = OnlyLineOf(report, "library");
        EXPECT_EQ(line.verdict, Verdict::kFail);
        EXPECT_NE(line.message.find(c.expected), std::string::npos) << line.message;
        EXPECT_FALSE(report.Passed());
    }
}

TEST_F(RegistrationCheckTest, BrokenManifestsFailWithWhatIsWrong) {
    struct Case {
        std::string text;
        bool implicit;
        std::string expected;
    };
    const std::string library = JsonPath(TARVEX_LAYER_LIBRARY);
    const Case cases[] = {
        {"{\"file_format_version\": \"1.0.0\",", true, "is not valid JSON (line 1, column 33: "},
        {ManifestText(library, "XR_APILAYER_TARVEX_other"), true,
         "names the layer \"XR_APILAYER_TARVEX_other\" instead of "
         "\"XR_APILAYER_TARVEX_tracking_override\""},
        {ManifestText(""), true, "has no \"api_layer.library_path\""},
        {ManifestText(library, kLayerName, ""), true,
         "is implicit but has no \"api_layer.disable_environment\""},
        {"{\"api_layer\": {}}", false, "has no \"file_format_version\""},
        {"{\"file_format_version\": \"1.0.0\", \"api_layer\": []}", false,
         "has no \"api_layer\" object"},
        // Versions the loader refuses: it reads file format 1.0.0 only, and API major version 1.
        {WithVersions(ManifestText(library), "1.1.0", "1.0"), true,
         "has \"file_format_version\" \"1.1.0\", which the OpenXR loader does not read (it "
         "reads 1.0.0 only)"},
        {WithVersions(ManifestText(library), "1.0", "1.0"), false,
         "has \"file_format_version\" \"1.0\", which the OpenXR loader does not read"},
        {WithVersions(ManifestText(library), "2.0.0", "1.0"), true,
         "has \"file_format_version\" \"2.0.0\""},
        {WithVersions(ManifestText(library), "1.0.0", "2.0"), true,
         "has \"api_layer.api_version\" \"2.0\", which the OpenXR loader refuses (it takes "
         "major version 1)"},
        {WithVersions(ManifestText(library), "1.0.0", "0.0"), false,
         "has \"api_layer.api_version\" \"0.0\", which the OpenXR loader refuses"},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder_.Path() / "home");
        Register(c.text, c.implicit);
        const Report report = Check();
        const CheckLine line = OnlyLineOf(report, "manifest");
        EXPECT_EQ(line.verdict, Verdict::kFail) << c.text;
        EXPECT_NE(line.message.find(c.expected), std::string::npos) << line.message;
        EXPECT_TRUE(LinesOf(report, "library").empty());
        // The manifest's own failure is the one; the summary line only points at it.
        EXPECT_EQ(OnlyLineOf(report, "registered").verdict, Verdict::kInfo) << report.Text();
        EXPECT_EQ(report.Count(Verdict::kFail), 1) << report.Text();
#ifdef _WIN32
        for (const auto& [key, value] : registryValues_) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), value.c_str());
        }
        registryValues_.clear();
#endif
    }
}

TEST_F(RegistrationCheckTest, OtherLayersManifestsAreNotReported) {
    Register(ManifestText("./libother.so", "XR_APILAYER_SOMEONE_else"), true, "other.json");
    const Report report = Check();
    EXPECT_TRUE(LinesOf(report, "manifest").empty()) << report.Text();
    EXPECT_EQ(OnlyLineOf(report, "registered").verdict, Verdict::kFail);
}

TEST_F(RegistrationCheckTest, AnExplicitRegistrationWarnsUntilTheApplicationAsksForIt) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, ""), false);
    Report report = Check();
    EXPECT_TRUE(report.Passed()) << report.Text();
    CheckLine line = OnlyLineOf(report, "registered");
    EXPECT_EQ(line.verdict, Verdict::kWarn);
    EXPECT_NE(line.advice.find("XR_ENABLE_API_LAYERS=XR_APILAYER_TARVEX_tracking_override"),
              std::string::npos);

    ScopedVariable enable("XR_ENABLE_API_LAYERS", std::string("XR_APILAYER_A:") + kLayerName);
    report = Check();
    EXPECT_TRUE(LinesOf(report, "registered").empty()) << report.Text();
}

TEST_F(RegistrationCheckTest, TwoUsableRegistrationsWarn) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)), true,
             "XR_APILAYER_TARVEX_tracking_override_old.json");
    const Report report = Check();
    EXPECT_TRUE(report.Passed()) << report.Text();
    EXPECT_EQ(LinesOf(report, "manifest").size(), 2u);
    const CheckLine line = OnlyLineOf(report, "registered");
    EXPECT_EQ(line.verdict, Verdict::kWarn);
    EXPECT_NE(line.message.find("registered 2 times"), std::string::npos);
}

TEST_F(RegistrationCheckTest, TheDisableVariableTheManifestNamesFails) {
    struct Case {
        std::string manifestDisable;
        std::string setVariable;
        Verdict verdict;
    };
    const Case cases[] = {
        {kDisableVariable, kDisableVariable, Verdict::kFail},
        // A manifest may name its own variable; the loader honours that one only.
        {"TARVEX_TEST_SWITCH_OFF", "TARVEX_TEST_SWITCH_OFF", Verdict::kFail},
        {"TARVEX_TEST_SWITCH_OFF", kDisableVariable, Verdict::kWarn},
    };
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
    EXPECT_EQ(OnlyLineOf(Check(), "disable").verdict, Verdict::kOk);
    for (const Case& c : cases) {
        Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, c.manifestDisable));
        ScopedVariable set(c.setVariable, std::string("1"));
        const Report report = Check();
        const CheckLine line = OnlyLineOf(report, "disable");
        EXPECT_EQ(line.verdict, c.verdict) << line.message;
        EXPECT_EQ(line.message.rfind(c.setVariable + " is set", 0), 0u) << line.message;
        EXPECT_NE(line.advice.find(c.manifestDisable), std::string::npos) << line.advice;
        EXPECT_EQ(report.Passed(), c.verdict != Verdict::kFail);
    }
}

TEST_F(RegistrationCheckTest, TheDisableVariableCountsWithoutAnyManifest) {
    ScopedVariable set(kDisableVariable, std::string("yes"));
    const CheckLine line = OnlyLineOf(Check(), "disable");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_EQ(line.message,
              std::string(kDisableVariable) + " is set (to \"yes\"): the loader skips the layer");
}

TEST_F(RegistrationCheckTest, AnEnableVariableThatIsNotSetFails) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, kDisableVariable,
                          ", \"enable_environment\": \"TARVEX_TEST_SWITCH_ON\""));
    ScopedVariable unset("TARVEX_TEST_SWITCH_ON", std::nullopt);
    EXPECT_EQ(OnlyLineOf(Check(), "enable").verdict, Verdict::kFail);
    ScopedVariable set("TARVEX_TEST_SWITCH_ON", std::string("1"));
    const Report report = Check();
    EXPECT_TRUE(LinesOf(report, "enable").empty());
    EXPECT_TRUE(report.Passed()) << report.Text();
}

// Accepted versions other than the usual ones pass, as they do in the loader.
TEST_F(RegistrationCheckTest, VersionsTheLoaderAcceptsPass) {
    Register(WithVersions(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)), "1.0.0", "1.1"));
    const Report report = Check();
    EXPECT_EQ(OnlyLineOf(report, "manifest").verdict, Verdict::kOk) << report.Text();
    EXPECT_TRUE(report.Passed()) << report.Text();
}

// For which processes the loader loads the layer, from the manifest's own two fields.
TEST_F(RegistrationCheckTest, ActivationFollowsTheManifestsEnableAndDisableVariables) {
    struct Case {
        std::optional<std::string> enableValue;  // nullopt: not set
        std::optional<std::string> disableValue;
        bool active;
        std::string ending;
    };
    const Case cases[] = {
        {std::string("1"), std::nullopt, true, "; here it would be active"},
        {std::nullopt, std::nullopt, false,
         "; here it would not be active (TARVEX_TEST_SWITCH_ON is not set)"},
        {std::string("1"), std::string("1"), false,
         "; here it would not be active (TARVEX_TEST_SWITCH_OFF is set)"},
#ifndef _WIN32
        // The Linux loader counts a variable set to the empty text as set (Windows has no such
        // variable: setting it empty removes it).
        {std::string(""), std::nullopt, true, "; here it would be active"},
        {std::string("1"), std::string(""), false,
         "; here it would not be active (TARVEX_TEST_SWITCH_OFF is set)"},
#endif
    };
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, "TARVEX_TEST_SWITCH_OFF",
                          ", \"enable_environment\": \"TARVEX_TEST_SWITCH_ON\""));
    for (const Case& c : cases) {
        ScopedVariable enable("TARVEX_TEST_SWITCH_ON", c.enableValue);
        ScopedVariable disable("TARVEX_TEST_SWITCH_OFF", c.disableValue);
        const Report report = Check();
        const CheckLine line = OnlyLineOf(report, "activation");
        EXPECT_EQ(line.verdict, Verdict::kInfo);
        EXPECT_EQ(line.message,
                  "the layer is active only in processes that have TARVEX_TEST_SWITCH_ON set "
                  "(enable_environment) and not TARVEX_TEST_SWITCH_OFF (disable_environment)" +
                      c.ending);
        EXPECT_EQ(report.Passed(), c.active) << report.Text();
        const auto facts = nlohmann::json::parse(report.Json())["facts"]["registration"];
        EXPECT_EQ(facts["activation"][0]["enable_environment"], "TARVEX_TEST_SWITCH_ON");
        EXPECT_EQ(facts["activation"][0]["disable_environment"], "TARVEX_TEST_SWITCH_OFF");
        EXPECT_EQ(facts["activation"][0]["active_here"], c.active);
    }
}

TEST_F(RegistrationCheckTest, WithoutAnEnableVariableTheLayerIsActiveEverywhereButSwitchedOff) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
    EXPECT_EQ(OnlyLineOf(Check(), "activation").message,
              std::string("the layer is active in every OpenXR process that does not have ") +
                  kDisableVariable + " set (disable_environment); here it would be active");
    ScopedVariable disable(kDisableVariable, std::string("1"));
    const std::string message = OnlyLineOf(Check(), "activation").message;
    EXPECT_NE(
        message.find(std::string("here it would not be active (") + kDisableVariable + " is set)"),
        std::string::npos)
        << message;
}

// The loader switches only implicit layers by these variables.
TEST_F(RegistrationCheckTest, ExplicitManifestsSayNothingAboutActivation) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, ""), false);
    EXPECT_TRUE(LinesOf(Check(), "activation").empty());
}

#ifndef _WIN32
TEST_F(RegistrationCheckTest, TheSearchFollowsTheXdgFolders) {
    const Report report = Check();
    const std::vector<std::string> places = OnlyLineOf(report, "search").details;
    const std::string base = folder_.Path().string();
    const std::vector<std::string> expected = {
        "implicit: " + base + "/config/openxr/1/api_layers/implicit.d",
        "implicit: /etc/openxr/1/api_layers/implicit.d",
        "implicit: " + base + "/home/openxr/1/api_layers/implicit.d",
        "implicit: " + base + "/data/openxr/1/api_layers/implicit.d",
        "explicit: " + base + "/config/openxr/1/api_layers/explicit.d",
        "explicit: /etc/openxr/1/api_layers/explicit.d",
        "explicit: " + base + "/home/openxr/1/api_layers/explicit.d",
        "explicit: " + base + "/data/openxr/1/api_layers/explicit.d",
    };
    EXPECT_EQ(places, expected);
}

TEST_F(RegistrationCheckTest, ManifestsInEveryXdgFolderAreFound) {
    for (const char* base : {"config", "data"}) {
        const fs::path path =
            folder_.Path() / base / "openxr/1/api_layers/implicit.d" / kManifestFile;
        WriteFile(path, ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
        const Report report = Check();
        EXPECT_NE(OnlyLineOf(report, "manifest").message.find(path.string()), std::string::npos);
        fs::remove(path);
    }
}

TEST_F(RegistrationCheckTest, ApiLayerPathReplacesTheExplicitFolders) {
    Register(ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, ""), false);
    const fs::path elsewhere = folder_.Path() / "elsewhere";
    WriteFile(elsewhere / kManifestFile,
              ManifestText(JsonPath(TARVEX_LAYER_LIBRARY), kLayerName, ""));
    ScopedVariable layerPath("XR_API_LAYER_PATH", "/nonexistent:" + elsewhere.string());
    const Report report = Check();
    const CheckLine manifest = OnlyLineOf(report, "manifest");
    EXPECT_NE(manifest.message.find(elsewhere.string()), std::string::npos) << report.Text();
    EXPECT_NE(OnlyLineOf(report, "search").message.find("XR_API_LAYER_PATH"), std::string::npos);
}
#else
TEST_F(RegistrationCheckTest, ARegistryValueOtherThanZeroDisablesTheManifest) {
    const fs::path manifest = folder_.Path() / kManifestFile;
    WriteFile(manifest, ManifestText(JsonPath(TARVEX_LAYER_LIBRARY)));
    RegisterInRegistry(manifest.string(), true, 1);
    const Report report = Check();
    const CheckLine line = OnlyLineOf(report, "manifest");
    EXPECT_EQ(line.verdict, Verdict::kFail);
    EXPECT_NE(line.message.find("value 1, which disables it"), std::string::npos);
    EXPECT_NE(line.advice.find("HKCU\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit"),
              std::string::npos);
}

TEST_F(RegistrationCheckTest, TheSearchReadsBothHivesImplicitAndExplicit) {
    const std::vector<std::string> expected = {
        "implicit: HKLM\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit",
        "implicit: HKCU\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit",
        "explicit: HKLM\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Explicit",
        "explicit: HKCU\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Explicit",
    };
    EXPECT_EQ(OnlyLineOf(Check(), "search").details, expected);
}
#endif

}  // namespace
