#include "helper/client/windows/shared_radio_helper.h"

#include <string>
#include <utility>

#include "helper/client/windows/helper_placement_check.h"

namespace quenfall::helper {

namespace {

HelperStart Problem(std::string problem, std::string advice = {}) {
    HelperStart start;
    start.Problem = std::move(problem);
    start.Advice = std::move(advice);
    return start;
}

}  // namespace

SharedRadioHelper::SharedRadioHelper(std::function<StartedHelper()> start, PipeDeadlines deadlines)
    : start_(std::move(start)), deadlines_(deadlines) {}

SharedRadioHelper::~SharedRadioHelper() { Forget(); }

void SharedRadioHelper::Forget() {
    // Closing the first pipe ends the helper once the links' own pipes have closed.
    control_.reset();
    if (process_ != nullptr) CloseHandle(process_);
    process_ = nullptr;
}

HelperStart SharedRadioHelper::OpenChannel() {
    const std::uint64_t seen = startsEnded_.load();
    std::lock_guard lock(mutex_);
    // Two tries: a helper that has ended since the last link (it crashed, or was ended) is
    // started anew, as at the first open.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!control_) {
            // A start that failed while this caller waited (a declined prompt) is its answer
            // too: a crate of radios asks once, not once per radio.
            if (startsEnded_.load() != seen && !lastProblem_.empty()) return Problem(lastProblem_, lastAdvice_);
            StartedHelper started = start_();
            if (started.Start.Connection && !started.Start.Greeting.HasRawIo) {
                started.Start.Connection.reset();
                started.Start.Problem = "it runs without an administrator's rights";
            }
            if (!started.Start.Connection) {
                if (started.Process != nullptr) CloseHandle(started.Process);
                lastProblem_ = started.Start.Problem;
                lastAdvice_ = started.Start.Advice;
                startsEnded_.fetch_add(1);
                return Problem(lastProblem_, lastAdvice_);
            }
            control_ = std::move(started.Start.Connection);
            process_ = started.Process;
            lastProblem_.clear();
            lastAdvice_.clear();
            startsEnded_.fetch_add(1);
        }
        bool gone = false;
        HelperStart channel = NewChannel(gone);
        if (!gone) return channel;
        Forget();
    }
    return Problem("it ended as soon as it started");
}

HelperStart SharedRadioHelper::NewChannel(bool& helperGone) {
    if (process_ == nullptr) {
        helperGone = true;
        return Problem("its process cannot be followed");
    }
    const std::wstring name = RandomHelperPipeName();
    std::string problem;
    std::unique_ptr<HelperPipeServer> pipe = HelperPipeServer::Create(name, problem);
    if (!pipe) return Problem(problem);
    Request ask;
    ask.Type = RequestType::Channel;
    ask.Node.assign(name.begin(), name.end());  // the name is ASCII
    const auto reply = control_->Exchange(ask);
    if (!reply) {
        helperGone = true;
        return Problem("it has ended");
    }
    if (reply->Result != Outcome::Done) {
        return Problem("it refused another connection (" +
                       (reply->Text.empty() ? "error " + std::to_string(reply->Error) : reply->Text) + ")");
    }
    HANDLE process = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process_, GetCurrentProcess(), &process, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return Problem("its process cannot be followed (error " + std::to_string(GetLastError()) + ")");
    }
    return pipe->Accept(process, deadlines_);
}

std::shared_ptr<SharedRadioHelper> ProgramRadioHelper() {
    // Before Windows is asked to elevate it: whether a non-administrator could have swapped it.
    static const auto helper = std::make_shared<SharedRadioHelper>([] {
        const std::wstring path = RadioHelperBesideProgram();
        return StartHelperIfTrusted(path, PlacementSystemOfThisProcess(), [&path] { return StartElevatedHelper(path); });
    });
    return helper;
}

}  // namespace quenfall::helper
