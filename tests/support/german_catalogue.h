#pragma once
// A small German catalogue of the windows' texts, used for the length of a test: what a
// person reads is looked up in it, what is kept or read by programs stays English. The
// catalogue is cleared again however the test ends.
#include <string_view>

#include "text/translation.h"

namespace quenfall::test {

inline constexpr std::string_view GermanWindowCatalogue = R"po(
msgid ""
msgstr ""
"Content-Type: text/plain; charset=UTF-8\n"
"Language: de\n"
"Plural-Forms: nplurals=2; plural=(n != 1);\n"

msgid "Firmware"
msgstr "Firmware-Datei"

msgid "For All Model."
msgstr "Für alle Modelle."

msgid "Upgrade"
msgstr "Aktualisieren"

msgid "Select(*.bin,*.boot)"
msgstr "Auswählen(*.bin,*.boot)"

msgid "Close"
msgstr "Schließen"

msgid "Bin File (*.bin,*.boot)"
msgstr "Paketdatei (*.bin,*.boot)"

msgid " No device detected!"
msgstr " Kein Gerät gefunden!"

msgid "step 1. Connected the radio to the USB of a PC by  the programming cable."
msgstr "Schritt 1. Das Funkgerät mit dem Programmierkabel an einen USB-Anschluss des PCs anschließen."

msgid "Entering BOOT Mode..."
msgstr "BOOT-Modus wird gestartet ..."

msgid "The program is being upgraded, please wait patiently..."
msgstr "Das Programm wird aktualisiert, bitte warten ..."

msgid " Program upgrade is complete!"
msgstr " Aktualisierung abgeschlossen!"

msgid ""
"Data transmitted successfully. Please wait for radio to reset to confirm "
"successful write!"
msgstr ""
"Daten übertragen. Warten Sie, bis das Funkgerät neu startet, um das "
"Schreiben zu bestätigen!"

msgid "100%, done"
msgstr "100 %, fertig"

msgid "Upgrade all"
msgstr "Alle aktualisieren"

msgid "Location"
msgstr "Anschluss"

msgid " The device has been connected!"
msgstr " Das Gerät ist verbunden!"

msgid " (emulated)"
msgstr " (emuliert)"

msgid "{done} of {count} radio upgraded"
msgid_plural "{done} of {count} radios upgraded"
msgstr[0] "{done} von {count} Funkgerät aktualisiert"
msgstr[1] "{done} von {count} Funkgeräten aktualisiert"
)po";

// Installs GermanWindowCatalogue while it lives.
class GermanCatalogueInUse {
public:
    GermanCatalogueInUse() { text::UseCatalogue("de", GermanWindowCatalogue); }
    ~GermanCatalogueInUse() { text::UseLanguage(""); }
    GermanCatalogueInUse(const GermanCatalogueInUse&) = delete;
    GermanCatalogueInUse& operator=(const GermanCatalogueInUse&) = delete;
};

}  // namespace quenfall::test
