#pragma once
// Inside the emulated radio: its state, shared by the files that each do one of its jobs
// (emulated_radio.cpp: the bus and the public face; emulated_request_check.cpp: checking
// requests and keeping sections; emulated_answers.cpp: answers, their faults and the
// channel; emulated_sections.cpp: comparing what was kept). Not for use outside src/emulator.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "protocol/command_frame.h"
#include "emulator/emulated_radio.h"

namespace quenfall {

namespace emulated {


using Answer = std::array<std::uint8_t, ResponseFrameLength>;

// A real section never exceeds the package image; a larger size field is nonsense, and
// keeping it would mean allocating whatever a corrupt frame asks for.
constexpr std::uint32_t MaxSectionSize = 10 * 1024 * 1024;
constexpr std::uint8_t AckStatus = 1;
constexpr std::uint32_t SkippedLeadBlocks = 4;

inline std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

inline std::string FirstBytes(std::span<const std::uint8_t> bytes) {
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

inline const char* FaultName(FrameFault fault) {
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

inline std::uint32_t BlocksIn(std::uint32_t size) { return size / BlockSize + (size % BlockSize ? 1 : 0); }

}  // namespace emulated

using emulated::Answer;

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

// A channel to the radio in its life generation: dead once the radio has left the bus.
std::unique_ptr<DeviceChannel> MakeEmulatedChannel(std::shared_ptr<EmulatedRadio::State> state, std::uint64_t generation);

}  // namespace quenfall
