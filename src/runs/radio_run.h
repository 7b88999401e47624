#pragma once
// One radio's upgrade on a thread of its own, for a crate of radios upgraded at once (the
// command line's flash --all and the shop window): its own sequencer, device watch, timers
// and link bound to the radio's location.
//
// One thread per run, not one loop for all: a vendor command blocks its caller until the
// radio answers or the transport's 2-second time-out passes, and a radio that stops
// answering does that at every tick. In one shared loop it would hold up the ticks of every
// other radio, stretching their answer windows and their uploads; on its own thread it
// delays only its own run, exactly as a single run is delayed. The threads sleep between
// ticks, so N runs cost N times the CPU of one and no more wall time.
//
// Starting a run does not wait for it: whoever started it reads its state at any time from
// any thread (Snapshot), or is told of each change on the run's thread (RunListener).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runs/flash_package.h"
#include "platform/drive_list_link.h"
#include "platform/located_device_link.h"
#include "package/package.h"

namespace quenfall {

// One radio of the crate as a scan found it, with what its run needs.
struct CrateRadio {
    RadioDrive Drive;
    std::unique_ptr<LocatedDeviceLink> Link;  // bound to Drive's location, for this run alone
    std::function<int()> TakeUsbEvents;       // optional: arrivals and removals of this radio
};

// How one radio's run went, for the summary, the report and the history.
struct RadioOutcome {
    RadioDrive Drive;
    std::string LastNode;      // the node the run last found the radio under
    bool Completed = false;    // ended with " Program upgrade is complete!"
    std::string Outcome;       // that text, the failure text, or the error that ended it
    std::vector<std::string> StatusTexts;  // every status-line text, in order
    std::uint32_t BlocksSent = 0;
    std::uint32_t FramesSent = 0;  // 0: the run sent nothing (no radio could be opened)
    // The last command of the run whose outcome was not good, in words; empty when all were.
    std::string LastCommandProblem;
    std::chrono::system_clock::time_point Start;
    std::chrono::system_clock::time_point End;
};

// Told of a run's view as it changes, on the run's own thread.
class RunListener {
public:
    virtual ~RunListener() = default;
    virtual void Status(std::string_view text) = 0;
    virtual void Progress(int pixels) = 0;
    virtual void Message(std::string_view text) = 0;
    virtual void Error(std::string_view text, std::string_view caption) = 0;
    // Phase, blocks and time left, whenever what they show changes.
    virtual void RunProgressChanged(const RunProgress& /*progress*/) {}
};

// A run as it stands now.
struct RunSnapshot {
    std::string Status;      // the status text last shown, or the error that ended the run
    std::string Node;        // the device name the run last found its radio under
    int ProgressWidth = 0;
    bool Ended = false;
    bool Completed = false;  // with Ended: as RadioOutcome::Completed
    RunProgress Progress;    // phase, blocks and time left as last told
    std::chrono::steady_clock::duration Elapsed{};
};

class RadioRun {
public:
    // Starts the run at once; listener (optional) must outlive it. trace, when set, receives
    // the run's dialogue.
    RadioRun(std::shared_ptr<const Package> package, CrateRadio radio, FlashOptions options,
             RunListener* listener = nullptr);
    // Waits for the run to end.
    ~RadioRun();
    RadioRun(const RadioRun&) = delete;
    RadioRun& operator=(const RadioRun&) = delete;

    RunSnapshot Snapshot() const;
    bool Ended() const;
    // Waits for the run to end and returns how it went.
    const RadioOutcome& Outcome();

private:
    class View;
    void Run(std::shared_ptr<const Package> package, FlashOptions options);

    CrateRadio radio_;
    RunListener* listener_;
    mutable std::mutex lock_;
    RunSnapshot state_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point ended_;
    RadioOutcome outcome_;
    std::thread thread_;
};

// Runs every radio's upgrade of package at once and returns when all have ended, outcomes in
// the order of radios. listeners (empty, or one per radio) are told of their run's changes.
// options.Trace, when set, receives the dialogue of a crate of one radio only.
std::vector<RadioOutcome> RunCrate(const std::shared_ptr<const Package>& package,
                                   std::vector<CrateRadio> radios, const std::vector<RunListener*>& listeners,
                                   const FlashOptions& options);

}  // namespace quenfall
