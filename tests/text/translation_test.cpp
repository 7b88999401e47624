// The catalogue reader, the language choice and the lookups, against catalogues written as
// translators write them.
#include <gtest/gtest.h>

#include <set>

#include "text/embedded_catalogues.h"
#include "text/language_choice.h"
#include "text/plural_rules.h"
#include "text/po_catalogue.h"
#include "text/translation.h"

namespace quenfall::text {
namespace {

constexpr std::string_view Sample = R"po(# A translator's comment.
msgid ""
msgstr ""
"Content-Type: text/plain; charset=UTF-8\n"
"Plural-Forms: nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && "
"n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);\n"

#: src/a.cpp:1
msgid " No device detected!"
msgstr " Устройство не найдено!"

#: src/a.cpp:2
msgid ""
"step 2. Power on "
"\r            Or Press"
msgstr ""
"шаг 2. Включите "
"\r            Или нажмите"

#, fuzzy
msgid "Upgrade"
msgstr "Обновить?"

msgid "Untranslated"
msgstr ""

msgid "1 radio"
msgid_plural "{count} radios"
msgstr[0] "{count} рация"
msgstr[1] "{count} рации"
msgstr[2] "{count} раций"

msgctxt "button"
msgid "Close"
msgstr "Закрыть"

msgid "Quote \"{name}\"\tand \\ back\101"
msgstr "Кавычка «{name}»\tи \\ назад\101"

#~ msgid "Gone"
#~ msgstr "Ушло"
)po";

class TranslationTest : public ::testing::Test {
protected:
    void TearDown() override { UseLanguage(""); }
};

TEST_F(TranslationTest, ReadsACatalogueAsTranslatorsWriteIt) {
    const PoCatalogue catalogue = ParsePo(Sample);
    EXPECT_EQ(catalogue.PluralForms, PluralRuleFor("ru").Header);
    EXPECT_EQ(catalogue.Messages.at(" No device detected!")[0], " Устройство не найдено!");
    EXPECT_EQ(catalogue.Messages.at("step 2. Power on \r            Or Press")[0],
              "шаг 2. Включите \r            Или нажмите");
    EXPECT_EQ(catalogue.Messages.at("Quote \"{name}\"\tand \\ backA")[0], "Кавычка «{name}»\tи \\ назадA");
    EXPECT_EQ(catalogue.Messages.at(std::string("button\x04") + "Close")[0], "Закрыть");
    // Neither a fuzzy guess, an empty translation nor an obsolete entry is used.
    EXPECT_FALSE(catalogue.Messages.contains("Upgrade"));
    EXPECT_FALSE(catalogue.Messages.contains("Untranslated"));
    EXPECT_FALSE(catalogue.Messages.contains("Gone"));
    EXPECT_EQ(catalogue.Messages.size(), 5u);
}

TEST_F(TranslationTest, ShowsTheChosenLanguageAndEnglishWhereItHasNoText) {
    EXPECT_EQ(Tr(" No device detected!"), " No device detected!");
    UseCatalogue("ru", Sample);
    EXPECT_EQ(LanguageInUse(), "ru");
    EXPECT_EQ(Tr(" No device detected!"), " Устройство не найдено!");
    EXPECT_EQ(Tr("Upgrade"), "Upgrade");
    EXPECT_EQ(Tr("Untranslated"), "Untranslated");
    // Russian's three forms, chosen by the count's last digits.
    std::vector<std::string> shown;
    for (unsigned long long n : {1ull, 2ull, 5ull, 11ull, 21ull, 22ull, 112ull}) {
        shown.push_back(Fill(TrPlural("1 radio", "{count} radios", n), {{"count", std::to_string(n)}}));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"1 рация", "2 рации", "5 раций", "11 раций", "21 рация",
                                               "22 рации", "112 раций"}));
    EXPECT_EQ(UseLanguage("C"), "");
    EXPECT_EQ(TrPlural("1 radio", "{count} radios", 1), "1 radio");
    EXPECT_EQ(TrPlural("1 radio", "{count} radios", 0), "{count} radios");
}

TEST_F(TranslationTest, FillsNamedFieldsInTheTranslationsOrder) {
    EXPECT_EQ(Fill("{done} of {total} radios, {done} done", {{"total", "5"}, {"done", "3"}}),
              "3 of 5 radios, 3 done");
    // A field the code does not give stays visible, and braces that are no field are text.
    EXPECT_EQ(Fill("{a} {b} {", {{"a", "x"}}), "x {b} {");
    EXPECT_EQ(Fill("{} }{x}", {{"x", "{x}"}}), "{} }{x}");
    const Message message{Translatable("Quote \"{name}\"\tand \\ backA"), {{"name", "P.bin"}}};
    UseCatalogue("ru", Sample);
    EXPECT_EQ(message.English(), "Quote \"P.bin\"\tand \\ backA");
    EXPECT_EQ(message.Translated(), "Кавычка «P.bin»\tи \\ назадA");
}

TEST_F(TranslationTest, ChoosesTheLanguageAsTheSystemAsksForIt) {
    const std::vector<std::string_view> available{"de", "es", "fr", "pt_BR", "ru", "zh_CN"};
    auto choose = [&](std::optional<std::string> override, std::vector<std::string> preferred) {
        return ChooseLanguage(override, preferred, available);
    };
    EXPECT_EQ(choose(std::nullopt, {"de_DE.UTF-8"}), "de");
    EXPECT_EQ(choose(std::nullopt, {"de-AT"}), "de");
    EXPECT_EQ(choose(std::nullopt, {"pt-BR"}), "pt_BR");
    EXPECT_EQ(choose(std::nullopt, {"pt_PT.UTF-8"}), "pt_BR");
    EXPECT_EQ(choose(std::nullopt, {"zh-Hans-CN"}), "zh_CN");
    EXPECT_EQ(choose(std::nullopt, {"zh_TW.UTF-8"}), "");
    EXPECT_EQ(choose(std::nullopt, {"sr@latin", "ru_RU.KOI8-R"}), "ru");
    // English earlier in the list wins over a catalogue later in it.
    EXPECT_EQ(choose(std::nullopt, {"en_GB", "fr_FR"}), "");
    EXPECT_EQ(choose(std::nullopt, {}), "");
    // The override beats the system; one the build has no catalogue for means English.
    EXPECT_EQ(choose(std::string("es"), {"de_DE"}), "es");
    EXPECT_EQ(choose(std::string("C"), {"de_DE"}), "");
    EXPECT_EQ(choose(std::string("ja"), {"de_DE"}), "");
    EXPECT_EQ(choose(std::string(""), {"de_DE"}), "de");

    using Environment = std::map<std::string, std::string>;
    auto fromEnvironment = [](Environment environment) {
        return LanguagesFromEnvironment([&](const char* name) -> std::optional<std::string> {
            auto found = environment.find(name);
            return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
        });
    };
    EXPECT_EQ(fromEnvironment({{"LANG", "fr_FR.UTF-8"}}), (std::vector<std::string>{"fr_FR.UTF-8"}));
    EXPECT_EQ(fromEnvironment({{"LANG", "fr_FR.UTF-8"}, {"LC_MESSAGES", "de_DE"}}),
              (std::vector<std::string>{"de_DE"}));
    EXPECT_EQ(fromEnvironment({{"LANG", "fr_FR"}, {"LC_ALL", ""}, {"LANGUAGE", "ru::es"}}),
              (std::vector<std::string>{"ru", "es", "fr_FR"}));
    // A C locale is English whatever LANGUAGE says, as gettext has it.
    EXPECT_TRUE(fromEnvironment({{"LC_ALL", "C"}, {"LANG", "de_DE"}, {"LANGUAGE", "de"}}).empty());
    EXPECT_TRUE(fromEnvironment({{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}}).empty());
    EXPECT_TRUE(fromEnvironment({{"LANGUAGE", "de"}}).empty());
}

// Each built-in catalogue as the program will read it: its plural header is the rule the code
// applies, and every translation keeps the English text's fields, so that no value is lost
// and no "{name}" shows.
TEST_F(TranslationTest, EveryBuiltInCatalogueKeepsItsFieldsAndPluralRule) {
    for (const EmbeddedCatalogue& embedded : EmbeddedCatalogues()) {
        SCOPED_TRACE(std::string(embedded.Language));
        const PoCatalogue catalogue = ParsePo(embedded.Text);
        EXPECT_EQ(catalogue.PluralForms, PluralRuleFor(embedded.Language).Header);
        EXPECT_EQ(PluralRuleFor(embedded.Language).Language, embedded.Language);
        for (const PoMessage& message : ReadPoMessages(embedded.Text)) {
            if (message.Id.empty()) continue;
            std::vector<std::string> idFields = FieldNames(message.Id);
            std::set<std::string> wanted(idFields.begin(), idFields.end());
            for (const std::string& field : FieldNames(message.IdPlural)) wanted.insert(field);
            for (const std::string& form : message.Forms) {
                if (form.empty()) continue;
                std::vector<std::string> formFields = FieldNames(form);
                std::set<std::string> got(formFields.begin(), formFields.end());
                // A singular form may leave the count out ("one radio").
                if (!message.IdPlural.empty()) got.insert("count");
                if (!message.IdPlural.empty()) wanted.insert("count");
                EXPECT_EQ(got, wanted) << message.Id << " -> " << form;
            }
        }
    }
}

}  // namespace
}  // namespace quenfall::text
