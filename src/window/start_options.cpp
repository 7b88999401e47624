#include "window/start_options.h"

#include <algorithm>

#include "protocol/key_tables.h"
#include "window/window_texts.h"

namespace quenfall::window {

namespace {

// A count after --emulate: decimal digits only, 1..MaxEmulatedRadios. A larger number is
// an error; anything else is the next word of its own (a package named "7.bin" or "0" stays
// a package).
std::optional<std::size_t> RadioCount(std::u16string_view word) {
    if (word.empty()) return std::nullopt;
    std::size_t n = 0;
    for (char16_t c : word) {
        if (c < u'0' || c > u'9') return std::nullopt;
        n = std::min<std::size_t>(n * 10 + static_cast<std::size_t>(c - u'0'), MaxEmulatedRadios + 1);
    }
    if (n < 1) return std::nullopt;
    return n;
}

std::string EmulateRangeError(std::u16string_view word) {
    return text::Fill(text::Tr("--emulate takes 1 to {most} radios, not \"{word}\""),
                      {{"most", std::to_string(MaxEmulatedRadios)}, {"word", Utf8(word)}});
}

}  // namespace

std::optional<ChosenFile> StartPackage(const StartOptions& options) {
    if (options.PackageFile.empty()) return std::nullopt;
    const std::filesystem::path given(options.PackageFile);
    std::error_code error;
    std::filesystem::path whole = std::filesystem::absolute(given, error);
    if (error) whole = given;
    whole = whole.lexically_normal();
    return ChosenFile{whole, whole.u16string()};
}

StartOptions ReadStartOptions(std::span<const std::u16string> arguments,
                              std::optional<std::u16string_view> emulateVariable) {
    StartOptions options;
    options.Emulate = emulateVariable && !emulateVariable->empty() && *emulateVariable != u"0";
    bool packageGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& word = arguments[i];
        if (word == u"--emulate") {
            options.Emulate = true;
            if (i + 1 < arguments.size()) {
                if (const auto count = RadioCount(arguments[i + 1])) {
                    if (*count > MaxEmulatedRadios) {
                        options.Error = EmulateRangeError(arguments[i + 1]);
                        return options;
                    }
                    options.EmulatedRadios = *count;
                    ++i;
                } else if (packageGiven && !arguments[i + 1].empty() && arguments[i + 1].front() != u'-') {
                    // The package is named already: this word was meant as the count.
                    options.Error = EmulateRangeError(arguments[i + 1]);
                    return options;
                }
            }
        } else if (word == u"--shop") {
            options.Shop = true;
        } else if (word == u"--station") {
            options.Station = true;
        } else if (word == u"--emulate-fault" || word == u"--screenshot") {
            if (i + 1 >= arguments.size()) {
                options.Error = word == u"--screenshot" ? text::Tr("--screenshot needs a file name")
                                                        : text::Tr("--emulate-fault needs a fault");
                return options;
            }
            (word == u"--screenshot" ? options.ScreenshotFile
                                     : options.EmulationFaults.emplace_back()) = arguments[++i];
        } else if (word == u"--exit-when-shown") {
            options.ExitWhenShown = true;
        } else if (word == u"--help" || word == u"-h") {
            options.Help = true;
        } else if (word == u"--version") {
            options.Version = true;
        } else if (word.size() > 1 && word.front() == u'-') {
            options.Error = text::Fill(text::Tr("unknown option {option}"), {{"option", Utf8(word)}});
            return options;
        } else if (!word.empty() && !packageGiven) {
            options.PackageFile = word;
            packageGiven = true;
        }
    }
    // The main window has one radio and no station.
    if (options.Station && !options.Shop) options.Error = text::Tr("--station needs --shop");
    return options;
}

std::string StartUsage() {
    // The usage lines and option names stay as they are; what each option does is translated.
    return "usage: quenfall [--shop [--station]] [--emulate [N]] [--emulate-fault FAULT[@K]] [PACKAGE]\n"
           "       quenfall --help | --version\n"
           "  --shop             " + text::Tr("the shop window: a crate of radios, one row each") + "\n" +
           "  --station          " + text::Tr("with --shop: upgrade each radio as it is plugged in") + "\n" +
           "  --emulate [N]      " + text::Tr("emulated radios instead of real ones (N for the shop window)") + "\n" +
           "  --emulate-fault FAULT[@K]  " + text::Tr("emulated radio K, or every one, fails for practice") + "\n" +
           "  PACKAGE            " + text::Tr("loaded as the window is first shown") + "\n" +
           "  --screenshot FILE  " + text::Tr("save the window as first painted to FILE, then exit") + "\n" +
           // Translators: "shown" is the word the program prints; keep it in English.
           "  --exit-when-shown  " + text::Tr("print \"shown\" once the window is painted, then exit") + "\n";
}

std::string StartVersion() {
    return std::string("quenfall ") + QUENFALL_VERSION + "\n" +
           text::Fill(text::Tr("key set: {name} (fingerprint {fingerprint})"),
                      {{"name", std::string(KeySetName())}, {"fingerprint", std::string(KeySetFingerprint())}}) +
           "\n";
}

}  // namespace quenfall::window
