// What assistive technology is told about the window, once for both faces: every control
// that says something has a name once the window is shown, Edit1 takes "Firmware" from its
// label, and the progress bar's value follows the widths of a run.
#include <gtest/gtest.h>

#include "emulator/emulated_radio.h"
#include "recording_face.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "window/flash_window.h"
#include "window/window_accessibility.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::window;

namespace {

// The text a control shows: the last one the window gave it, else the layout's.
std::u16string Shown(const test::RecordingFace& face, ControlId id) {
    return face.Text(id).empty() ? ShownText(Spec(id).Text) : face.Text(id);
}

// The name a screen reader speaks, from what the face shows.
std::u16string Name(const test::RecordingFace& face, ControlId id) {
    const AccessibleSpec& spec = Accessible(id);
    const std::u16string label = spec.LabelledBy ? Shown(face, *spec.LabelledBy) : std::u16string();
    return std::u16string(AccessibleName(id, Shown(face, id), label));
}

TEST(WindowAccessibility, EveryControlThatSaysSomethingIsNamedOnceShown) {
    EmulatedRadio radio(EmulatedRadioConfig{});
    radio.Unplug();
    test::RecordingFace face;
    VirtualClock clock;
    FlashWindow window(radio, face, clock, u"Quenfall");
    window.Shown();

    for (const ControlSpec& spec : Layout()) {
        const AccessibleRole role = Accessible(spec.Id).Role;
        // Only the background and the title icon say nothing.
        EXPECT_EQ(role == AccessibleRole::Decoration, spec.Id == ControlId::Image1 || spec.Id == ControlId::Image2)
            << spec.Name;
        if (role != AccessibleRole::Decoration) EXPECT_FALSE(Name(face, spec.Id).empty()) << spec.Name;
        // Picture buttons and push buttons alike are buttons.
        if (spec.Kind == ControlKind::PictureButton || spec.Kind == ControlKind::PushButton) {
            EXPECT_EQ(role, AccessibleRole::PushButton) << spec.Name;
        }
    }
    EXPECT_EQ(Name(face, ControlId::SpeedButton1), Utf16(CloseButtonName));
    EXPECT_EQ(Name(face, ControlId::SpeedButton2), u"Minimise");
    EXPECT_EQ(Name(face, ControlId::Edit1), u"Firmware");
    EXPECT_EQ(Name(face, ControlId::Button1), u"Select(*.bin,*.boot)");
    EXPECT_EQ(Name(face, ControlId::Label5), u" No device detected!");
    EXPECT_EQ(Accessible(ControlId::Label5).Role, AccessibleRole::StatusLine);
    EXPECT_EQ(Accessible(ControlId::Image3).Role, AccessibleRole::ProgressBar);
    EXPECT_EQ(Accessible(ControlId::Image4).Description, "Upgrade complete");
    EXPECT_EQ(Accessible(ControlId::Image5).Description, "Upgrade failed");
    // Edit1 shows the package's path, yet is named by its label, path or not.
    face.SetText(ControlId::Edit1, u"/home/user/radio.bin");
    EXPECT_EQ(Name(face, ControlId::Edit1), u"Firmware");
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
