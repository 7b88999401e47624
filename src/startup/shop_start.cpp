#include "startup/shop_start.h"

#include <stdexcept>

#include "startup/radio_choice.h"
#include "window/window_texts.h"

namespace quenfall::startup {

ShopStart::ShopStart(const window::StartOptions& options, window::ShopFace& face, std::u16string title,
                     std::filesystem::path history)
    : history_(std::move(history)) {
    RadioRequest request;
    request.Emulate = options.Emulate;
    request.Radios = options.EmulatedRadios;
    for (const std::u16string& word : options.EmulationFaults) {
        const std::string fault = window::Utf8(word);
        const std::optional<EmulationFault> read = ReadEmulationFault(fault);
        if (!read) throw std::runtime_error("--emulate-fault takes " + EmulationFaultNames() + ", not \"" + fault + "\"");
        if (read->Radio > request.Radios)
            throw std::runtime_error("--emulate-fault names radio " + std::to_string(read->Radio) + " of " +
                                     std::to_string(request.Radios));
        request.Faults.push_back(*read);
    }
    if (!request.Faults.empty() && !options.Emulate) throw std::runtime_error("--emulate-fault needs --emulate");
    const std::unique_ptr<quenfall::Radios> radios = ChooseRadios(request);
    // Shown by the default error display rather than used as a link that is not there.
    if (!radios->Reachable()) throw std::runtime_error("this system has no link to the radio; only --emulate works here");
    // Emulated radios are of the model of the first package loaded; they take each package's own.
    // A station's emulated radios are plugged in one after another, as the command line's are.
    source_ = options.Station ? radios->Station(ProfileSelection{}) : radios->Crate(ProfileSelection{});
    window_ = std::make_unique<window::ShopWindow>(*source_, face, history_, std::move(title));
    window_->SetStationAtStart(options.Station);
    if (auto package = window::StartPackage(options)) window_->SetStartPackage(std::move(*package));
}

}  // namespace quenfall::startup
