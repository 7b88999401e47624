#include "text/po_catalogue.h"

#include <algorithm>
#include <cstdlib>

namespace quenfall::text {

namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The C escapes msgfmt accepts inside a quoted string.
std::string Unquoted(std::string_view quoted) {
    quoted = Trimmed(quoted);
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return {};
    quoted = quoted.substr(1, quoted.size() - 2);
    std::string out;
    for (size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c != '\\' || i + 1 == quoted.size()) {
            out += c;
            continue;
        }
        char e = quoted[++i];
        switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            default:
                if (e >= '0' && e <= '7') {
                    int value = 0;
                    size_t digits = 0;
                    while (digits < 3 && i < quoted.size() && quoted[i] >= '0' && quoted[i] <= '7') {
                        value = value * 8 + (quoted[i] - '0');
                        ++i;
                        ++digits;
                    }
                    --i;
                    out += static_cast<char>(value);
                } else {
                    out += e;  // \" \\ \? \'
                }
        }
    }
    return out;
}

}  // namespace

std::vector<PoMessage> ReadPoMessages(std::string_view text) {
    std::vector<PoMessage> messages;
    PoMessage current;
    // An entry ends where the next one's comments or keywords begin after its msgstr.
    bool hasText = false;
    std::string* target = nullptr;
    auto finishIfDone = [&] {
        if (!hasText) return;
        messages.push_back(std::move(current));
        current = PoMessage{};
        hasText = false;
        target = nullptr;
    };
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty()) continue;
        if (line.front() == '#') {
            finishIfDone();
            // Obsolete entries ("#~") are history, not messages; flags belong to the next one.
            if (StartsWith(line, "#,") && line.find("fuzzy") != std::string_view::npos) current.Fuzzy = true;
            target = nullptr;
            continue;
        }
        if (line.front() == '"') {
            if (target != nullptr) *target += Unquoted(line);
            continue;
        }
        size_t space = line.find(' ');
        std::string_view keyword = line.substr(0, space);
        std::string_view rest = space == std::string_view::npos ? std::string_view{} : line.substr(space);
        if (keyword == "msgctxt") {
            finishIfDone();
            current.Context = Unquoted(rest);
            target = &current.Context;
        } else if (keyword == "msgid") {
            finishIfDone();
            current.Id = Unquoted(rest);
            target = &current.Id;
        } else if (keyword == "msgid_plural") {
            current.IdPlural = Unquoted(rest);
            target = &current.IdPlural;
        } else if (keyword == "msgstr") {
            current.Forms.assign(1, Unquoted(rest));
            target = &current.Forms[0];
            hasText = true;
        } else if (StartsWith(keyword, "msgstr[")) {
            size_t index = static_cast<size_t>(std::max(0, std::atoi(std::string(keyword.substr(7)).c_str())));
            if (index < 16) {
                if (current.Forms.size() <= index) current.Forms.resize(index + 1);
                current.Forms[index] = Unquoted(rest);
                target = &current.Forms[index];
                hasText = true;
            }
        }
    }
    finishIfDone();
    return messages;
}

PoCatalogue ParsePo(std::string_view text) {
    PoCatalogue catalogue;
    for (PoMessage& message : ReadPoMessages(text)) {
        if (message.Id.empty() && message.Context.empty()) {
            std::string_view header = message.Forms.empty() ? std::string_view{} : message.Forms[0];
            size_t at = header.find("Plural-Forms:");
            if (at != std::string_view::npos) {
                std::string_view value = header.substr(at + 13);
                value = Trimmed(value.substr(0, value.find('\n')));
                catalogue.PluralForms = std::string(value);
            }
            continue;
        }
        bool complete = !message.Forms.empty() &&
                        std::none_of(message.Forms.begin(), message.Forms.end(),
                                     [](const std::string& form) { return form.empty(); });
        if (message.Fuzzy || !complete) continue;
        std::string key = message.Context.empty() ? message.Id : message.Context + '\x04' + message.Id;
        catalogue.Messages[std::move(key)] = std::move(message.Forms);
    }
    return catalogue;
}

std::vector<std::string> FieldNames(std::string_view text) {
    std::vector<std::string> names;
    for (size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
        size_t close = text.find('}', open + 1);
        if (close == std::string_view::npos) break;
        std::string_view name = text.substr(open + 1, close - open - 1);
        bool identifier = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        });
        if (identifier && std::find(names.begin(), names.end(), name) == names.end()) {
            names.emplace_back(name);
        }
    }
    return names;
}

}  // namespace quenfall::text
