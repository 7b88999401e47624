#include "window/tooltips.h"

#include "protocol/key_tables.h"
#include "window/window_texts.h"

namespace quenfall::window {

std::u16string Tooltip(ControlId control) {
    if (control == ControlId::Image2 || control == ControlId::Label2) {
        return Utf16(text::Fill(text::Tr("Key set {name}, fingerprint {fingerprint}"),
                                {{"name", std::string(KeySetName())}, {"fingerprint", std::string(KeySetFingerprint())}}));
    }
    return ShownText(Spec(control).Hint);
}

}  // namespace quenfall::window
