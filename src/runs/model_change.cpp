#include "runs/model_change.h"

#include <algorithm>
#include <chrono>

#include "history/history_lookup.h"
#include "text/translation.h"

namespace quenfall {

bool SerialIsIdentity(const RadioDrive& drive, const std::vector<RadioDrive>& scan) {
    const std::string& serial = drive.Serial;
    if (serial.empty()) return false;
    if (serial.find_first_not_of(serial.front()) == std::string::npos) return false;
    return std::none_of(scan.begin(), scan.end(), [&](const RadioDrive& other) {
        return other.Serial == serial && other.Location != drive.Location;
    });
}

std::optional<ModelChange> FindModelChange(const std::filesystem::path& history, const RadioDrive& drive,
                                           const std::vector<RadioDrive>& scan, const Package& package) {
    if (history.empty() || !SerialIsIdentity(drive, scan)) return std::nullopt;
    RadioHistory known = LookUpRadio(history, drive.Serial);
    if (known.SeenAtTwoPortsAtOnce || !known.LastCompleted) return std::nullopt;
    const std::uint32_t model = package.Header.ModelCode;
    if (known.LastCompleted->ModelCode == model) return std::nullopt;
    return ModelChange{drive.Serial, drive.Location, model, std::move(*known.LastCompleted)};
}

std::string ModelChangeFacts(const ModelChange& change) {
    return text::Fill(text::Tr("The radio with USB serial {serial} last took a package for model code {last_model} "
                               "({last_package}, {last_time}); this package is for model code {model}."),
                      {{"serial", change.Serial},
                       {"last_model", std::to_string(change.Last.ModelCode)},
                       {"last_package", change.Last.Package},
                       {"last_time", change.Last.End},
                       {"model", std::to_string(change.PackageModel)}});
}

std::string ModelChangeFromTo(const ModelChange& change) {
    return " from model code " + std::to_string(change.Last.ModelCode) + " (" + change.Last.Package + ") to " +
           std::to_string(change.PackageModel);
}

std::string ModelChangeOutcome(const ModelChange& change, bool allowed) {
    return std::string(allowed ? ModelChangeAllowedLead : ModelChangeRefusedLead) + ModelChangeFromTo(change);
}

RadioOutcome ModelChangeAnswer(const ModelChange& change, const RadioDrive& drive, bool allowed) {
    RadioOutcome answer;
    answer.Drive = drive;
    answer.LastNode = drive.Node;
    answer.Outcome = ModelChangeOutcome(change, allowed);
    answer.Start = answer.End = std::chrono::system_clock::now();
    return answer;
}

}  // namespace quenfall
