#include "tools/check/ConfigVariable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tracking/TrackingSettings.h"

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool NamesTheFile(const std::string& value) {
    std::error_code error;
    return Lower(fs::path(value).filename().string()) == Lower(kConfigFileName) ||
           fs::is_regular_file(fs::path(value), error);
}

// "~" or "~/..." (or "~\..."): what a shell expands to the home folder, but not within quotes.
bool StartsWithTilde(const std::string& value) {
    return !value.empty() && value[0] == '~' &&
           (value.size() == 1 || value[1] == '/' || value[1] == '\\');
}

const std::string kVariable = kConfigVariable;

std::string SetTo(const std::string& folder) {
    return "set " + kVariable + "=" + folder + " where the application starts";
}

// The layer opens its file by this one name, which Windows matches in any case.
bool IsTheConfigFileName(const std::string& name) {
#ifdef _WIN32
    return Lower(name) == Lower(kConfigFileName);
#else
    return name == kConfigFileName;
#endif
}

// The rule the variable breaks when it names a file; a file of another name must be renamed too.
std::string FolderRule(const fs::path& file) {
    const std::string name = file.filename().string();
    std::string rule = ": the variable must name the folder that holds a file called " +
                       std::string(kConfigFileName) + ", not a file";
    if (!name.empty() && !IsTheConfigFileName(name)) {
        rule += "; rename " + name + " to " + kConfigFileName + ", the only name the layer reads";
    }
    return rule;
}

}  // namespace

std::optional<ConfigVariableMistake> FindConfigVariableMistake(const std::string& value,
                                                               const std::string& path,
                                                               const std::string& home) {
    std::error_code error;
    if (fs::exists(fs::path(path), error)) {
        return std::nullopt;
    }
    const std::string example =
        home.empty() ? std::string()
                     : " (for example " + (fs::path(home) / ".config" / "tarvex").string() + ")";
    if (value.empty()) {
        return ConfigVariableMistake{
            "empty",
            kVariable + " is set but empty: the layer reads " + path + ", which is not there",
            "set " + kVariable + " to the folder that holds " + kConfigFileName + example +
                " where the application starts"};
    }
    const bool namesTheFile = NamesTheFile(value);
    if (StartsWithTilde(value)) {
        const std::string rest = value.size() > 2 ? value.substr(2) : std::string();
        const fs::path expanded =
            rest.empty() ? fs::path(home) : fs::path(home) / fs::path(rest).make_preferred();
        const std::string folder = (namesTheFile ? expanded.parent_path() : expanded).string();
        return ConfigVariableMistake{
            "unexpanded_tilde",
            kVariable + " is \"" + value + "\" with a literal \"~\": the shell did not expand it " +
                "(a \"~\" within quotes stays as it is), so the layer reads " + path +
                ", which is not there",
            home.empty() ? "write the full path of your home folder in place of the \"~\""
                         : SetTo(folder) + " (the full path, or the \"~\" outside quotes" +
                               (namesTheFile ? ", and the folder without the file name)" +
                                                   FolderRule(expanded)
                                             : ")")};
    }
    if (namesTheFile) {
        const std::string folder = fs::absolute(fs::path(value), error).parent_path().string();
        return ConfigVariableMistake{
            "names_file",
            kVariable + " names the file " + value + " itself, not its folder: the layer adds " +
                kConfigFileName + " and reads " + path + ", which is not there",
            SetTo(folder) + FolderRule(fs::path(value))};
    }
    return std::nullopt;
}

std::string HomeFolder() {
#ifdef _WIN32
    const char* names[] = {"USERPROFILE", "HOME"};
#else
    const char* names[] = {"HOME"};
#endif
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}
