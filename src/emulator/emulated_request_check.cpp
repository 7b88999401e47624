// The emulated radio reads each frame written to it: checks the frame and the request in
// it, keeps the sections' bytes, and prepares the answer.
#include "package/package.h"
#include "protocol/scrambler.h"
#include "emulator/emulated_radio_state.h"

namespace quenfall {

using namespace emulated;

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
        Violation("enter request for " + std::to_string(count) + (count == 1 ? " section has " : " sections has ") +
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

}  // namespace quenfall
