// Every text of the main window, in every built-in language and in pseudo translations
// (longer, accented, Cyrillic, CJK), measured with Qt's real font metrics at 96 and 192 dpi:
// each fits its control's room once the window's rule has chosen its font, English with the
// layout's own fonts. A text that does not fit even at the smallest font is named.
#include <QLabel>
#include <QtTest>

#include "pseudo_translation.h"
#include "text/embedded_catalogues.h"
#include "text_fit_check.h"
#include "ui/qt/qt_text_fit.h"

using namespace quenfall;
using namespace quenfall::ui;

class TextFitTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { text::UseLanguage(""); }

    void englishKeepsTheLayoutFonts() {
        text::UseLanguage("");
        for (const window::WindowText& text : window::MainWindowTexts()) {
            for (const int dpi : testing::FitDpis) {
                const window::FittedFont fitted =
                    window::FitFont(text.Control, window::Utf16(text.English), dpi, MeasureQtText);
                QVERIFY2(fitted == (window::FittedFont{window::Spec(text.Control).Font->PixelHeight, true}),
                         text.English.c_str());
            }
        }
        const window::ControlSpec& step3 = window::Spec(window::ControlId::Label8);
        QCOMPARE(FittedFontOf(window::ControlId::Label8, window::Utf16(step3.Text)), FontOf(*step3.Font));
    }

    void pseudoTranslationsShrinkYetFit_data() {
        QTest::addColumn<int>("script");
        QTest::newRow("accented") << int(testing::PseudoScript::AccentedLatin);
        QTest::newRow("cyrillic") << int(testing::PseudoScript::Cyrillic);
        QTest::newRow("cjk") << int(testing::PseudoScript::Cjk);
    }

    void pseudoTranslationsShrinkYetFit() {
        QFETCH(int, script);
        text::UseCatalogue("xx", testing::PseudoCatalogue(testing::MainWindowEnglish(), testing::PseudoScript(script)));
        QVERIFY(text::Tr(std::string(window::Step3Text)) != std::string(window::Step3Text));
        const testing::LanguageFit check = testing::CheckLanguageFit(QTest::currentDataTag(), MeasureQtText);
        QVERIFY2(check.Wrong.empty(), testing::Lines(check.Wrong).c_str());
        // Texts 40% longer than English do not all fit the layout's fonts: the rule is used.
        QVERIFY(check.Shrunk > 0);
        // Some are more than the fixed window holds at any readable size (the select
        // button's, the long third step): a real translation that long fails the test below.
        std::printf("%s", testing::Lines(check.Overflowing, "too long: ").c_str());
    }

    void everyBuiltInCatalogueFits() {
        std::vector<std::string> failures;
        for (const text::EmbeddedCatalogue& catalogue : text::EmbeddedCatalogues()) {
            QCOMPARE(text::UseLanguage(catalogue.Language), std::string(catalogue.Language));
            const testing::LanguageFit check = testing::CheckLanguageFit(std::string(catalogue.Language), MeasureQtText);
            for (const std::string& name : check.Overflowing) failures.push_back("too long, shorten it: " + name);
            failures.insert(failures.end(), check.Wrong.begin(), check.Wrong.end());
        }
        QVERIFY2(failures.empty(), testing::Lines(failures).c_str());
    }

    void theFaceShowsATextTooLongInTheSmallerFont() {
        const window::ControlSpec& step1 = window::Spec(window::ControlId::Label6);
        const std::u16string longer =
            window::Utf16(testing::PseudoTranslation(std::string(window::Step1Text), testing::PseudoScript::Cyrillic));
        const QFont fitted = FittedFontOf(step1.Id, longer);
        QVERIFY(fitted.pixelSize() < step1.Font->PixelHeight);
        QVERIFY(fitted.pixelSize() >= window::SmallestFontPixels);
        QCOMPARE(fitted.families(), FontOf(window::SmallFont).families());
        // As the label measures itself in that font: inside its room.
        QLabel label;
        label.setFont(fitted);
        label.setText(QString::fromStdU16String(longer));
        QVERIFY(label.sizeHint().width() <= window::RoomOf(step1.Id).Width);
        label.setFont(FontOf(*step1.Font));
        QVERIFY(label.sizeHint().width() > window::RoomOf(step1.Id).Width);
    }
};

QTEST_MAIN(TextFitTest)
#include "qt_text_fit_test.moc"
