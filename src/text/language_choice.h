#pragma once
// Which catalogue the user's settings ask for.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::text {

// The languages a POSIX environment asks for, best first, as gettext reads them: none when
// the messages locale (LC_ALL, else LC_MESSAGES, else LANG) is unset, "C" or "POSIX" (English);
// otherwise LANGUAGE's colon-separated list, then that locale.
std::vector<std::string> LanguagesFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& variable);

// The same, read from this process's environment.
std::vector<std::string> LanguagesFromProcessEnvironment();

// The catalogue to use: the override (QUENFALL_LANGUAGE) when it is set, else the first of the
// system's preferred languages that has a catalogue, or that is English. A name is matched
// whatever its encoding, modifier or separator ("de_DE.UTF-8", "de-AT", "pt-BR",
// "sr@latin"): first whole ("pt_BR"), then by its language alone ("pt" finds "pt_BR").
// Chinese is matched only for Simplified Chinese ("zh", "zh_CN", "zh_SG", "zh-Hans-…").
// "" means English.
std::string ChooseLanguage(const std::optional<std::string>& override,
                           std::span<const std::string> preferred,
                           std::span<const std::string_view> available);

}  // namespace quenfall::text
