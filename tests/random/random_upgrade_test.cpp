// Many whole upgrades in virtual time against the emulated radio, each with a random
// package and random misbehaviour at random moments, and the invariants every run must
// keep checked at its end.
//
// A failure names the base seed and the iteration; to replay exactly that run:
//   QUENFALL_RANDOM_SEED=<seed> QUENFALL_RANDOM_FIRST=<iteration> QUENFALL_RANDOM_RUNS=1
// QUENFALL_RANDOM_RUNS also sets how many runs a longer soak plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "package/package.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "protocol/scrambler.h"
#include "emulator/emulated_radio.h"
#include "upgrade/device_watch.h"
#include "upgrade/status_texts.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"

namespace quenfall {
namespace {

using std::chrono::milliseconds;
using Rng = std::mt19937_64;

constexpr std::uint64_t DefaultSeed = 20261209;
constexpr std::uint32_t DefaultRuns = 10000;
// A run that has not ended after this much virtual time is stuck (the longest legitimate
// one, every answer late by a whole window, stays well below it).
constexpr std::int64_t RunCapTicks = 60000;
// A radio that never comes back: the wait goes on for ever by design. Two reopen attempts
// are enough to see it waiting.
constexpr std::int64_t StrandedTicks = 2 * (RestartWaitTicks + 1) + 10;
// A radio that answers every enter request with status 1 or 2 and never with more.
constexpr std::int64_t PollingForeverTicks = 8000;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 10);
}

std::uint32_t Uniform(Rng& rng, std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>(low, high)(rng);
}
bool Chance(Rng& rng, double p) { return std::bernoulli_distribution(p)(rng); }

// ---- packages ---------------------------------------------------------------------------

// Sizes cluster where the upload's arithmetic turns: tiny sections, one byte either side
// of a block boundary, and around the four blocks that section 0 skips under mode 0.
std::uint32_t RandomSectionSize(Rng& rng) {
    switch (Uniform(rng, 0, 3)) {
        case 0: return Uniform(rng, 1, 64);
        case 1: return Uniform(rng, 1, 5) * 2048 + Uniform(rng, 0, 2) - 1;
        case 2: return 8192 + Uniform(rng, 0, 2) - 1 + (Chance(rng, 0.5) ? 2048 : 0);
        default: return Uniform(rng, 1, 6 * 2048 + 5);
    }
}

struct MadePackage {
    std::shared_ptr<const Package> Loaded;
    std::map<std::uint8_t, std::vector<std::uint8_t>> Sections;  // id -> plain bytes, as written
    std::string Shape;
};

void RandomSelectionHeader(Rng& rng, PackageSpec& spec) {
    static constexpr std::array<std::uint8_t, 4> Models = {0, 2, 11, 17};
    spec.ModelCode = Models[Uniform(rng, 0, 3)];
    const std::uint32_t mode = Uniform(rng, 0, 9);
    spec.ScrambleMode = static_cast<std::uint8_t>(mode < 4 ? 0 : mode < 8 ? 1 : mode == 8 ? 2 : Uniform(rng, 3, 255));
    spec.CodeBank = static_cast<std::uint8_t>(Chance(rng, 0.5) ? 0 : Chance(rng, 0.5) ? 1 : Uniform(rng, 2, 255));
    spec.RequestVariant = static_cast<std::uint8_t>(Uniform(rng, 0, 1));
}

// A package from the writer, through the loader, with its sections kept aside as written
// so the radio's copy is compared with what went in, not with what the loader made of it.
MadePackage MakePackage(Rng& rng, const PackageSpec& headerFields, std::uint32_t sectionCount) {
    PackageSpec spec = headerFields;
    std::vector<std::uint8_t> slots(SlotCount);
    std::iota(slots.begin(), slots.end(), std::uint8_t{0});
    std::shuffle(slots.begin(), slots.end(), rng);
    slots.resize(sectionCount);
    MadePackage made;
    std::ostringstream shape;
    shape << "model " << int{spec.ModelCode} << " mode " << int{spec.ScrambleMode} << " bank "
          << int{spec.CodeBank} << " variant " << int{spec.RequestVariant} << " sections";
    // The file holds the sections in a random order; the slots decide the upload order.
    for (std::uint8_t slot : slots) {
        SectionSpec section;
        section.Slot = slot;
        section.Id = slot;
        section.Data.resize(RandomSectionSize(rng));
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < section.Data.size(); ++i) {
            if (i % 8 == 0) word = rng();
            section.Data[i] = static_cast<std::uint8_t>(word >> (8 * (i % 8)));
        }
        made.Sections[slot] = section.Data;
        spec.Sections.push_back(std::move(section));
    }
    for (const auto& [id, bytes] : made.Sections) shape << ' ' << int{id} << ':' << bytes.size();
    made.Shape = shape.str();
    LoadResult result = LoadPackageImage(WritePackage(spec));
    if (result.Verdict != LoadVerdict::Accepted) {
        ADD_FAILURE() << "the writer's package was refused: " << result.Message << " (" << made.Shape << ")";
        return made;
    }
    made.Loaded = result.Accepted;
    return made;
}

// ---- the host around the sequencer ------------------------------------------------------

bool IsStatusText(std::string_view text) {
    static constexpr std::array<std::string_view, 7> Texts = {
        NoDeviceText,          DeviceConnectedText,    UpgradeFailedText,  EnteringBootModeText,
        UpgradingText,         CommunicationErrorText, UpgradeCompleteText};
    return std::find(Texts.begin(), Texts.end(), text) != Texts.end();
}

enum class Ending : std::uint8_t { Started, Completed, CommunicationError };

class HostView : public UpgradeView {
public:
    explicit HostView(std::function<void(milliseconds)> pause) : pause_(std::move(pause)) {}

    void SetStatusText(std::string_view text) override {
        Status = std::string(text);
        StatusSet = true;
        if (!IsStatusText(text)) Problems.push_back("status line set to \"" + Status + "\"");
        if (text == CommunicationErrorText) Endings.push_back({Ending::CommunicationError, nullptr});
    }
    void SetProgressWidth(int pixels) override {
        if (pixels < 0 || pixels > ProgressFullWidth)
            Problems.push_back("progress width " + std::to_string(pixels));
    }
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view text) override {
        if (text != CompletionMessage) Problems.push_back("info box \"" + std::string(text) + "\"");
        Endings.push_back({Ending::Completed, OnCompletion ? OnCompletion() : nullptr});
    }
    void ShowError(std::string_view text, std::string_view caption) override {
        if ((text != CannotConnectMessage && text != NoSectionsMessage) || caption != ErrorCaption)
            Problems.push_back("error box \"" + std::string(text) + "\"");
        Errors.emplace_back(text);
    }
    void Pause(milliseconds duration) override { pause_(duration); }

    std::function<std::shared_ptr<const Package>()> OnCompletion;
    std::string Status;
    bool StatusSet = false;
    std::vector<std::pair<Ending, std::shared_ptr<const Package>>> Endings;
    std::vector<std::string> Errors;
    std::vector<std::string> Problems;

private:
    std::function<void(milliseconds)> pause_;
};

// Watches the dialogue at the sequencer's edge, independently of the radio: every frame
// written must be one the run's radio can read, a block may go out only after the one
// before it was acknowledged, and no block goes out twice in a run.
class DialogueChecker : public DialogueTrace {
public:
    explicit DialogueChecker(const UpgradeSequencer& sequencer) : sequencer_(sequencer) {}

    void NewRun() {
        blockInFlight_ = false;
        sent_.clear();
    }

    void FrameWritten(std::span<const std::uint8_t> frame) override {
        const Package* package = sequencer_.State().RunPackage.get();
        if (package == nullptr) {
            Problems.push_back("frame written with no run package");
            return;
        }
        const ProfileSelection& sel = package->Selection;
        std::vector<std::uint8_t> plain(frame.begin(), frame.end());
        Scrambler(sel, plain);
        const ParsedFrame parsed = ParseFrame(plain);
        if (parsed.Fault != FrameFault::None) {
            Problems.push_back("unreadable frame of " + std::to_string(frame.size()) + " bytes");
            return;
        }
        if (parsed.Code == RequestCode(sel, CommandKind::Block)) {
            ++BlocksWritten;
            const std::uint8_t id = parsed.Payload[0];
            const auto index = static_cast<std::uint16_t>(parsed.Payload[1] << 8 | parsed.Payload[2]);
            const std::string name = "block " + std::to_string(index) + " of section " + std::to_string(id);
            if (blockInFlight_) Problems.push_back(name + " sent while another block was in flight");
            if (!sent_.insert({id, index}).second) Problems.push_back(name + " sent twice");
            blockInFlight_ = true;
        } else if (parsed.Code == RequestCode(sel, CommandKind::Exit)) {
            if (blockInFlight_) Problems.push_back("exit request sent with a block in flight");
        } else if (parsed.Code != RequestCode(sel, *EnterKind(sel.RequestVariant))) {
            Problems.push_back("frame with unknown code " + std::to_string(parsed.Code));
        }
    }

    void AnswerAccepted(std::span<const std::uint8_t> answer) override {
        const Package* package = sequencer_.State().RunPackage.get();
        if (package == nullptr) return;
        const std::uint16_t code = static_cast<std::uint16_t>(answer[1] << 8 | answer[2]);
        if (code == ResponseCode(package->Selection, CommandKind::Block)) blockInFlight_ = false;
    }

    std::vector<std::string> Problems;
    std::uint64_t BlocksWritten = 0;

private:
    const UpgradeSequencer& sequencer_;
    bool blockInFlight_ = false;
    std::set<std::pair<std::uint8_t, std::uint16_t>> sent_;
};

struct RadioShape {
    bool StartsInBootMode = false;
    bool RestartOnEnter = true;
    milliseconds RestartTime{2000};
    bool LeavesAfterExit = false;
    milliseconds ResetTime{2000};
};

// One radio, one window's worth of upgrade machinery, one virtual clock.
class World {
public:
    World(const ProfileSelection& radioModel, const RadioShape& shape)
        : radio_(Config(radioModel, shape)),
          view_([this](milliseconds d) { clock_.Advance(d); }),
          sequencer_(radio_, view_, clock_),
          watch_(radio_, view_, clock_, sequencer_),
          checker_(sequencer_) {
        clock_.SetDispatch(TimerDispatch(sequencer_, watch_));
        sequencer_.SetTrace(&checker_);
        // USB notifications reach the window through its message loop, between handlers.
        radio_.SetPresenceCallback([this](bool) { ++presenceEvents_; });
        view_.OnCompletion = [this] { return sequencer_.State().RunPackage; };
    }

    void Click(std::shared_ptr<const Package> loaded) {
        const bool busy = sequencer_.Busy();
        if (!busy) checker_.NewRun();
        sequencer_.Button2Click(std::move(loaded));
        // A run in boot-mode entry that a later click replaces has no ending of its own;
        // this marks where each run began.
        if (!busy && clock_.IsOn(TimerId::EnterTunerMode)) view_.Endings.push_back({Ending::Started, nullptr});
    }

    // Fires the next timer, then lets the radio and the notifications catch up. False when
    // nothing is on.
    bool Step() {
        const bool fired = clock_.Step();
        radio_.Advance();
        DeliverNotifications();
        return fired;
    }
    void Idle(milliseconds d) {
        clock_.Advance(d);
        radio_.Advance();
        DeliverNotifications();
    }
    void DeliverNotifications() {
        while (presenceEvents_ > 0) {
            --presenceEvents_;
            watch_.OnUsbDeviceChanged();
        }
    }
    bool AnyTimerOn() const {
        for (std::size_t i = 0; i < TimerCount; ++i)
            if (clock_.IsOn(static_cast<TimerId>(i))) return true;
        return false;
    }
    std::vector<TimerId> SequencerTimersOn() const {
        std::vector<TimerId> on;
        for (TimerId id : SequencerTimers)
            if (clock_.IsOn(id)) on.push_back(id);
        return on;
    }

    VirtualClock& Clock() { return clock_; }
    EmulatedRadio& Radio() { return radio_; }
    HostView& View() { return view_; }
    UpgradeSequencer& Sequencer() { return sequencer_; }
    DialogueChecker& Checker() { return checker_; }

private:
    EmulatedRadioConfig Config(const ProfileSelection& model, const RadioShape& shape) {
        EmulatedRadioConfig c;
        c.Selection = model;
        c.Now = clock_.NowFunction();
        c.StartsInBootMode = shape.StartsInBootMode;
        c.RestartOnEnter = shape.RestartOnEnter;
        c.RestartTime = shape.RestartTime;
        c.LeavesAfterExit = shape.LeavesAfterExit;
        c.ResetTime = shape.ResetTime;
        c.KeepFrameLog = false;
        return c;
    }

    VirtualClock clock_;
    EmulatedRadio radio_;
    HostView view_;
    UpgradeSequencer sequencer_;
    DeviceWatch watch_;
    DialogueChecker checker_;
    int presenceEvents_ = 0;
};

// ---- one random run ---------------------------------------------------------------------

struct Action {
    std::int64_t AtTick;
    std::string Name;
    std::function<void()> Do;
};

enum class Outcome : std::uint8_t { Completed, CommunicationError, Refused, Stranded, Abandoned, KeptPolling };

struct RunReport {
    Outcome Result = Outcome::Abandoned;
    bool Misbehaved = false;
    std::uint64_t Ticks = 0;
};

class RandomRun {
public:
    RandomRun(std::uint64_t seed) : rng_(seed) {}

    RunReport Play() {
        RunReport report;
        PackageSpec header;
        RandomSelectionHeader(rng_, header);
        // Now and then a package with no sections, which the Upgrade click refuses.
        const std::uint32_t count = Chance(rng_, 0.02) ? 0 : Uniform(rng_, 1, 12);
        MadePackage made = MakePackage(rng_, header, count);
        if (!made.Loaded) return report;
        packages_[made.Loaded.get()] = made.Sections;
        const ProfileSelection model = made.Loaded->Selection;
        Describe("package: " + made.Shape);

        RadioShape shape;
        shape.StartsInBootMode = Chance(rng_, 0.1);
        shape.RestartOnEnter = Chance(rng_, 0.85);
        // Past 8 s the first reopen finds nothing and the next comes 801 ticks later.
        shape.RestartTime = milliseconds(Chance(rng_, 0.85) ? Uniform(rng_, 100, 7900) : Uniform(rng_, 8100, 12000));
        shape.LeavesAfterExit = Chance(rng_, 0.5);
        shape.ResetTime = milliseconds(Uniform(rng_, 200, 3000));
        std::ostringstream radioText;
        radioText << "radio: boot mode " << shape.StartsInBootMode << ", restart " << shape.RestartOnEnter
                  << " after " << shape.RestartTime.count() << " ms, leaves after exit " << shape.LeavesAfterExit;
        Describe(radioText.str());

        world_ = std::make_unique<World>(model, shape);
        loaded_ = made.Loaded;

        std::uint32_t blocks = 0;
        for (const auto& [id, bytes] : made.Sections) blocks += BlocksFor(static_cast<std::uint32_t>(bytes.size()));
        const std::uint32_t requests = blocks + 3;
        const std::int64_t spanTicks = 2 * std::int64_t{blocks} + (shape.RestartOnEnter ? 900 : 0) + 50;

        report.Misbehaved = count > 0 && Chance(rng_, 0.75);
        if (report.Misbehaved) Misbehave(model, requests, spanTicks);
        std::sort(actions_.begin(), actions_.end(),
                  [](const Action& a, const Action& b) { return a.AtTick < b.AtTick; });

        world_->Click(loaded_);
        if (count == 0) {
            CheckRefusedClick();
            report.Result = Outcome::Refused;
            return report;
        }
        report.Result = RunToEnd();
        report.Ticks = static_cast<std::uint64_t>(world_->Clock().Now() / TickInterval);
        CheckEnd(report);
        return report;
    }

    const std::string& Description() const { return description_; }

private:
    void Describe(const std::string& line) { description_ += "\n  " + line; }

    void At(std::int64_t tick, std::string name, std::function<void()> action) {
        actions_.push_back({tick, std::move(name), std::move(action)});
    }

    RequestMatch RandomMatch(std::uint32_t requests, std::string& text) {
        static constexpr std::array<RequestKind, 3> Kinds = {RequestKind::Enter, RequestKind::Block, RequestKind::Exit};
        static constexpr std::array<const char*, 3> KindNames = {"enter", "block", "exit"};
        if (Chance(rng_, 0.7)) {
            const std::uint32_t n = Uniform(rng_, 1, requests);
            text = "request " + std::to_string(n);
            return RequestMatch::Nth(n);
        }
        const std::uint32_t k = Uniform(rng_, 0, 2);
        text = std::string("every ") + KindNames[k] + " request";
        return RequestMatch::Every(Kinds[k]);
    }

    std::int64_t RandomMoment(std::int64_t spanTicks) {
        return Uniform(rng_, 0, static_cast<std::uint32_t>(spanTicks));
    }

    void Misbehave(const ProfileSelection& model, std::uint32_t requests, std::int64_t spanTicks) {
        EmulatedRadio& radio = world_->Radio();
        const std::uint32_t kinds = Uniform(rng_, 1, 3);
        for (std::uint32_t k = 0; k < kinds; ++k) {
            std::string match;
            switch (Uniform(rng_, 0, 9)) {
                case 0: {
                    const RequestMatch m = RandomMatch(requests, match);
                    radio.SetSilent(m);
                    Describe("silent on " + match);
                    break;
                }
                case 1: {
                    const std::int64_t at = RandomMoment(spanTicks);
                    // Late by a little, or right at the edge of the 400-tick window.
                    const std::uint32_t reads = Chance(rng_, 0.7) ? Uniform(rng_, 1, 40) : Uniform(rng_, 395, 402);
                    At(at, "answers late by " + std::to_string(reads) + " reads",
                       [&radio, reads] { radio.SetAnswerAfterReads(reads); });
                    if (Chance(rng_, 0.5)) {
                        const std::int64_t until = at + RandomMoment(spanTicks);
                        At(until, "answers on time again", [&radio] { radio.SetAnswerAfterReads(0); });
                    }
                    break;
                }
                case 2: {
                    static constexpr std::array<AnswerFault, 5> Faults = {
                        AnswerFault::WrongCode, AnswerFault::BadCheckSum, AnswerFault::MissingEndMarker,
                        AnswerFault::Status0, AnswerFault::Status5};
                    const RequestMatch m = RandomMatch(requests, match);
                    const AnswerFault fault = Faults[Uniform(rng_, 0, 4)];
                    const std::uint32_t reads = Chance(rng_, 0.5) ? 0 : Uniform(rng_, 1, 450);
                    radio.SetFaultyAnswer(m, fault, reads);
                    Describe("wrong answer " + std::to_string(static_cast<int>(fault)) + " on " + match +
                             (reads == 0 ? " for ever" : " for " + std::to_string(reads) + " reads"));
                    break;
                }
                case 3: {
                    const std::int64_t at = RandomMoment(spanTicks);
                    At(at, "unplugged", [&radio] { radio.Unplug(); });
                    if (Chance(rng_, 0.6)) {
                        const std::int64_t back = at + Uniform(rng_, 1, 1500);
                        At(back, "plugged in", [&radio] { radio.PlugIn(); });
                    } else {
                        mayStrand_ = true;
                    }
                    break;
                }
                case 4: {
                    const std::uint32_t ordinal = Uniform(rng_, 0, requests);
                    const bool returns = Chance(rng_, 0.5);
                    const milliseconds after(Uniform(rng_, 100, 5000));
                    radio.SetDisappearAtBlock(ordinal, returns ? std::optional<milliseconds>(after) : std::nullopt);
                    if (!returns) mayStrand_ = true;
                    Describe("leaves the bus at block request " + std::to_string(ordinal) +
                             (returns ? ", back after " + std::to_string(after.count()) + " ms" : ", for good"));
                    break;
                }
                case 5:
                    radio.SetReturnsAfterRestart(false);
                    mayStrand_ = true;
                    Describe("never returns from its restart");
                    break;
                case 6: {
                    const RequestMatch m = RandomMatch(requests, match);
                    const auto status = static_cast<std::uint8_t>(Uniform(rng_, 1, 2));
                    const std::uint32_t reads = Uniform(rng_, 1, 1200);
                    radio.SetInterimAnswers(m, status, reads);
                    // Every status 1 or 2 opens a fresh window with a fresh retry count, so
                    // a radio that says "not ready" to every enter request and never more
                    // keeps the run in boot-mode entry for as long as it does so.
                    if (!m.Number && m.Kind == RequestKind::Enter) mayPollForever_ = true;
                    Describe("status " + std::to_string(status) + " for " + std::to_string(reads) + " reads on " + match);
                    break;
                }
                case 7: {
                    const std::int64_t at = RandomMoment(spanTicks);
                    At(at, "Upgrade clicked again", [this] { world_->Click(loaded_); });
                    break;
                }
                case 8: {
                    // Another file chosen meanwhile: mostly one for the same radio, now and
                    // then a refused one (nothing loaded afterwards).
                    const std::int64_t at = RandomMoment(spanTicks);
                    const bool refused = Chance(rng_, 0.2);
                    std::shared_ptr<const Package> next;
                    if (!refused) {
                        PackageSpec header;
                        header.ModelCode = model.ProfileIndex == 11 ? 11 : model.ProfileIndex == 12 ? 17 : 0;
                        header.ScrambleMode = model.ScrambleMode;
                        header.CodeBank = model.CodeBank;
                        header.RequestVariant = model.RequestVariant;
                        MadePackage other = MakePackage(rng_, header, Uniform(rng_, 1, 12));
                        if (!other.Loaded) return;
                        packages_[other.Loaded.get()] = other.Sections;
                        next = other.Loaded;
                        Describe("reload at tick " + std::to_string(at) + ": " + other.Shape);
                    }
                    At(at, refused ? "a refused file chosen" : "another package loaded", [this, next] {
                        // The window refuses a new selection while an upload is under way.
                        if (!world_->Sequencer().Busy()) loaded_ = next;
                    });
                    if (Chance(rng_, 0.5))
                        At(at + RandomMoment(spanTicks), "Upgrade clicked again", [this] { world_->Click(loaded_); });
                    break;
                }
                default:
                    // A plain run now and then among the misbehaving ones.
                    break;
            }
        }
        for (const Action& a : actions_) Describe("at tick " + std::to_string(a.AtTick) + ": " + a.Name);
    }

    Outcome RunToEnd() {
        World& w = *world_;
        std::size_t next = 0;
        std::int64_t strandedSince = -1;
        for (;;) {
            const std::int64_t tick = w.Clock().Now() / TickInterval;
            while (next < actions_.size() && actions_[next].AtTick <= tick) actions_[next++].Do();
            w.DeliverNotifications();

            if (!w.AnyTimerOn()) {
                if (next == actions_.size()) return LastEnding();
                w.Idle((actions_[next].AtTick - tick) * TickInterval);
                continue;
            }
            // The only phase allowed to last for ever: waiting for a radio that is gone
            // and will not come back by itself.
            const std::vector<TimerId> on = w.SequencerTimersOn();
            const bool waitingForGood = on.size() == 1 && on[0] == TimerId::EnterModeSure &&
                                        !w.Radio().Present() && !w.Radio().ReturnTime() &&
                                        next == actions_.size();
            if (!waitingForGood) {
                strandedSince = -1;
            } else if (strandedSince < 0) {
                strandedSince = tick;
            } else if (tick - strandedSince > StrandedTicks) {
                return Outcome::Stranded;
            }
            const bool enteringForGood =
                mayPollForever_ && on.size() == 1 &&
                (on[0] == TimerId::EnterTunerMode || on[0] == TimerId::EnterBootCheck) &&
                next == actions_.size() && tick > PollingForeverTicks;
            if (enteringForGood) return Outcome::KeptPolling;
            if (tick > RunCapTicks) {
                ADD_FAILURE() << "the run did not end within " << RunCapTicks << " ticks";
                return Outcome::Stranded;
            }
            w.Step();
        }
    }

    Outcome LastEnding() const {
        const auto& endings = world_->View().Endings;
        if (endings.empty()) return Outcome::Abandoned;
        switch (endings.back().first) {
            case Ending::Completed: return Outcome::Completed;
            case Ending::CommunicationError: return Outcome::CommunicationError;
            case Ending::Started: break;
        }
        return Outcome::Abandoned;
    }

    void CheckRefusedClick() {
        World& w = *world_;
        EXPECT_EQ(w.View().Errors, std::vector<std::string>{std::string(NoSectionsMessage)});
        EXPECT_EQ(w.Radio().Writes(), 0u) << "a package without sections reached the radio";
        EXPECT_FALSE(w.AnyTimerOn());
        EXPECT_FALSE(w.Sequencer().Busy());
    }

    void CheckEnd(const RunReport& report) {
        World& w = *world_;
        const UpgradeSequencer& seq = w.Sequencer();
        for (const std::string& p : w.View().Problems) ADD_FAILURE() << p;
        for (const std::string& p : w.Checker().Problems) ADD_FAILURE() << p;
        EXPECT_FALSE(seq.Busy());
        if (!w.View().StatusSet) {
            // Only a click that found no radio leaves the status line untouched.
            EXPECT_FALSE(w.View().Errors.empty());
        }

        if (report.Result == Outcome::KeptPolling) {
            EXPECT_EQ(w.SequencerTimersOn().size(), 1u);
        } else if (report.Result == Outcome::Stranded) {
            EXPECT_TRUE(mayStrand_) << "the run waits for a radio that should have come back";
            EXPECT_EQ(w.SequencerTimersOn(), std::vector<TimerId>{TimerId::EnterModeSure});
        } else {
            EXPECT_FALSE(w.AnyTimerOn());
            EXPECT_EQ(seq.State().Channel, nullptr) << "the run ended with the drive still open";
            EXPECT_EQ(w.Radio().OpenChannels(), 0u) << "a channel to the radio is still open";
        }

        // The radio never saw a block twice, whatever it was put through.
        for (const std::string& v : w.Radio().Violations())
            EXPECT_EQ(v.find("twice"), std::string::npos) << v;

        if (!report.Misbehaved) {
            EXPECT_EQ(report.Result, Outcome::Completed) << "a well-behaved radio was not upgraded";
            EXPECT_TRUE(w.Radio().Violations().empty());
            for (const std::string& v : w.Radio().Violations()) ADD_FAILURE() << "radio: " << v;
            EXPECT_EQ(w.View().Endings.size(), 2u);  // started, completed
        }

        if (report.Result == Outcome::Completed) {
            // What the radio holds is exactly what the completed run's package carries.
            const Package* package = w.View().Endings.back().second.get();
            ASSERT_NE(package, nullptr);
            const auto it = packages_.find(package);
            ASSERT_NE(it, packages_.end());
            for (const std::string& d : w.Radio().CompareSections(it->second)) ADD_FAILURE() << "radio: " << d;
            CheckReceived(w.Radio().Sections(), it->second, package->Sections(), package->Selection);
            if (!report.Misbehaved) {
                EXPECT_TRUE(w.View().Status == UpgradeCompleteText || w.View().Status == NoDeviceText ||
                            w.View().Status == DeviceConnectedText)
                    << w.View().Status;
            }
        }
    }

    // The same comparison made here from the radio's raw record: the same ids, each section
    // whole and byte for byte, except the four leading blocks of a first section 0 under
    // scramble mode 0, which are never sent.
    static void CheckReceived(const std::map<std::uint8_t, ReceivedSection>& received,
                              const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected,
                              const SectionList& order, const ProfileSelection& selection) {
        ASSERT_EQ(received.size(), expected.size());
        for (const auto& [id, bytes] : expected) {
            const auto got = received.find(id);
            ASSERT_NE(got, received.end()) << "section " << int{id} << " never reached the radio";
            ASSERT_EQ(got->second.Bytes.size(), bytes.size()) << "section " << int{id};
            EXPECT_TRUE(got->second.Complete) << "section " << int{id};
            const bool skipsLead = order.Count > 0 && order.Ids[0] == 0 && id == 0 && selection.ScrambleMode == 0;
            const std::size_t from = skipsLead ? std::min<std::size_t>(4 * BlockSize, bytes.size()) : 0;
            EXPECT_TRUE(std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                   got->second.Bytes.begin() + static_cast<std::ptrdiff_t>(from)))
                << "section " << int{id} << " differs";
        }
    }

    Rng rng_;
    std::unique_ptr<World> world_;
    std::shared_ptr<const Package> loaded_;
    std::map<const Package*, std::map<std::uint8_t, std::vector<std::uint8_t>>> packages_;
    std::vector<Action> actions_;
    bool mayStrand_ = false;
    bool mayPollForever_ = false;
    std::string description_;
};

const char* OutcomeName(Outcome o) {
    switch (o) {
        case Outcome::Completed: return "completed";
        case Outcome::CommunicationError: return "communication error";
        case Outcome::Refused: return "refused (no sections)";
        case Outcome::Stranded: return "waiting for a radio that never returns";
        case Outcome::Abandoned: return "given up by a click that found no radio";
        case Outcome::KeptPolling: return "kept in boot-mode entry by status 1 or 2 answers";
    }
    return "?";
}

TEST(RandomUpgrades, WholeRunsAgainstAMisbehavingRadioKeepEveryInvariant) {
    const std::uint64_t seed = EnvNumber("QUENFALL_RANDOM_SEED", DefaultSeed);
    const std::uint64_t first = EnvNumber("QUENFALL_RANDOM_FIRST", 0);
    const std::uint64_t runs = EnvNumber("QUENFALL_RANDOM_RUNS", DefaultRuns);
    std::map<Outcome, std::uint64_t> outcomes;
    std::uint64_t clean = 0;
    std::uint64_t ticks = 0;
    for (std::uint64_t i = first; i < first + runs; ++i) {
        RandomRun run(seed * 1000003u + i);
        RunReport report;
        {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " iteration " << i
                                            << " (replay: QUENFALL_RANDOM_SEED=" << seed
                                            << " QUENFALL_RANDOM_FIRST=" << i << " QUENFALL_RANDOM_RUNS=1)");
            report = run.Play();
            if (HasFailure()) {
                ADD_FAILURE() << "scenario:" << run.Description() << "\n  outcome: " << OutcomeName(report.Result);
                break;
            }
        }
        ++outcomes[report.Result];
        clean += report.Misbehaved ? 0 : 1;
        ticks += report.Ticks;
    }
    std::ostringstream summary;
    summary << runs << " runs (seed " << seed << "), " << clean << " with a well-behaved radio, " << ticks
            << " ticks of virtual time:";
    for (const auto& [o, n] : outcomes) summary << ' ' << OutcomeName(o) << ' ' << n << ';';
    std::printf("%s\n", summary.str().c_str());

    // Every ending must actually have been reached, or the scenarios have gone soft.
    if (runs >= 1000 && !HasFailure()) {
        EXPECT_GT(outcomes[Outcome::Completed], runs / 4);
        EXPECT_GT(outcomes[Outcome::CommunicationError], runs / 20);
        EXPECT_GT(outcomes[Outcome::Stranded], 0u);
        EXPECT_GT(outcomes[Outcome::Refused], 0u);
    }
}

}  // namespace
}  // namespace quenfall
