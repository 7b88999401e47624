// Every text of the main window, in every built-in language and in pseudo translations
// (longer, accented, Cyrillic, CJK), measured with GDI on the fonts the Win32 face makes, at
// 96 and 192 dpi: each fits its control's room once the window's rule has chosen its font,
// English with the layout's own fonts. A text too long even at the smallest font is named.
#include <gtest/gtest.h>

#include "pseudo_translation.h"
#include "text/embedded_catalogues.h"
#include "text_fit_check.h"
#include "ui/win32/win32_fonts.h"

using namespace quenfall;

namespace {

class Win32TextFit : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dc_, nullptr); }
    void TearDown() override {
        text::UseLanguage("");
        DeleteDC(dc_);
    }
    window::TextMeasure Measure() {
        return [dc = dc_](const window::ControlSpec& control, std::u16string_view text, int devicePixels, int dpi) {
            return ui::MeasureGdiText(dc, control, text, devicePixels, dpi);
        };
    }
    HDC dc_ = CreateCompatibleDC(nullptr);
};

}  // namespace

TEST_F(Win32TextFit, EnglishKeepsTheLayoutFonts) {
    for (const window::WindowText& text : window::MainWindowTexts()) {
        for (const int dpi : quenfall::testing::FitDpis) {
            EXPECT_EQ(window::FitFont(text.Control, window::Utf16(text.English), dpi, Measure()),
                      (window::FittedFont{window::Spec(text.Control).Font->PixelHeight, true}))
                << text.English << " at " << dpi;
        }
    }
}

TEST_F(Win32TextFit, PseudoTranslationsShrinkYetTheRuleHoldsToTheMetrics) {
    for (const auto script : {quenfall::testing::PseudoScript::AccentedLatin, quenfall::testing::PseudoScript::Cyrillic,
                              quenfall::testing::PseudoScript::Cjk}) {
        text::UseCatalogue("xx", quenfall::testing::PseudoCatalogue(quenfall::testing::MainWindowEnglish(), script));
        ASSERT_NE(text::Tr(std::string(window::Step3Text)), std::string(window::Step3Text));
        const quenfall::testing::LanguageFit check = quenfall::testing::CheckLanguageFit("pseudo" + std::to_string(int(script)), Measure());
        EXPECT_TRUE(check.Wrong.empty()) << quenfall::testing::Lines(check.Wrong);
        // Texts 40% longer than English do not all fit the layout's fonts: the rule is used.
        EXPECT_GT(check.Shrunk, 0);
        // Some are more than the fixed window holds at any readable size: a real translation
        // that long fails the test below.
        std::printf("%s", quenfall::testing::Lines(check.Overflowing, "too long: ").c_str());
    }
}

TEST_F(Win32TextFit, EveryBuiltInCatalogueFits) {
    std::vector<std::string> failures;
    for (const text::EmbeddedCatalogue& catalogue : text::EmbeddedCatalogues()) {
        ASSERT_EQ(text::UseLanguage(catalogue.Language), std::string(catalogue.Language));
        const quenfall::testing::LanguageFit check = quenfall::testing::CheckLanguageFit(std::string(catalogue.Language), Measure());
        for (const std::string& name : check.Overflowing) failures.push_back("too long, shorten it: " + name);
        failures.insert(failures.end(), check.Wrong.begin(), check.Wrong.end());
    }
    EXPECT_TRUE(failures.empty()) << quenfall::testing::Lines(failures);
}

TEST_F(Win32TextFit, ASmallerCharacterHeightMakesASmallerFontOfTheSameFace) {
    HFONT layout = ui::CreateLayoutFont(dc_, window::SmallFont, 22);
    HFONT smaller = ui::CreateLayoutFont(dc_, window::SmallFont, 18);
    LOGFONTW a{}, b{};
    GetObjectW(layout, sizeof a, &a);
    GetObjectW(smaller, sizeof b, &b);
    EXPECT_EQ(a.lfHeight, -22);
    EXPECT_EQ(b.lfHeight, -18);
    EXPECT_EQ(std::wstring(a.lfFaceName), std::wstring(b.lfFaceName));
    const window::ControlSpec& step1 = window::Spec(window::ControlId::Label6);
    EXPECT_GT(ui::MeasureGdiText(dc_, step1, window::Utf16(step1.Text), 22, 192).Width,
              ui::MeasureGdiText(dc_, step1, window::Utf16(step1.Text), 18, 192).Width);
    DeleteObject(layout);
    DeleteObject(smaller);
}
