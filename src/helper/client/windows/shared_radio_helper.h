#pragma once
// The program's one elevated radio helper, shared by every link the program makes: the
// first link that opens a drive starts it (one elevation prompt for the program), every
// later one gets a pipe connection of its own to the same helper, which serves each on a
// thread of its own. A crate of radios upgraded at once is one prompt, and a radio that
// keeps its run waiting holds up no other run.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "helper/client/helper_connection.h"
#include "helper/client/windows/elevated_helper_start.h"
#include "helper/client/windows/helper_pipe.h"

namespace quenfall::helper {

class SharedRadioHelper {
public:
    // start: starts the helper (elevation prompt, first pipe, greeting); StartElevatedHelper
    // in the programs, the tests' helper in the tests. deadlines: for the further pipes.
    explicit SharedRadioHelper(std::function<StartedHelper()> start, PipeDeadlines deadlines = {});
    ~SharedRadioHelper();
    SharedRadioHelper(const SharedRadioHelper&) = delete;
    SharedRadioHelper& operator=(const SharedRadioHelper&) = delete;

    // A connection for one link alone, greeted; Problem in words when there is none. Starts
    // the helper when none runs (again when the last one ended). Callers that waited while
    // a start failed get that start's problem rather than a prompt each.
    HelperStart OpenChannel();

private:
    HelperStart NewChannel(bool& helperGone);
    void Forget();

    std::function<StartedHelper()> start_;
    PipeDeadlines deadlines_;
    std::mutex mutex_;
    std::unique_ptr<HelperConnection> control_;  // the first pipe: asked for the others only
    HANDLE process_ = nullptr;
    std::atomic<std::uint64_t> startsEnded_{0};  // written under mutex_
    std::string lastProblem_;
    std::string lastAdvice_;
};

// The one this program's links share (quenfall-radio-helper.exe beside the program).
std::shared_ptr<SharedRadioHelper> ProgramRadioHelper();

}  // namespace quenfall::helper
