#include "window/tooltips.h"

#include "protocol/key_tables.h"
#include "window/window_texts.h"

namespace quenfall::window {

std::u16string Tooltip(ControlId control) {
    if (control == ControlId::Image2 || control == ControlId::Label2) {
        return u"Key set " + Utf16(KeySetName()) + u", fingerprint " + Utf16(KeySetFingerprint());
    }
    return std::u16string(Spec(control).Hint);
}

}  // namespace quenfall::window
