#pragma once
// The commands of quenfall-cli. Each takes the words after its name and returns the exit
// status: 0 success, 1 the operation failed or was refused, 2 a usage error or a file that
// cannot be read or written.
#include <string>
#include <vector>

namespace quenfall::cli {

using Arguments = std::vector<std::string>;

int InspectCommand(const Arguments& args);
int PackCommand(const Arguments& args);
int FlashCommand(const Arguments& args);
int StationCommand(const Arguments& args);
int DevicesCommand(const Arguments& args);
int HistoryCommand(const Arguments& args);
int DoctorCommand(const Arguments& args);

}  // namespace quenfall::cli
