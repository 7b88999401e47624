// What assistive technology is told about the window, once for both faces: every control
// that says something has a name once the window is shown, Edit1 takes "Firmware" from its
// label, and the progress bar's value follows the widths of a run.
#include <gtest/gtest.h>

#include <array>

#include "radio/emulated_radio.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "window/flash_window.h"
#include "window/window_accessibility.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::window;

namespace {

// Keeps the text each control shows, from the layout on, as a face would.
class TextFace : public WindowFace {
public:
    TextFace() {
        for (const ControlSpec& spec : Layout()) texts[static_cast<std::size_t>(spec.Id)] = std::u16string(spec.Text);
    }
    void SetText(ControlId control, std::u16string_view text) override {
        texts[static_cast<std::size_t>(control)] = std::u16string(text);
    }
    void SetCaption(std::u16string_view) override {}
    void SetWidth(ControlId, int) override {}
    void SetVisible(ControlId, bool) override {}
    void ShowBox(BoxOwner, BoxIcon, std::u16string_view, std::u16string_view) override {}
    std::optional<ChosenFile> OpenFileName(std::u16string_view) override { return std::nullopt; }
    void RequestClose() override {}
    void Minimise() override {}
    void StartSystemMove() override {}
    void SetHandCursor(bool) override {}
    void OpenAddress(std::u16string_view) override {}
    void PaintNow() override {}

    std::u16string_view Name(ControlId id) const {
        const AccessibleSpec& spec = Accessible(id);
        const std::u16string_view label =
            spec.LabelledBy ? std::u16string_view(texts[static_cast<std::size_t>(*spec.LabelledBy)]) : std::u16string_view();
        return AccessibleName(id, texts[static_cast<std::size_t>(id)], label);
    }

    std::array<std::u16string, ControlCount> texts{};
};

TEST(WindowAccessibility, EveryControlThatSaysSomethingIsNamedOnceShown) {
    EmulatedRadio radio(EmulatedRadioConfig{});
    radio.Unplug();
    TextFace face;
    VirtualClock clock;
    FlashWindow window(radio, face, clock, u"Quenfall");
    window.Shown();

    for (const ControlSpec& spec : Layout()) {
        const AccessibleRole role = Accessible(spec.Id).Role;
        // Only the background and the title icon say nothing.
        EXPECT_EQ(role == AccessibleRole::Decoration, spec.Id == ControlId::Image1 || spec.Id == ControlId::Image2)
            << spec.Name;
        if (role != AccessibleRole::Decoration) EXPECT_FALSE(face.Name(spec.Id).empty()) << spec.Name;
        // Picture buttons and push buttons alike are buttons; the input controls take focus.
        if (spec.Kind == ControlKind::PictureButton || spec.Kind == ControlKind::PushButton) {
            EXPECT_EQ(role, AccessibleRole::PushButton) << spec.Name;
        }
    }
    EXPECT_EQ(face.Name(ControlId::SpeedButton1), std::u16string_view(CloseButtonName));
    EXPECT_EQ(face.Name(ControlId::SpeedButton2), u"Minimise");
    EXPECT_EQ(face.Name(ControlId::Edit1), u"Firmware");
    EXPECT_EQ(face.Name(ControlId::Button1), u"Select(*.bin,*.boot)");
    EXPECT_EQ(face.Name(ControlId::Label5), u" No device detected!");
    EXPECT_EQ(Accessible(ControlId::Label5).Role, AccessibleRole::StatusLine);
    EXPECT_EQ(Accessible(ControlId::Image3).Role, AccessibleRole::ProgressBar);
    EXPECT_EQ(Accessible(ControlId::Image4).Description, u"Upgrade complete");
    EXPECT_EQ(Accessible(ControlId::Image5).Description, u"Upgrade failed");
    // Edit1 shows the package's path, yet is named by its label, path or not.
    face.texts[static_cast<std::size_t>(ControlId::Edit1)] = u"/home/user/radio.bin";
    EXPECT_EQ(face.Name(ControlId::Edit1), u"Firmware");
}

TEST(WindowAccessibility, TheProgressValueIsTheShareOfAFinishedUpload) {
    // The widths four blocks give, and the ends of the bar.
    EXPECT_EQ(ProgressPercent(0), 0);
    EXPECT_EQ(ProgressPercent(177), 25);
    EXPECT_EQ(ProgressPercent(355), 50);
    EXPECT_EQ(ProgressPercent(532), 75);
    EXPECT_EQ(ProgressPercent(ProgressFullWidth), 100);
    EXPECT_EQ(ProgressPercent(3), 0);
    EXPECT_EQ(ProgressPercent(4), 1);
    // Nothing outside 0..100, whatever width a face is given.
    EXPECT_EQ(ProgressPercent(-5), 0);
    EXPECT_EQ(ProgressPercent(ProgressFullWidth + 40), 100);
}

}  // namespace
