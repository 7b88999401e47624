#pragma once
// What assistive technology is told about each control of the layout, once for both faces:
// its role, the name a screen reader speaks, a description, the label that names it, and
// the progress bar's value. A face maps the roles to its platform's and keeps them current.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "upgrade/time_left.h"
#include "window/window_layout.h"

namespace quenfall::window {

enum class AccessibleRole : std::uint8_t {
    Decoration,   // the background and the title icon: nothing to read, left out where the platform can
    Label,        // a fixed text
    StatusLine,   // the status line: each new text is announced
    Link,         // the hidden web address
    Text,         // Edit1: read-only, shows the package's path
    PushButton,   // the push buttons and the picture buttons
    ProgressBar,  // Image3: value 0..100
    Image,        // the success and failure icons
};

struct AccessibleSpec {
    AccessibleRole Role;
    // A fixed name; empty when the control's text (or its label's) is its name.
    std::string_view Name;  // English; the faces give ShownText() of it, as of the description
    std::string_view Description;
    // The label whose text names the control.
    std::optional<ControlId> LabelledBy;
};

const AccessibleSpec& Accessible(ControlId id);

// The name a screen reader speaks for a control that shows text (shown) and has a label
// (labelText, empty when it has none): the fixed name, else the label's text, else the text.
std::u16string AccessibleName(ControlId id, std::u16string_view shown, std::u16string_view labelText = {});

// The progress bar's value, in percent of the width a finished upload gives it.
int ProgressPercent(int layoutWidth);

// What the progress bar's tooltip and accessible description say of a run: while it goes on
// "45%, about 0:40 left, uploading" (the phase in PhaseText's words), once it has completed
// "100%, done"; empty for a run that ended otherwise, when the status line says why.
std::u16string ProgressDescription(const RunProgress& progress, bool ended, bool completed);

}  // namespace quenfall::window
