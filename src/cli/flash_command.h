#pragma once
// One whole upgrade from the command line, in real time (runs/flash_package.h), shown on
// the terminal.
#include <memory>

#include "cli/terminal_view.h"
#include "runs/flash_package.h"
#include "package/package.h"
#include "upgrade/device_link.h"

namespace quenfall::cli {

// FlashPackage on a terminal: when the run ends in " Communication Error!" and a command of
// it did not go through, one more line after the status text names what the system saw
// of the last such command.
int FlashOnTerminal(std::shared_ptr<const Package> package, DeviceLink& link, TerminalView& view,
                    FlashOptions options);

}  // namespace quenfall::cli
