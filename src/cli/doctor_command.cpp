// quenfall-cli doctor: why the radio is, or is not, found and usable; one line per check.
#include <iostream>

#include "cli/cli_commands.h"
#include "platform/platform.h"
#include "cli/cli_support.h"
#include "text/translation.h"

namespace quenfall::cli {

int DoctorCommand(const Arguments& args) {
    if (!args.empty()) {
        const std::string& a = args.front();
        std::cerr << "quenfall-cli doctor: "
                  << (a.starts_with("-")
                          ? UnknownOptionText(a)
                          : text::Fill(text::Tr("unexpected \"{word}\": doctor takes no arguments"), {{"word", a}}))
                  << "\nusage: quenfall-cli doctor\n";
        return 2;
    }
    const Diagnosis diagnosis = Diagnose(GatherDoctorFacts(), PlatformDoctorChecks());
    std::cout << DiagnosisText(diagnosis);
    std::cout.flush();
    return diagnosis.RadioReady ? 0 : 1;
}

}  // namespace quenfall::cli
