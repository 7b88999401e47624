// The window's font rule against a measure whose answers are known: a text a fixed number of
// pixels wide per pixel of character height, so where it fits is computable by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "window/text_fit.h"
#include "window/window_texts.h"

using namespace quenfall::window;

namespace {

// Each character is half the character height wide; a line is the character height plus 3.
TextMeasure HalfHeightCharacters(std::vector<int>* asked = nullptr) {
    return [asked](const ControlSpec&, std::u16string_view text, int devicePixels, int) {
        if (asked) asked->push_back(devicePixels);
        int lines = 1;
        for (const char16_t c : text) lines += c == u'\r' ? 1 : 0;
        return TextExtent{static_cast<int>(text.size()) * devicePixels / 2, lines * (devicePixels + 3)};
    };
}

}  // namespace

TEST(TextFit, ATextInsideItsRoomKeepsTheLayoutFontWithOneMeasure) {
    std::vector<int> asked;
    // Step 1's room is 596 wide: 100 characters at 11 px take 550.
    EXPECT_EQ(FitFont(ControlId::Label6, std::u16string(100, u'x'), 96, HalfHeightCharacters(&asked)),
              (FittedFont{11, true}));
    EXPECT_EQ(asked, std::vector<int>{11});
}

TEST(TextFit, ATooWideTextShrinksOnePixelAtATimeToTheFirstSizeThatFits) {
    std::vector<int> asked;
    // 120 characters: 660 at 11 px, 600 at 10, 540 at 9; the room is 596.
    EXPECT_EQ(FitFont(ControlId::Label6, std::u16string(120, u'x'), 96, HalfHeightCharacters(&asked)),
              (FittedFont{9, true}));
    EXPECT_EQ(asked, (std::vector<int>{11, 10, 9}));
}

TEST(TextFit, BelowTheFloorItIsReportedAsNotFittingAtTheFloor) {
    std::vector<int> asked;
    EXPECT_EQ(FitFont(ControlId::Label6, std::u16string(200, u'x'), 96, HalfHeightCharacters(&asked)),
              (FittedFont{SmallestFontPixels, false}));
    EXPECT_EQ(asked.back(), SmallestFontPixels);
}

TEST(TextFit, AtTwiceTheDpiBothTheFontAndTheRoomAreScaled) {
    std::vector<int> asked;
    EXPECT_EQ(FitFont(ControlId::Label6, std::u16string(120, u'x'), 192, HalfHeightCharacters(&asked)),
              (FittedFont{9, true}));
    EXPECT_EQ(asked, (std::vector<int>{22, 20, 18}));
}

TEST(TextFit, HeightCountsForTheTwoLineStep) {
    // Step 2 has 36 pixels: two lines take 2 * (11 + 3) = 28, three 42 at 11 and 36 at 9.
    EXPECT_EQ(FitFont(ControlId::Label7, u"a\rb", 96, HalfHeightCharacters()), (FittedFont{11, true}));
    EXPECT_EQ(FitFont(ControlId::Label7, u"a\rb\rc", 96, HalfHeightCharacters()), (FittedFont{9, true}));
    EXPECT_EQ(FitFont(ControlId::Label7, u"a\rb\rc\rd", 96, HalfHeightCharacters()), (FittedFont{9, false}));
}

TEST(TextFit, ControlsWithoutTextOrRoomAreLeftAlone) {
    std::vector<int> asked;
    EXPECT_EQ(FitFont(ControlId::Image1, u"x", 96, HalfHeightCharacters(&asked)), (FittedFont{0, true}));
    // The home page's address is never translated; it has no room of its own.
    EXPECT_EQ(FitFont(ControlId::Label3, std::u16string(500, u'x'), 96, HalfHeightCharacters(&asked)),
              (FittedFont{12, true}));
    EXPECT_EQ(FitFont(ControlId::Label5, u"", 96, HalfHeightCharacters(&asked)), (FittedFont{14, true}));
    EXPECT_TRUE(asked.empty());
}

TEST(TextFit, RoomsStayInsideTheWindowAndHoldTheLayoutsOwnBoxes) {
    for (const WindowText& text : MainWindowTexts()) {
        const ControlSpec& spec = Spec(text.Control);
        const TextRoom room = RoomOf(text.Control);
        ASSERT_NE(spec.Font, nullptr) << spec.Name;
        EXPECT_LE(spec.Left + room.Width, ClientWidth) << spec.Name;
        EXPECT_LE(spec.Top + room.Height, ClientHeight) << spec.Name;
        // Labels are sized to their text: the layout's box is the English text's.
        if (text.Control != ControlId::Label5) {
            EXPECT_GE(room.Width, spec.Width) << spec.Name;
        }
        EXPECT_GE(room.Height, spec.Height) << spec.Name;
    }
}

TEST(TextFit, TheListHoldsEveryTextTheWindowSetsOnItsLabelsAndButtons) {
    std::vector<ControlId> controls;
    for (const WindowText& text : MainWindowTexts()) controls.push_back(text.Control);
    for (const ControlId id : {ControlId::Label1, ControlId::Label2, ControlId::Label4, ControlId::Label5,
                               ControlId::Label6, ControlId::Label7, ControlId::Label8, ControlId::Label9,
                               ControlId::Button1, ControlId::Button2}) {
        EXPECT_NE(std::find(controls.begin(), controls.end(), id), controls.end()) << Spec(id).Name;
    }
    EXPECT_EQ(std::count(controls.begin(), controls.end(), ControlId::Label5), 7);
}

TEST(TextFit, FontAtChangesOnlyTheHeight) {
    const FontSpec smaller = FontAt(TitleFont, 10);
    EXPECT_EQ(smaller.PixelHeight, 10);
    EXPECT_EQ(smaller.Faces.data(), TitleFont.Faces.data());
    EXPECT_TRUE(smaller.Bold);
    EXPECT_EQ(smaller.CharacterSet, Charset::Gb2312);
}
