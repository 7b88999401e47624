#pragma once
// Test doubles for the upgrade's ports: the view that records every call (tests/support),
// and a scripted radio link that decodes every frame written to it and answers as a script says.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/package.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "protocol/model_profile.h"
#include "protocol/scrambler.h"
#include "upgrade/device_link.h"
#include "upgrade/upgrade_view.h"
#include "recording_view.h"

namespace quenfall::test {

// A request as the radio would read it.
struct SentFrame {
    std::chrono::milliseconds At{0};
    std::vector<std::uint8_t> Raw;    // as written (scrambled)
    std::vector<std::uint8_t> Plain;  // descrambled
    std::optional<CommandKind> Kind;  // by its request code; none when unknown
    FrameFault Fault = FrameFault::TooShort;
    std::vector<std::uint8_t> Payload;
    bool ReachedRadio = true;  // false when written on a channel whose radio had gone

    std::uint8_t SectionId() const { return Payload.at(0); }
    std::uint16_t BlockIndex() const { return static_cast<std::uint16_t>(Payload.at(1) << 8 | Payload.at(2)); }
    std::uint32_t SectionSize() const {
        return std::uint32_t{Payload.at(3)} << 24 | std::uint32_t{Payload.at(4)} << 16 |
               std::uint32_t{Payload.at(5)} << 8 | Payload.at(6);
    }
    std::vector<std::uint8_t> BlockData() const { return {Payload.begin() + 9, Payload.end()}; }
};

// What the radio does with one request: answer with status after some reads, or not at all.
struct Reply {
    bool Answers = true;
    std::uint8_t Status = 1;
    std::uint32_t AfterReads = 0;  // reads that still see zeros
    std::uint32_t Times = 0;       // reads that see the answer, then zeros again; 0: all
    static Reply Silent() { return {false, 0, 0, 0}; }
    static Reply With(std::uint8_t status, std::uint32_t afterReads = 0, std::uint32_t times = 0) {
        return {true, status, afterReads, times};
    }
};

class ScriptedLink : public DeviceLink {
public:
    explicit ScriptedLink(ProfileSelection selection, std::function<std::chrono::milliseconds()> now = {})
        : shared_(std::make_shared<Shared>()) {
        shared_->Selection = selection;
        shared_->Now = std::move(now);
    }

    std::uint16_t ScanDrives() override {
        ++shared_->Scans;
        return shared_->Present ? 1 : 0;
    }
    OpenResult OpenDevice() override {
        ++shared_->Opens;
        OpenResult result;
        if (!NextOpenFailures.empty()) {
            result.Failure = NextOpenFailures.front().first;
            result.Detail = NextOpenFailures.front().second;
            NextOpenFailures.pop_front();
            return result;
        }
        if (!shared_->Present) {
            result.Failure = OpenFailure::NoRadio;
            return result;
        }
        result.Failure = OpenFailure::None;
        result.Channel = std::make_unique<Channel>(shared_, shared_->Generation);
        return result;
    }

    // The radio's answer to each request; default: status 4 to enter, 1 to the others.
    void SetScript(std::function<Reply(const SentFrame&, std::size_t index)> script) {
        shared_->Script = std::move(script);
    }
    // The system refuses every command outright (a container, say): nothing reaches the
    // radio, and channels report this text as their refusal.
    void SetRefusal(std::string text) { shared_->Refusal = std::move(text); }
    // Pulling the cable drops every open channel for good.
    void SetPresent(bool present) {
        if (!present && shared_->Present) ++shared_->Generation;
        shared_->Present = present;
    }

    const std::vector<SentFrame>& Frames() const { return shared_->Frames; }
    std::vector<SentFrame> FramesOf(CommandKind kind) const {
        std::vector<SentFrame> out;
        for (const SentFrame& f : shared_->Frames)
            if (f.Kind == kind) out.push_back(f);
        return out;
    }
    int Scans() const { return shared_->Scans; }
    int Opens() const { return shared_->Opens; }
    int OpenChannels() const { return shared_->OpenChannels; }
    int MostOpenAtOnce() const { return shared_->MostOpen; }
    std::uint64_t Reads() const { return shared_->Reads; }

    std::deque<std::pair<OpenFailure, std::string>> NextOpenFailures;

private:
    struct Shared {
        ProfileSelection Selection;
        std::function<std::chrono::milliseconds()> Now;
        std::function<Reply(const SentFrame&, std::size_t)> Script;
        std::string Refusal;
        bool Present = true;
        int Generation = 0;
        int Scans = 0;
        int Opens = 0;
        int OpenChannels = 0;
        int MostOpen = 0;
        std::uint64_t Reads = 0;
        std::vector<SentFrame> Frames;
        std::optional<std::array<std::uint8_t, ResponseFrameLength>> Pending;
        std::uint32_t ReadsBeforeAnswer = 0;
        std::uint32_t AnswerReadsLeft = 0;
    };

    class Channel : public DeviceChannel {
    public:
        Channel(std::shared_ptr<Shared> shared, int generation) : shared_(std::move(shared)), generation_(generation) {
            ++shared_->OpenChannels;
            shared_->MostOpen = std::max(shared_->MostOpen, shared_->OpenChannels);
        }
        ~Channel() override { --shared_->OpenChannels; }

        CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
            Shared& s = *shared_;
            SentFrame frame;
            frame.At = s.Now ? s.Now() : std::chrono::milliseconds{0};
            frame.Raw.assign(data.begin(), data.end());
            frame.Plain = frame.Raw;
            Scrambler(s.Selection, frame.Plain);
            const ParsedFrame parsed = ParseFrame(frame.Plain);
            frame.Fault = parsed.Fault;
            frame.Payload.assign(parsed.Payload.begin(), parsed.Payload.end());
            for (CommandKind kind : {CommandKind::Block, CommandKind::EnterA, CommandKind::Exit, CommandKind::EnterB}) {
                if (parsed.Fault == FrameFault::None && parsed.Code == RequestCode(s.Selection, kind)) frame.Kind = kind;
            }
            frame.ReachedRadio = Alive() && s.Refusal.empty();
            s.Frames.push_back(frame);
            if (!s.Refusal.empty()) return Refused();
            if (!frame.ReachedRadio) return {};
            s.Pending.reset();
            if (!frame.Kind) return {};
            Reply reply = s.Script ? s.Script(frame, s.Frames.size() - 1) : DefaultReply(*frame.Kind);
            if (!reply.Answers) return {};
            s.Pending = BuildResponse(ResponseCode(s.Selection, *frame.Kind), reply.Status);
            s.ReadsBeforeAnswer = reply.AfterReads;
            s.AnswerReadsLeft = reply.Times;
            return {};
        }
        CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
            std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
            if (!shared_->Refusal.empty()) return Refused();
            if (!Alive()) return {};
            Shared& s = *shared_;
            ++s.Reads;
            if (!s.Pending) return {};
            if (s.ReadsBeforeAnswer > 0) {
                --s.ReadsBeforeAnswer;
                return {};
            }
            std::copy_n(s.Pending->begin(), std::min(buffer.size(), s.Pending->size()), buffer.begin());
            if (s.AnswerReadsLeft > 0 && --s.AnswerReadsLeft == 0) s.Pending.reset();
            return {};
        }

        // A refusing system refuses every command; its advice is the text the test set.
        std::string RefusalAdvice(const CommandOutcome&) const override { return shared_->Refusal; }
        static CommandOutcome Refused() { return OutcomeOfSystemError(EACCES, ErrorCodes::Posix); }

    private:
        bool Alive() const { return shared_->Present && shared_->Generation == generation_; }
        static Reply DefaultReply(CommandKind kind) {
            return kind == CommandKind::EnterA || kind == CommandKind::EnterB ? Reply::With(4) : Reply::With(1);
        }
        std::shared_ptr<Shared> shared_;
        int generation_;
    };

    std::shared_ptr<Shared> shared_;
};

// A validated package built through the real writer and loader.
inline std::shared_ptr<const Package> MakePackage(const PackageSpec& spec) {
    LoadResult result = LoadPackageImage(WritePackage(spec));
    if (!result.Accepted) throw std::runtime_error("test package refused: " + result.Message);
    return result.Accepted;
}

// Section bytes that differ from section to section and from block to block.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + i / 2048);
    return bytes;
}

}  // namespace quenfall::test
