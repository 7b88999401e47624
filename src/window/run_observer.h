#pragma once
// What the window tells of its upgrade runs, for the history: the start-up hands in an
// observer (startup/window_history.h) that records each run; the window itself knows no
// file and no system.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "package/package.h"
#include "runs/model_change.h"

namespace quenfall::window {

// A run that sent the radio its first request, as it ended.
struct WindowRunEnd {
    std::shared_ptr<const Package> RunPackage;
    std::string PackageName;  // the file's name, without its folder
    std::chrono::system_clock::time_point Start;
    std::chrono::system_clock::time_point End;
    std::string Outcome;      // the status text it ended with
    bool Completed = false;
    std::uint32_t BlocksSent = 0;
    // The run's last command whose outcome was not good, in words; empty when all were.
    std::string LastCommandProblem;
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    // As the run's ending text is shown: before the completion's pause and its box.
    virtual void RunEnded(const WindowRunEnd& run) = 0;
    // Once the handler that ended the run has returned, its boxes closed: a text for one
    // information box of its own (the history could not be written), or empty. The
    // status line is left as the run left it.
    virtual std::string NoticeAfterRun() = 0;
    // Before a run of package sends its first request: the model change it would make, when
    // the history says the radio last completed a package of another model code.
    virtual std::optional<ModelChange> ModelChangeBefore(const Package& package) = 0;
    // The user's answer to that question, recorded (a refused run sends nothing).
    virtual void ModelChangeAnswered(const ModelChange& change, const std::shared_ptr<const Package>& package,
                                     std::string_view packageName, bool allowed) = 0;
};

}  // namespace quenfall::window
