#include <windows.h>

#include "platform/platform.h"

namespace quenfall {

namespace {

std::string Narrow(const wchar_t* wide) {
    std::string out;
    for (; *wide != L'\0'; ++wide) out += *wide < 0x80 ? static_cast<char>(*wide) : '?';
    return out;
}

}  // namespace

// The user's UI languages, best first, as locale names ("de-DE"). The user's language is
// not the system's: a shop's English Windows may be set up for a German-speaking user.
std::vector<std::string> PreferredLanguages() {
    std::vector<std::string> languages;
    ULONG count = 0;
    ULONG size = 0;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
        std::wstring names(size, L'\0');
        if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) {
            for (const wchar_t* name = names.c_str(); *name != L'\0'; name += wcslen(name) + 1) {
                languages.push_back(Narrow(name));
            }
        }
    }
    if (languages.empty()) {
        wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
        if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                             LOCALE_NAME_MAX_LENGTH, 0) > 0) {
            languages.push_back(Narrow(name));
        }
    }
    return languages;
}

}  // namespace quenfall
