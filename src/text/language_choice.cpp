#include "text/language_choice.h"

#include <algorithm>
#include <cstdlib>

namespace quenfall::text {

namespace {

bool IsC(std::string_view name) {
    return name.empty() || name == "C" || name == "POSIX" || name.substr(0, 2) == "C.";
}

bool IsEnglishOrC(std::string_view name) {
    return IsC(name) || name == "en" || name.substr(0, 3) == "en_" || name.substr(0, 3) == "en-" ||
           name.substr(0, 3) == "en.";
}

// "de_DE.UTF-8@euro" -> "de_DE"; "zh-Hans-CN" -> "zh_Hans_CN".
std::string Normalised(std::string_view name) {
    name = name.substr(0, name.find_first_of(".@"));
    std::string out(name);
    std::replace(out.begin(), out.end(), '-', '_');
    return out;
}

enum class Match { None, English, Found };

Match Find(std::string_view name, std::span<const std::string_view> available, std::string& found) {
    if (IsEnglishOrC(name)) return Match::English;
    const std::string wanted = Normalised(name);
    const std::string language = wanted.substr(0, wanted.find('_'));
    for (std::string_view code : available) {
        if (code == wanted) {
            found = std::string(code);
            return Match::Found;
        }
    }
    if (language == "zh") {
        const bool simplified = wanted == "zh" || wanted.find("Hans") != std::string::npos ||
                                wanted == "zh_CN" || wanted == "zh_SG";
        if (simplified && std::find(available.begin(), available.end(), "zh_CN") != available.end()) {
            found = "zh_CN";
            return Match::Found;
        }
        return Match::None;
    }
    for (std::string_view code : available) {
        if (code.substr(0, code.find('_')) == language) {
            found = std::string(code);
            return Match::Found;
        }
    }
    return Match::None;
}

}  // namespace

std::vector<std::string> LanguagesFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& variable) {
    std::optional<std::string> locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = variable(name);
        if (locale && !locale->empty()) break;
        locale.reset();
    }
    if (!locale || IsC(*locale)) return {};
    std::vector<std::string> languages;
    if (auto list = variable("LANGUAGE")) {
        std::string_view rest = *list;
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            std::string_view one = rest.substr(0, colon);
            if (!one.empty()) languages.emplace_back(one);
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        }
    }
    languages.push_back(*locale);
    return languages;
}

std::vector<std::string> LanguagesFromProcessEnvironment() {
    return LanguagesFromEnvironment([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value == nullptr ? std::nullopt : std::optional<std::string>(value);
    });
}

std::string ChooseLanguage(const std::optional<std::string>& override,
                           std::span<const std::string> preferred,
                           std::span<const std::string_view> available) {
    std::string found;
    if (override && !override->empty()) {
        return Find(*override, available, found) == Match::Found ? found : std::string{};
    }
    for (const std::string& name : preferred) {
        switch (Find(name, available, found)) {
            case Match::Found: return found;
            case Match::English: return {};
            case Match::None: break;
        }
    }
    return {};
}

}  // namespace quenfall::text
