#include "radio/emulated_radio.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "package/package.h"
#include "protocol/command_frame.h"
#include "protocol/scrambler.h"

namespace quenfall {

namespace {

using Answer = std::array<std::uint8_t, ResponseFrameLength>;

// A real section never exceeds the package image; a larger size field is nonsense, and
// keeping it would mean allocating whatever a corrupt frame asks for.
constexpr std::uint32_t MaxSectionSize = 10 * 1024 * 1024;
constexpr std::uint8_t AckStatus = 1;
constexpr std::uint32_t SkippedLeadBlocks = 4;

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string FirstBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    const std::size_t n = std::min<std::size_t>(bytes.size(), 8);
    for (std::size_t i = 0; i < n; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", bytes[i]);
        if (i) text += ' ';
        text += b;
    }
    if (bytes.size() > n) text += " ...";
    return text;
}

const char* FaultName(FrameFault fault) {
    switch (fault) {
        case FrameFault::None: return "none";
        case FrameFault::TooShort: return "shorter than a frame";
        case FrameFault::StartMarker: return "no start marker";
        case FrameFault::LengthMismatch: return "length field does not match the bytes written";
        case FrameFault::EndMarker: return "no end marker";
        case FrameFault::CheckSum: return "check sum does not match the payload";
    }
    return "?";
}

std::uint32_t BlocksIn(std::uint32_t size) { return size / BlockSize + (size % BlockSize ? 1 : 0); }

}  // namespace

struct EmulatedRadio::State {
    EmulatedRadioConfig Config;
    std::function<void(bool)> PresenceCallback;

    // On the bus, and which life of the drive: a channel opened in an earlier life is dead.
    bool Present = true;
    bool PresentAtLastScan = false;
    std::uint64_t Generation = 0;
    std::optional<std::chrono::milliseconds> ReturnAt;
    bool ReturnInBootMode = false;
    bool BootMode = false;

    // The answer the reads after the latest request return.
    enum class After : std::uint8_t { Nothing, Restart, Reset };
    struct Pending {
        bool Has = false;
        Answer Real{};
        After Then = After::Nothing;
        std::uint32_t DelayReads = 0;
        std::uint32_t InterimReads = 0;
        Answer InterimAnswer{};
        bool FaultOn = false;
        std::uint32_t FaultReads = 0;  // 0: for ever
        Answer FaultyAnswer{};
        std::uint32_t ReadsSince = 0;
        bool Delivered = false;
    } Answering;

    // The upload in progress.
    std::vector<std::uint8_t> Announced;
    // Back from a restart into boot mode and no block yet: the enter requests now are the
    // tool's re-sends, whose count is its section cursor, not a new announcement.
    bool ResumingAfterRestart = false;
    std::size_t NextAnnounced = 0;
    std::optional<std::uint8_t> CurrentId;
    std::uint32_t SectionsStarted = 0;
    std::map<std::uint8_t, ReceivedSection> Sections;
    std::map<std::uint8_t, std::vector<bool>> BlocksSeen;

    std::uint32_t Reads = 0;
    std::uint32_t Writes = 0;
    std::uint32_t BlockOrdinal = 0;
    std::uint32_t OpenChannels = 0;
    std::uint32_t Restarts = 0;
    std::uint32_t Resets = 0;
    std::uint32_t ExitsAnswered = 0;
    std::vector<std::vector<std::uint8_t>> FrameLog;
    std::vector<std::string> Violations;

    std::chrono::milliseconds Now() const {
        if (Config.Now) return Config.Now();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    void Violation(const std::string& text) {
        Violations.push_back("request " + std::to_string(Writes) + ": " + text);
    }

    void Leave(std::optional<std::chrono::milliseconds> awayFor, bool returnInBootMode) {
        const bool wasPresent = Present;
        Present = false;
        ++Generation;
        Answering = {};
        ReturnAt.reset();
        if (awayFor) ReturnAt = Now() + *awayFor;
        ReturnInBootMode = returnInBootMode;
        if (wasPresent && PresenceCallback) PresenceCallback(false);
    }

    void Arrive(bool bootMode) {
        ReturnAt.reset();
        BootMode = bootMode;
        ResumingAfterRestart = bootMode;
        Answering = {};
        if (Present) return;
        Present = true;
        if (PresenceCallback) PresenceCallback(true);
    }

    void Update() {
        if (!Present && ReturnAt && Now() >= *ReturnAt) Arrive(ReturnInBootMode);
    }

    void StartUpload() {
        NextAnnounced = 0;
        CurrentId.reset();
        SectionsStarted = 0;
        Sections.clear();
        BlocksSeen.clear();
    }

    void Receive(std::span<const std::uint8_t> data);
    std::optional<std::pair<std::uint8_t, After>> Enter(std::span<const std::uint8_t> payload);
    std::optional<std::pair<std::uint8_t, After>> Block(std::span<const std::uint8_t> payload);
    std::optional<std::pair<std::uint8_t, After>> Exit(std::span<const std::uint8_t> payload);
    void Deliver(std::span<std::uint8_t> buffer);
    void Delivered(After then);

    // The commands of the latest request that the system fails (Misbehaviour::FailedCommands).
    struct Failure {
        bool On = false;
        std::uint32_t Reads = 0;  // reads failed so far
    } Failing;
    CommandOutcome WriteOutcome() const {
        return Failing.On ? Config.Faults.CommandFailure : CommandOutcome{};
    }
    // True when this read fails instead of reaching the radio.
    bool ReadFails() {
        if (!Failing.On) return false;
        const std::uint32_t limit = Config.Faults.FailedReads;
        if (limit != 0 && Failing.Reads >= limit) return false;
        ++Failing.Reads;
        return true;
    }
};

void EmulatedRadio::State::Receive(std::span<const std::uint8_t> data) {
    ++Writes;
    Answering = {};
    Failing = {};
    std::vector<std::uint8_t> plain(data.begin(), data.end());
    Scrambler(Config.Selection, plain);
    if (Config.KeepFrameLog) FrameLog.push_back(plain);

    const ParsedFrame frame = ParseFrame(plain);
    if (frame.Fault != FrameFault::None) {
        Violation(std::string("bad frame (") + FaultName(frame.Fault) + "), " +
                  std::to_string(plain.size()) + " bytes: " + FirstBytes(plain));
        return;
    }
    const ProfileSelection& sel = Config.Selection;
    const std::optional<CommandKind> enterKind = EnterKind(sel.RequestVariant);
    RequestKind kind;
    if (frame.Code == RequestCode(sel, CommandKind::Block)) {
        kind = RequestKind::Block;
    } else if (frame.Code == RequestCode(sel, CommandKind::Exit)) {
        kind = RequestKind::Exit;
    } else if (enterKind && frame.Code == RequestCode(sel, *enterKind)) {
        kind = RequestKind::Enter;
    } else {
        Violation("unknown command code " + Hex(frame.Code, 4));
        return;
    }

    const Misbehaviour& f = Config.Faults;
    Failing.On = f.FailedCommands.Matches(Writes, kind);
    if (kind == RequestKind::Block) {
        const std::uint32_t ordinal = BlockOrdinal++;
        if (f.DisappearAtBlock && *f.DisappearAtBlock == ordinal) {
            Leave(f.ReappearAfter, false);
            return;
        }
    }

    std::optional<std::pair<std::uint8_t, After>> outcome;
    std::uint16_t responseCode = 0;
    switch (kind) {
        case RequestKind::Enter:
            outcome = Enter(frame.Payload);
            responseCode = ResponseCode(sel, *enterKind);
            break;
        case RequestKind::Block:
            outcome = Block(frame.Payload);
            responseCode = ResponseCode(sel, CommandKind::Block);
            break;
        case RequestKind::Exit:
            outcome = Exit(frame.Payload);
            responseCode = ResponseCode(sel, CommandKind::Exit);
            break;
    }
    if (!outcome) return;
    if (f.Silent.Matches(Writes, kind)) return;

    Pending& p = Answering;
    p.Has = true;
    p.Real = BuildResponse(responseCode, outcome->first);
    p.Then = outcome->second;
    p.DelayReads = f.AnswerAfterReads;
    if (f.Interim.Matches(Writes, kind)) {
        p.InterimReads = f.InterimReads;
        p.InterimAnswer = BuildResponse(responseCode, f.InterimStatus);
    }
    if (f.Fault != AnswerFault::None && f.Faulty.Matches(Writes, kind)) {
        p.FaultOn = true;
        p.FaultReads = f.FaultReads;
        Answer a = p.Real;
        switch (f.Fault) {
            case AnswerFault::None: break;
            case AnswerFault::WrongCode: {
                const CommandKind other = kind == RequestKind::Exit ? CommandKind::Block : CommandKind::Exit;
                a = BuildResponse(ResponseCode(sel, other), outcome->first);
                break;
            }
            case AnswerFault::BadCheckSum: a[7] = static_cast<std::uint8_t>(a[7] + 1); break;
            case AnswerFault::MissingEndMarker: a[8] = 0x00; break;
            case AnswerFault::Status0: a = BuildResponse(responseCode, 0); break;
            case AnswerFault::Status5: a = BuildResponse(responseCode, 5); break;
        }
        p.FaultyAnswer = a;
    }
}

std::optional<std::pair<std::uint8_t, EmulatedRadio::State::After>> EmulatedRadio::State::Enter(
    std::span<const std::uint8_t> payload) {
    if (payload.empty()) {
        Violation("enter request without payload");
        return std::nullopt;
    }
    const std::uint8_t count = payload[0];
    if (count > MaxSections) {
        Violation("enter request announces " + std::to_string(count) + " sections, more than 12");
        return std::nullopt;
    }
    if (payload.size() != std::size_t{count} + 2u) {
        Violation("enter request for " + std::to_string(count) + " sections has " +
                  std::to_string(payload.size()) + " payload bytes, not " + std::to_string(count + 2));
        return std::nullopt;
    }
    if (payload[1 + count] != 0xFF) {
        Violation("enter request does not end its id list with FF");
        return std::nullopt;
    }
    const auto ids = payload.subspan(1, count);
    for (std::uint8_t id : ids) {
        if (id >= MaxSections) {
            Violation("enter request announces section id " + std::to_string(id) +
                      ", which no package can hold");
            return std::nullopt;
        }
    }
    // A repeated request may carry fewer ids (none at all after a restart): it keeps the
    // announcement it continues. So does every request between coming back from a restart
    // and the first block, whatever count the tool's cursor gives it. Anything else
    // announces anew.
    const bool continues = count == 0 || ResumingAfterRestart ||
                           (count <= Announced.size() && std::equal(ids.begin(), ids.end(), Announced.begin()));
    if (!continues) Announced.assign(ids.begin(), ids.end());

    if (!BootMode && Config.RestartOnEnter) return std::make_pair(StatusRestarting, After::Restart);
    BootMode = true;
    StartUpload();
    return std::make_pair(StatusInBootMode, After::Nothing);
}

std::optional<std::pair<std::uint8_t, EmulatedRadio::State::After>> EmulatedRadio::State::Block(
    std::span<const std::uint8_t> payload) {
    if (payload.size() != BlockPayloadLength) {
        Violation("block request with " + std::to_string(payload.size()) + " payload bytes, not 2057");
        return std::nullopt;
    }
    if (!BootMode) {
        Violation("block request outside boot mode");
        return std::nullopt;
    }
    const std::uint8_t id = payload[0];
    const std::uint32_t index = std::uint32_t{payload[1]} << 8 | payload[2];
    const std::uint32_t size = std::uint32_t{payload[3]} << 24 | std::uint32_t{payload[4]} << 16 |
                               std::uint32_t{payload[5]} << 8 | payload[6];
    const std::uint32_t dataLength = std::uint32_t{payload[7]} << 8 | payload[8];
    const auto data = payload.subspan(9, BlockSize);
    const std::string where = "block " + std::to_string(index) + " of section " + std::to_string(id);
    ResumingAfterRestart = false;

    if (dataLength != BlockSize) Violation(where + " gives data length " + std::to_string(dataLength) + ", not 2048");
    if (size == 0 || size > MaxSectionSize) {
        Violation(where + " gives section size " + std::to_string(size));
        return std::make_pair(AckStatus, After::Nothing);
    }

    if (CurrentId != id) {
        if (CurrentId) {
            const ReceivedSection& left = Sections[*CurrentId];
            if (!left.Complete)
                Violation("section " + std::to_string(left.Id) + " left after block " +
                          std::to_string(left.NextBlock - 1) + " of " + std::to_string(BlocksIn(left.Size)));
        }
        const auto announced = std::find(Announced.begin(), Announced.end(), id);
        if (announced == Announced.end()) {
            Violation("section " + std::to_string(id) + " was not announced");
        } else if (NextAnnounced < Announced.size() && Announced[NextAnnounced] == id) {
            ++NextAnnounced;
        } else {
            Violation("section " + std::to_string(id) + " sent out of the announced order" +
                      (NextAnnounced < Announced.size()
                           ? " (section " + std::to_string(Announced[NextAnnounced]) + " was due)"
                           : std::string(" (every announced section was sent)")));
            NextAnnounced = static_cast<std::size_t>(announced - Announced.begin()) + 1;
        }
        if (Sections.count(id)) Violation("section " + std::to_string(id) + " sent again");

        ReceivedSection s;
        s.Id = id;
        s.Size = size;
        s.FirstBlock = (SectionsStarted == 0 && id == 0 && Config.Selection.ScrambleMode == 0) ? SkippedLeadBlocks : 0;
        s.NextBlock = s.FirstBlock;
        s.Bytes.assign(size, 0);
        Sections[id] = std::move(s);
        BlocksSeen[id].assign(std::max(BlocksIn(size), index + 1), false);
        CurrentId = id;
        ++SectionsStarted;
    }

    ReceivedSection& s = Sections[id];
    std::vector<bool>& seen = BlocksSeen[id];
    if (size != s.Size)
        Violation(where + " gives section size " + std::to_string(size) + ", earlier blocks gave " +
                  std::to_string(s.Size));
    if (index < seen.size() && seen[index]) {
        Violation(where + " sent twice");
    } else if (index != s.NextBlock) {
        Violation(where + " out of order (block " + std::to_string(s.NextBlock) + " was due)");
    }
    const std::uint32_t blocks = BlocksIn(s.Size);
    // Under scramble mode 0 a first section 0 of four blocks or less gets one block, wholly
    // past its end: the upload starts at block 4 whatever the size.
    const bool leadOnly = index == s.FirstBlock && s.FirstBlock == SkippedLeadBlocks && blocks <= SkippedLeadBlocks;
    if (index >= blocks && !leadOnly)
        Violation(where + " lies past the section's end (" + std::to_string(blocks) + " blocks)");

    const std::uint64_t start = std::uint64_t{index} * BlockSize;
    const std::size_t kept = start >= s.Size ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(BlockSize, s.Size - start));
    std::copy_n(data.begin(), kept, s.Bytes.begin() + static_cast<std::ptrdiff_t>(start < s.Size ? start : 0));
    if (std::any_of(data.begin() + static_cast<std::ptrdiff_t>(kept), data.end(), [](std::uint8_t b) { return b != 0; }))
        Violation(where + " carries filler bytes that are not zero past the section's end");

    if (index >= seen.size()) seen.resize(index + 1, false);
    if (!seen[index]) ++s.BlocksReceived;
    seen[index] = true;
    if (index >= s.NextBlock) s.NextBlock = index + 1;
    s.Complete = s.NextBlock >= blocks || leadOnly;
    return std::make_pair(AckStatus, After::Nothing);
}

std::optional<std::pair<std::uint8_t, EmulatedRadio::State::After>> EmulatedRadio::State::Exit(
    std::span<const std::uint8_t> payload) {
    if (!payload.empty()) {
        Violation("exit request with " + std::to_string(payload.size()) + " payload bytes");
        return std::nullopt;
    }
    if (!BootMode) {
        Violation("exit request outside boot mode");
        return std::nullopt;
    }
    for (std::uint8_t id : Announced) {
        const auto it = Sections.find(id);
        if (it == Sections.end())
            Violation("exit requested, but section " + std::to_string(id) + " never came");
        else if (!it->second.Complete)
            Violation("exit requested, but section " + std::to_string(id) + " is incomplete");
    }
    return std::make_pair(AckStatus, After::Reset);
}

void EmulatedRadio::State::Deliver(std::span<std::uint8_t> buffer) {
    Pending& p = Answering;
    if (!p.Has) return;
    std::uint32_t r = p.ReadsSince++;
    if (r < p.DelayReads) return;
    r -= p.DelayReads;
    const Answer* answer = &p.Real;
    if (r < p.InterimReads) {
        answer = &p.InterimAnswer;
    } else if (p.FaultOn && (p.FaultReads == 0 || r - p.InterimReads < p.FaultReads)) {
        answer = &p.FaultyAnswer;
    }
    std::copy_n(answer->begin(), std::min(buffer.size(), answer->size()), buffer.begin());
    if (answer == &p.Real && !p.Delivered) {
        p.Delivered = true;
        Delivered(p.Then);
    }
}

// What the radio does once its answer has been read: the sequencer has it, so the radio
// may go.
void EmulatedRadio::State::Delivered(After then) {
    switch (then) {
        case After::Nothing: break;
        case After::Restart: {
            ++Restarts;
            std::optional<std::chrono::milliseconds> away;
            if (Config.ReturnsAfterRestart) away = Config.RestartTime;
            Leave(away, true);
            break;
        }
        case After::Reset:
            ++ExitsAnswered;
            ++Resets;
            BootMode = false;
            ResumingAfterRestart = false;
            Announced.clear();
            if (Config.LeavesAfterExit) Leave(Config.ResetTime, false);
            break;
    }
}

namespace {
class EmulatedChannel : public DeviceChannel {
public:
    EmulatedChannel(std::shared_ptr<EmulatedRadio::State> state, std::uint64_t generation)
        : state_(std::move(state)), generation_(generation) {
        ++state_->OpenChannels;
    }
    ~EmulatedChannel() override { --state_->OpenChannels; }

    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        state_->Update();
        if (!Alive()) return Gone();
        state_->Receive(data);
        return state_->WriteOutcome();
    }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        state_->Update();
        if (!Alive()) return Gone();
        if (state_->ReadFails()) return state_->Config.Faults.CommandFailure;
        ++state_->Reads;
        state_->Deliver(buffer);
        return {};
    }

private:
    bool Alive() const { return state_->Present && state_->Generation == generation_; }
    // What a system says of a command to a drive that has left the bus.
    static CommandOutcome Gone() { return OutcomeOfSystemError(ENODEV, ErrorCodes::Posix); }
    std::shared_ptr<EmulatedRadio::State> state_;
    std::uint64_t generation_;
};
}  // namespace

EmulatedRadio::EmulatedRadio(EmulatedRadioConfig config) : state_(std::make_shared<State>()) {
    state_->Config = std::move(config);
    state_->BootMode = state_->Config.StartsInBootMode;
}

EmulatedRadio::~EmulatedRadio() = default;

std::uint16_t EmulatedRadio::ScanDrives() {
    state_->Update();
    state_->PresentAtLastScan = state_->Present;
    return state_->Present ? 1 : 0;
}

OpenResult EmulatedRadio::OpenDevice() {
    state_->Update();
    OpenResult r;
    if (!state_->PresentAtLastScan) {
        r.Failure = OpenFailure::NoRadio;
        return r;
    }
    if (!state_->Present) {
        r.Failure = OpenFailure::CannotOpen;
        r.Detail = "the radio left the bus";
        return r;
    }
    r.Channel = std::make_unique<EmulatedChannel>(state_, state_->Generation);
    r.Failure = OpenFailure::None;
    return r;
}

Misbehaviour& EmulatedRadio::Faults() { return state_->Config.Faults; }
void EmulatedRadio::SetAnswerAfterReads(std::uint32_t reads) { Faults().AnswerAfterReads = reads; }
void EmulatedRadio::SetSilent(RequestMatch match) { Faults().Silent = match; }
void EmulatedRadio::SetFaultyAnswer(RequestMatch match, AnswerFault fault, std::uint32_t reads) {
    Faults().Faulty = match;
    Faults().Fault = fault;
    Faults().FaultReads = reads;
}
void EmulatedRadio::SetInterimAnswers(RequestMatch match, std::uint8_t status, std::uint32_t reads) {
    Faults().Interim = match;
    Faults().InterimStatus = status;
    Faults().InterimReads = reads;
}
void EmulatedRadio::SetDisappearAtBlock(std::uint32_t ordinal,
                                        std::optional<std::chrono::milliseconds> reappearAfter) {
    Faults().DisappearAtBlock = ordinal;
    Faults().ReappearAfter = reappearAfter;
}
void EmulatedRadio::SetReturnsAfterRestart(bool returns) { state_->Config.ReturnsAfterRestart = returns; }
void EmulatedRadio::SetFailedCommands(RequestMatch match, std::uint32_t reads, CommandOutcome failure) {
    Faults().FailedCommands = match;
    Faults().FailedReads = reads;
    Faults().CommandFailure = failure;
}

void EmulatedRadio::Unplug() { state_->Leave(std::nullopt, false); }
void EmulatedRadio::PlugIn() { state_->Arrive(false); }
void EmulatedRadio::Advance() { state_->Update(); }
std::optional<std::chrono::milliseconds> EmulatedRadio::ReturnTime() const {
    return state_->Present ? std::nullopt : state_->ReturnAt;
}
void EmulatedRadio::SetPresenceCallback(std::function<void(bool)> callback) {
    state_->PresenceCallback = std::move(callback);
}

bool EmulatedRadio::Present() const { return state_->Present; }
bool EmulatedRadio::InBootMode() const { return state_->BootMode; }
std::uint32_t EmulatedRadio::Reads() const { return state_->Reads; }
std::uint32_t EmulatedRadio::Writes() const { return state_->Writes; }
std::uint32_t EmulatedRadio::OpenChannels() const { return state_->OpenChannels; }
std::uint32_t EmulatedRadio::Restarts() const { return state_->Restarts; }
std::uint32_t EmulatedRadio::Resets() const { return state_->Resets; }
std::uint32_t EmulatedRadio::ExitsAnswered() const { return state_->ExitsAnswered; }
const std::vector<std::uint8_t>& EmulatedRadio::AnnouncedIds() const { return state_->Announced; }
const std::map<std::uint8_t, ReceivedSection>& EmulatedRadio::Sections() const { return state_->Sections; }
const std::vector<std::vector<std::uint8_t>>& EmulatedRadio::FrameLog() const { return state_->FrameLog; }
const std::vector<std::string>& EmulatedRadio::Violations() const { return state_->Violations; }

std::vector<std::string> EmulatedRadio::CompareSections(
    const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected) const {
    std::vector<std::string> differences;
    for (const auto& [id, bytes] : expected) {
        const std::string name = "section " + std::to_string(id);
        const auto it = state_->Sections.find(id);
        if (it == state_->Sections.end()) {
            differences.push_back(name + " was not received");
            continue;
        }
        const ReceivedSection& got = it->second;
        if (got.Size != bytes.size()) {
            differences.push_back(name + " was received with size " + std::to_string(got.Size) +
                                  ", expected " + std::to_string(bytes.size()));
            continue;
        }
        if (!got.Complete) differences.push_back(name + " is incomplete");
        const std::size_t from = std::min<std::size_t>(std::size_t{got.FirstBlock} * BlockSize, bytes.size());
        const auto mismatch = std::mismatch(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                            got.Bytes.begin() + static_cast<std::ptrdiff_t>(from));
        if (mismatch.first != bytes.end())
            differences.push_back(name + " differs from byte " +
                                  std::to_string(mismatch.first - bytes.begin()) + " on");
    }
    for (const auto& [id, got] : state_->Sections)
        if (!expected.count(id)) differences.push_back("section " + std::to_string(id) + " was received but not expected");
    return differences;
}

std::map<std::uint8_t, std::vector<std::uint8_t>> SectionsOf(const Package& package) {
    std::map<std::uint8_t, std::vector<std::uint8_t>> sections;
    const SectionList list = package.Sections();
    for (std::uint8_t id : list.View()) {
        const auto data = package.SectionData(id);
        sections[id].assign(data.begin(), data.end());
    }
    return sections;
}

}  // namespace quenfall
