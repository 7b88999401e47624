#include "window/window_texts.h"

#include "window/shop_texts.h"

namespace quenfall::window {

std::u16string ApplicationTitle(std::u16string_view executableFileName,
                                const std::function<std::u16string(std::u16string_view)>& toLower) {
    std::u16string_view title = executableFileName.substr(0, executableFileName.find(u'.'));
    if (title.size() <= 1) return std::u16string(title);
    return std::u16string(title.substr(0, 1)) + toLower(title.substr(1));
}

std::u16string DefaultErrorText(std::u16string_view message) {
    std::u16string shown(message);
    if (!shown.empty() && shown.back() > u'.') shown += u'.';
    return shown;
}

std::u16string Utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not characters.
        static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (code < Smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

std::string Utf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::u16string PackageFilter() { return ShownText(PackageFilterDescription) + u"|" + std::u16string(PackageFilterPatterns); }

std::u16string RecordFilter() { return ShownText(RecordFilterDescription) + u"|" + std::u16string(RecordFilterPatterns); }

std::u16string ShownText(std::string_view english) { return english.empty() ? std::u16string() : Utf16(text::Tr(english)); }

std::u16string ModelChangeQuestion(const ModelChange& change) {
    const std::string question =
        change.Location.empty()
            ? text::Tr("A package for another model can leave the radio unusable. Upgrade it all the same?")
            // Translators: {location} is the USB port the radio is plugged into.
            : text::Fill(text::Tr("A package for another model can leave the radio (at {location}) unusable. "
                                  "Upgrade it all the same?"),
                         {{"location", change.Location}});
    return Utf16(ModelChangeFacts(change)) + u"\n\n" + Utf16(question);
}

}  // namespace quenfall::window
