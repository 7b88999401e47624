#pragma once
// A warning before the wrong model. The radio cannot tell its model; the history can: which
// package, of which model code, each radio (known by its USB serial) last completed. A run
// whose package is for another model code than that does not start unless the user says so:
// the command line refuses without --allow-model-change, the windows ask.
//
// A serial names one radio only when it can: not empty, not one character over and over
// (0000..., FFFF..., as makers fill an unset serial), never seen at two ports at once (in
// this scan, or in two runs of the history whose times overlap). Two radios that share a
// well-formed serial at different times, or a radio whose serial changed, cannot be told
// apart from one radio or two: the history knows only the serial.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_record.h"
#include "package/package.h"
#include "platform/drive_list_link.h"
#include "runs/radio_run.h"

namespace quenfall {

// Whether drive's serial names one radio, seen with the others of scan.
bool SerialIsIdentity(const RadioDrive& drive, const std::vector<RadioDrive>& scan);

struct ModelChange {
    std::string Serial;
    std::string Location;
    std::uint32_t PackageModel = 0;  // the model code of the package about to be sent
    HistoryRecord Last;              // the radio's last completed run, of another model code
};

// The model change a run of package on drive would make; none when nothing is to be asked
// (another or the same model code, an unknown serial or one that names no one radio, no
// history, a history that cannot be read).
std::optional<ModelChange> FindModelChange(const std::filesystem::path& history, const RadioDrive& drive,
                                           const std::vector<RadioDrive>& scan, const Package& package);

// The facts, in one sentence in the user's language: which model code and package the
// radio last took, and when. Never recorded: the records keep ModelChangeOutcome.
std::string ModelChangeFacts(const ModelChange& change);

// The outcomes of the records that keep the user's answer: a refused run sent nothing; an
// allowed one is recorded as such before its run, which has its own record.
inline constexpr std::string_view ModelChangeRefusedLead = "refused: model change";
inline constexpr std::string_view ModelChangeAllowedLead = "model change allowed";
std::string ModelChangeOutcome(const ModelChange& change, bool allowed);
// What follows either lead: " from model code 17 (radio17.bin) to 2".
std::string ModelChangeFromTo(const ModelChange& change);

// What the history keeps of the answer: a record of no block, its outcome as above.
RadioOutcome ModelChangeAnswer(const ModelChange& change, const RadioDrive& drive, bool allowed);

}  // namespace quenfall
