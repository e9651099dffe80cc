#include "tools/check/SettingTexts.h"

#include <cmath>
#include <locale>
#include <sstream>

#include "ini/IniFile.h"

namespace {

// Floats as the layer prints them: the stream's default format.
std::string FloatText(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// What is left of text after the layer's number extraction: the same stream, locale and type.
template <typename T>
std::string TextAfterNumber(const std::string& text) {
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    T number{};
    stream >> number;
    if (stream.fail() || stream.eof()) {
        return {};
    }
    return text.substr(static_cast<size_t>(stream.tellg()));
}

std::string LeadingBlanksRemoved(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\v\f\r\n");
    return start == std::string::npos ? std::string() : text.substr(start);
}

bool HashAfterValue(const std::string& rest) {
    return !rest.empty() && rest.front() == '#';
}

constexpr const char* kHashAdvice =
    "put the comment on a line of its own, or after \" ;\" (a blank, then a semicolon)";

SettingTextFinding NumberFinding(const std::string& key, const std::string& text,
                                 const std::string& readAs, bool wholeNumber) {
    const std::string rest =
        wholeNumber ? TextAfterNumber<int32_t>(text) : TextAfterNumber<float>(text);
    const std::string written = key + " = " + text;
    const std::string trimmed = LeadingBlanksRemoved(rest);
    if (HashAfterValue(trimmed)) {
        return {"setting_text", key, text,
                "\"" + written + "\" is read as " + readAs +
                    ": \"#\" starts no comment after a value (only \" ;\" does)",
                kHashAdvice};
    }
    if (wholeNumber && rest.front() == '.') {
        return {"setting_text", key, text,
                "\"" + written + "\" is read as " + readAs + ": " + key +
                    " takes whole numbers, the layer drops \"" + rest + "\"",
                "write a whole number for " + key};
    }
    return {"setting_text", key, text,
            "\"" + written + "\" is read as " + readAs + ": the layer ignores \"" + rest +
                "\" after the number",
            key == "ipd" ? std::string("write the number alone, in millimetres")
                         : "write the number alone"};
}

}  // namespace

std::vector<SettingTextFinding> CompareSettingTexts(const IniFile& ini,
                                                    const TrackingSettings& settings) {
    std::vector<SettingTextFinding> findings;
    const auto raw = [&ini](const char* key) {
        return ini.get<std::string>(kSettingsSection, key);
    };

    // The integer settings with the value read from the file (connectiontype before the layer
    // turns it into a connection mode).
    const std::pair<const char*, int32_t> integers[] = {
        {"connectiontype", ini.get<int32_t>(kSettingsSection, "connectiontype")},
        {"hmdrbid", settings.hmdRigidBodyId},
        {"controllerrrbid", settings.rightControllerRigidBodyId},
        {"controllerlrbid", settings.leftControllerRigidBodyId},
    };
    for (const auto& [key, value] : integers) {
        const std::string text = raw(key);
        if (!TextAfterNumber<int32_t>(text).empty()) {
            findings.push_back(NumberFinding(key, text, std::to_string(value), true));
        }
    }
    const std::string ipdText = raw("ipd");
    if (!TextAfterNumber<float>(ipdText).empty()) {
        findings.push_back(NumberFinding("ipd", ipdText, FloatText(settings.ipd) + " mm", false));
    }
    for (const char* key : {"localaddress", "serveraddress"}) {
        const std::string text = raw(key);
        if (text.find('#') != std::string::npos) {
            findings.push_back({"setting_text", key, text,
                                std::string("\"") + key + " = " + text +
                                    "\" is taken whole, \"#\" and all: \"#\" starts no comment "
                                    "after a value (only \" ;\" does)",
                                kHashAdvice});
        }
    }

    const float ipd = settings.ipd;
    if (ipd < 0.0f) {
        findings.push_back(
            {"ipd_range", "ipd", ipdText,
             "ipd " + FloatText(ipd) + " mm is negative: the left and right eye views swap places",
             "write the eye distance without a sign"});
    }
    const float distance = std::fabs(ipd);
    if (distance < kMinimumIpdMm || distance > kMaximumIpdMm) {
        const bool metres =
            distance >= kMinimumIpdMm / 1000.0f && distance <= kMaximumIpdMm / 1000.0f;
        findings.push_back(
            {"ipd_range", "ipd", ipdText,
             "ipd " + FloatText(ipd) + " mm is outside the human range of " +
                 FloatText(kMinimumIpdMm) + " to " + FloatText(kMaximumIpdMm) + " mm",
             metres ? "ipd is in millimetres: write " + FloatText(distance * 1000.0f) +
                          " rather than metres"
                    : std::string("measure the wearer's eye distance and write it in "
                                  "millimetres (most adults: 54 to 74)")});
    }
    return findings;
}
