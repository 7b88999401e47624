// Every text of the main window, in every built-in language and in pseudo translations
// (longer, accented, Cyrillic, CJK), measured with Qt's real font metrics at 96 and 192 dpi:
// each fits its control's room once the window's rule has chosen its font, English with the
// layout's own fonts. A text that does not fit even at the smallest font is named.
#include <QtTest>

#include "pseudo_translation.h"
#include "text/embedded_catalogues.h"
#include "text/translation.h"
#include "ui/qt/qt_text_fit.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::ui;

namespace {

constexpr int Dpis[] = {96, 192};

std::vector<std::string> EnglishTexts() {
    std::vector<std::string> texts;
    for (const window::WindowText& text : window::MainWindowTexts()) texts.push_back(text.English);
    return texts;
}

bool FitsAt(const window::WindowText& text, const std::u16string& shown, int dpi, int pixels) {
    const window::TextExtent extent = MeasureQtText(window::Spec(text.Control), shown, window::Scaled(pixels, dpi), dpi);
    const window::TextRoom room = window::RoomOf(text.Control);
    return extent.Width <= window::Scaled(room.Width, dpi) && extent.Height <= window::Scaled(room.Height, dpi);
}

struct LanguageCheck {
    int Shrunk = 0;
    QStringList Overflowing;  // too long even at the smallest font
    QStringList Wrong;        // the rule's answer contradicts the metrics
};

// Checks every text of the window in the language in use, at both resolutions, naming each
// shrunk text on the test's output.
LanguageCheck CheckLanguage(const QString& language) {
    LanguageCheck check;
    for (const window::WindowText& text : window::MainWindowTexts()) {
        const std::u16string shown = window::Utf16(text::Tr(text.English));
        const window::ControlSpec& spec = window::Spec(text.Control);
        for (const int dpi : Dpis) {
            const window::FittedFont fitted = window::FitFont(text.Control, shown, dpi, MeasureQtText);
            const QString name = QStringLiteral("%1 %2dpi %3 \"%4\"")
                                     .arg(language).arg(dpi).arg(QString::fromUtf8(spec.Name.data(), spec.Name.size()))
                                     .arg(QString::fromStdU16String(shown));
            if (!fitted.Fits) {
                check.Overflowing << name;
                if (fitted.PixelHeight != window::SmallestFontPixels || FitsAt(text, shown, dpi, fitted.PixelHeight)) {
                    check.Wrong << name + QStringLiteral(" (fits, yet refused)");
                }
                continue;
            }
            // It fits at the size chosen, and one pixel more would not have (or it is the
            // layout's own size).
            if (!FitsAt(text, shown, dpi, fitted.PixelHeight)) check.Wrong << name + QStringLiteral(" (overflows)");
            if (fitted.PixelHeight < spec.Font->PixelHeight) {
                ++check.Shrunk;
                if (FitsAt(text, shown, dpi, fitted.PixelHeight + 1)) check.Wrong << name + QStringLiteral(" (shrunk too far)");
                qInfo().noquote() << "shrunk to" << fitted.PixelHeight << "of" << spec.Font->PixelHeight << "px:" << name;
            }
        }
    }
    return check;
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { text::UseLanguage(""); }

    void englishKeepsTheLayoutFonts() {
        text::UseLanguage("");
        for (const window::WindowText& text : window::MainWindowTexts()) {
            for (const int dpi : Dpis) {
                const window::FittedFont fitted =
                    window::FitFont(text.Control, window::Utf16(text.English), dpi, MeasureQtText);
                QVERIFY2(fitted == (window::FittedFont{window::Spec(text.Control).Font->PixelHeight, true}),
                         text.English.c_str());
            }
        }
        const window::ControlSpec& step3 = window::Spec(window::ControlId::Label8);
        QCOMPARE(FittedFontOf(window::ControlId::Label8, step3.Text), FontOf(*step3.Font));
    }

    void pseudoTranslationsShrinkYetFit_data() {
        QTest::addColumn<int>("script");
        QTest::newRow("accented") << int(testing::PseudoScript::AccentedLatin);
        QTest::newRow("cyrillic") << int(testing::PseudoScript::Cyrillic);
        QTest::newRow("cjk") << int(testing::PseudoScript::Cjk);
    }

    void pseudoTranslationsShrinkYetFit() {
        QFETCH(int, script);
        text::UseCatalogue("xx", testing::PseudoCatalogue(EnglishTexts(), testing::PseudoScript(script)));
        QVERIFY(text::Tr(window::Utf8(window::Step3Text)) != window::Utf8(window::Step3Text));
        const LanguageCheck check = CheckLanguage(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY2(check.Wrong.isEmpty(), qPrintable(check.Wrong.join(u'\n')));
        // Texts 40% longer than English do not all fit the layout's fonts: the rule is used.
        QVERIFY(check.Shrunk > 0);
        // Some are more than the fixed window can hold at any readable size (the select
        // button's, the long third step): a real translation that long fails the test below.
        for (const QString& name : check.Overflowing) qInfo().noquote() << "too long:" << name;
    }

    void everyBuiltInCatalogueFits() {
        QStringList failures;
        for (const text::EmbeddedCatalogue& catalogue : text::EmbeddedCatalogues()) {
            QCOMPARE(text::UseLanguage(catalogue.Language), std::string(catalogue.Language));
            const LanguageCheck check =
                CheckLanguage(QString::fromUtf8(catalogue.Language.data(), catalogue.Language.size()));
            for (const QString& name : check.Overflowing) failures << QStringLiteral("too long, shorten it: ") + name;
            failures << check.Wrong;
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    void theFaceShowsATextTooLongInTheSmallerFontInsideItsRoom() {
        const std::u16string longer =
            window::Utf16(testing::PseudoTranslation(window::Utf8(window::Step3Text), testing::PseudoScript::Cyrillic));
        const QFont fitted = FittedFontOf(window::ControlId::Label8, longer);
        QVERIFY(fitted.pixelSize() < window::Spec(window::ControlId::Label8).Font->PixelHeight);
        QVERIFY(fitted.pixelSize() >= window::SmallestFontPixels);
        QCOMPARE(fitted.families(), FontOf(window::SmallFont).families());
    }
};

QTEST_MAIN(TextFitTest)
#include "qt_text_fit_test.moc"
