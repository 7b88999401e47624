#pragma once
// A radio in software: the radio's side of the upgrade dialogue behind the DeviceLink seam.
// It is the oracle of the upgrade tests and the radio of `quenfall-cli flash --emulate`.
//
// What it does with every frame written to it: descrambles it with the provisioned key of
// its model (the ProfileSelection it is built with), checks the frame (markers, length,
// check sum, command code) and the request in it (enter: count, ids, terminator; block:
// announced id, section order, block order, section size, data length, zero filler), keeps
// the sections' bytes, and prepares the plain 9-byte answer that the next reads return.
// Whatever is wrong is written down as a readable line in Violations(); a frame it cannot
// read or whose code it does not know is not answered.
//
// Boot mode. In programming mode the first enter request is answered with status 3 and,
// once that answer has been read, the radio leaves the bus and comes back in boot mode
// after RestartTime; the next enter request is answered with 4. (With RestartOnEnter off it
// answers 4 at once.) After the exit answer has been read it resets to programming mode,
// optionally leaving the bus for ResetTime.
//
// Time comes from Config::Now, so tests can run it on a virtual clock. Changes that are due
// (coming back on the bus) are applied at every call into the radio and by Advance().
//
// Every command reports what a system would have seen: good, unless the radio has left the
// bus (ENODEV) or Misbehaviour::FailedCommands says otherwise.
//
// All calls come from one thread. Channels stay safe to use after the radio is destroyed.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/model_profile.h"
#include "upgrade/device_link.h"

namespace quenfall {

// The three requests of the dialogue, as the radio tells them apart.
enum class RequestKind : std::uint8_t { Enter, Block, Exit };

// Which requests a misbehaviour applies to. Requests are numbered from 1 in the order they
// are written, over the radio's whole life (every write counts, bad frames included).
struct RequestMatch {
    std::uint32_t Number = 0;              // only this request; 0: any number
    std::optional<RequestKind> Kind;       // only requests of this kind; none: any kind
    bool Enabled = false;                  // false: matches nothing
    bool Matches(std::uint32_t number, RequestKind kind) const {
        return Enabled && (Number == 0 || Number == number) && (!Kind || *Kind == kind);
    }
    static RequestMatch Nth(std::uint32_t number) { return {number, std::nullopt, true}; }
    static RequestMatch Every(RequestKind kind) { return {0, kind, true}; }
    static RequestMatch NthOf(std::uint32_t number, RequestKind kind) { return {number, kind, true}; }
};

// How a faulty answer is wrong.
enum class AnswerFault : std::uint8_t {
    None,
    WrongCode,         // the response code of another command
    BadCheckSum,       // the check sum off by one
    MissingEndMarker,  // byte 8 is not A4
    Status0,           // status 0, check sum matching
    Status5,           // status 5, check sum matching
};

struct Misbehaviour {
    // Reads that still return zeros after each request before its answer shows.
    std::uint32_t AnswerAfterReads = 0;
    // Requests that get no answer at all.
    RequestMatch Silent;
    // Requests answered with a faulty answer: for FaultReads reads, then the right answer;
    // FaultReads 0 means the right answer never comes.
    RequestMatch Faulty;
    AnswerFault Fault = AnswerFault::None;
    std::uint32_t FaultReads = 0;
    // Requests answered with status InterimStatus (1 or 2) for InterimReads reads before
    // the real answer.
    RequestMatch Interim;
    std::uint8_t InterimStatus = 1;
    std::uint32_t InterimReads = 0;
    // Leave the bus, unanswered, when the block request with this ordinal arrives (0: the
    // first block request of the radio's life); come back in programming mode after
    // ReappearAfter, or never.
    std::optional<std::uint32_t> DisappearAtBlock;
    std::optional<std::chrono::milliseconds> ReappearAfter;
    // Commands the system fails, as it may on a real drive: the write of a matching request
    // reports CommandFailure (the radio still got the frame), and so do the reads after it,
    // FailedReads of them (0: every one), which return zeros and never reach the radio.
    RequestMatch FailedCommands;
    std::uint32_t FailedReads = 0;
    CommandOutcome CommandFailure = DefaultCommandFailure();

    // CHECK CONDITION with fixed-format sense data: ILLEGAL REQUEST, invalid command
    // operation code (what a drive says to a vendor command it does not take).
    static CommandOutcome DefaultCommandFailure() {
        static constexpr std::uint8_t Sense[] = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x20, 0x00};
        return OutcomeOfStatus(0x02, 0, 0x08, Sense);
    }
};

struct EmulatedRadioConfig {
    ProfileSelection Selection;  // the model: its command codes and scrambling key
    // The clock the radio's comings and goings are timed by. Default: steady_clock.
    std::function<std::chrono::milliseconds()> Now;
    bool StartsInBootMode = false;
    bool RestartOnEnter = true;  // programming mode answers the first enter with 3, not 4
    std::chrono::milliseconds RestartTime{2000};
    bool ReturnsAfterRestart = true;
    bool LeavesAfterExit = false;
    std::chrono::milliseconds ResetTime{2000};
    bool KeepFrameLog = true;
    Misbehaviour Faults;
};

// One section as the radio received it: Size bytes, zero where no block has arrived.
struct ReceivedSection {
    std::uint8_t Id = 0;
    std::uint32_t Size = 0;
    std::uint32_t FirstBlock = 0;   // index of the first block received for it
    std::uint32_t NextBlock = 0;    // index the radio expects next
    std::uint32_t BlocksReceived = 0;
    bool Complete = false;
    std::vector<std::uint8_t> Bytes;
};

class EmulatedRadio : public DeviceLink {
public:
    explicit EmulatedRadio(EmulatedRadioConfig config);
    ~EmulatedRadio() override;
    EmulatedRadio(const EmulatedRadio&) = delete;
    EmulatedRadio& operator=(const EmulatedRadio&) = delete;

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;

    // Misbehaviour can be changed between calls, e.g. from a test halfway through a run.
    Misbehaviour& Faults();
    void SetAnswerAfterReads(std::uint32_t reads);
    void SetSilent(RequestMatch match);
    void SetFaultyAnswer(RequestMatch match, AnswerFault fault, std::uint32_t reads = 0);
    void SetInterimAnswers(RequestMatch match, std::uint8_t status, std::uint32_t reads);
    void SetDisappearAtBlock(std::uint32_t ordinal,
                             std::optional<std::chrono::milliseconds> reappearAfter = {});
    void SetReturnsAfterRestart(bool returns);
    void SetFailedCommands(RequestMatch match, std::uint32_t reads = 0,
                           CommandOutcome failure = Misbehaviour::DefaultCommandFailure());

    // Pull the cable / plug it back in (in programming mode). Unplugging drops every
    // channel: their reads return zeros and their writes go nowhere.
    void Unplug();
    void PlugIn();
    // Applies what is due by now (coming back on the bus) and tells the presence callback.
    void Advance();
    // When the radio will next come back on the bus, if it is away and will.
    std::optional<std::chrono::milliseconds> ReturnTime() const;
    // Called with true on arrival and false on removal, as a USB notification would be.
    void SetPresenceCallback(std::function<void(bool present)> callback);

    bool Present() const;
    bool InBootMode() const;
    std::uint32_t Reads() const;   // reads that reached the radio
    std::uint32_t Writes() const;  // writes that reached the radio
    std::uint32_t OpenChannels() const;
    std::uint32_t Restarts() const;  // restarts into boot mode carried out
    std::uint32_t Resets() const;    // resets after an exit answer
    std::uint32_t ExitsAnswered() const;
    const std::vector<std::uint8_t>& AnnouncedIds() const;
    const std::map<std::uint8_t, ReceivedSection>& Sections() const;
    const std::vector<std::vector<std::uint8_t>>& FrameLog() const;  // descrambled
    const std::vector<std::string>& Violations() const;

    // Lines naming every difference between what the radio holds and the expected
    // sections (id -> bytes); empty when they agree. Blocks the upload leaves out (the
    // first four of section 0 under scramble mode 0) are not compared.
    std::vector<std::string> CompareSections(
        const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected) const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// Expected sections of a package, for CompareSections.
struct Package;
std::map<std::uint8_t, std::vector<std::uint8_t>> SectionsOf(const Package& package);

// The emulated radio's verdict on a run: what it found wrong with the frames it got and,
// when the run completed, where its sections differ from the package; and the blocks it
// received. A run with problems failed, however its dialogue ended.
struct EmulatedRunVerdict {
    std::vector<std::string> Problems;
    std::uint32_t Blocks = 0;
    std::size_t Sections = 0;
};
EmulatedRunVerdict JudgeEmulatedRun(const EmulatedRadio& radio, bool completed,
                                    const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected);

}  // namespace quenfall
