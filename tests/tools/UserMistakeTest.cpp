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
#include "tools/check/ConfigVariable.h"
#include "tools/check/ConfigurationCheck.h"
#include "tools/check/RegistrationCheck.h"
#include "tools/check/RepairAdvice.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kManifestFile = "XR_APILAYER_TARVEX_tracking_override.json";

// The installed manifest's text: the layer's library, loaded only where TARVEX_OPENXR_CONFIG is
// set.
std::string ManifestText(const std::string& library) {
    return std::string("{\"file_format_version\": \"1.0.0\", \"api_layer\": {\"name\": \"") +
           kLayerName + "\", \"library_path\": \"" + library +
           "\", \"api_version\": \"1.0\", \"implementation_version\": \"1\", "
           "\"enable_environment\": \"TARVEX_OPENXR_CONFIG\", \"disable_environment\": \"" +
           kDisableVariable + "\"}}";
}

struct ExpectedLine {
    Verdict verdict;
    std::string check;
    std::string message;  // "{...}" stand for the folders of the run, see Fill
    std::string advice;
};

// Where a row registers the layer: the user's own data folder as the install script does, or a
// system-wide one as the packages do, naming a library that is not there.
enum class Registration { kNone, kGood, kUserLibraryMissing, kSystemLibraryMissing };

// One mistake a user makes and every warning and failure tarvex-check then gives, in order.
struct Row {
    std::string mistake;
    std::optional<std::string> variable;  // TARVEX_OPENXR_CONFIG; nullopt: not set
    std::string fileText;                 // the configuration file in {config}
    Registration registration;
    std::vector<ExpectedLine> lines;
};

class UserMistakeTest : public testing::Test {
protected:
    ~UserMistakeTest() override {
#ifdef _WIN32
        for (const std::string& manifest : registered_) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kImplicitKey, manifest.c_str());
        }
#endif
    }

    // The folders of the run in place of {home}, {config}, {sep}, {user} and {system}.
    std::string Fill(std::string text) const {
        const std::pair<std::string, std::string> names[] = {
            {"{home}", Home().string()},
            {"{config}", ConfigFolder().string()},
            {"{sep}", std::string(1, static_cast<char>(fs::path::preferred_separator))},
            {"{user}", ManifestFolder(Registration::kUserLibraryMissing).string()},
            {"{system}", ManifestFolder(Registration::kSystemLibraryMissing).string()},
            {"{prefix}", (folder_.Path() / "usr").string()},
        };
        for (const auto& [name, value] : names) {
            for (size_t at = text.find(name); at != std::string::npos;
                 at = text.find(name, at + value.size())) {
                text.replace(at, name.size(), value);
            }
        }
        return text;
    }

    fs::path Home() const {
        return folder_.Path() / "alice";
    }
    fs::path ConfigFolder() const {
        return Home() / ".config" / "tarvex";
    }

    fs::path ManifestFolder(Registration registration) const {
        const fs::path base = registration == Registration::kSystemLibraryMissing
                                  ? folder_.Path() / "usr" / "share"
                                  : Home() / ".local" / "share";
        return base / "openxr" / "1" / "api_layers" / "implicit.d";
    }

    void Register(Registration registration) {
        if (registration == Registration::kNone) {
            return;
        }
        const fs::path manifest = ManifestFolder(registration) / kManifestFile;
        WriteFile(manifest, ManifestText(registration == Registration::kGood
                                             ? fs::path(TARVEX_LAYER_LIBRARY).generic_string()
                                             : "./gone/libtarvex_tracking.so"));
#ifdef _WIN32
        const DWORD enabled = 0;
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kImplicitKey, manifest.string().c_str(),
                                  REG_DWORD, &enabled, sizeof enabled),
                  ERROR_SUCCESS);
        registered_.push_back(manifest.string());
#endif
    }

    Report Check() {
        Report report;
        CheckRegistration(report);
        CheckConfiguration(report);
        return report;
    }

#ifdef _WIN32
    static constexpr const char* kImplicitKey = "SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit";
    std::vector<std::string> registered_;
#endif
    TemporaryFolder folder_;
    ScopedVariable home_{"HOME", Home().string()};
    ScopedVariable profile_{"USERPROFILE", Home().string()};
    ScopedVariable configDirs_{"XDG_CONFIG_DIRS", (folder_.Path() / "etc").string()};
    ScopedVariable dataHome_{"XDG_DATA_HOME", (Home() / ".local" / "share").string()};
    ScopedVariable dataDirs_{"XDG_DATA_DIRS", (folder_.Path() / "usr" / "share").string()};
    ScopedVariable layerPath_{"XR_API_LAYER_PATH", std::nullopt};
    ScopedVariable enable_{"XR_ENABLE_API_LAYERS", std::nullopt};
    ScopedVariable disable_{kDisableVariable, std::nullopt};
};

std::string Describe(const CheckLine& line) {
    return std::string(VerdictTag(line.verdict)) + " " + line.check + ": " + line.message +
           "\n       what to do: " + line.advice;
}

// Each mistake gives one failure or warning that names the cause and the mend, never advice that
// would make things worse (taking enable_environment out of the manifest puts the layer into
// every application; the install script beside a package registers the layer twice).
TEST_F(UserMistakeTest, EachMistakeGivesOneLineWithItsCauseAndTheRightAdvice) {
    const std::string settings = SettingsText();
    const std::string fileInItself = "{config}{sep}TarvexOpenXRConfig.ini";
    const std::string scriptAdvice =
#ifdef _WIN32
        "run install-layer.ps1 again from the layer's folder (unpack the ZIP there again first "
        "if its files are gone)";
#else
        "run share/tarvex_tracking/install-layer.sh again from the layer's folder (unpack the "
        "tarball there again first if its files are gone)";
#endif
    const std::string libraryAdvice =
        "; or correct library_path (a relative path counts from the manifest's folder)";
    const std::string missing =
        "{sep}gone{sep}libtarvex_tracking.so not found (library_path "
        "\"./gone/libtarvex_tracking.so\" in ";
    const Row rows[] = {
        {"nothing registered",
         "{config}",
         settings,
         Registration::kNone,
         {{Verdict::kFail, "registered",
           "no manifest of XR_APILAYER_TARVEX_tracking_override in any of these places",
#ifdef _WIN32
           "run install-layer.ps1 from the layer's folder (powershell -ExecutionPolicy Bypass "
           "-File .\\install-layer.ps1), or add the manifest's full path as a DWORD value 0 under "
           "HKLM or HKCU\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit"
#else
           "install the Debian package (sudo apt install ./tarvex-tracking_*.deb), or unpack the "
           "tarball into /usr/local or run share/tarvex_tracking/install-layer.sh from where you "
           "unpacked it"
#endif
         }}},
        {"TARVEX_OPENXR_CONFIG not set where the application starts",
         std::nullopt,
         settings,
         Registration::kGood,
         {{Verdict::kFail, "variable",
           "TARVEX_OPENXR_CONFIG is not set: the loader leaves the layer out of applications "
           "started without it, and the layer would read no settings",
           "set TARVEX_OPENXR_CONFIG to the folder that holds TarvexOpenXRConfig.ini in the "
           "environment the application starts from"}}},
        {"TARVEX_OPENXR_CONFIG names the file instead of its folder",
         fileInItself,
         settings,
         Registration::kGood,
         {{Verdict::kFail, "variable",
           "TARVEX_OPENXR_CONFIG names the file " + fileInItself +
               " itself, not its folder: the layer adds TarvexOpenXRConfig.ini and reads " +
               fileInItself + "{sep}TarvexOpenXRConfig.ini, which is not there",
           "set TARVEX_OPENXR_CONFIG={config} where the application starts: the variable must "
           "name the folder that holds a file called TarvexOpenXRConfig.ini, not a file"}}},
        {"TARVEX_OPENXR_CONFIG='~/.config/tarvex', the ~ quoted",
         "~/.config/tarvex",
         settings,
         Registration::kGood,
         {{Verdict::kFail, "variable",
           "TARVEX_OPENXR_CONFIG is \"~/.config/tarvex\" with a literal \"~\": the shell did not "
           "expand it (a \"~\" within quotes stays as it is), so the layer reads "
           "~/.config/tarvex{sep}TarvexOpenXRConfig.ini, which is not there",
           "set TARVEX_OPENXR_CONFIG={config} where the application starts (the full path, or "
           "the \"~\" outside quotes)"}}},
        {"TARVEX_OPENXR_CONFIG='~/.config/tarvex/TarvexOpenXRConfig.ini', quoted and the file",
         "~/.config/tarvex/TarvexOpenXRConfig.ini",
         settings,
         Registration::kGood,
         {{Verdict::kFail, "variable",
           "TARVEX_OPENXR_CONFIG is \"~/.config/tarvex/TarvexOpenXRConfig.ini\" with a literal "
           "\"~\": the shell did not expand it (a \"~\" within quotes stays as it is), so the "
           "layer reads ~/.config/tarvex/TarvexOpenXRConfig.ini{sep}TarvexOpenXRConfig.ini, "
           "which is not there",
           "set TARVEX_OPENXR_CONFIG={config} where the application starts (the full path, or "
           "the \"~\" outside quotes, and the folder without the file name): the variable must "
           "name the folder that holds a file called TarvexOpenXRConfig.ini, not a file"}}},
#ifndef _WIN32  // Windows drops a variable set to the empty text
        {"TARVEX_OPENXR_CONFIG set to nothing",
         "",
         settings,
         Registration::kGood,
         {{Verdict::kFail, "variable",
           "TARVEX_OPENXR_CONFIG is set but empty: the layer reads /TarvexOpenXRConfig.ini, which "
           "is not there",
           "set TARVEX_OPENXR_CONFIG to the folder that holds TarvexOpenXRConfig.ini (for example "
           "{config}) where the application starts"}}},
#endif
        {"a misspelt setting: ipdd",
         "{config}",
         settings + "ipdd = 64\n",
         Registration::kGood,
         {{Verdict::kWarn, "unknown_setting",
           "setting key 'ipdd' in [SETTINGS] is unknown and ignored (did you mean 'ipd'?)",
           "remove the key, and give its value to ipd if that is the setting you mean"}}},
        {"a setting no one has heard of",
         "{config}",
         settings + "colour = blue\n",
         Registration::kGood,
         {{Verdict::kWarn, "unknown_setting",
           "setting key 'colour' in [SETTINGS] is unknown and ignored",
           "remove the key; the settings are connectiontype, localaddress, serveraddress, "
           "hmdrbid, ipd, overrider, controllerrrbid, overridel, controllerlrbid"}}},
        {"a misspelt option: maxpredictionsms",
         "{config}",
         settings + "[OPTIONS]\nmaxpredictionsms = 30\n",
         Registration::kGood,
         {{Verdict::kWarn, "unknown_option",
           "option key 'maxpredictionsms' in [OPTIONS] is unknown and ignored (did you mean "
           "'maxpredictionms'?)",
           "write maxpredictionms if that is the option you mean"}}},
        {"the library of a user registration went missing",
         "{config}",
         settings,
         Registration::kUserLibraryMissing,
         {{Verdict::kFail, "library",
           "library {user}" + missing + "{user}{sep}" + kManifestFile + ")",
           scriptAdvice + libraryAdvice}}},
#ifndef _WIN32  // on Windows every registration is the install script's
        {"the library of a system-wide registration went missing",
         "{config}",
         settings,
         Registration::kSystemLibraryMissing,
         {{Verdict::kFail, "library",
           "library {system}" + missing + "{system}{sep}" + kManifestFile + ")",
           "unpack the tarball again: tar -xzf tarvex_tracking-*.tar.gz -C {prefix}; not "
           "install-layer.sh, which would register the layer a second time"}}},
#endif
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mistake);
        fs::remove_all(Home());
        fs::remove_all(folder_.Path() / "usr");
        WriteFile(ConfigFolder() / "TarvexOpenXRConfig.ini", row.fileText);
        Register(row.registration);
        const std::optional<std::string> variable =
            row.variable ? std::optional<std::string>(Fill(*row.variable)) : std::nullopt;
        ScopedVariable config("TARVEX_OPENXR_CONFIG", variable);
        const Report report = Check();

        std::vector<CheckLine> problems;
        for (const CheckLine& line : report.Lines()) {
            if (line.verdict == Verdict::kWarn || line.verdict == Verdict::kFail) {
                problems.push_back(line);
            }
            EXPECT_EQ(line.advice.find("enable_environment"), std::string::npos) << Describe(line);
        }
        std::string got;
        for (const CheckLine& line : problems) {
            got += Describe(line) + "\n";
        }
        std::string expected;
        for (const ExpectedLine& line : row.lines) {
            expected +=
                Describe(
                    {"", line.check, line.verdict, Fill(line.message), Fill(line.advice), {}}) +
                "\n";
        }
        EXPECT_EQ(got, expected);
#ifdef _WIN32
        for (const std::string& manifest : registered_) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kImplicitKey, manifest.c_str());
        }
        registered_.clear();
#endif
    }
}

// Which registration a missing file belongs to decides the mend: the install script writes only
// the user's own registration; a package's files come back by installing the package again.
TEST(RepairAdviceTest, APackagesRegistrationIsMendedByThePackage) {
#ifdef _WIN32
    EXPECT_FALSE(PackageRegistration("C:\\Program Files\\TarvexOpenXR\\x.json", ""));
    EXPECT_EQ(RepairAdvice("C:\\Program Files\\TarvexOpenXR\\x.json", ""),
              "run install-layer.ps1 again from the layer's folder (unpack the ZIP there again "
              "first if its files are gone)");
#else
    struct Case {
        std::string manifest;
        std::string dataHome;
        bool package;
        std::string advice;
    };
    const std::string script =
        "run share/tarvex_tracking/install-layer.sh again from the layer's folder (unpack the "
        "tarball there again first if its files are gone)";
    const std::string noScript =
        "; not install-layer.sh, which would register the layer a second time";
    // apt cannot download a package installed from a local file: only the file brings it back.
    const std::string apt =
        "reinstall the package from its file, in the folder that holds it: sudo apt install "
        "--reinstall ./tarvex-tracking_*.deb" +
        noScript;
    const std::string home = "/home/alice/.local/share";
    const std::string implicit = "/share/openxr/1/api_layers/implicit.d/x.json";
    const Case cases[] = {
        {"/home/alice/.local" + implicit, home, false, script},
        {"/home/alice/.local" + implicit, home + "/", false, script},
        {"/home/alice/data/openxr/1/api_layers/implicit.d/x.json", "/home/alice/data", false,
         script},
        {"/usr" + implicit, home, true, apt},
        {"/usr" + implicit, "", true, apt},
        {"/usr/local" + implicit, home, true,
         "unpack the tarball again: sudo tar -xzf tarvex_tracking-*.tar.gz -C /usr/local" +
             noScript},
        {"/opt/tarvex" + implicit, home, true,
         "unpack the tarball again: sudo tar -xzf tarvex_tracking-*.tar.gz -C /opt/tarvex" +
             noScript},
        // Unpacked by the user into a folder of their own and registered there by the loader's
        // search of XDG_DATA_DIRS: theirs to unpack again, without sudo.
        {"/home/alice/opt/tarvex" + implicit, home, true,
         "unpack the tarball again: tar -xzf tarvex_tracking-*.tar.gz -C /home/alice/opt/tarvex" +
             noScript},
        // A folder that merely begins like the user's data folder is not inside it.
        {"/home/alice/.local/share2/openxr/1/api_layers/implicit.d/x.json", home, true,
         "reinstall what put this manifest there, or correct it" + noScript},
        {"/etc/xdg/openxr/1/api_layers/implicit.d/x.json", home, true,
         "reinstall what put this manifest there, or correct it" + noScript},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PackageRegistration(c.manifest, c.dataHome), c.package) << c.manifest;
        EXPECT_EQ(RepairAdvice(c.manifest, c.dataHome), c.advice)
            << c.manifest << " " << c.dataHome;
    }
#endif
}

// Without a home folder in the environment no path can be offered in its place: the advice says
// what to write instead of making one up.
TEST(ConfigVariableTest, WithoutAHomeFolderTheAdviceOffersNoPath) {
    const std::string missing = (fs::temp_directory_path() / "tarvex-no-such-folder").string();
    const auto empty = FindConfigVariableMistake("", missing, "");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->advice,
              "set TARVEX_OPENXR_CONFIG to the folder that holds TarvexOpenXRConfig.ini where the "
              "application starts");
    const auto tilde = FindConfigVariableMistake("~/.config/tarvex", missing, "");
    ASSERT_TRUE(tilde);
    EXPECT_EQ(tilde->advice, "write the full path of your home folder in place of the \"~\"");
    // A file that is there leaves nothing to say, whatever the text looks like.
    TemporaryFolder folder;
    const fs::path file = folder.Path() / "TarvexOpenXRConfig.ini";
    WriteFile(file, SettingsText());
    EXPECT_FALSE(FindConfigVariableMistake("", file.string(), ""));
    EXPECT_FALSE(FindConfigVariableMistake("~", file.string(), ""));
}

// A variable that names a file instead of its folder: the advice states the rule (a folder that
// holds a file of that one name), and a file of any other name must be renamed as well.
TEST(ConfigVariableTest, NamingAFileIsAnsweredWithTheFolderRule) {
    TemporaryFolder folder;
    WriteFile(folder.Path() / "TarvexOpenXRConfig.ini", SettingsText());
    WriteFile(folder.Path() / "tracking.ini", SettingsText());
    const std::string rule =
        " where the application starts: the variable must name the folder that holds a file "
        "called TarvexOpenXRConfig.ini, not a file";
    const std::string rename = " to TarvexOpenXRConfig.ini, the only name the layer reads";
    struct Case {
        fs::path value;
        fs::path folder;
        std::string rest;
    };
    const Case cases[] = {
        {folder.Path() / "TarvexOpenXRConfig.ini", folder.Path(), ""},
        // Named as the layer names it, in a folder that does not hold it: the same rule.
        {folder.Path() / "later" / "TarvexOpenXRConfig.ini", folder.Path() / "later", ""},
        {folder.Path() / "tracking.ini", folder.Path(), "; rename tracking.ini" + rename},
#ifndef _WIN32  // Windows opens the file in any case
        {folder.Path() / "tarvexopenxrconfig.ini", folder.Path(),
         "; rename tarvexopenxrconfig.ini" + rename},
#endif
    };
    for (const Case& c : cases) {
        const std::string value = c.value.string();
        const auto mistake = FindConfigVariableMistake(
            value, (c.value / "TarvexOpenXRConfig.ini").string(), folder.Path().string());
        ASSERT_TRUE(mistake) << value;
        EXPECT_EQ(mistake->kind, "names_file") << value;
        EXPECT_EQ(mistake->advice, "set TARVEX_OPENXR_CONFIG=" + c.folder.string() + rule + c.rest)
            << value;
    }
}

}  // namespace
