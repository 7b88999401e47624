#include "window/window_accessibility.h"

#include <algorithm>

#include "upgrade/upgrade_sequencer.h"
#include "window/window_texts.h"

namespace quenfall::window {
namespace {

using enum ControlId;
using R = AccessibleRole;

const AccessibleSpec Specs[ControlCount] = {
    /* Image1 */ {R::Decoration, {}, {}, std::nullopt},
    /* Image2 */ {R::Decoration, {}, {}, std::nullopt},
    /* Label2 */ {R::Label, {}, {}, std::nullopt},
    /* SpeedButton1 */ {R::PushButton, CloseButtonName, {}, std::nullopt},
    /* Label1 */ {R::Label, {}, {}, std::nullopt},
    /* SpeedButton2 */ {R::PushButton, MinimiseButtonName, {}, std::nullopt},
    /* Image3 */ {R::ProgressBar, ProgressBarName, {}, std::nullopt},
    /* Label5 */ {R::StatusLine, {}, {}, std::nullopt},
    /* Label3 */ {R::Link, {}, {}, std::nullopt},
    /* Label6 */ {R::Label, {}, {}, std::nullopt},
    /* Label7 */ {R::Label, {}, {}, std::nullopt},
    /* Label8 */ {R::Label, {}, {}, std::nullopt},
    /* Image4 */ {R::Image, SuccessIconDescription, SuccessIconDescription, std::nullopt},
    /* Image5 */ {R::Image, FailureIconDescription, FailureIconDescription, std::nullopt},
    /* Label4 */ {R::Label, {}, {}, std::nullopt},
    /* Label9 */ {R::Label, {}, {}, std::nullopt},
    /* Edit1 */ {R::Text, {}, {}, Label1},
    /* Button1 */ {R::PushButton, {}, {}, std::nullopt},
    /* Button2 */ {R::PushButton, {}, {}, std::nullopt},
};

}  // namespace

const AccessibleSpec& Accessible(ControlId id) { return Specs[static_cast<std::size_t>(id)]; }

std::u16string AccessibleName(ControlId id, std::u16string_view shown, std::u16string_view labelText) {
    const AccessibleSpec& spec = Accessible(id);
    if (!spec.Name.empty()) return ShownText(spec.Name);
    if (spec.LabelledBy) return std::u16string(labelText);
    return std::u16string(shown);
}

std::u16string ProgressDescription(const RunProgress& progress, bool ended, bool completed) {
    if (ended) return completed ? ShownText(text::Translatable("100%, done")) : u"";
    char left[16];
    FormatTimeLeft(SecondsLeft(progress), left);
    // Translators: the progress bar's tooltip, e.g. "45%, about 0:40 left, uploading"; {phase}
    // is one of the run's phases ("uploading", "radio restarting, do not unplug", ...).
    return Utf16(text::Fill(text::Tr("{percent}%, about {time_left} left, {phase}"),
                            {{"percent", std::to_string(progress.Percent)},
                             {"time_left", left},
                             {"phase", text::Tr(PhaseText(progress.Phase))}}));
}

int ProgressPercent(int layoutWidth) {
    const int clamped = std::clamp(layoutWidth, 0, ProgressFullWidth);
    return (clamped * 100 + ProgressFullWidth / 2) / ProgressFullWidth;
}

}  // namespace quenfall::window
