// One whole upgrade shown on the terminal.
#include "cli/flash_command.h"
#include "upgrade/status_texts.h"
#include "text/translation.h"

namespace quenfall::cli {

int FlashOnTerminal(std::shared_ptr<const Package> package, DeviceLink& link, TerminalView& view,
                    FlashOptions options) {
    std::string lastNonGood;
    options.LastNonGood = &lastNonGood;
    const int status = FlashPackage(std::move(package), link, view, options);
    if (view.StatusText() == CommunicationErrorText && !lastNonGood.empty()) {
        view.Note(text::Fill(text::Tr(LastCommandProblemText), {{"problem", lastNonGood}}));
    }
    return status;
}

}  // namespace quenfall::cli
