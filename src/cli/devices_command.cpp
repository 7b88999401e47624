// quenfall-cli devices: the radios the platform's link finds, in the order flash uses them.
#include <iostream>

#include "cli/cli_commands.h"
#include "link/platform_link.h"

namespace quenfall::cli {

int DevicesCommand(const Arguments& args) {
    if (!args.empty()) {
        std::cerr << "usage: quenfall-cli devices\n";
        return 2;
    }
    const std::unique_ptr<PlatformDeviceLink> link = MakePlatformDeviceLink();
    if (!link) {
        std::cerr << "quenfall-cli devices: this build has no link to real radios\n";
        return 1;
    }
    link->ScanDrives();
    const std::vector<RadioDrive> drives = link->ListedDrives();
    if (drives.empty()) {
        std::cout << "No radio was found.\n";
        return 1;
    }
    // Quoted, so that the identity's padding blanks show.
    for (const RadioDrive& d : drives) {
        std::cout << d.Node << "  vendor \"" << d.Vendor << "\"  model \"" << d.Model << "\"\n";
    }
    if (const std::string problem = link->PermissionProblem(); !problem.empty()) {
        std::cerr << "note: " << problem << '\n';
    }
    return 0;
}

}  // namespace quenfall::cli
