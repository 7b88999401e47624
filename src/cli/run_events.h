#pragma once
// The machine-readable account of runs (--events FILE): one JSON object a line, flushed line
// by line, for scripts and shop software. Every event has "time" (UTC, to the millisecond),
// "location" and "serial" of its radio and "event":
//   "status"    "text": a status-line text, an information box's or an error's text;
//   "progress"  "blocks_done", "blocks_total", "percent", "phase" (English words),
//               "seconds_left" (a number);
//   "end"       the run's history record, field for field ("outcome", "completed",
//               "last_command_problem", ...), whatever the record holds.
// Field names and phases are English whatever the user's language. Runs on several
// threads write to one stream: each line is written whole.
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "history/history_record.h"
#include "runs/radio_run.h"
#include "upgrade/time_left.h"

namespace quenfall::cli {

class RunEvents {
public:
    explicit RunEvents(std::ostream& out, bool standardOutput = false);
    ~RunEvents();
    RunEvents(const RunEvents&) = delete;
    RunEvents& operator=(const RunEvents&) = delete;

    // The place named on the command line: "-" is standard output, which then carries only
    // the events. None, with why set to the system's reason, when it cannot be written.
    static std::unique_ptr<RunEvents> Open(const std::string& argument, std::string& why);

    // True when the events go to standard output: what people read goes to standard error.
    bool OnStandardOutput() const { return standardOutput_; }

    void Status(std::string_view location, std::string_view serial, std::string_view text);
    void Progress(std::string_view location, std::string_view serial, const RunProgress& progress);
    void End(const HistoryRecord& record);

private:
    void Line(const std::string& line);

    std::unique_ptr<std::ostream> owned_;
    std::ostream& out_;
    bool standardOutput_;
    std::mutex lock_;
};

// One radio's run told as events, each change passed on to next (optional) too: the
// listener of a run of a crate, or what a single run's terminal view tells.
class RunEventsListener final : public RunListener {
public:
    RunEventsListener(RunEvents& events, std::string location, std::string serial, RunListener* next = nullptr)
        : events_(events), location_(std::move(location)), serial_(std::move(serial)), next_(next) {}

    void Status(std::string_view text) override;
    void Progress(int pixels) override;
    void Message(std::string_view text) override;
    void Error(std::string_view text, std::string_view caption) override;
    void RunProgressChanged(const RunProgress& progress) override;

private:
    RunEvents& events_;
    std::string location_;
    std::string serial_;
    RunListener* next_;
};

}  // namespace quenfall::cli
