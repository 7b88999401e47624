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

std::u16string_view AccessibleName(ControlId id, std::u16string_view shown, std::u16string_view labelText) {
    const AccessibleSpec& spec = Accessible(id);
    if (!spec.Name.empty()) return spec.Name;
    if (spec.LabelledBy) return labelText;
    return shown;
}

std::u16string ProgressDescription(const RunProgress& progress, bool ended, bool completed) {
    if (ended) return completed ? u"100%, done" : u"";
    char left[16];
    FormatTimeLeft(SecondsLeft(progress), left);
    return Utf16(std::to_string(progress.Percent) + "%, about " + left + " left, " + std::string(PhaseText(progress.Phase)));
}

int ProgressPercent(int layoutWidth) {
    const int clamped = std::clamp(layoutWidth, 0, ProgressFullWidth);
    return (clamped * 100 + ProgressFullWidth / 2) / ProgressFullWidth;
}

}  // namespace quenfall::window
